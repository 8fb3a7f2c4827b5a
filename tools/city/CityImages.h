// The starter city's pictures: facade textures with rows of windows, the
// ground tile with its streets, and the mouse cursor.
//
// Images are R, G, B bytes, bottom row first, as the BMP writer and the
// engine's images hold them; all are square with a power-of-two side. Their
// grain comes from CityRandom with fixed seeds, so they are the same bytes
// on every machine.
#pragma once

#include <cstdint>
#include <vector>

namespace Vantor::tools::city {

struct RGBImage {
    int size = 0;
    std::vector<std::uint8_t> pixels;

    std::uint8_t* at(int x, int y) { return pixels.data() + (std::size_t(y) * size + x) * 3; }
};

// Facade textures: kFacadeTextureSize pixels square, kFacadeBays bays across
// and kFacadeStoreys storeys up, so one texture spans kFacadeBays bays and
// kFacadeStoreys storeys of a wall. Each storey starts at its bottom with a
// plain band of the facade's roof colour, kRoofBandRows rows high.
constexpr int kFacadeTextureSize = 128;
constexpr int kFacadeBays = 4;
constexpr int kFacadeStoreys = 4;
constexpr int kRoofBandRows = 5;
// The texture coordinate of roofs and floors: the middle of a texel of the
// plain band, so they take its colour whatever the filter.
constexpr float kRoofU = 16.5f / kFacadeTextureSize;
constexpr float kRoofV = 2.5f / kFacadeTextureSize;

// The ground tile spans one block period: the street centre lines lie on its
// edges, so it repeats seamlessly across the city.
constexpr int kGroundTextureSize = 256;

// The cursor: kCursorSize square; the engine draws it centred on the mouse
// and adds it to the screen (black shows nothing), so the arrow's tip sits
// at the centre and the arrow reaches right and down from it.
constexpr int kCursorSize = 32;

// Facade variant 0 to kFacadeCount - 1: red brick with framed windows, pale
// stone with framed windows, grey concrete with window bands, a glass
// curtain wall.
RGBImage facadeTexture(int variant);
RGBImage groundTexture();
RGBImage cursorImage();

} // namespace Vantor::tools::city
