// Painting the city's textures and cursor, texel by texel.
#include "city/CityImages.h"

#include "city/CityLayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

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

Colour scale(const Colour& c, double f) {
    return {int(std::lround(c.r * f)), int(std::lround(c.g * f)), int(std::lround(c.b * f))};
}

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

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double square(double v) { return v * v; }
int wrap(int i, int period) { return (i % period + period) % period; }

// ---------------------------------------------------------------------------
// Grain. Every texel's grain is a function of its place, so the pictures come
// out the same whatever order they are painted in, and texels the ground and
// park tiles share are the same bytes.

constexpr std::uint64_t kFacadeSeed = kCitySeed + 0x100;
constexpr std::uint64_t kGroundSeed = kCitySeed + 0x200;
constexpr std::uint64_t kParkSeed = kCitySeed + 0x300;

std::uint64_t scramble(std::uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A number in [0, 1) fixed by a seed and up to three integers.
double hashUnit(std::uint64_t seed, int a, int b = 0, int c = 0) {
    std::uint64_t h = scramble(seed);
    h = scramble(h ^ std::uint32_t(a));
    h = scramble(h ^ (std::uint64_t(std::uint32_t(b)) << 20));
    h = scramble(h ^ (std::uint64_t(std::uint32_t(c)) << 40));
    return double(h >> 11) / double(1ull << 53);
}

// Smooth value noise in [-1, 1] at texel position (x, y): random values on a
// lattice every cell texels, repeating every period texels both ways (cell
// divides period), blended with a smooth step.
double valueNoise(std::uint64_t seed, double x, double y, int cell, int period) {
    const int cells = period / cell;
    const double fx = x / cell, fy = y / cell;
    const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    const double tx = smooth(fx - ix), ty = smooth(fy - iy);
    auto corner = [&](int i, int j) { return hashUnit(seed, wrap(i, cells), wrap(j, cells)) * 2 - 1; };
    const double low = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * tx;
    const double high = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * tx;
    return low + (high - low) * ty;
}

// ---------------------------------------------------------------------------
// Facades. A bay is 64 texels across (kBayWidth units) and a storey 32 texels
// up (kFloorHeight units), so a texel is about 0.6 units wide and 2.5 high:
// vertical detail is coarser than horizontal detail.

constexpr int kBayTexels = kFacadeTextureSize / kFacadeBays;
constexpr int kStoreyTexels = kFacadeTextureSize / kFacadeRows;
static_assert(kBayTexels == 64 && kStoreyTexels == 32, "the facades are drawn for bays of 64 x 32 texels");
// Shops at street level span two bays.
constexpr int kShopTexels = 2 * kBayTexels;
constexpr int kShopCount = kFacadeTextureSize / kShopTexels;
// Lit share of the upper storeys' windows: at dusk most people are home.
constexpr double kLitShare = 0.4;

struct FacadeStyle {
    Colour wall;     // the wall; for curtain walls the ground storey's piers
    Colour trim;     // sills, lintels, string courses, cornices
    Colour frame;    // window frames and mullions
    Colour glass;    // unlit glass low in the pane
    Colour sky;      // the sky that glass reflects high in the pane
    Colour spandrel; // curtain walls' opaque panels between the storeys
    Colour roof;
    double tint;     // how much the glass tints the blinds and lit rooms behind it
};

const FacadeStyle kFacadeStyles[kFacadeCount] = {
    // brick
    {{146, 68, 50}, {214, 206, 190}, {234, 231, 222}, {30, 38, 50}, {92, 90, 128}, {0, 0, 0}, {98, 90, 82}, 0.0},
    // stone
    {{204, 192, 166}, {226, 218, 198}, {70, 76, 74}, {30, 38, 50}, {98, 94, 132}, {0, 0, 0}, {116, 110, 100}, 0.0},
    // concrete
    {{150, 151, 150}, {174, 174, 172}, {58, 60, 64}, {26, 40, 54}, {88, 90, 126}, {0, 0, 0}, {104, 102, 98}, 0.05},
    // glass
    {{92, 98, 106}, {150, 160, 170}, {150, 160, 170}, {30, 58, 96}, {124, 116, 168}, {50, 70, 100}, {108, 106, 102}, 0.18},
    // dark glass
    {{60, 64, 70}, {172, 180, 190}, {176, 184, 194}, {22, 28, 38}, {72, 72, 106}, {34, 40, 48}, {86, 84, 80}, 0.22},
};

// What one texel of a facade shows: its colour, how far it stands out of the
// wall (negative: recessed), from which the normal map is made, and how
// brightly it glows on its own, 0 to 1 (lit rooms and shop windows).
struct Texel {
    Colour colour;
    double height;
    double glow = 0;
};

// A texel darkened by a factor, its glow with it (the shadow of a reveal on
// a lit pane darkens what the pane shows of the room).
Texel dim(const Texel& t, double f) { return {scale(t.colour, f), t.height, t.glow * f}; }

struct WindowLight {
    bool lit = false;
    Colour light{0, 0, 0};
    double tone = 0;  // how much sky the glass catches, or how bright the room is
    double blind = 0; // share of the pane a blind covers from the top; 0 for none
};

// The windows of the upper storeys, row by row from the first upper storey,
// columns across each row: an exact share of them lit, chosen at random.
std::vector<WindowLight> windowLights(int variant, int columns) {
    CityRandom random(kFacadeSeed + 0x1000 + std::uint64_t(variant));
    const Colour warm{255, 212, 136}, orange{246, 170, 90}, cool{236, 242, 255};
    const int count = kUpperRows * columns;
    // Offices with curtain walls draw fewer blinds than flats do.
    const double blinds = variant == kFacadeGlass || variant == kFacadeDarkGlass ? 0.15 : 0.3;
    std::vector<WindowLight> lights(std::size_t(count), WindowLight{});
    for (WindowLight& w : lights) {
        w.tone = random.unit();
        const double pick = random.unit();
        w.light = pick < 0.48 ? warm : pick < 0.8 ? orange : cool;
        w.blind = random.unit() < blinds ? 0.2 + 0.4 * random.unit() : 0.0;
    }
    std::vector<int> order(std::size_t(count), 0);
    std::iota(order.begin(), order.end(), 0);
    for (int i = count - 1; i > 0; --i)
        std::swap(order[std::size_t(i)], order[std::size_t(random.between(0, i))]);
    const int litCount = int(std::lround(count * kLitShare));
    for (int i = 0; i < litCount; ++i)
        lights[std::size_t(order[std::size_t(i)])].lit = true;
    return lights;
}

// A pane of glass at (u, v) across it, 0 to 1 from its bottom left, height
// out of the wall (negative: recessed): the dark glass reflects more sky towards its top and
// catches a soft diagonal glint; a lit room glows, brighter under its
// ceiling, and a blind drawn in a lit window glows dimly.
Texel paneTexel(const FacadeStyle& style, const WindowLight& w, double u, double v, double sheen, double height) {
    if (w.blind > 0 && v > 1 - w.blind) {
        if (w.lit)
            return {mix(scale(w.light, 0.8), style.glass, style.tint), height, 0.34};
        return {mix(style.glass, Colour{170, 160, 142}, (0.5 + 0.1 * v) * (1 - 2 * style.tint)), height};
    }
    if (w.lit) {
        double f = 0.8 + 0.16 * v + 0.06 * w.tone;
        if (v < 0.22)
            f *= 0.8;
        return {mix(scale(w.light, f), style.glass, style.tint), height, 0.9 * f};
    }
    const double glint = 0.16 * std::exp(-square((u + 0.6 * v - 0.45 - 0.7 * w.tone) / 0.16));
    return {mix(style.glass, style.sky, clamp01(0.06 + 0.38 * v + 0.2 * w.tone + glint + sheen)), height};
}

// The bare wall of a facade: brick courses, stone blocks, weathered concrete,
// or for the curtain walls' ground storey granite cladding.
Texel wallTexel(int variant, const FacadeStyle& style, int x, int y) {
    const std::uint64_t seed = kFacadeSeed + 0x2000 + std::uint64_t(variant) * 16;
    const double patch = valueNoise(seed, x, y, 16, kFacadeTextureSize);
    const double grain = valueNoise(seed + 1, x, y, 2, kFacadeTextureSize);
    switch (variant) {
    case kFacadeBrick: {
        // Courses 4 texels high, bricks 32 across, every other course shifted
        // by half a brick; mortar in the joints.
        const int course = y / 4;
        const int shifted = x + (course % 2) * 16;
        if (y % 4 == 0 || shifted % 32 < 2)
            return {shade(Colour{166, 154, 138}, int(patch * 6 + grain * 4)), -1.0};
        const int brick = shifted / 32 % (kFacadeTextureSize / 32);
        Colour c = shade(style.wall, int((hashUnit(seed + 2, brick, course) - 0.5) * 26));
        c.r += int((hashUnit(seed + 3, brick, course) - 0.5) * 16);
        if (hashUnit(seed + 4, brick, course) < 0.1)
            c = scale(c, 0.78);
        return {shade(c, int(patch * 6 + grain * 4)), 0.0};
    }
    case kFacadeStone: {
        // Ashlar blocks 8 texels high and 64 across with faint joints.
        const int course = y / 8;
        const int shifted = x + (course % 2) * 32;
        const int block = shifted / 64 % (kFacadeTextureSize / 64);
        if (y % 8 == 0 || shifted % 64 == 0)
            return {shade(style.wall, -22 + int(grain * 3)), -0.6};
        const int tint = int((hashUnit(seed + 2, block, course) - 0.5) * 12);
        return {shade(style.wall, tint + int(patch * 5 + grain * 3)), 0.0};
    }
    case kFacadeConcrete: {
        // Cast panels, blotchy, with rain streaks running down.
        const double streak = std::max(0.0, valueNoise(seed + 2, x, y / 8.0, 4, kFacadeTextureSize));
        return {shade(style.wall, int(patch * 6 + grain * 3 - streak * 14)), 0.0};
    }
    default: {
        // Polished granite slabs 16 texels high and 32 across.
        const int block = x / 32, course = y / 16;
        if (y % 16 == 0 || x % 32 == 0)
            return {shade(style.wall, -18), -0.6};
        const int tint = int((hashUnit(seed + 2, block, course) - 0.5) * 10);
        return {shade(style.wall, tint + int(patch * 4 + grain * 2)), 0.0};
    }
    }
}

// A shop front two bays wide at street level.
struct Shop {
    Colour colour;
    bool awning;
    bool lit;
    int doorLeft, doorRight; // the door's columns across the shop
    bool doubleDoor;
    int letters;
};

std::vector<Shop> shopFronts(int variant) {
    static const Colour palette[] = {{168, 38, 36},  {34, 108, 58},  {34, 52, 112}, {206, 108, 30},
                                     {118, 30, 50},  {28, 118, 124}, {212, 170, 38}, {40, 40, 44}};
    constexpr int paletteSize = int(sizeof palette / sizeof palette[0]);
    CityRandom random(kFacadeSeed + 0x3000 + std::uint64_t(variant));
    const int awningParity = random.between(0, 1);
    const int darkShop = random.between(0, kShopCount - 1);
    std::vector<Shop> shops;
    for (int k = 0; k < kShopCount; ++k) {
        Shop shop{};
        shop.colour = palette[random.between(0, paletteSize - 1)];
        shop.awning = k % 2 == awningParity;
        shop.lit = k != darkShop && random.unit() < 0.8;
        shop.doubleDoor = random.unit() < 0.4;
        const int width = shop.doubleDoor ? 44 : 36;
        switch (random.between(0, 2)) {
        case 0:
            shop.doorLeft = 8;
            break;
        case 1:
            shop.doorLeft = (kShopTexels - width) / 2;
            break;
        default:
            shop.doorLeft = kShopTexels - 8 - width;
            break;
        }
        shop.doorRight = shop.doorLeft + width;
        shop.letters = random.between(3, 7);
        shops.push_back(shop);
    }
    return shops;
}

// The ground storey (row kStreetRow): shop fronts between piers of the wall,
// each with a door, display windows on a plinth, and an awning or a sign band
// with its name above; a ledge along the top.
Texel streetTexel(int variant, const FacadeStyle& style, const Shop& shop, int x, int y) {
    const std::uint64_t seed = kFacadeSeed + 0x4000 + std::uint64_t(variant) * 16;
    const int sx = x % kShopTexels, shopIndex = x / kShopTexels, fy = y;
    const double grain = valueNoise(seed, x, y, 2, kFacadeTextureSize);
    const bool curtain = variant == kFacadeGlass || variant == kFacadeDarkGlass;
    const Colour ledge = curtain ? style.frame : style.trim;
    if (fy >= 30)
        return {shade(ledge, fy == 30 ? -22 : int(grain * 3)), 1.4};

    // The awning: stripes of the shop's colour and cream, sloping out and
    // down from the wall, with a scalloped valance at the bottom.
    if (shop.awning && fy >= 18 && sx >= 4 && sx < kShopTexels - 4) {
        const int column = sx - 4, within = column % 8;
        if (fy > 18 || (within > 0 && within < 7)) {
            const Colour stripe = (column / 8) % 2 == 0 ? shop.colour : Colour{232, 226, 208};
            if (fy <= 20)
                return {scale(stripe, 0.86), 2.6};
            return {scale(stripe, 0.84 + 0.16 * (fy - 21) / 8.0), 1.0 + (29 - fy) * 0.18};
        }
    }
    if (sx < 6 || sx >= kShopTexels - 6)
        return wallTexel(variant, style, x, y);

    // The sign band and its lettering.
    if (fy >= 23) {
        if (shop.awning)
            return {scale(shop.colour, 0.45), 0.4};
        if (fy == 23 || fy == 29)
            return {scale(shop.colour, 0.55), 0.6};
        // Letters of 3 x 3 strokes, each stroke 3 texels across and 1 up.
        static const char* const glyphs[] = {"111101111", "111110111", "101111101", "111010010",
                                             "100100111", "111111100", "110101110", "011010110"};
        constexpr int glyphCount = int(sizeof glyphs / sizeof glyphs[0]);
        const int width = shop.letters * 12 - 3, start = (kShopTexels - width) / 2;
        const int column = sx - start;
        if (fy >= 25 && fy <= 27 && column >= 0 && column < width && column % 12 < 9) {
            const int letter = column / 12;
            const char* glyph = glyphs[int(hashUnit(seed + 1, shopIndex, letter) * glyphCount)];
            if (glyph[(27 - fy) * 3 + column % 12 / 3] == '1') {
                const Colour ink = shop.colour.r + shop.colour.g > 300 ? Colour{40, 36, 34} : Colour{240, 230, 204};
                return {shop.lit ? shade(ink, 10) : ink, 1.1};
            }
        }
        return {shade(shop.colour, int(grain * 4)), 0.8};
    }

    const Colour frame = curtain ? style.frame : scale(shop.colour, 0.55);
    // Under an awning the glass lies in its shadow.
    const double shadow = shop.awning && fy >= 14 ? 1.0 - 0.07 * (fy - 13) : 1.0;
    const Colour light{255, 218, 156};

    // The door: glazed, with a push bar, single or double.
    if (sx >= shop.doorLeft && sx < shop.doorRight && fy <= 21) {
        const int middle = (shop.doorLeft + shop.doorRight) / 2;
        if (sx < shop.doorLeft + 2 || sx >= shop.doorRight - 2 || fy >= 20 ||
            (shop.doubleDoor && (sx == middle || sx == middle - 1)))
            return {frame, -1.6};
        if (fy == 9)
            return {Colour{184, 184, 180}, -2.2};
        const double v = fy / 19.0;
        const Colour c = shop.lit ? scale(light, 0.7 + 0.2 * v) : mix(style.glass, style.sky, 0.1 + 0.3 * v);
        // The awning shades the daylight on the glass, not the light inside.
        return {scale(c, shadow), -3.0, shop.lit ? 0.6 + 0.18 * v : 0.0};
    }
    if (fy == 22)
        return {frame, -0.8};
    if (fy <= 2)
        return {shade(Colour{64, 62, 62}, int(grain * 4)), 0.3};

    // Display windows either side of the door, split by a mullion when wide.
    const bool leftPart = sx < shop.doorLeft;
    const int from = leftPart ? 6 : shop.doorRight, to = leftPart ? shop.doorLeft : kShopTexels - 6;
    const int mid = (from + to) / 2;
    if (fy == 3 || fy == 21 || sx < from + 2 || sx >= to - 2 || (to - from > 50 && (sx == mid || sx == mid - 1)))
        return {frame, -1.0};
    const double u = double(sx - from) / (to - from), v = (fy - 4) / 16.0;
    Colour c;
    double glow = 0;
    // Goods on shelves in the window: blocks of colour in cells 6 texels wide.
    const int cell = sx / 6;
    const double itemHeight = 3 + 7 * hashUnit(seed + 2, shopIndex, cell);
    const bool item = hashUnit(seed + 3, shopIndex, cell) < 0.7 && fy - 4 < itemHeight && sx % 6 != 0;
    const Colour goods{int(60 + 160 * hashUnit(seed + 4, shopIndex, cell)),
                       int(60 + 140 * hashUnit(seed + 5, shopIndex, cell)),
                       int(60 + 140 * hashUnit(seed + 6, shopIndex, cell))};
    if (shop.lit) {
        c = scale(light, 0.82 + 0.18 * v);
        glow = 0.62 + 0.16 * v;
        if (item) {
            c = scale(mix(light, goods, 0.6), 0.75);
            glow = 0.56;
        }
    } else {
        const double glint = 0.15 * std::exp(-square((u + 0.4 * v - 0.5) / 0.2));
        c = mix(style.glass, style.sky, clamp01(0.1 + 0.35 * v + glint));
        if (item)
            c = mix(c, goods, 0.18);
    }
    return {scale(c, shadow), -2.2, glow};
}

// The upper storeys, rows kFirstUpperRow up, in the variant's style.
Texel upperTexel(int variant, const FacadeStyle& style, const std::vector<WindowLight>& lights, int x, int y) {
    const int row = y / kStoreyTexels, fy = y % kStoreyTexels, bx = x % kBayTexels, bay = x / kBayTexels;
    const int upperRow = row - kFirstUpperRow;
    const bool curtain = variant == kFacadeGlass || variant == kFacadeDarkGlass;
    const std::uint64_t seed = kFacadeSeed + 0x5000 + std::uint64_t(variant) * 16;
    const double grain = valueNoise(seed, x, y, 2, kFacadeTextureSize);

    // A cornice or parapet cap along the top of the last row.
    if (upperRow == kUpperRows - 1 && fy >= 29) {
        if (curtain)
            return {shade(style.frame, fy == 29 ? -30 : int(grain * 3)), 1.2};
        return {shade(style.trim, fy == 29 ? -40 : fy == 31 ? 8 : int(grain * 3)), 1.8};
    }

    switch (variant) {
    case kFacadeBrick: {
        // Sash windows: white frames with a glazing bar and a meeting rail,
        // a stone sill below and a lintel above.
        if (bx >= 16 && bx < 48 && fy >= 9 && fy < 27) {
            if (bx < 19 || bx >= 45 || fy == 9 || fy == 26 || bx == 31 || bx == 32 || fy == 19)
                return {shade(style.frame, int(grain * 3)), -1.0};
            const WindowLight& w = lights[std::size_t(upperRow * kFacadeBays + bay)];
            const Texel pane = paneTexel(style, w, (bx - 19) / 26.0, (fy - 10) / 16.0, 0.0, -2.5);
            return fy >= 24 ? dim(pane, 0.86) : pane;
        }
        if ((fy == 7 || fy == 8) && bx >= 13 && bx < 51)
            return {shade(style.trim, fy == 7 ? -26 : int(grain * 3)), 1.2};
        if ((fy == 27 || fy == 28) && bx >= 14 && bx < 50)
            return {shade(style.trim, (bx == 31 || bx == 32) ? -10 : int(grain * 3)), 0.6};
        return wallTexel(variant, style, x, y);
    }
    case kFacadeStone: {
        // Tall windows in raised stone surrounds, with a sill and a hood
        // moulding; a string course at each floor.
        if (fy <= 1)
            return {shade(style.trim, fy == 0 ? -20 : int(grain * 3)), 1.0};
        if (bx >= 18 && bx < 46 && fy >= 8 && fy < 27) {
            if (bx < 20 || bx >= 44 || fy == 8 || fy == 26 || bx == 31 || bx == 32 || fy == 20)
                return {shade(style.frame, int(grain * 3)), -1.2};
            const WindowLight& w = lights[std::size_t(upperRow * kFacadeBays + bay)];
            const Texel pane = paneTexel(style, w, (bx - 20) / 24.0, (fy - 9) / 17.0, 0.0, -2.6);
            return fy >= 24 ? dim(pane, 0.86) : pane;
        }
        if (bx >= 14 && bx < 50 && fy >= 6 && fy < 28)
            return {shade(style.trim, (bx == 14 || fy == 6) ? -12 : int(grain * 3)), 1.0};
        if ((fy == 4 || fy == 5) && bx >= 11 && bx < 53)
            return {shade(style.trim, fy == 4 ? -28 : 4), 1.5};
        if ((fy == 28 || fy == 29) && bx >= 12 && bx < 52)
            return {shade(style.trim, fy == 28 ? -28 : 6), 1.6};
        return wallTexel(variant, style, x, y);
    }
    case kFacadeConcrete: {
        // A ribbon of windows along each storey between concrete bands, a
        // dark mullion every half bay, panel joints in the bands.
        const int column = x / 32, cx = x % 32;
        if (fy >= 11 && fy <= 27) {
            if (fy == 11 || fy == 27 || cx == 31 || cx == 0)
                return {shade(style.frame, int(grain * 3)), -1.0};
            const WindowLight& w = lights[std::size_t(upperRow * 2 * kFacadeBays + column)];
            const Texel pane = paneTexel(style, w, (cx - 1) / 29.0, (fy - 12) / 14.0, 0.0, -2.4);
            return fy >= 25 ? dim(pane, 0.85) : pane;
        }
        if (fy == 10)
            return {shade(style.trim, -6), 0.8};
        if (fy == 0 || x % 64 == 0)
            return {shade(style.wall, -30), -0.8};
        return wallTexel(variant, style, x, y);
    }
    default: {
        // Curtain walls: panels half a bay wide between thin mullions, a
        // spandrel panel at each floor, the glass reflecting a cloudy sky.
        const bool dark = variant == kFacadeDarkGlass;
        const int spandrelTop = dark ? 9 : 6;
        const int column = x / 32, cx = x % 32;
        const Colour frame = shade(style.frame, int(grain * 3));
        if (cx == 31 || cx == 0 || fy == 0 || fy == spandrelTop + 1)
            return {frame, 0.9};
        const double clouds = valueNoise(seed + 1, x, y, 64, kFacadeTextureSize);
        const WindowLight& w = lights[std::size_t(upperRow * 2 * kFacadeBays + column)];
        if (fy <= spandrelTop) {
            const double t = 0.18 + 0.1 * clouds + 0.08 * w.tone;
            return {mix(style.spandrel, style.sky, clamp01(t)), 0.0};
        }
        const double v = double(fy - spandrelTop - 2) / (kStoreyTexels - spandrelTop - 3);
        return paneTexel(style, w, (cx - 1) / 29.0, v, 0.1 * clouds, -0.3);
    }
    }
}

// The roof region (row kRoofRow): tar and gravel with a gentle grain.
Texel roofTexel(int variant, const FacadeStyle& style, int x, int y) {
    const std::uint64_t seed = kFacadeSeed + 0x6000 + std::uint64_t(variant) * 16;
    const double grain = valueNoise(seed, x, y, 16, kFacadeTextureSize) * 4 +
                         valueNoise(seed + 1, x, y, 4, kFacadeTextureSize) * 2;
    return {shade(style.roof, int(std::lround(grain))), 0.0};
}

// The whole atlas of a facade variant, colours and heights.
std::vector<Texel> paintFacade(int variant) {
    variant = std::clamp(variant, 0, kFacadeCount - 1);
    const FacadeStyle& style = kFacadeStyles[variant];
    const bool ribbons = variant != kFacadeBrick && variant != kFacadeStone;
    const std::vector<WindowLight> lights = windowLights(variant, ribbons ? 2 * kFacadeBays : kFacadeBays);
    const std::vector<Shop> shops = shopFronts(variant);
    std::vector<Texel> texels;
    texels.reserve(std::size_t(kFacadeTextureSize) * kFacadeTextureSize);
    for (int y = 0; y < kFacadeTextureSize; ++y)
        for (int x = 0; x < kFacadeTextureSize; ++x) {
            const int row = y / kStoreyTexels;
            if (row == kStreetRow)
                texels.push_back(streetTexel(variant, style, shops[std::size_t(x / kShopTexels)], x, y));
            else if (row == kRoofRow)
                texels.push_back(roofTexel(variant, style, x, y));
            else
                texels.push_back(upperTexel(variant, style, lights, x, y));
        }
    return texels;
}

} // namespace

