#include "BMPWriter.h"

#include <cstdio>

namespace Vantor::tools {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

std::vector<std::uint8_t> encodeBMP(const std::vector<std::uint8_t>& pixels, int width, int height, int channels) {
    if (width < 1 || width > bmpMaxDimension || height < 1 || height > bmpMaxDimension ||
        (channels != 1 && channels != 3))
        return {};
    const std::size_t rowBytes = std::size_t(width) * channels;
    if (pixels.size() < rowBytes * height)
        return {};
    const std::size_t padding = (4 - rowBytes % 4) % 4;
    const std::size_t paletteBytes = channels == 1 ? bmpPaletteEntries * 4 : 0;
    const std::size_t dataOffset = bmpFileHeaderSize + bmpInfoHeaderSize + paletteBytes;
    const std::size_t imageBytes = (rowBytes + padding) * height;

    std::vector<std::uint8_t> out;
    out.reserve(dataOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, std::uint32_t(dataOffset + imageBytes));
    put32(out, 0);
    put32(out, std::uint32_t(dataOffset));

    put32(out, bmpInfoHeaderSize);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, std::uint32_t(channels * 8));
    put32(out, 0);
    put32(out, std::uint32_t(imageBytes));
    put32(out, bmpPixelsPerMetre);
    put32(out, bmpPixelsPerMetre);
    put32(out, channels == 1 ? bmpPaletteEntries : 0);
    put32(out, 0);

    for (std::size_t i = 0; i < paletteBytes / 4; ++i) {
        out.push_back(std::uint8_t(i));
        out.push_back(std::uint8_t(i));
        out.push_back(std::uint8_t(i));
        out.push_back(0);
    }

    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels.data() + rowBytes * y;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = row + std::size_t(x) * channels;
            // The file holds colour pixels as B, G, R.
            for (int c = channels - 1; c >= 0; --c)
                out.push_back(p[c]);
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::remove(path.c_str());
        return false;
    }
    return true;
}

bool writeBMP(const std::string& path, const std::vector<std::uint8_t>& pixels, int width, int height,
              int channels) {
    std::vector<std::uint8_t> bytes = encodeBMP(pixels, width, height, channels);
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: not a sound %d x %d image of %d channels\n", path.c_str(), width, height,
                     channels);
        return false;
    }
    return writeFile(path, bytes);
}

} // namespace Vantor::tools
