// The city's plan: which buildings stand in which block, and the collision
// map drawn from their footprints.
#include "city/CityLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Vantor::tools::city {

namespace {

// The block east of the park holds the landmark, facing the park.
constexpr int kLandmarkBlockX = 3;
constexpr int kLandmarkBlockZ = 2;
// Out of 100: the share of the other blocks given a tower, given slabs; the
// rest are perimeter blocks of low buildings round a courtyard.
constexpr int kTowerShare = 30;
constexpr int kSlabShare = 20;
// Perimeter blocks: the corner buildings' side, and the deepest a building
// along a side may be.
constexpr float kCornerMin = 120.0f;
constexpr float kCornerMax = 160.0f;

// Collects the buildings of the plan and names them in order.
class Planner {
public:
    explicit Planner(CityRandom& source) : random(source) {}

    std::vector<Building> buildings;

    // Adds a building of one tier whose footprint's south-west corner is
    // (x, z); the footprint runs east by width and north by depth.
    Building& add(BuildingStyle style, float x, float z, float width, float depth, int floors, int facade) {
        Building b;
        char name[32];
        std::snprintf(name, sizeof name, "building%03u", unsigned(buildings.size()));
        b.name = name;
        b.style = style;
        b.x = x + width / 2;
        b.z = z - depth / 2;
        b.facade = facade;
        b.bayOffset = random.between(0, 7);
        b.tiers.push_back(Tier{width, depth, floors});
        buildings.push_back(b);
        return buildings.back();
    }

    // A tower standing in one corner quadrant of the lot, stepping back once
    // or twice, with low buildings along the two lot sides away from it.
    void towerBlock(float lotX, float lotZ) {
        const float side = kBayWidth * float(random.between(6, 7));
        const bool east = random.between(0, 1) == 1, north = random.between(0, 1) == 1;
        const float x = east ? lotX + kLotSize - side : lotX;
        const float z = north ? lotZ - kLotSize + side : lotZ;
        const int facade = random.between(kFacadeConcrete, kFacadeDarkGlass);
        Building& tower = add(BuildingStyle::tower, x, z, side, side, random.between(10, 16), facade);
        const int setbacks = random.between(0, 2);
        for (int k = 1; k <= setbacks; ++k) {
            const float inset = 2 * kBayWidth * float(k);
            tower.tiers.push_back(Tier{side - inset, side - inset, random.between(3, 7)});
        }
        // A row of low buildings across the whole lot on the far side from
        // the tower, and one beside the tower.
        const float rowDepth = kBayWidth * float(random.between(3, 4));
        lowRow(lotX, north ? lotZ : lotZ - kLotSize + rowDepth, kLotSize, rowDepth);
        const float besideWidth = kLotSize - side - kBayWidth;
        add(BuildingStyle::lowBlock, east ? lotX : lotX + kLotSize - besideWidth, z, besideWidth, side,
            random.between(2, 5), lowFacade());
    }

    // Two long slabs along opposite sides of the lot and a low building
    // between their ends.
    void slabBlock(float lotX, float lotZ) {
        const bool alongX = random.between(0, 1) == 0;
        const float thickness = kBayWidth * float(random.between(3, 4));
        const float length = kLotSize - kBayWidth * float(random.between(0, 2));
        const int facade = random.between(kFacadeConcrete, kFacadeGlass);
        for (int k = 0; k < 2; ++k) {
            const float across = k == 0 ? 0.0f : kLotSize - thickness;
            const int floors = random.between(6, 11);
            if (alongX)
                add(BuildingStyle::slab, lotX, lotZ - across, length, thickness, floors, facade);
            else
                add(BuildingStyle::slab, lotX + across, lotZ, thickness, length, floors, facade);
        }
        const float middle = kLotSize - 2 * thickness - 2 * kBayWidth;
        const float side = std::min(middle, 4 * kBayWidth);
        const float offset = (kLotSize - side) / 2;
        add(BuildingStyle::lowBlock, lotX + offset, lotZ - offset, side, side, random.between(2, 3), lowFacade());
    }

    // Low and middling buildings all round the lot, wall to wall, round a
    // courtyard: a square one on each corner and one or two along each side
    // between them.
    void perimeterBlock(float lotX, float lotZ) {
        const float corner = kCornerMin + 10.0f * float(random.between(0, int((kCornerMax - kCornerMin) / 10)));
        const float far = kLotSize - corner;
        for (int k = 0; k < 4; ++k)
            add(BuildingStyle::lowBlock, lotX + float(k % 2) * far, lotZ - float(k / 2) * far, corner, corner,
                random.between(3, 7), lowFacade());
        const float gap = kLotSize - 2 * corner;
        const float depth = corner - kBayWidth;
        // South and north sides run along x, the west and east sides along z.
        for (int side = 0; side < 4; ++side) {
            const int pieces = random.between(1, 2);
            const float piece = gap / float(pieces);
            for (int k = 0; k < pieces; ++k) {
                const float along = corner + float(k) * piece;
                const int floors = random.between(2, 6);
                switch (side) {
                case 0: add(BuildingStyle::lowBlock, lotX + along, lotZ, piece, depth, floors, lowFacade()); break;
                case 1:
                    add(BuildingStyle::lowBlock, lotX + along, lotZ - kLotSize + depth, piece, depth, floors,
                        lowFacade());
                    break;
                case 2: add(BuildingStyle::lowBlock, lotX, lotZ - along, depth, piece, floors, lowFacade()); break;
                default:
                    add(BuildingStyle::lowBlock, lotX + kLotSize - depth, lotZ - along, depth, piece, floors,
                        lowFacade());
                }
            }
        }
    }

