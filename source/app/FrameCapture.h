// Captures of the drawn frame: the back buffer read into memory and written
// as a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The width x height pixels of the frame in the current read buffer, as RGB
// rows from the top down.
std::vector<std::uint8_t> readFramePixels(int width, int height);

// Writes RGB rows (top down) as an 8-bit PNG; false with the reason in error.
bool writePNG(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
              std::string& error);
