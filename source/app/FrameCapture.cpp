#include "FrameCapture.h"

#include "Core/platform/File.h"

#include <GL/glew.h>
#include <png.h>

#include <cerrno>
#include <cstring>

std::vector<std::uint8_t> readFramePixels(int width, int height) {
    const size_t row = size_t(width) * 3;
    std::vector<std::uint8_t> bottomUp(row * size_t(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(&topDown[size_t(y) * row], &bottomUp[size_t(height - 1 - y) * row], row);
    return topDown;
}

bool writePNG(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
              std::string& error) {
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3) {
        error = "no picture of " + std::to_string(width) + "x" + std::to_string(height) + " to write";
        return false;
    }
    FILE* file = Vantor::platform::openFile(path.c_str(), "wb");
    if (!file) {
        error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // libpng reports its errors by jumping back here.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(file);
        error = "cannot encode \"" + path + "\" as PNG";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, &rgb[size_t(y) * size_t(width) * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        error = "cannot finish \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    return true;
}
