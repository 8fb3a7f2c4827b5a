// The outskirts' plan, facade atlas and merged meshes.
#include "city/CityOutskirts.h"

#include "city/CityImages.h"
#include "city/CityModels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

namespace Vantor::tools::city {

namespace {

constexpr std::uint64_t kOutskirtSeed = kCitySeed + 0x700;

// Tower clusters on the skyline, by block: north beyond the walking camera's
// street, north-west where the tour looks over the roofs, east beyond the
// landmark, and south-west; towers rise within kClusterReach blocks of one.
struct Cluster {
    int bx, bz;
};
const Cluster kClusters[] = {{2, 12}, {-6, 9}, {11, 3}, {-5, -6}, {10, -7}};
constexpr int kClusterReach = 2;

// ---------------------------------------------------------------------------
// The plan.

class OutskirtPlanner {
public:
    explicit OutskirtPlanner(CityRandom& source) : random(source) {}

    std::vector<OutskirtBuilding> buildings;

    void block(int bx, int bz) {
        const int ring = outskirtRing(bx, bz);
        const float lotX = float(bx) * kBlockPeriod + kLotEdge;
        const float lotZ = -(float(bz) * kBlockPeriod + kLotEdge);
        // Lower and sparser outwards: every wall of up to a band's storeys
        // is one quad, so a building of a band or less is ten triangles.
        const int lowest = ring <= 3 ? 2 : 1, highest = ring <= 3 ? 5 : ring <= 9 ? 4 : 3;
        blockX = bx;
        blockZ = bz;
        style = random.between(0, kOutskirtStyles - 1);
        const int kind = random.between(0, 99);
        const int tower = towerFloors(bx, bz);
        if (tower > 0) {
            // A tower in one corner quadrant, a low building beside it.
            const float side = kBayWidth * float(random.between(5, 6));
            const bool east = random.between(0, 1) == 1, north = random.between(0, 1) == 1;
            const float x = east ? lotX + kLotSize - side : lotX, z = north ? lotZ - kLotSize + side : lotZ;
            add(x, z, side, side, tower, kOutskirtStyles - 1);
            const float rest = kLotSize - side - kBayWidth;
            add(east ? lotX : lotX + side + kBayWidth, lotZ, rest, kLotSize, random.between(lowest, highest),
                style);
            return;
        }
        if (ring > 9) {
            // Far out: one mass filling the lot, two slabs, or an empty lot.
            if (kind < 55)
                add(lotX, lotZ, kLotSize, kLotSize, random.between(lowest, highest), style);
            else if (kind < 70)
                slabs(lotX, lotZ, lowest, highest);
            return;
        }
        if (ring > 3) {
            if (kind < 45)
                add(lotX, lotZ, kLotSize, kLotSize, random.between(lowest, highest), style);
            else if (kind < 75)
                slabs(lotX, lotZ, lowest, highest);
            else if (kind < 90)
                perimeter(lotX, lotZ, lowest, highest);
            return;
        }
        if (kind < 40)
            perimeter(lotX, lotZ, lowest, highest);
        else if (kind < 65)
            quarters(lotX, lotZ, lowest, highest);
        else if (kind < 90)
            slabs(lotX, lotZ, lowest, highest);
        else
            add(lotX + kBayWidth, lotZ - kBayWidth, kLotSize - 2 * kBayWidth, kLotSize - 2 * kBayWidth,
                random.between(1, 2), style);
    }

private:
    CityRandom& random;
    int blockX = 0, blockZ = 0, style = 0;

    // A box whose footprint's south-west corner is (x, z), running east by
    // width and north by depth.
    void add(float x, float z, float width, float depth, int floors, int boxStyle) {
        OutskirtBuilding b;
        b.blockX = blockX;
        b.blockZ = blockZ;
        b.x = x + width / 2;
        b.z = z - depth / 2;
        b.width = width;
        b.depth = depth;
        b.floors = floors;
        b.style = boxStyle;
        b.roofShade = random.between(0, 7);
        b.bayOffset = random.between(0, 7);
        buildings.push_back(b);
    }

    int towerFloors(int bx, int bz) {
        for (const Cluster& c : kClusters) {
            const int reach = std::max(std::abs(bx - c.bx), std::abs(bz - c.bz));
            if (reach <= kClusterReach && random.between(0, 99) < 70)
                return random.between(14, 24) - 4 * reach;
        }
        return 0;
    }

