// Pedestrians of the city: the skinned figure and its bones, the clothes'
// palette, and the walk along one side of a block or round one of its
// corners, with the walk cycle of legs and arms.
#include "city/CityMoverParts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace Vantor::tools::city {

using namespace movers;

namespace {

// The bones, in file order (depth first): hips (the root) with the chest
// (head and upper arms under it) and the legs.
enum PedestrianMesh {
    kHips,
    kChest,
    kHead,
    kLeftArm,
    kRightArm,
    kLeftThigh,
    kLeftShin,
    kRightThigh,
    kRightShin,
    kFigure
};

// The figure in its bind pose, standing on y = 0 facing +z (+x is its left).
constexpr float kHipHeight = 24.0f;
constexpr float kHipJointY = 23.5f;
constexpr float kKneeY = 13.0f;
constexpr float kLegX = 3.2f;
constexpr float kChestY = 31.0f;
constexpr float kNeckY = 38.5f;
constexpr float kShoulderY = 37.5f;
constexpr float kShoulderX = 8.0f;

// The walk: degrees of the swing at the hip, of the knee's bend (at rest and
// at most, in the middle of a leg's swing) and of the arms' swing; the hips
// drop this much between the steps.
constexpr float kHipSwing = 25.0f;
constexpr float kKneeRest = 5.0f;
constexpr float kKneeBend = 40.0f;
constexpr float kArmSwing = 18.0f;
constexpr float kHipDrop = 1.0f;
constexpr float kWalkSpeedMin = 36.0f;
constexpr float kWalkSpeedRange = 6.0f;

// Pedestrians keep right: the lane nearer the block when it is on their right,
// the one nearer the street when it is on their left. They turn round on
// kWalkTurnRadius, and round a block's corner on the lanes' common centre.
constexpr float kWalkLaneSpread = 10.0f;
constexpr float kBlockSideLane = kPavementLine + kWalkLaneSpread;
constexpr float kStreetSideLane = kPavementLine - kWalkLaneSpread;
constexpr float kWalkTurnRadius = kWalkLaneSpread;
constexpr float kOuterCornerRadius = kWalkTurnRadius + 2 * kWalkLaneSpread;

enum PedestrianCell { kSkinCell, kHairCell, kShirtCell, kTrousersCell, kShoesCell, kForearmCell };

const Rgb kSkinTones[] = {{236, 200, 170}, {212, 166, 126}, {172, 122, 86},
                          {122, 82, 56},   {92, 62, 42},    {246, 216, 192}};
const Rgb kHairColours[] = {{30, 25, 20}, {82, 52, 30}, {152, 112, 62}, {212, 182, 122}, {162, 162, 162}, {132, 52, 26}};
const Rgb kShirtColours[] = {{182, 42, 42},  {42, 82, 162},  {232, 232, 232}, {62, 142, 72},  {222, 182, 42},
                             {122, 62, 142}, {42, 42, 46},   {202, 112, 62},  {92, 152, 192}, {232, 142, 172}};
const Rgb kTrouserColours[] = {{52, 72, 122}, {36, 36, 42}, {112, 112, 118}, {172, 152, 112}, {92, 66, 46}};
const Rgb kShoeColours[] = {{26, 26, 26}, {92, 62, 36}, {222, 222, 222}};

template <class T, size_t N>
const T& pick(CityRandom& random, const T (&list)[N]) {
    return list[random.next() % N];
}

// A walking path: along one side of a block (out on one lane, back on the
// other), or round one of its corners the same way.
struct Walk {
    int bx, bz;
    bool corner;
    // The side (from corner k to corner k + 1, clockwise) or the corner k.
    int k;
};

// A point of a lane round block (bx, bz): along the side from its corner
// k (clockwise, as insetCorners) to the next, at distance along from the
// corner's street centre line and inset from the side's.
LoopPath::Corner lanePoint(int bx, int bz, int k, float along, float inset, float radius) {
    float x[4], z[4];
    insetCorners(bx, bz, bx, bz, 0.0f, x, z);
    const int a = (k + 4) % 4, b = (k + 1) % 4;
    const float ex = (x[b] - x[a]) / kBlockPeriod, ez = (z[b] - z[a]) / kBlockPeriod;
    // Into the block: the right of the side's direction.
    const float nx = -ez, nz = ex;
    return {x[a] + ex * along + nx * inset, z[a] + ez * along + nz * inset, radius};
}

std::vector<LoopPath::Corner> walkCorners(const Walk& walk, CityRandom& random) {
    const int bx = walk.bx, bz = walk.bz, k = walk.k;
    const float r = kWalkTurnRadius;
    if (!walk.corner) {
        // Out clockwise on the block's lane, back on the street's; the ends
        // of the side lanes are where the lanes round the corners begin.
        const float a0 = kBlockSideLane + 60.0f * float(random.unit());
        const float a1 = kBlockPeriod - kBlockSideLane - 60.0f * float(random.unit());
        return {lanePoint(bx, bz, k, a0, kBlockSideLane, r), lanePoint(bx, bz, k, a1, kBlockSideLane, r),
                lanePoint(bx, bz, k, a1, kStreetSideLane, r), lanePoint(bx, bz, k, a0, kStreetSideLane, r)};
    }
    // Along side k - 1 to corner k and on along side k, turning right on the
    // block's lane; back and round the corner on the street's.
    const float a0 = 240.0f + 240.0f * float(random.unit()), a1 = 320.0f + 240.0f * float(random.unit());
    return {lanePoint(bx, bz, k - 1, a0, kBlockSideLane, r),
            lanePoint(bx, bz, k - 1, kBlockPeriod - kBlockSideLane, kBlockSideLane, r),
            lanePoint(bx, bz, k, a1, kBlockSideLane, r),
            lanePoint(bx, bz, k, a1, kStreetSideLane, r),
            lanePoint(bx, bz, k - 1, kBlockPeriod - kStreetSideLane, kStreetSideLane, kOuterCornerRadius),
            lanePoint(bx, bz, k - 1, a0, kStreetSideLane, r)};
}

// The first eight walk the pavements of the street along x = 1600 next to
// the walking camera's start: along the blocks' sides and round the corners
// at the crossing to the north of it.
const Walk kNearWalks[] = {{1, 1, false, 2}, {2, 1, false, 0}, {1, 2, false, 2}, {2, 2, false, 0},
                           {1, 1, true, 2},  {2, 1, true, 1},  {1, 2, true, 3},  {2, 2, true, 0}};
constexpr int kNearWalkCount = int(sizeof kNearWalks / sizeof kNearWalks[0]);

Image pedestrianTexture(CityRandom& random) {
    Palette p;
    const Rgb skin = pick(random, kSkinTones), shirt = pick(random, kShirtColours);
    p.fill(kSkinCell, skin);
    p.fill(kHairCell, pick(random, kHairColours));
    p.fill(kShirtCell, shirt);
    p.fill(kTrousersCell, pick(random, kTrouserColours));
    p.fill(kShoesCell, pick(random, kShoeColours));
    p.fill(kForearmCell, random.between(0, 1) ? skin : shirt);
    return p.image;
}

// A vertical tube from bottom to top ring.
Tube uprightTube(int sides, const std::vector<Ring>& rings, const std::vector<int>& bands, int bottomCell,
                 int topCell) {
    Tube tube;
    tube.axis1 = Vector3(0, 0, 1);
    tube.axis2 = Vector3(1, 0, 0);
    tube.sides = sides;
    tube.rings = rings;
    tube.bandCells = bands;
    tube.firstCapCell = bottomCell;
    tube.lastCapCell = topCell;
    return tube;
}

Ring level(float x, float y, float z, float depth, float width, const Weights& weights) {
    return {Vector3(x, y, z), depth, width, weights};
}

// The skinned figure, about kPersonHeight tall: torso, head, arms, legs and
// feet, each a closed tube or block; joints blend the bones on either side.
Mesh figureMesh() {
    Mesh figure;
    figure.id = kFigure;
    figure.name = "figure";
    figure.flags = kSkinnedMeshFlags;
    figure.materialIndex = 0;
    MeshBuilder builder(figure);

    addTube(builder, uprightTube(8,
                                 {level(0, 21.0f, 0, 3.4f, 5.8f, only(kHips)),
                                  level(0, 27.0f, 0, 3.0f, 5.4f, blend(kHips, 0.5f, kChest)),
                                  level(0, 31.0f, 0, 3.3f, 6.0f, only(kChest)),
                                  level(0, 36.0f, 0, 3.5f, 7.0f, only(kChest)),
                                  level(0, 38.5f, 0, 2.5f, 4.0f, blend(kChest, 0.7f, kHead))},
                                 {kTrousersCell, kShirtCell, kShirtCell, kShirtCell}, kTrousersCell, kShirtCell));
    addTube(builder, uprightTube(6,
                                 {level(0, 38.0f, 0.3f, 1.5f, 1.5f, blend(kChest, 0.5f, kHead)),
                                  level(0, 40.0f, 0.3f, 2.8f, 2.6f, only(kHead)),
                                  level(0, 43.0f, 0.3f, 3.2f, 3.0f, only(kHead)),
                                  level(0, 45.0f, 0.1f, 2.9f, 2.7f, only(kHead)),
                                  level(0, 46.0f, 0.0f, 1.7f, 1.5f, only(kHead))},
                                 {kSkinCell, kSkinCell, kHairCell, kHairCell}, kSkinCell, kHairCell));
    const BlockLook shoe = {{kShoesCell, kShoesCell, kShoesCell, kShoesCell, kShoesCell, kShoesCell}, {}};
    for (int side = 0; side < 2; ++side) {
        const float x = side == 0 ? kLegX : -kLegX;
        const int thigh = side == 0 ? kLeftThigh : kRightThigh, shin = side == 0 ? kLeftShin : kRightShin;
        addTube(builder, uprightTube(6,
                                     {level(x, 3.5f, 0, 1.9f, 1.8f, only(shin)),
                                      level(x, kKneeY, 0, 2.3f, 2.3f, blend(thigh, 0.5f, shin)),
                                      level(x, 19.0f, 0, 2.8f, 2.7f, only(thigh)),
                                      level(x, 25.0f, 0, 3.0f, 2.8f, blend(kHips, 0.5f, thigh))},
                                     {kTrousersCell, kTrousersCell, kTrousersCell}, kTrousersCell, kTrousersCell));
        addBlock(builder, 0.0f, {x - 1.8f, x + 1.8f, -2.2f, 5.0f}, 3.8f, {x - 1.7f, x + 1.7f, -2.0f, 3.0f}, shoe,
                 only(shin));
        const float armX = side == 0 ? kShoulderX : -kShoulderX;
        const int arm = side == 0 ? kLeftArm : kRightArm;
        addTube(builder, uprightTube(6,
                                     {level(armX, 20.5f, 0, 1.2f, 1.1f, only(arm)),
                                      level(armX, 24.0f, 0, 1.4f, 1.3f, only(arm)),
                                      level(armX, 34.0f, 0, 1.8f, 1.7f, only(arm)),
                                      level(armX, 38.0f, 0, 2.0f, 1.9f, blend(kChest, 0.5f, arm))},
                                     {kSkinCell, kForearmCell, kShirtCell}, kSkinCell, kShirtCell));
    }
    builder.finish();
    return figure;
}

// Where each bone sits relative to its parent in the bind pose.
Vector3 boneOffset(int bone) {
    switch (bone) {
    case kHips:
        return Vector3(0, kHipHeight, 0);
    case kChest:
        return Vector3(0, kChestY - kHipHeight, 0);
    case kHead:
        return Vector3(0, kNeckY - kChestY, 0);
    case kLeftArm:
    case kRightArm:
        return Vector3(bone == kLeftArm ? kShoulderX : -kShoulderX, kShoulderY - kChestY, 0);
    case kLeftThigh:
    case kRightThigh:
        return Vector3(bone == kLeftThigh ? kLegX : -kLegX, kHipJointY - kHipHeight, 0);
    default:
        return Vector3(0, kKneeY - kHipJointY, 0);
    }
}

Mesh pedestrianSkeleton() {
    Mesh hips = boneMesh(kHips, "hips", boneOffset(kHips));
    Mesh chest = boneMesh(kChest, "chest", boneOffset(kChest));
    chest.children.add(boneMesh(kHead, "head", boneOffset(kHead)));
    chest.children.add(boneMesh(kLeftArm, "leftUpperArm", boneOffset(kLeftArm)));
    chest.children.add(boneMesh(kRightArm, "rightUpperArm", boneOffset(kRightArm)));
    hips.children.add(chest);
    Mesh leftThigh = boneMesh(kLeftThigh, "leftThigh", boneOffset(kLeftThigh));
    leftThigh.children.add(boneMesh(kLeftShin, "leftShin", boneOffset(kLeftShin)));
    hips.children.add(leftThigh);
    Mesh rightThigh = boneMesh(kRightThigh, "rightThigh", boneOffset(kRightThigh));
    rightThigh.children.add(boneMesh(kRightShin, "rightShin", boneOffset(kRightShin)));
    hips.children.add(rightThigh);
    return hips;
}

MoverModel pedestrianModel(int index) {
    CityRandom random = moverRandom(2, index);
    Walk walk;
    if (index < kNearWalkCount) {
        walk = kNearWalks[index];
    } else {
        walk.bx = random.between(0, kBlocksPerSide - 1);
        walk.bz = random.between(0, kBlocksPerSide - 1);
        walk.corner = random.between(0, 1) == 1;
        walk.k = random.between(0, 3);
    }
    const LoopPath path(walkCorners(walk, random));
    // A whole number of walk cycles per loop, at about the chosen speed.
    const float speed = kWalkSpeedMin + kWalkSpeedRange * float(random.unit());
    const float cycleLength = speed * float(kWalkCycleFrames) / float(kMoverFramesPerSecond);
    const int cycles = std::max(1, int(std::lround(path.length() / cycleLength)));
    const int frames = cycles * kWalkCycleFrames;
    const float start = path.length() * float(random.unit());
    const int cycleStart = random.between(0, kWalkCycleFrames - 1);

    Motion motion;
    const int trackBones[] = {kHips, kLeftThigh, kRightThigh, kLeftShin, kRightShin, kLeftArm, kRightArm};
    for (int bone : trackBones) {
        MotionTrack track;
        track.meshId = bone;
        motion.tracks.add(track);
    }
    for (int k = 0; k < frames; ++k) {
        const PathPoint p = path.at(start + path.length() * float(k) / float(frames));
        const float phase = 2 * kPi * float((k + cycleStart) % kWalkCycleFrames) / float(kWalkCycleFrames);
        const float bob = -kHipDrop * (1 - std::cos(2 * phase)) / 2;
        for (MotionTrack& track : motion.tracks) {
            const int bone = track.meshId;
            // The left side leads with phase, the right side half a cycle later.
            const bool left = bone == kLeftThigh || bone == kLeftShin || bone == kLeftArm;
            const float legPhase = left ? phase : phase + kPi;
            Quaternion rotation;
            if (bone == kHips) {
                track.keys.add(makeKey(yaw(p.heading), Vector3(p.x, kHipHeight + bob, p.z)));
                continue;
            }
            if (bone == kLeftThigh || bone == kRightThigh) {
                // Forward swing carries the foot towards +z: a negative turn about x.
                rotation = axisAngle(-kHipSwing * kDegrees * std::sin(legPhase), 1, 0, 0);
            } else if (bone == kLeftShin || bone == kRightShin) {
                // The knee bends most in the middle of the leg's forward swing.
                const float swing = std::max(0.0f, std::cos(legPhase));
                rotation = axisAngle((kKneeRest + kKneeBend * swing * swing) * kDegrees, 1, 0, 0);
            } else {
                // Each arm swings with the other side's leg.
                rotation = axisAngle(kArmSwing * kDegrees * std::sin(legPhase), 1, 0, 0);
            }
            track.keys.add(makeKey(rotation, boneOffset(bone)));
        }
    }
    closeLoop(motion);

    MoverModel model;
    model.path = numbered(kPedestrianFolder, "pedestrian", index);
    model.content.roots.add(pedestrianSkeleton());
    model.content.roots.add(figureMesh());
    model.content.materials.add(paletteMaterial(materialName("pedestrian", index, "Clothes"), 4.0f, 0.08f));
    model.content.textures.add(pedestrianTexture(random));
    model.content.motions.add(motion);
    return model;
}

} // namespace

std::vector<MoverModel> pedestrianModels() {
    std::vector<MoverModel> models;
    for (int i = 0; i < kPedestrianCount; ++i)
        models.push_back(pedestrianModel(i));
    return models;
}

} // namespace Vantor::tools::city