RGBImage facadeTexture(int variant) {
    const std::vector<Texel> texels = paintFacade(variant);
    RGBImage image = blank(kFacadeTextureSize);
    for (int y = 0; y < kFacadeTextureSize; ++y)
        for (int x = 0; x < kFacadeTextureSize; ++x)
            put(image, x, y, texels[std::size_t(y) * kFacadeTextureSize + x].colour);
    return image;
}

std::vector<std::uint8_t> facadeGlow(int variant) {
    const std::vector<Texel> texels = paintFacade(variant);
    std::vector<std::uint8_t> glow;
    glow.reserve(texels.size());
    for (const Texel& t : texels)
        glow.push_back(std::uint8_t(std::lround(clamp01(t.glow) * 255)));
    return glow;
}

RGBImage facadeNormalMap(int variant) {
    const std::vector<Texel> texels = paintFacade(variant);
    const int n = kFacadeTextureSize;
    // Soften the height steps with a [1 2 1] filter each way (wrapping
    // across, clamped at the top and bottom) so that every slope spans a few
    // texels and survives the mipmaps.
    std::vector<double> across(std::size_t(n) * n), height(std::size_t(n) * n);
    auto at = [n](int x, int y) { return std::size_t(y) * n + x; };
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            across[at(x, y)] = (texels[at(wrap(x - 1, n), y)].height + 2 * texels[at(x, y)].height +
                                texels[at(wrap(x + 1, n), y)].height) /
                               4;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            height[at(x, y)] = (across[at(x, std::max(y - 1, 0))] + 2 * across[at(x, y)] +
                                across[at(x, std::min(y + 1, n - 1))]) /
                               4;
    // The normal of the height field: it leans away from the rising side, so
    // a recessed window's reveals face into the opening. Slopes are capped so
    // that no normal leans further than about 57 degrees from the wall's.
    constexpr double kStrength = 0.6, kMaxSlope = 1.5;
    RGBImage image = blank(n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            double sx = -kStrength * (height[at(wrap(x + 1, n), y)] - height[at(wrap(x - 1, n), y)]) / 2;
            double sy = -kStrength * (height[at(x, std::min(y + 1, n - 1))] - height[at(x, std::max(y - 1, 0))]) / 2;
            const double slope = std::hypot(sx, sy);
            if (slope > kMaxSlope) {
                sx *= kMaxSlope / slope;
                sy *= kMaxSlope / slope;
            }
            const double length = std::sqrt(sx * sx + sy * sy + 1);
            auto encode = [](double c) { return int(std::lround((c + 1) * 127.5)); };
            put(image, x, y, {encode(sx / length), encode(sy / length), encode(1 / length)});
        }
    return image;
}