    // Four buildings wall to wall round a courtyard: two along the lot's
    // south and north sides, two between them along its west and east sides.
    void perimeter(float lotX, float lotZ, int lowest, int highest) {
        const float depth = kBayWidth * float(random.between(3, 4)), gap = kLotSize - 2 * depth;
        add(lotX, lotZ, kLotSize, depth, random.between(lowest, highest), style);
        add(lotX, lotZ - kLotSize + depth, kLotSize, depth, random.between(lowest, highest), style);
        add(lotX, lotZ - depth, depth, gap, random.between(lowest, highest), style);
        add(lotX + kLotSize - depth, lotZ - depth, depth, gap, random.between(lowest, highest), style);
    }

    // Four buildings on the lot's quarters with lanes between them.
    void quarters(float lotX, float lotZ, int lowest, int highest) {
        const float lane = kBayWidth, side = (kLotSize - lane) / 2;
        for (int k = 0; k < 4; ++k)
            add(lotX + float(k % 2) * (side + lane), lotZ - float(k / 2) * (side + lane), side, side,
                random.between(lowest, highest), random.between(0, 3) == 0 ? random.between(0, kOutskirtStyles - 1) : style);
    }

    // Two long slabs on opposite sides of the lot.
    void slabs(float lotX, float lotZ, int lowest, int highest) {
        const bool alongX = random.between(0, 1) == 0;
        const float thickness = kBayWidth * float(random.between(3, 4));
        for (int k = 0; k < 2; ++k) {
            const float across = k == 0 ? 0.0f : kLotSize - thickness;
            const int floors = random.between(lowest, highest);
            if (alongX)
                add(lotX, lotZ - across, kLotSize, thickness, floors, style);
            else
                add(lotX + across, lotZ, thickness, kLotSize, floors, style);
        }
    }
};

// ---------------------------------------------------------------------------
// The atlas: kOutskirtStyles bands of kStoreysPerBand storeys, one storey 32
// texels up and one bay 64 across as in the centre's atlases, then the roofs:
// kRoofShades plain shades side by side over the last row. Walls repeat it
// across and take their style's band once per kStoreysPerBand storeys up.

constexpr int kAtlasSize = 512;
constexpr int kAtlasBays = 8;
constexpr int kAtlasRows = 16;
constexpr int kStoreysPerBand = 5;
constexpr int kRoofFirstRow = kOutskirtStyles * kStoreysPerBand;
constexpr int kRoofShades = 8;
constexpr int kBayTexels = kAtlasSize / kAtlasBays;
constexpr int kStoreyTexels = kAtlasSize / kAtlasRows;
static_assert(kRoofFirstRow < kAtlasRows, "the roofs have rows of their own");
// Share of the windows lit at dusk, and how brightly: fewer and dimmer than
// in the centre, so that the far reaches stay a dark carpet of small lights.
constexpr double kLitShare = 0.26;
constexpr double kLitGlow = 0.7;

struct Rgb {
    double r, g, b;
};

Rgb mix(const Rgb& a, const Rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A number in [0, 1) fixed by the seed and three integers.
double hashUnit(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    CityRandom random(kOutskirtSeed ^ (a * 0x9E3779B97F4A7C15ull) ^ (b * 0xC2B2AE3D27D4EB4Full) ^
                      (c * 0x165667B19E3779F9ull));
    random.next();
    return random.unit();
}

// The light of a lit window by a tone in [0, 1): mostly warm, some orange, a
// few cool.
Rgb lampLight(double tone) {
    const Rgb warm{0.92, 0.70, 0.40}, orange{0.86, 0.54, 0.26}, cool{0.72, 0.76, 0.86};
    return tone < 0.55 ? warm : tone < 0.88 ? orange : cool;
}

struct StyleColours {
    Rgb wall, frame;
    // Windows from x0 to x1 across the bay and y0 to y1 up the storey.
    int x0, x1, y0, y1;
};

const StyleColours kStyles[kOutskirtStyles] = {
    {{0.50, 0.27, 0.21}, {0.78, 0.75, 0.70}, 18, 46, 9, 25},  // brick
    {{0.60, 0.58, 0.54}, {0.32, 0.32, 0.33}, 6, 58, 10, 24},  // concrete with strip windows
    {{0.20, 0.22, 0.26}, {0.46, 0.49, 0.54}, 2, 62, 6, 29},   // dark glass
};

// Colour and glow (0 to 1) of atlas texel (x, y), rows bottom first.
std::pair<Rgb, double> atlasTexel(int x, int y) {
    const int row = y / kStoreyTexels;
    if (row >= kRoofFirstRow) {
        // Tar, gravel and old tiles, dark under the evening sky.
        const int shade = x / (kAtlasSize / kRoofShades);
        const double grey = 0.20 + 0.035 * shade;
        return {{grey + 0.02 * (shade % 3), grey, grey - 0.01 * (shade % 2)}, 0.0};
    }
    const int style = row / kStoreysPerBand;
    const StyleColours& s = kStyles[style];
    const int bx = x % kBayTexels, fy = y % kStoreyTexels, bay = x / kBayTexels;
    const double grain = hashUnit(std::uint64_t(x), std::uint64_t(y), 7) - 0.5;
    const Rgb wall = mix(s.wall, Rgb{0, 0, 0}, 0.06 * grain);
    if (bx < s.x0 || bx >= s.x1 || fy < s.y0 || fy >= s.y1)
        return {wall, 0.0};
    // The frame round each pane, and mullions two bays' worth apart.
    if (bx == s.x0 || bx == s.x1 - 1 || fy == s.y0 || fy == s.y1 - 1 || (s.x1 - s.x0 > 40 && bx == 32))
        return {s.frame, 0.0};
    const double pick = hashUnit(std::uint64_t(style), std::uint64_t(row), std::uint64_t(bay));
    const double v = double(fy - s.y0) / double(s.y1 - s.y0);
    if (pick < kLitShare) {
        const double tone = hashUnit(std::uint64_t(style), std::uint64_t(row), std::uint64_t(bay + 100));
        return {mix(lampLight(tone), Rgb{0.3, 0.22, 0.14}, 0.3 * (1 - v)), kLitGlow};
    }
    // Unlit glass catches the dusk sky towards its top.
    return {mix(Rgb{0.09, 0.10, 0.14}, Rgb{0.30, 0.28, 0.40}, 0.2 + 0.6 * v), 0.0};
}

std::uint8_t toByte(double c) { return std::uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255)); }

Image outskirtsAtlas() {
    Image image;
    image.allocate(4, kAtlasSize, kAtlasSize);
    for (int y = 0; y < kAtlasSize; ++y)
        for (int x = 0; x < kAtlasSize; ++x) {
            const auto [colour, glow] = atlasTexel(x, y);
            std::uint8_t* p = image.data + (std::size_t(y) * kAtlasSize + std::size_t(x)) * 4;
            p[0] = toByte(colour.r);
            p[1] = toByte(colour.g);
            p[2] = toByte(colour.b);
            // The base pass adds 1 - alpha to the ambient light.
            p[3] = toByte(1.0 - glow);
        }
    return image;
}

// ---------------------------------------------------------------------------
// The far carpet: beyond the last ring, out to the ground's edge, the city
// goes on as a picture on the ground. Out there its buildings would be a few
// pixels tall, a blur of roofs and lit windows, which is what the carpet's
// texture shows: the ground's own tile, so that its streets carry on those of
// the rings, with each lot covered by a few dark roofs, lit windows along
// their edges.

// Roofs across and along a lot, the lanes between them, and the windows'
// depth in from a roof's edge and length along it (world units).
constexpr int kCarpetRoofs = 3;
constexpr double kCarpetLane = 16.0;
constexpr double kCarpetWindowDepth = 9.0;
constexpr double kCarpetWindowLength = 12.0;
// The carpet lies half a storey above the ground, enough for the depth
// buffer to keep the two apart out to the far plane.
constexpr float kCarpetHeight = kFloorHeight / 2;
// The mesh colour of the farthest ring and of the carpet beyond it.
constexpr float kFarthestFade = 0.7f;

Image farCarpetImage() {
    const RGBImage ground = groundTexture();
    const int size = ground.size;
    const double texel = double(kBlockPeriod) / size;
    const double roofSide = (double(kLotSize) - (kCarpetRoofs - 1) * kCarpetLane) / kCarpetRoofs;
    Image image;
    image.allocate(4, size, size);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            const std::uint8_t* g = ground.at(i, j);
            std::uint8_t* p = image.data + (std::size_t(j) * std::size_t(size) + std::size_t(i)) * 4;
            p[0] = g[0];
            p[1] = g[1];
            p[2] = g[2];
            p[3] = 255;
            // Where the texel lies in the lot, and on which roof.
            const double x = i * texel - kLotEdge, y = j * texel - kLotEdge;
            if (x < 0 || y < 0 || x >= kLotSize || y >= kLotSize)
                continue;
            const int column = int(x / (roofSide + kCarpetLane)), row = int(y / (roofSide + kCarpetLane));
            const double across = x - column * (roofSide + kCarpetLane), up = y - row * (roofSide + kCarpetLane);
            if (across >= roofSide || up >= roofSide)
                continue;
            const std::uint64_t roof = std::uint64_t(row * kCarpetRoofs + column);
            const double edge = std::min({across, up, roofSide - across, roofSide - up});
            Rgb colour = mix(Rgb{0.20, 0.20, 0.21}, Rgb{0.30, 0.29, 0.28}, hashUnit(roof, 11, 0));
            double glow = 0.0;
            if (edge < kCarpetWindowDepth) {
                // A window: the run along the nearest edge picks whether it is lit.
                const double along = edge == across || edge == roofSide - across ? up : across;
                const std::uint64_t run = std::uint64_t(along / kCarpetWindowLength);
                const std::uint64_t side = edge == across ? 0 : edge == up ? 1 : edge == roofSide - across ? 2 : 3;
                if (hashUnit(roof, side, run + 200) < kLitShare) {
                    colour = lampLight(hashUnit(roof, side, run + 400));
                    glow = kLitGlow;
                }
            }
            p[0] = toByte(colour.r);
            p[1] = toByte(colour.g);
            p[2] = toByte(colour.b);
            p[3] = toByte(1.0 - glow);
        }
    return image;
}

