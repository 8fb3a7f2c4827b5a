// particlegen PATH
//
// Writes the particle sprite: a spriteSize x spriteSize 8-bit grey BMP, white
// at the centre and falling smoothly to black at the rim of the inscribed
// circle, black outside it. The engine expands it to RGBA with the grey in
// every channel, so the sprite is also its own alpha: additive particles add
// nothing at the rim and alpha-blended ones are transparent there. Plain
// arithmetic only, so the bytes are the same on every machine.
#include "BMPWriter.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int spriteSize = 32;
constexpr int maxGrey = 255;

// Brightness in [0, 1] at squared distance r2 from the centre, in units of
// the sprite's radius: (1 - r2)^2 inside the circle, flat at the centre and
// reaching 0 with zero slope at the rim.
double falloff(double r2) {
    if (r2 >= 1)
        return 0;
    const double t = 1 - r2;
    return t * t;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: particlegen PATH\n");
        return 2;
    }
    const double centre = spriteSize / 2.0;
    std::vector<std::uint8_t> pixels(std::size_t(spriteSize) * spriteSize);
    for (int y = 0; y < spriteSize; ++y) {
        for (int x = 0; x < spriteSize; ++x) {
            const double dx = (x + 0.5 - centre) / centre;
            const double dy = (y + 0.5 - centre) / centre;
            const int grey = int(falloff(dx * dx + dy * dy) * maxGrey + 0.5);
            pixels[std::size_t(y) * spriteSize + x] = std::uint8_t(grey);
        }
    }
    return Vantor::tools::writeBMP(argv[1], pixels, spriteSize, spriteSize, 1) ? 0 : 1;
}