namespace {

// ---------------------------------------------------------------------------
// Ground. Positions are in world units across the tile, a east and b north
// of its south-west corner; the street centre lines lie on the tile's edges.

constexpr double kTexelUnits = double(kBlockPeriod) / kGroundTextureSize;
constexpr double kHalfPeriod = kBlockPeriod / 2;
// Road markings: the centre line's dashes, the edge lines, the zebra
// crossings' band (measured from the crossing's middle) and stripes, the stop
// lines before them.
constexpr double kCentreLineHalfWidth = 2.5, kDashPeriod = 60, kDashLength = 30;
constexpr double kEdgeLineFrom = 70, kEdgeLineTo = 74;
constexpr double kZebraFrom = 84, kZebraTo = 124, kZebraPeriod = 16, kZebraStripe = 9, kZebraHalfWidth = 68;
constexpr double kStopLineFrom = 130, kStopLineTo = 134, kSolidCentreTo = 180;
constexpr double kKerbWidth = 4, kSlab = 25, kJoint = 1.2;
// The verge: a grass strip with stone edging, trees every kTreeSpacing.
constexpr double kVergeEdging = 4, kTreeSpacing = 100, kVergeTreeRadius = 10;

// Noise over the ground tile at (a, b), in [-1, 1], repeating with the tile.
double groundNoise(std::uint64_t seed, double a, double b, int cell) {
    return valueNoise(seed, a / kTexelUnits, b / kTexelUnits, cell, kGroundTextureSize);
}

// Grain of one texel, in [-1, 1]: the texel whose centre is nearest (a, b).
double texelGrain(std::uint64_t seed, double a, double b) {
    const int i = wrap(int(std::lround(a / kTexelUnits)), kGroundTextureSize);
    const int j = wrap(int(std::lround(b / kTexelUnits)), kGroundTextureSize);
    return hashUnit(seed, i, j) * 2 - 1;
}

Colour asphaltColour(double a, double b) {
    const Colour asphalt{66, 66, 70};
    const double patch = groundNoise(kGroundSeed + 1, a, b, 32) * 5 + groundNoise(kGroundSeed + 2, a, b, 4) * 3;
    return shade(asphalt, int(std::lround(patch + texelGrain(kGroundSeed + 3, a, b) * 4)));
}

Colour paintColour(double a, double b) {
    const Colour white{226, 226, 218};
    return shade(white, int(std::lround(groundNoise(kGroundSeed + 4, a, b, 4) * 8 - 4)));
}

// Paving slabs of side slab with joints, each slab a little lighter or darker.
Colour pavingColour(const Colour& base, double a, double b, double slab, std::uint64_t seed) {
    const double ua = std::fmod(a + kBlockPeriod, slab), ub = std::fmod(b + kBlockPeriod, slab);
    const double grain = texelGrain(seed, a, b) * 3 + groundNoise(seed + 1, a, b, 8) * 3;
    if (ua < kJoint || ub < kJoint)
        return shade(base, -24 + int(std::lround(grain)));
    const int slabA = int(std::floor((a + kBlockPeriod) / slab)), slabB = int(std::floor((b + kBlockPeriod) / slab));
    const int count = int(std::lround(kBlockPeriod / slab));
    const double tint = hashUnit(seed + 2, wrap(slabA, count), wrap(slabB, count)) - 0.5;
    return shade(base, int(std::lround(tint * 12 + grain)));
}

Colour grassColour(double a, double b, std::uint64_t seed) {
    const Colour grass{80, 120, 58};
    const double n = groundNoise(seed, a, b, 8) * 7 + groundNoise(seed + 1, a, b, 2) * 4;
    return {grass.r + int(n * 0.6), grass.g + int(n), grass.b + int(n * 0.4)};
}

// Everything outside the lot edge: streets with their markings, pavements,
// and the verge. The same for the ground and park tiles.
Colour streetColour(double a, double b) {
    const double dx = std::min(a, kBlockPeriod - a), dz = std::min(b, kBlockPeriod - b);
    if (dx < kStreetHalfWidth || dz < kStreetHalfWidth) {
        Colour c = asphaltColour(a, b);
        if (dx < kStreetHalfWidth && dz < kStreetHalfWidth)
            return c; // the crossing's square: no markings
        // Across the street (signed: east of the centre line along the
        // tile's west and east edges, north of it along the south and north
        // edges), along it, and to the nearest crossing's middle.
        const bool northSouth = dx < kStreetHalfWidth;
        const double across = northSouth ? (a < kHalfPeriod ? a : a - kBlockPeriod)
                                         : (b < kHalfPeriod ? b : b - kBlockPeriod);
        const double along = northSouth ? b : a;
        const double toCrossing = northSouth ? dz : dx;
        const double off = std::abs(across);
        // Worn tracks down the middle of each lane.
        c = shade(c, -int(std::lround(5 * std::exp(-square((off - kLaneOffset) / 10)))));
        // Traffic keeps right: northbound along the east half, southbound
        // along the west half, eastbound along the south half and westbound
        // along the north half. Each stops in its own lane before a crossing.
        const bool approaching = northSouth ? (along > kHalfPeriod) == (across > 0)
                                            : (along > kHalfPeriod) == (across < 0);
        if (toCrossing >= kZebraFrom && toCrossing < kZebraTo) {
            if (off < kZebraHalfWidth &&
                std::fmod(across + kBlockPeriod + kZebraStripe / 2, kZebraPeriod) < kZebraStripe)
                return paintColour(a, b);
        } else if (toCrossing >= kStopLineFrom && toCrossing < kStopLineTo && approaching &&
                   off < kEdgeLineFrom) {
            return paintColour(a, b);
        }
        if (off >= kEdgeLineFrom && off < kEdgeLineTo)
            return paintColour(a, b);
        if (off < kCentreLineHalfWidth && toCrossing >= kStopLineFrom) {
            const double fromMiddle = std::abs(along - kHalfPeriod);
            if (toCrossing < kSolidCentreTo || std::fmod(fromMiddle + kDashLength / 2, kDashPeriod) < kDashLength)
                return paintColour(a, b);
        }
        return c;
    }
    if (dx < kSidewalkEdge || dz < kSidewalkEdge) {
        // The kerb, then slabs.
        if (dx < kStreetHalfWidth + kKerbWidth || dz < kStreetHalfWidth + kKerbWidth) {
            const bool face = dx < kStreetHalfWidth + 1 || dz < kStreetHalfWidth + 1;
            return shade(Colour{196, 194, 188}, (face ? -30 : 0) + int(std::lround(texelGrain(kGroundSeed + 5, a, b) * 3)));
        }
        return pavingColour(Colour{170, 168, 162}, a, b, kSlab, kGroundSeed + 10);
    }
    // The verge: paved at the corners and where paths cross it, elsewhere a
    // strip of grass between stone edging with a tree every kTreeSpacing.
    const Colour forecourt{176, 168, 152};
    if (dx < kLotEdge && dz < kLotEdge)
        return pavingColour(forecourt, a, b, kSlab / 2, kGroundSeed + 20);
    const double across = dx < kLotEdge ? dx : dz, along = dx < kLotEdge ? b : a;
    if (across < kSidewalkEdge + kVergeEdging || across >= kLotEdge - kVergeEdging)
        return shade(Colour{148, 146, 140}, int(std::lround(texelGrain(kGroundSeed + 6, a, b) * 3)));
    const double fromMiddle = std::abs(along - kHalfPeriod);
    if (std::abs(fromMiddle - 150) < 12)
        return pavingColour(forecourt, a, b, kSlab / 2, kGroundSeed + 20);
    Colour c = grassColour(a, b, kGroundSeed + 30);
    const double middle = (kSidewalkEdge + kLotEdge) / 2;
    const double tree = std::round(along / kTreeSpacing) * kTreeSpacing;
    const double r = std::hypot(along - tree, across - middle);
    if (fromMiddle < 230 && r < kVergeTreeRadius) {
        // A small tree seen from above: dark, darkest in its middle.
        const double t = clamp01((kVergeTreeRadius - r) / 2);
        c = mix(c, scale(Colour{46, 78, 38}, 0.8 + 0.2 * r / kVergeTreeRadius), t);
    }
    return c;
}

// The lot of a built block: a courtyard of dark paving that the buildings
// mostly cover.
Colour courtyardColour(double a, double b) {
    return pavingColour(Colour{104, 100, 96}, a, b, 40, kGroundSeed + 40);
}

// ---------------------------------------------------------------------------
// The park: positions from its middle, px east and pz north.

constexpr double kParkHalf = kHalfPeriod - kLotEdge;
constexpr double kPondRadius = 56, kRimRadius = 62, kPlazaRadius = 80;
constexpr double kRingRadius = 140, kRingHalfWidth = 8, kAvenueHalfWidth = 8, kDiagonalHalfWidth = 6;
constexpr double kHedgeWidth = 7;

struct Tree {
    double x, z, radius;
    Colour colour;
};

struct Bed {
    double x, z, radius;
    Colour first, second;
};

// Distance from (px, pz) to the nearest path's middle, less its half width:
// negative on a path.
double pathDistance(double px, double pz) {
    const double r = std::hypot(px, pz);
    double d = std::abs(r - kRingRadius) - kRingHalfWidth;
    if (r > kPlazaRadius - 2)
        d = std::min({d, std::abs(px) - kAvenueHalfWidth, std::abs(pz) - kAvenueHalfWidth});
    if (r > kRingRadius)
        d = std::min(d, std::abs(std::abs(px) - std::abs(pz)) / std::sqrt(2.0) - kDiagonalHalfWidth);
    return d;
}

std::vector<Bed> flowerBeds() {
    static const Colour flowers[] = {{212, 52, 62}, {236, 200, 64}, {204, 72, 164}, {238, 232, 226}, {232, 132, 52}};
    std::vector<Bed> beds;
    CityRandom random(kParkSeed + 1);
    const double diagonal = 108 / std::sqrt(2.0);
    // Four round beds inside the ring path, and a pair beside each avenue
    // between the ring and the hedge.
    const double places[][3] = {{diagonal, diagonal, 16}, {-diagonal, diagonal, 16}, {diagonal, -diagonal, 16},
                                {-diagonal, -diagonal, 16}, {24, 192, 11},           {-24, 192, 11},
                                {24, -192, 11},             {-24, -192, 11},         {192, 24, 11},
                                {192, -24, 11},             {-192, 24, 11},          {-192, -24, 11}};
    for (const auto& p : places) {
        const int first = random.between(0, 4);
        const int second = (first + random.between(1, 4)) % 5;
        beds.push_back({p[0], p[1], p[2], flowers[first], flowers[second]});
    }
    return beds;
}

// Trees scattered over the grass, kept off the paths, the pond, the beds and
// the hedge, and apart from each other.
std::vector<Tree> parkTrees(const std::vector<Bed>& beds) {
    CityRandom random(kParkSeed + 2);
    std::vector<Tree> trees;
    for (int attempt = 0; attempt < 2000 && trees.size() < 30; ++attempt) {
        const double radius = 14 + 10 * random.unit();
        const double x = (random.unit() * 2 - 1) * kParkHalf, z = (random.unit() * 2 - 1) * kParkHalf;
        const Colour colour{int(40 + 16 * random.unit()), int(82 + 24 * random.unit()), int(36 + 12 * random.unit())};
        if (kParkHalf - std::max(std::abs(x), std::abs(z)) < radius + kHedgeWidth)
            continue;
        if (std::hypot(x, z) < kPlazaRadius + radius + 4 || pathDistance(x, z) < radius * 0.6 + 3)
            continue;
        bool clear = true;
        for (const Bed& bed : beds)
            clear = clear && std::hypot(x - bed.x, z - bed.z) > bed.radius + radius + 2;
        for (const Tree& other : trees)
            clear = clear && std::hypot(x - other.x, z - other.z) > 0.85 * (radius + other.radius);
        if (clear)
            trees.push_back({x, z, radius, colour});
    }
    return trees;
}

struct Park {
    std::vector<Bed> beds;
    std::vector<Tree> trees;
};

Colour parkColour(const Park& park, double a, double b) {
    const double px = a - kHalfPeriod, pz = b - kHalfPeriod;
    const double r = std::hypot(px, pz);
    const double toEdge = kParkHalf - std::max(std::abs(px), std::abs(pz));
    const double path = pathDistance(px, pz);
    Colour c;
    if (r < kPondRadius) {
        // The pond and the fountain in its middle, ripples spreading out.
        if (r < 5)
            c = shade(Colour{232, 238, 242}, int(texelGrain(kParkSeed + 3, a, b) * 4));
        else if (r < 11)
            c = Colour{196, 192, 182};
        else {
            const double depth = 1 - r / kPondRadius;
            const double ripple = 0.05 * std::sin(r * 0.55) * (1 - 0.8 * r / kPondRadius);
            c = mix(Colour{70, 120, 136}, Colour{40, 78, 98}, clamp01(depth * 1.3 + ripple));
            // Foam where the fountain's spray falls back.
            c = mix(c, Colour{214, 226, 232}, 0.55 * clamp01((20 - r) / 9));
        }
    } else if (r < kRimRadius) {
        c = shade(Colour{188, 182, 170}, int(texelGrain(kParkSeed + 4, a, b) * 3));
    } else if (r < kPlazaRadius) {
        const double joint = std::fmod(r - kRimRadius, 9.0);
        c = shade(Colour{192, 184, 166}, (joint < 1.2 ? -22 : 0) + int(texelGrain(kParkSeed + 5, a, b) * 3));
    } else if (path < 0) {
        // Gravel, darker at the path's edges.
        const double grain = groundNoise(kParkSeed + 6, a, b, 2) * 6 + texelGrain(kParkSeed + 7, a, b) * 3;
        c = shade(Colour{198, 186, 158}, int(std::lround(grain)) - (path > -1.6 ? 16 : 0));
    } else if (toEdge < kHedgeWidth) {
        // The hedge round the park, bumpy, with a shadow on its inner side.
        const double bump = groundNoise(kParkSeed + 8, a, b, 4);
        c = scale(Colour{52, 88, 44}, 0.85 + 0.2 * bump - (toEdge > kHedgeWidth - 1.5 ? 0.15 : 0));
    } else {
        // Grass in mown stripes.
        c = grassColour(a, b, kParkSeed + 10);
        const int stripe = int(std::floor((px + kParkHalf) / 23));
        c = shade(c, stripe % 2 == 0 ? 6 : -5);
        for (const Bed& bed : park.beds) {
            const double d = std::hypot(px - bed.x, pz - bed.z);
            if (d < bed.radius) {
                // Soil edging round clumps of two kinds of flower and leaves.
                if (d > bed.radius - 2.5) {
                    c = Colour{92, 68, 50};
                } else {
                    const int ci = int(std::floor((px + 1000) / 4)), cj = int(std::floor((pz + 1000) / 4));
                    const double pick = hashUnit(kParkSeed + 11, ci, cj);
                    c = pick < 0.35 ? Colour{58, 104, 48} : pick < 0.7 ? bed.first : bed.second;
                    c = scale(c, 0.9 + 0.1 * hashUnit(kParkSeed + 12, ci, cj));
                }
            }
        }
    }
    // Trees: first all the shadows, cast to the south-east, then the
    // canopies, lit from the north-west.
    double shadow = 0;
    for (const Tree& tree : park.trees) {
        const double d = std::hypot(px - tree.x - 0.45 * tree.radius, pz - tree.z + 0.45 * tree.radius);
        shadow = std::max(shadow, clamp01((tree.radius - d) / 3));
    }
    if (r >= kPondRadius)
        c = scale(c, 1 - 0.4 * shadow);
    for (const Tree& tree : park.trees) {
        const double ex = (px - tree.x) / tree.radius, ez = (pz - tree.z) / tree.radius;
        const double d = std::hypot(ex, ez);
        if (d >= 1)
            continue;
        const double up = std::sqrt(1 - d * d);
        const double lightX = -0.45, lightZ = 0.45, lightUp = 0.77;
        const double lambert = clamp01(ex * lightX + ez * lightZ + up * lightUp);
        const double clumps = groundNoise(kParkSeed + 13, a, b, 4);
        const Colour leaf = scale(tree.colour, 0.55 + 0.6 * lambert + 0.12 * clumps);
        c = mix(c, leaf, clamp01((1 - d) * tree.radius / 1.5));
    }
    return c;
}

// One ground tile: streets round either a courtyard or the park. Each texel
// averages four samples around its position so that edges are smooth.
RGBImage groundTile(const Park* park) {
    RGBImage image = blank(kGroundTextureSize);
    for (int j = 0; j < kGroundTextureSize; ++j)
        for (int i = 0; i < kGroundTextureSize; ++i) {
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < 4; ++k) {
                const double a = (i + (k % 2 == 0 ? -0.25 : 0.25)) * kTexelUnits;
                const double n = (j + (k / 2 == 0 ? -0.25 : 0.25)) * kTexelUnits;
                const double wa = std::fmod(a + kBlockPeriod, kBlockPeriod), wn = std::fmod(n + kBlockPeriod, kBlockPeriod);
                const double dx = std::min(wa, kBlockPeriod - wa), dz = std::min(wn, kBlockPeriod - wn);
                Colour c;
                if (dx < kLotEdge || dz < kLotEdge)
                    c = streetColour(wa, wn);
                else
                    c = park ? parkColour(*park, wa, wn) : courtyardColour(wa, wn);
                r += std::clamp(c.r, 0, 255);
                g += std::clamp(c.g, 0, 255);
                b += std::clamp(c.b, 0, 255);
            }
            put(image, i, j, {(r + 2) / 4, (g + 2) / 4, (b + 2) / 4});
        }
    return image;
}

} // namespace

RGBImage groundTexture() { return groundTile(nullptr); }

RGBImage parkTexture() {
    Park park;
    park.beds = flowerBeds();
    park.trees = parkTrees(park.beds);
    return groundTile(&park);
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