// ---------------------------------------------------------------------------
// Meshes.

// The quad corner, corner + across, corner + across + up, corner + up as two
// triangles facing cross(across, up), counter-clockwise seen from there.
void addQuad(Mesh& mesh, const Vector3& corner, const Vector3& across, const Vector3& up, float u0, float u1,
             float v0, float v1) {
    Vector3 normal = cross(across, up);
    normal.normalize();
    const Vector3 corners[4] = {corner, corner + across, corner + across + up, corner + up};
    const float us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
    const int base = int(mesh.vertices.size);
    for (int k = 0; k < 4; ++k)
        mesh.vertices.add(vertexAt(corners[k], normal, us[k], vs[k]));
    Triangle first, second;
    first.v[0] = base;
    first.v[1] = base + 1;
    first.v[2] = base + 2;
    second.v[0] = base;
    second.v[1] = base + 2;
    second.v[2] = base + 3;
    first.normal = second.normal = normal;
    mesh.triangles.add(first);
    mesh.triangles.add(second);
}

// One wall from corner along across: the building's storeys in runs of up to
// kStoreysPerBand, each run one quad on its style's band.
void addWall(Mesh& mesh, const OutskirtBuilding& b, const Vector3& corner, const Vector3& across, int bayOffset) {
    const float bays = std::max(1.0f, std::round(across.length() / kBayWidth));
    const float u0 = float(bayOffset) / kAtlasBays, u1 = u0 + bays / kAtlasBays;
    const float band = float(b.style * kStoreysPerBand) / kAtlasRows;
    for (int storey = 0; storey < b.floors; storey += kStoreysPerBand) {
        const int run = std::min(kStoreysPerBand, b.floors - storey);
        addQuad(mesh, corner + Vector3(0, float(storey) * kFloorHeight, 0), across,
                Vector3(0, float(run) * kFloorHeight, 0), u0, u1, band, band + float(run) / kAtlasRows);
    }
}

