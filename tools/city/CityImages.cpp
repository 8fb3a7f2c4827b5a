// Painting the starter city's textures and cursor, texel by texel.
#include "city/CityImages.h"

#include "city/CityLayout.h"

#include <algorithm>
#include <cmath>

namespace Vantor::tools::city {

namespace {

struct Colour {
    int r, g, b;
};

Colour mix(const Colour& a, const Colour& b, double t) {
    return {int(std::lround(a.r + (b.r - a.r) * t)), int(std::lround(a.g + (b.g - a.g) * t)),
            int(std::lround(a.b + (b.b - a.b) * t))};
}

Colour shade(const Colour& c, int delta) { return {c.r + delta, c.g + delta, c.b + delta}; }

void put(RGBImage& image, int x, int y, const Colour& c) {
    std::uint8_t* p = image.at(x, y);
    p[0] = std::uint8_t(std::clamp(c.r, 0, 255));
    p[1] = std::uint8_t(std::clamp(c.g, 0, 255));
    p[2] = std::uint8_t(std::clamp(c.b, 0, 255));
}

RGBImage blank(int size) {
    RGBImage image;
    image.size = size;
    image.pixels.assign(std::size_t(size) * size * 3, 0);
    return image;
}

enum class Windows { framed, bands, curtain };

struct FacadeStyle {
    Windows windows;
    bool brick;
    Colour wall;
    int grain;
    Colour roof;
    Colour frame;
    Colour sill;
    Colour glassDark;
    Colour glassLight;
};

const FacadeStyle kFacadeStyles[kFacadeCount] = {
    {Windows::framed,
     true,
     {150, 72, 55},
     10,
     {92, 82, 76},
     {228, 226, 218},
     {200, 195, 185},
     {30, 40, 55},
     {120, 145, 170}},
    {Windows::framed,
     false,
     {205, 192, 165},
     6,
     {150, 145, 135},
     {96, 90, 84},
     {226, 218, 200},
     {32, 42, 56},
     {128, 150, 172}},
    {Windows::bands,
     false,
     {150, 152, 155},
     8,
     {102, 102, 106},
     {62, 64, 68},
     {170, 172, 175},
     {25, 45, 60},
     {110, 150, 175}},
    {Windows::curtain,
     false,
     {70, 76, 82},
     4,
     {72, 77, 82},
     {56, 60, 66},
     {90, 94, 98},
     {20, 50, 70},
     {100, 160, 185}},
};

// Texels of one bay and one storey of a facade.
constexpr int kBayTexels = kFacadeTextureSize / kFacadeBays;
constexpr int kStoreyTexels = kFacadeTextureSize / kFacadeStoreys;
// Rows of one brick course and columns of one brick.
constexpr int kBrickRows = 4;
constexpr int kBrickColumns = 8;

// What a texel of a facade shows, by its place (bx, fy) in its bay and storey.
enum class Part { wall, frame, sill, glass };

Part facadePart(Windows windows, int bx, int fy) {
    switch (windows) {
    case Windows::framed:
        if (fy == 8 && bx >= 5 && bx < 27)
            return Part::sill;
        if (bx < 6 || bx >= 26 || fy < 9 || fy >= 29)
            return Part::wall;
        if (bx < 7 || bx >= 25 || fy < 10 || fy >= 28 || bx == 16 || fy == 22)
            return Part::frame;
        return Part::glass;
    case Windows::bands:
        if (fy == 10 || fy == 27)
            return Part::sill;
        if (fy < 10 || fy > 27)
            return Part::wall;
        return bx < 2 || bx == 16 ? Part::frame : Part::glass;
    case Windows::curtain:
        return bx % 16 == 0 || fy == 18 || fy == kRoofBandRows ? Part::frame : Part::glass;
    }
    return Part::wall;
}

} // namespace

RGBImage facadeTexture(int variant) {
    const FacadeStyle& style = kFacadeStyles[std::clamp(variant, 0, kFacadeCount - 1)];
    CityRandom random(kCitySeed + std::uint64_t(variant) + 1);
    // Each window pane gets its own brightness, as panes catch the sky differently.
    double pane[kFacadeBays * kFacadeStoreys];
    for (double& p : pane)
        p = random.unit();

    RGBImage image = blank(kFacadeTextureSize);
    for (int y = 0; y < kFacadeTextureSize; ++y)
        for (int x = 0; x < kFacadeTextureSize; ++x) {
            const int bx = x % kBayTexels, fy = y % kStoreyTexels;
            const int grain = random.between(-style.grain, style.grain);
            if (fy < kRoofBandRows) {
                put(image, x, y, style.roof);
                continue;
            }
            switch (facadePart(style.windows, bx, fy)) {
            case Part::wall: {
                const bool mortar =
                    style.brick && (fy % kBrickRows == 0 ||
                                    (x + (fy / kBrickRows % 2) * kBrickColumns / 2) % kBrickColumns == 0);
                put(image, x, y, shade(mortar ? style.sill : style.wall, grain));
                break;
            }
            case Part::frame:
                put(image, x, y, shade(style.frame, grain / 2));
                break;
            case Part::sill:
                put(image, x, y, shade(style.sill, grain / 2));
                break;
            case Part::glass: {
                // Darker low in the pane, with a diagonal streak of reflected sky.
                const double t = 0.15 + 0.45 * pane[(y / kStoreyTexels) * kFacadeBays + x / kBayTexels] +
                                 0.012 * fy + ((bx + fy) % 12 < 3 ? 0.15 : 0.0);
                put(image, x, y, shade(mix(style.glassDark, style.glassLight, std::min(t, 1.0)), grain / 2));
                break;
            }
            }
        }
    return image;
}

RGBImage groundTexture() {
    const Colour asphalt{68, 68, 72}, centreLine{222, 190, 64}, zebra{226, 226, 220}, curb{186, 186, 180},
        paving{152, 150, 144}, joint{126, 124, 120}, grass{72, 112, 52};
    // Centre-line dashes and gaps, the crossings' band and stripes, paving slabs, in world units.
    constexpr double kDash = 50, kCrossingFrom = 82, kCrossingTo = 112, kStripe = 12.5, kSlab = 25;
    constexpr double kLineHalfWidth = 3.5, kCurbWidth = 4, kJointWidth = 1.6;
    const double unitsPerTexel = kBlockPeriod / kGroundTextureSize;
    CityRandom random(kCitySeed + 100);
    RGBImage image = blank(kGroundTextureSize);
    for (int y = 0; y < kGroundTextureSize; ++y)
        for (int x = 0; x < kGroundTextureSize; ++x) {
            // a along x and b along z, in world units from the tile's corner;
            // the street centre lines lie on the tile's edges.
            const double a = (x + 0.5) * unitsPerTexel, b = (y + 0.5) * unitsPerTexel;
            const double toStreetX = std::min(a, kBlockPeriod - a), toStreetZ = std::min(b, kBlockPeriod - b);
            const bool onStreetX = toStreetX < kStreetHalfWidth, onStreetZ = toStreetZ < kStreetHalfWidth;
            Colour c;
            if (onStreetX || onStreetZ) {
                c = shade(asphalt, random.between(-5, 5));
                // Away from the crossings: the centre line in dashes, and zebra stripes before each crossing.
                const double across = onStreetX ? toStreetX : toStreetZ;
                const double along = onStreetX ? b : a, toCrossing = onStreetX ? toStreetZ : toStreetX;
                if (onStreetX != onStreetZ) {
                    if (across < kLineHalfWidth && toCrossing > kCrossingTo + kDash &&
                        int(along / kDash) % 2 == 0)
                        c = centreLine;
                    else if (toCrossing >= kCrossingFrom && toCrossing < kCrossingTo &&
                             across < kStreetHalfWidth - kStripe / 2 && int(across / kStripe) % 2 == 0)
                        c = shade(zebra, random.between(-6, 0));
                }
            } else if (toStreetX < kSidewalkEdge || toStreetZ < kSidewalkEdge) {
                if (std::min(toStreetX, toStreetZ) < kStreetHalfWidth + kCurbWidth)
                    c = curb;
                else if (std::fmod(a, kSlab) < kJointWidth || std::fmod(b, kSlab) < kJointWidth)
                    c = joint;
                else
                    c = paving;
                c = shade(c, random.between(-4, 4));
            } else {
                const int g = random.between(-12, 12);
                c = {grass.r + g / 2, grass.g + g, grass.b + g / 3};
            }
            put(image, x, y, c);
        }
    return image;
}

RGBImage cursorImage() {
    // The arrow's outline with the tip at the origin, x to the right and y
    // downwards on the screen, in texels.
    static const double outline[][2] = {{0, 0},      {0, 13},  {3, 10}, {5.5, 14.5},
                                        {7.5, 13.5}, {5.2, 9}, {9.5, 9}};
    constexpr int corners = int(sizeof outline / sizeof outline[0]);
    const int tip = kCursorSize / 2;
    // Even-odd test of a texel centre against the outline.
    auto inside = [&](int column, int rowDown) {
        const double px = column - tip + 0.5, py = rowDown - tip + 0.5;
        bool in = false;
        for (int i = 0, j = corners - 1; i < corners; j = i++) {
            const double* a = outline[i];
            const double* b = outline[j];
            if ((a[1] > py) != (b[1] > py) && px < (b[0] - a[0]) * (py - a[1]) / (b[1] - a[1]) + a[0])
                in = !in;
        }
        return in;
    };
    const Colour white{255, 255, 255}, rim{96, 96, 96};
    RGBImage image = blank(kCursorSize);
    for (int rowDown = 0; rowDown < kCursorSize; ++rowDown)
        for (int column = 0; column < kCursorSize; ++column) {
            bool nearFill = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    nearFill = nearFill || inside(column + dx, rowDown + dy);
            // Rows are stored bottom first.
            if (inside(column, rowDown))
                put(image, column, kCursorSize - 1 - rowDown, white);
            else if (nearFill)
                put(image, column, kCursorSize - 1 - rowDown, rim);
        }
    return image;
}

} // namespace Vantor::tools::city
