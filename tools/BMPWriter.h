// BMPWriter: the uncompressed BMP files the data generators write.
//
// Two layouts, both read back by the engine's BMP reader: 8-bit grey images
// (a palette whose entry i is grey i, so palette indices are grey levels) and
// 24-bit colour images. Pixels are passed bottom row first, as the engine
// stores them; rows are padded to 4 bytes in the file. All header integers are
// little-endian, whatever the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vantor::tools {

// Bytes of the file header and of the info header of the files written here.
constexpr int bmpFileHeaderSize = 14;
constexpr int bmpInfoHeaderSize = 40;
// Entries of the grey palette of 8-bit files, 4 bytes each.
constexpr int bmpPaletteEntries = 256;
// 72 dots per inch, in pixels per metre.
constexpr int bmpPixelsPerMetre = 2835;
// Largest side the writer accepts.
constexpr int bmpMaxDimension = 16384;

// The bytes of a BMP file of width x height pixels with channels bytes per
// pixel (1: grey, 3: R, G, B), pixels bottom row first; empty when a side is
// not in [1, bmpMaxDimension], channels is neither 1 nor 3, or pixels holds
// fewer than width * height * channels bytes.
std::vector<std::uint8_t> encodeBMP(const std::vector<std::uint8_t>& pixels, int width, int height, int channels);

// Writes encodeBMP's bytes to path; false (with a line on stderr) when the
// image is unsound or the file cannot be written whole.
bool writeBMP(const std::string& path, const std::vector<std::uint8_t>& pixels, int width, int height,
              int channels);

// Writes bytes to path as they are; false (with a line on stderr) on failure.
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace Vantor::tools