// The walls of a box, by the way they face.
enum Wall { kSouthWall = 1, kEastWall = 2, kNorthWall = 4, kWestWall = 8 };

// The walls of building b that some camera may see: not those that face away
// from the map beyond where any camera goes (no camera stands in front of
// them), nor those that lie against a building of its block at least as tall
// (the courtyard blocks' buildings stand wall to wall).
int seenWalls(const OutskirtBuilding& b, const std::vector<const OutskirtBuilding*>& group) {
    const float west = b.x - b.width / 2, east = b.x + b.width / 2;
    const float north = b.z - b.depth / 2, south = b.z + b.depth / 2;
    const float centreX = kMapSize / 2, centreZ = -kMapSize / 2;
    int walls = kSouthWall | kEastWall | kNorthWall | kWestWall;
    if (east > centreX + kOrbitMaxRadius)
        walls &= ~kEastWall;
    if (west < centreX - kOrbitMaxRadius)
        walls &= ~kWestWall;
    if (south > centreZ + kOrbitMaxRadius)
        walls &= ~kSouthWall;
    if (north < centreZ - kOrbitMaxRadius)
        walls &= ~kNorthWall;
    constexpr float kTouch = 1e-2f;
    for (const OutskirtBuilding* o : group) {
        if (o == &b || o->blockX != b.blockX || o->blockZ != b.blockZ || o->floors < b.floors)
            continue;
        const float oWest = o->x - o->width / 2, oEast = o->x + o->width / 2;
        const float oNorth = o->z - o->depth / 2, oSouth = o->z + o->depth / 2;
        const bool acrossX = oWest <= west + kTouch && oEast >= east - kTouch;
        const bool acrossZ = oNorth <= north + kTouch && oSouth >= south - kTouch;
        if (acrossX && std::fabs(oNorth - south) < kTouch)
            walls &= ~kSouthWall;
        if (acrossX && std::fabs(oSouth - north) < kTouch)
            walls &= ~kNorthWall;
        if (acrossZ && std::fabs(oWest - east) < kTouch)
            walls &= ~kEastWall;
        if (acrossZ && std::fabs(oEast - west) < kTouch)
            walls &= ~kWestWall;
    }
    return walls;
}

