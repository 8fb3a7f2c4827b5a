// The city's pictures: facade atlases with storeys of windows and their
// normal maps, the ground tiles with streets, pavements and the park, and
// the mouse cursor.
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
    const std::uint8_t* at(int x, int y) const { return pixels.data() + (std::size_t(y) * size + x) * 3; }
};

// Facade atlases: kFacadeTextureSize pixels square, kFacadeBays window bays
// across and kFacadeRows storey rows up, so a bay is kFacadeTextureSize /
// kFacadeBays texels wide and a storey kFacadeTextureSize / kFacadeRows high.
// Walls repeat the atlas across (u wraps) but never up: the ground storey
// takes row kStreetRow (shop fronts, entrances, awnings), the storeys above
// take rows kFirstUpperRow onwards (kUpperRows different storeys of windows,
// a share of them lit), taller walls restart at kFirstUpperRow, and roofs
// sample the plain region of row kRoofRow.
constexpr int kFacadeTextureSize = 512;
constexpr int kFacadeBays = 8;
constexpr int kFacadeRows = 16;
constexpr int kStreetRow = 0;
constexpr int kFirstUpperRow = 1;
constexpr int kUpperRows = 14;
constexpr int kRoofRow = 15;
// A texture coordinate inside the roof region, away from its edges so that
// filtering and mipmaps keep it the roof's colour.
constexpr float kRoofU = 0.5f;
constexpr float kRoofV = (kRoofRow + 0.5f) / kFacadeRows;

// The ground tiles span one block period each way: a street crossing at each
// corner, the streets' centre lines on the edges, so they repeat seamlessly.
// Texel (i, j) lies at i * kBlockPeriod / kGroundTextureSize east and
// j * kBlockPeriod / kGroundTextureSize north of the tile's south-west
// corner. The park tile has the same streets and pavements round a park.
constexpr int kGroundTextureSize = 512;

// The cursor: kCursorSize square; the engine draws it centred on the mouse
// and adds it to the screen (black shows nothing), so the arrow's tip sits
// at the centre and the arrow reaches right and down from it.
constexpr int kCursorSize = 32;

// Facade variant 0 to kFacadeCount - 1 (the Facade enumeration): its colour
// atlas, and its tangent-space normal map of the same layout (x along u, y
// along v, z out of the wall; each component c stored as (c + 1) * 127.5).
RGBImage facadeTexture(int variant);
RGBImage facadeNormalMap(int variant);
// How much each texel of facade variant's atlas glows on its own (lit
// rooms and shop windows), 0 to 255, in the atlas's texel order (bottom
// row first): the program adds it to the light that falls on the wall.
std::vector<std::uint8_t> facadeGlow(int variant);
RGBImage groundTexture();
RGBImage parkTexture();
RGBImage cursorImage();

} // namespace Vantor::tools::city
