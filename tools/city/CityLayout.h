// The city's plan: a square grid of streets with blocks between
// them, the buildings that stand in the blocks, and the collision map that
// keeps the walking camera out of them.
//
// World units: x grows east, y up, z grows south, so the city lies at
// x 0..kMapSize and z 0..-kMapSize, the area the collision map covers. Street
// centre lines run at every multiple of kBlockPeriod in x and in z (also
// beyond the map, where the ground's pattern goes on without buildings).
// Everything here is plain arithmetic on a generator of our own with a fixed
// seed, so the plan is the same on every machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vantor::tools::city {

// Side of the square the collision map covers, in world units.
constexpr float kMapSize = 4000.0f;
// Distance between neighbouring street centre lines.
constexpr float kBlockPeriod = 800.0f;
// Blocks along each side of the map.
constexpr int kBlocksPerSide = 5;
// Across a street, from its centre line: two lanes of asphalt (cars keep to
// the right, on the lane centre kLaneOffset from the line), then the
// pavement up to kSidewalkEdge, then a verge up to the lots.
constexpr float kStreetHalfWidth = 80.0f;
constexpr float kLaneOffset = 40.0f;
constexpr float kSidewalkEdge = 130.0f;
// Pedestrians keep to the middle of the pavement.
constexpr float kPavementLine = (kStreetHalfWidth + kSidewalkEdge) / 2;
// Buildings stand at least this far from a street's centre line.
constexpr float kLotEdge = 170.0f;
// Side of the square lot inside each block that buildings may cover.
constexpr float kLotSize = kBlockPeriod - 2 * kLotEdge;
// Facade grid: one window bay across, one storey up. Walls show a whole
// number of bays (the texture stretches a little to fit).
constexpr float kBayWidth = 40.0f;
constexpr float kFloorHeight = 80.0f;
// Sizes of the moving things, in the same units: people are about
// kPersonHeight tall, and the walking camera's eye is at their eye height.
constexpr float kPersonHeight = 46.0f;
constexpr float kCarLength = 110.0f;
constexpr float kCarWidth = 46.0f;
// Facade textures, and with them building materials: red brick, pale stone,
// grey concrete, blue glass, dark glass.
constexpr int kFacadeCount = 5;
enum Facade { kFacadeBrick, kFacadeStone, kFacadeConcrete, kFacadeGlass, kFacadeDarkGlass };

// Collision map: kCollisionMapSize cells square, kBlockedCell where a
// building stands or within kCollisionMargin of it, kFreeCell elsewhere.
constexpr int kCollisionMapSize = 256;
constexpr float kCollisionMargin = 24.0f;
constexpr std::uint8_t kBlockedCell = 255;
constexpr std::uint8_t kFreeCell = 0;
// The program's lookup scale: cell = map size * world coordinate * this.
constexpr float kCollisionScale = 0.00025f;

// Block (2, 2), at the centre of the map where the orbiting camera looks, is
// left open as a park.
constexpr int kParkBlockX = 2;
constexpr int kParkBlockZ = 2;

// The orbiting camera goes no farther than this from the centre of the map;
// no camera goes farther out.
constexpr float kOrbitMaxRadius = 9000.0f;

// The walking camera's start: on the street along x = 1600, halfway between
// two crossings, at eye height, looking north along the street.
constexpr float kWalkStartX = 2 * kBlockPeriod;
constexpr float kWalkStartY = 42.0f;
constexpr float kWalkStartZ = -1.5f * kBlockPeriod;

// Kinds of building, each with its own shape rules.
enum class BuildingStyle { tower, slab, lowBlock, landmark };

// One box of a building: tiers stand on each other, each centred on the
// footprint's centre, the first on the ground.
struct Tier {
    float width = 0.0f;
    float depth = 0.0f;
    int floors = 0;
};

// One building: its tiers, and for the landmark a spire on the top tier.
// x and z are the footprint's centre; width runs along x and depth along z.
struct Building {
    std::string name;
    BuildingStyle style = BuildingStyle::lowBlock;
    float x = 0.0f;
    float z = 0.0f;
    int facade = 0;
    // Where the facade texture starts across, in bays, so neighbours with
    // the same facade do not show the same lit windows.
    int bayOffset = 0;
    std::vector<Tier> tiers;
    float spireHeight = 0.0f;

    // The ground tier's footprint.
    float width() const { return tiers.empty() ? 0.0f : tiers.front().width; }
    float depth() const { return tiers.empty() ? 0.0f : tiers.front().depth; }
    int floors() const;
    // Height of the top tier's roof, and with the spire.
    float roofHeight() const { return float(floors()) * kFloorHeight; }
    float totalHeight() const { return roofHeight() + spireHeight; }
};

// A 64-bit linear congruential generator whose high bits are handed out;
// the same seed gives the same numbers everywhere.
class CityRandom {
public:
    explicit CityRandom(std::uint64_t seed) : state(seed) {}

    std::uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return std::uint32_t(state >> 32);
    }
    // An integer in [low, high].
    int between(int low, int high) { return low + int(next() % std::uint32_t(high - low + 1)); }
    // A number in [0, 1).
    double unit() { return double(next() >> 8) / double(1u << 24); }

private:
    std::uint64_t state;
};

// The seed of the plan and of the textures' grain.
constexpr std::uint64_t kCitySeed = 0x5EED0C17;

// The buildings of the city, block by block in rows from the south edge
// (z = 0) northwards, each row from west to east. Every footprint lies inside
// its block's lot, and no two overlap.
std::vector<Building> layoutCity();

// The height of the highest roof whose footprint comes within distance of
// (x, z); 0 when there is none. Birds keep above it.
float roofHeightNear(const std::vector<Building>& buildings, float x, float z, float distance);

// The program's collision-map cell of a world position; outside
// [0, kCollisionMapSize) the position is off the map.
int collisionColumn(float x);
int collisionRow(float z);

// The collision map of buildings: kCollisionMapSize x kCollisionMapSize bytes,
// byte (column i, row j) at index j * kCollisionMapSize + i. Row j is the
// j-th row in memory once the engine has read the BMP, which is the file's
// j-th row from the bottom: row 0 at z = 0 (the south edge), the last row at
// z = -kMapSize; column 0 at x = 0 (the west edge). A cell is blocked when any
// point of it lies in a footprint grown by kCollisionMargin on every side.
std::vector<std::uint8_t> collisionMap(const std::vector<Building>& buildings);

} // namespace Vantor::tools::city
