// The starter city's plan: which buildings stand in which block, and the
// collision map drawn from their footprints.
#include "city/CityLayout.h"

#include <algorithm>
#include <cstdio>

namespace Vantor::tools::city {

namespace {

// Out of 100: the share of blocks left open, built with one building, with
// two side by side; the rest hold four.
constexpr int kParkShare = 20;
constexpr int kSingleShare = 45;
constexpr int kPairShare = 25;
// A building's position inside its lot moves in steps of this many units.
constexpr float kOffsetStep = 20.0f;
// The share of buildings of six storeys or more that carry a top box.
constexpr double kTopBoxShare = 0.7;
// Bays of the buildings that share a block two or four ways.
constexpr int kSharedBays = 3;

// Collects the buildings of the plan and names them in order.
class Planner {
public:
    explicit Planner(CityRandom& source) : random(source) {}

    std::vector<Building> buildings;

    // Adds a building whose footprint's south-west corner is (x, z); the
    // footprint runs east by width and north by depth.
    Building& add(float x, float z, float width, float depth, int floors) {
        Building b;
        char name[32];
        std::snprintf(name, sizeof name, "building%02u", unsigned(buildings.size()));
        b.name = name;
        b.x = x + width / 2;
        b.z = z - depth / 2;
        b.width = width;
        b.depth = depth;
        b.floors = floors;
        b.facade = random.between(0, kFacadeCount - 1);
        buildings.push_back(b);
        return buildings.back();
    }

    // A distance in [0, slack] in whole offset steps.
    float offset(float slack) { return kOffsetStep * float(random.between(0, int(slack / kOffsetStep))); }

    // One building of 4 to 6 bays each way, placed anywhere in the lot; the
    // taller ones may carry a top box two bays narrower each way.
    void single(float lotX, float lotZ) {
        const float width = kBayWidth * float(random.between(4, 6));
        const float depth = kBayWidth * float(random.between(4, 6));
        const int floors = random.between(kMinFloors + 1, kMaxFloors);
        const float x = lotX + offset(kLotSize - width);
        const float z = lotZ - offset(kLotSize - depth);
        Building& b = add(x, z, width, depth, floors);
        if (floors >= 6 && random.unit() < kTopBoxShare) {
            b.topFloors = random.between(2, std::min(3, floors - kMinFloors));
            b.floors -= b.topFloors;
            b.topWidth = width - 2 * kBayWidth;
            b.topDepth = depth - 2 * kBayWidth;
        }
    }

    // Two buildings side by side, split along x or along z.
    void pair(float lotX, float lotZ) {
        const bool alongX = random.between(0, 1) == 0;
        const float narrow = kBayWidth * kSharedBays;
        for (int k = 0; k < 2; ++k) {
            const float shift = float(k) * (narrow + kBuildingGap);
            const float length = kBayWidth * float(random.between(4, 6));
            const float slide = offset(kLotSize - length);
            const int floors = random.between(kMinFloors, 7);
            if (alongX)
                add(lotX + shift, lotZ - slide, narrow, length, floors);
            else
                add(lotX + slide, lotZ - shift, length, narrow, floors);
        }
    }

    // Four low buildings in the corners of the lot.
    void quad(float lotX, float lotZ) {
        const float side = kBayWidth * kSharedBays;
        for (int k = 0; k < 4; ++k)
            add(lotX + float(k % 2) * (side + kBuildingGap), lotZ - float(k / 2) * (side + kBuildingGap),
                side, side, random.between(kMinFloors, 6));
    }

private:
    CityRandom& random;
};

} // namespace

std::vector<Building> layoutCity() {
    static_assert(kSharedBays * kBayWidth * 2 + kBuildingGap <= kLotSize, "shared blocks fit their lot");
    static_assert(6 * kBayWidth <= kLotSize, "the widest building fits its lot");
    CityRandom random(kCitySeed);
    Planner planner(random);
    for (int bz = 0; bz < kBlocksPerSide; ++bz)
        for (int bx = 0; bx < kBlocksPerSide; ++bx) {
            const float lotX = float(bx) * kBlockPeriod + kLotEdge;
            const float lotZ = -(float(bz) * kBlockPeriod + kLotEdge);
            const int kind = random.between(0, 99);
            if ((bx == kParkBlockX && bz == kParkBlockZ) || kind < kParkShare)
                continue;
            if (kind < kParkShare + kSingleShare)
                planner.single(lotX, lotZ);
            else if (kind < kParkShare + kSingleShare + kPairShare)
                planner.pair(lotX, lotZ);
            else
                planner.quad(lotX, lotZ);
        }
    return planner.buildings;
}

int collisionColumn(float x) { return int(float(kCollisionMapSize) * x * kCollisionScale + 0.5f); }

int collisionRow(float z) { return int(0.5f - float(kCollisionMapSize) * z * kCollisionScale); }

std::vector<std::uint8_t> collisionMap(const std::vector<Building>& buildings) {
    std::vector<std::uint8_t> cells(std::size_t(kCollisionMapSize) * kCollisionMapSize, kFreeCell);
    for (const Building& b : buildings) {
        // Cell indices grow with x and with -z, so the grown footprint's
        // corners give the first and last cell it touches on each axis.
        const float halfWidth = b.width / 2 + kCollisionMargin;
        const float halfDepth = b.depth / 2 + kCollisionMargin;
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