    // The landmark: a stepped tower of four tiers with a spire, on the lot's
    // park side, with a low wing behind it.
    void landmarkBlock(float lotX, float lotZ) {
        const float side = 8 * kBayWidth;
        const float x = lotX, z = lotZ - (kLotSize - side) / 2;
        Building& landmark = add(BuildingStyle::landmark, x, z, side, side, 14, kFacadeDarkGlass);
        landmark.tiers.push_back(Tier{side - 2 * kBayWidth, side - 2 * kBayWidth, 10});
        landmark.tiers.push_back(Tier{side - 4 * kBayWidth, side - 4 * kBayWidth, 8});
        landmark.tiers.push_back(Tier{side - 6 * kBayWidth, side - 6 * kBayWidth, 4});
        landmark.spireHeight = 6 * kFloorHeight;
        const float wing = kLotSize - side - kBayWidth;
        add(BuildingStyle::lowBlock, lotX + side + kBayWidth, lotZ, wing, kLotSize / 2 - 10, 4, kFacadeStone);
        add(BuildingStyle::lowBlock, lotX + side + kBayWidth, lotZ - kLotSize / 2 - 10, wing, kLotSize / 2 - 10,
            3, kFacadeBrick);
    }

private:
    CityRandom& random;

    int lowFacade() { return random.between(kFacadeBrick, kFacadeStone); }

    // A row of two to four low buildings wall to wall along x.
    void lowRow(float x, float z, float width, float depth) {
        const int pieces = random.between(2, 4);
        const float piece = width / float(pieces);
        for (int k = 0; k < pieces; ++k)
            add(BuildingStyle::lowBlock, x + float(k) * piece, z, piece, depth, random.between(2, 6), lowFacade());
    }
};

} // namespace

int Building::floors() const {
    int total = 0;
    for (const Tier& tier : tiers)
        total += tier.floors;
    return total;
}

std::vector<Building> layoutCity() {
    static_assert(2 * kCornerMax < kLotSize, "perimeter blocks leave room between their corners");
    CityRandom random(kCitySeed);
    Planner planner(random);
    for (int bz = 0; bz < kBlocksPerSide; ++bz)
        for (int bx = 0; bx < kBlocksPerSide; ++bx) {
            const float lotX = float(bx) * kBlockPeriod + kLotEdge;
            const float lotZ = -(float(bz) * kBlockPeriod + kLotEdge);
            const int kind = random.between(0, 99);
            if (bx == kParkBlockX && bz == kParkBlockZ)
                continue;
            if (bx == kLandmarkBlockX && bz == kLandmarkBlockZ)
                planner.landmarkBlock(lotX, lotZ);
            else if (kind < kTowerShare)
                planner.towerBlock(lotX, lotZ);
            else if (kind < kTowerShare + kSlabShare)
                planner.slabBlock(lotX, lotZ);
            else
                planner.perimeterBlock(lotX, lotZ);
        }
    return planner.buildings;
}

float roofHeightNear(const std::vector<Building>& buildings, float x, float z, float distance) {
    float highest = 0.0f;
    for (const Building& b : buildings) {
        const float dx = std::max(0.0f, std::fabs(x - b.x) - b.width() / 2);
        const float dz = std::max(0.0f, std::fabs(z - b.z) - b.depth() / 2);
        if (dx * dx + dz * dz <= distance * distance)
            highest = std::max(highest, b.totalHeight());
    }
    return highest;
}

int collisionColumn(float x) { return int(float(kCollisionMapSize) * x * kCollisionScale + 0.5f); }

int collisionRow(float z) { return int(0.5f - float(kCollisionMapSize) * z * kCollisionScale); }

std::vector<std::uint8_t> collisionMap(const std::vector<Building>& buildings) {
    std::vector<std::uint8_t> cells(std::size_t(kCollisionMapSize) * kCollisionMapSize, kFreeCell);
    for (const Building& b : buildings) {
        // Cell indices grow with x and with -z, so the grown footprint's
        // corners give the first and last cell it touches on each axis.
        const float halfWidth = b.width() / 2 + kCollisionMargin;
        const float halfDepth = b.depth() / 2 + kCollisionMargin;
        const int i0 = std::max(0, collisionColumn(b.x - halfWidth));
        const int i1 = std::min(kCollisionMapSize - 1, collisionColumn(b.x + halfWidth));
        const int j0 = std::max(0, collisionRow(b.z + halfDepth));
        const int j1 = std::min(kCollisionMapSize - 1, collisionRow(b.z - halfDepth));
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i)
                cells[std::size_t(j) * kCollisionMapSize + std::size_t(i)] = kBlockedCell;
    }
    return cells;
}

} // namespace Vantor::tools::city