// A box of building b, relative to origin: the walls given and the roof
// (nothing sees its floor, and it casts no shadow that would need it closed).
void addBuilding(Mesh& mesh, const OutskirtBuilding& b, const Vector3& origin, int walls) {
    const float a = b.width / 2, c = b.depth / 2, h = b.height();
    const Vector3 o = Vector3(b.x, 0, b.z) - origin;
    if (walls & kSouthWall)
        addWall(mesh, b, o + Vector3(-a, 0, c), Vector3(b.width, 0, 0), b.bayOffset);
    if (walls & kEastWall)
        addWall(mesh, b, o + Vector3(a, 0, c), Vector3(0, 0, -b.depth), b.bayOffset + 3);
    if (walls & kNorthWall)
        addWall(mesh, b, o + Vector3(a, 0, -c), Vector3(-b.width, 0, 0), b.bayOffset + 5);
    if (walls & kWestWall)
        addWall(mesh, b, o + Vector3(-a, 0, -c), Vector3(0, 0, b.depth), b.bayOffset + 2);
    const float u = (float(b.roofShade) + 0.5f) / kRoofShades;
    const float v = (float(kRoofFirstRow) + float(kAtlasRows - kRoofFirstRow) / 2) / kAtlasRows;
    addQuad(mesh, o + Vector3(-a, h, c), Vector3(b.width, 0, 0), Vector3(0, 0, -b.depth), u, u, v, v);
}

// Farther meshes fade a little towards the evening haze: fade 1 is none.
void fadeTowardsHaze(Mesh& mesh, float fade) {
    mesh.colour[0] = mesh.colour[1] = fade;
    mesh.colour[2] = std::min(1.0f, fade * 1.06f);
}

// The far carpet round the rings, out to the ground's edge, relative to the
// map's centre: four strips of one quad each facing up, the south and north
// ones the full width, textured like the ground (one tile a block period).
Mesh farCarpet() {
    Mesh mesh;
    mesh.name = "outskirtsCarpet";
    mesh.flags = kOutskirtMeshFlags;
    mesh.materialIndex = 1;
    const float inner = kMapSize / 2 + float(kOutskirtRings) * kBlockPeriod, outer = kMapSize / 2 + kGroundReach;
    const Vector3 centre(kMapSize / 2, 0, -kMapSize / 2);
    // A strip from west to east and from south to north, relative to the centre.
    auto strip = [&](float west, float east, float south, float north) {
        const Vector3 corner(west, kCarpetHeight, south);
        const float u0 = (centre.x + west) / kBlockPeriod, v0 = -(centre.z + south) / kBlockPeriod;
        addQuad(mesh, corner, Vector3(east - west, 0, 0), Vector3(0, 0, north - south), u0,
                u0 + (east - west) / kBlockPeriod, v0, v0 + (south - north) / kBlockPeriod);
    };
    strip(-outer, outer, outer, inner);
    strip(-outer, outer, -inner, -outer);
    strip(-outer, -inner, inner, -inner);
    strip(inner, outer, inner, -inner);
    mesh.boxMin = Vector3(-outer, kCarpetHeight, -outer);
    mesh.boxMax = Vector3(outer, kCarpetHeight, outer);
    fadeTowardsHaze(mesh, kFarthestFade);
    Key placed;
    placed.translation = centre;
    mesh.bindKey = placed;
    return mesh;
}

// The group of a block along one axis: groups of kOutskirtGroupBlocks
// outwards from the map's edges, and the map's own width as one group.
int groupOf(int block) {
    if (block < 0)
        return -1 - (-1 - block) / kOutskirtGroupBlocks;
    if (block >= kBlocksPerSide)
        return 1 + (block - kBlocksPerSide) / kOutskirtGroupBlocks;
    return 0;
}

} // namespace

int outskirtRing(int bx, int bz) {
    auto outside = [](int b) { return b < 0 ? -b : b >= kBlocksPerSide ? b - kBlocksPerSide + 1 : 0; };
    return std::max(outside(bx), outside(bz));
}

std::vector<OutskirtBuilding> layoutOutskirts() {
    CityRandom random(kOutskirtSeed);
    OutskirtPlanner planner(random);
    for (int bz = -kOutskirtRings; bz < kBlocksPerSide + kOutskirtRings; ++bz)
        for (int bx = -kOutskirtRings; bx < kBlocksPerSide + kOutskirtRings; ++bx)
            if (outskirtRing(bx, bz) > 0)
                planner.block(bx, bz);
    return planner.buildings;
}

V3DContent outskirtsModel(const std::vector<OutskirtBuilding>& buildings) {
    // Buildings by group, groups in the order of their first building.
    std::map<std::pair<int, int>, std::vector<const OutskirtBuilding*>> groups;
    std::vector<std::pair<int, int>> order;
    for (const OutskirtBuilding& b : buildings) {
        const std::pair<int, int> key(groupOf(b.blockX), groupOf(b.blockZ));
        auto& members = groups[key];
        if (members.empty())
            order.push_back(key);
        members.push_back(&b);
    }
    // Nearest the map first: the cameras stand on it or above it, so a
    // group's nearer buildings are drawn before those they hide.
    auto distanceOut = [](const OutskirtBuilding* b) {
        const float dx = b->x - kMapSize / 2, dz = -b->z - kMapSize / 2;
        return dx * dx + dz * dz;
    };
    for (auto& entry : groups)
        std::stable_sort(entry.second.begin(), entry.second.end(),
                         [&](const OutskirtBuilding* a, const OutskirtBuilding* b) { return distanceOut(a) < distanceOut(b); });

    V3DContent content;
    Material material;
    material.name = kOutskirtMaterialName;
    MatTex slot;
    slot.textureIndex = 0;
    material.textures.add(slot);
    content.materials.add(material);
    content.textures.add(outskirtsAtlas());
    material.name = kOutskirtCarpetMaterialName;
    material.textures[0].textureIndex = 1;
    content.materials.add(material);
    content.textures.add(farCarpetImage());

    const float reach = float(kOutskirtRings) * kBlockPeriod;
    for (const std::pair<int, int>& key : order) {
        const std::vector<const OutskirtBuilding*>& members = groups[key];
        Vector3 low(1e30f, 0, 1e30f), high(-1e30f, 0, -1e30f);
        for (const OutskirtBuilding* b : members) {
            low = Vector3(std::min(low.x, b->x - b->width / 2), 0, std::min(low.z, b->z - b->depth / 2));
            high = Vector3(std::max(high.x, b->x + b->width / 2), std::max(high.y, b->height()),
                           std::max(high.z, b->z + b->depth / 2));
        }
        const Vector3 centre((low.x + high.x) / 2, 0, (low.z + high.z) / 2);
        Mesh mesh;
        char name[40];
        std::snprintf(name, sizeof name, "outskirts%+d%+d", key.first, key.second);
        mesh.name = name;
        mesh.id = int(content.roots.size);
        mesh.flags = kOutskirtMeshFlags;
        mesh.materialIndex = 0;
        for (const OutskirtBuilding* b : members)
            addBuilding(mesh, *b, centre, seenWalls(*b, members));
        mesh.boxMin = Vector3(low.x - centre.x, 0, low.z - centre.z);
        mesh.boxMax = Vector3(high.x - centre.x, high.y, high.z - centre.z);
        const float distance = std::max(std::fabs(centre.x - kMapSize / 2) - kMapSize / 2,
                                        std::fabs(-centre.z - kMapSize / 2) - kMapSize / 2);
        fadeTowardsHaze(mesh, 1.0f - (1.0f - kFarthestFade) * std::clamp(distance / reach, 0.0f, 1.0f));
        Key placed;
        placed.translation = centre;
        mesh.bindKey = placed;
        content.roots.add(mesh);
    }
    Mesh carpet = farCarpet();
    carpet.id = int(content.roots.size);
    content.roots.add(carpet);
    return content;
}

} // namespace Vantor::tools::city
