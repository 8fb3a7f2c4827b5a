// Birds of the city: the skinned body and wings, the plumage's palette, and
// the circle each flies above the roofs, beating its wings and banking into
// the turn.
#include "city/CityMoverParts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace Vantor::tools::city {

using namespace movers;

namespace {

// The bones in file order: the body (root) with each wing and its tip.
enum BirdMesh { kBirdBody, kLeftWing, kLeftWingTip, kRightWing, kRightWingTip, kBirdSkin };

enum BirdCell { kBirdBodyCell, kBirdWingCell, kBirdTipCell, kBirdBeakCell, kBirdHeadCell, kBirdTailCell };

struct BirdKind {
    const char* name;
    Rgb body, wing, tip, beak, head, tail;
    float span;
    int framesPerBeat;
};

const BirdKind kBirdKinds[] = {
    {"Gull", {236, 236, 236}, {162, 166, 176}, {32, 32, 32}, {232, 182, 42}, {244, 244, 244}, {236, 236, 236}, 54,
     12},
    {"Crow", {32, 32, 36}, {26, 26, 30}, {18, 18, 20}, {52, 52, 52}, {30, 30, 34}, {24, 24, 28}, 44, 10},
    {"Pigeon", {132, 136, 150}, {152, 156, 166}, {62, 62, 72}, {202, 182, 172}, {92, 102, 122}, {92, 96, 106}, 40,
     8},
    {"Kite", {122, 82, 52}, {112, 76, 46}, {52, 36, 26}, {222, 192, 62}, {152, 122, 92}, {132, 92, 62}, 58, 14},
};
constexpr int kBirdKindCount = int(sizeof kBirdKinds / sizeof kBirdKinds[0]);

// The wing's cross-sections from root to tip, for a span of kBaseSpan:
// distance out, half thickness, half chord and how far the chord's middle
// lies aft.
constexpr float kBaseSpan = 54.0f;
constexpr float kWingRootX = 2.0f;
constexpr float kWingJointX = 14.0f;
constexpr float kWingY = 0.8f;
constexpr float kFlap = 35.0f;
constexpr float kTipFlap = 18.0f;
constexpr float kBank = 12.0f;
// Birds keep this far above the highest roof within their circle's reach.
constexpr float kBirdClearance = 150.0f;
constexpr float kBirdReach = 100.0f;
constexpr float kBirdSpeed = 160.0f;

// A bird's circle: centre x, z and radius.
struct BirdCircle {
    float x, z, radius;
};

float circleHeight(const std::vector<Building>& buildings, const BirdCircle& c) {
    return roofHeightNear(buildings, c.x, c.z, c.radius + kBirdReach) + kBirdClearance;
}

// Three birds circle in the view north of the walking camera's start: of the
// circles on a grid there, the ones seen lowest above the horizon from the
// start, each well apart from the others.
std::vector<BirdCircle> nearCircles(const std::vector<Building>& buildings) {
    constexpr int kNear = 3;
    constexpr float kRadius = 300.0f, kApart = 700.0f;
    struct Candidate {
        float elevation;
        BirdCircle circle;
    };
    std::vector<Candidate> candidates;
    for (float z = -1800.0f; z >= -3400.0f; z -= 200.0f)
        for (float x = 1000.0f; x <= 2200.0f; x += 200.0f) {
            const BirdCircle c{x, z, kRadius};
            const float distance = std::hypot(x - kWalkStartX, z - kWalkStartZ);
            candidates.push_back({std::atan2(circleHeight(buildings, c) - kWalkStartY, distance), c});
        }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.elevation < b.elevation; });
    std::vector<BirdCircle> chosen;
    for (const Candidate& candidate : candidates) {
        bool apart = true;
        for (const BirdCircle& c : chosen)
            apart = apart && std::hypot(c.x - candidate.circle.x, c.z - candidate.circle.z) >= kApart;
        if (apart && int(chosen.size()) < kNear)
            chosen.push_back(candidate.circle);
    }
    return chosen;
}

// The others anywhere over the city, avoiding the tallest towers: of a few
// random circles, the one that needs to fly lowest.
BirdCircle randomCircle(const std::vector<Building>& buildings, CityRandom& random) {
    BirdCircle best{0, 0, 0};
    float lowest = 0;
    for (int attempt = 0; attempt < 6; ++attempt) {
        BirdCircle c;
        c.x = 400.0f + 3200.0f * float(random.unit());
        c.z = -400.0f - 3200.0f * float(random.unit());
        c.radius = 220.0f + 260.0f * float(random.unit());
        const float height = circleHeight(buildings, c);
        if (attempt == 0 || height < lowest) {
            best = c;
            lowest = height;
        }
    }
    return best;
}

Image birdTexture(const BirdKind& kind) {
    Palette p;
    p.fill(kBirdBodyCell, kind.body);
    p.fill(kBirdWingCell, kind.wing);
    p.fill(kBirdTipCell, kind.tip);
    p.fill(kBirdBeakCell, kind.beak);
    p.fill(kBirdHeadCell, kind.head);
    p.fill(kBirdTailCell, kind.tail);
    return p.image;
}

// The bird in its bind pose: body along +z centred on the origin, wings
// spread flat along x (+x is its left).
Mesh birdSkin(float scale) {
    Mesh skin;
    skin.id = kBirdSkin;
    skin.name = "bird";
    skin.flags = kSkinnedMeshFlags;
    skin.materialIndex = 0;
    MeshBuilder builder(skin);
    auto ring = [scale](float x, float y, float z, float r1, float r2, const Weights& w) {
        return Ring{Vector3(x, y, z) * scale, r1 * scale, r2 * scale, w};
    };

    Tube body;
    body.axis1 = Vector3(1, 0, 0);
    body.axis2 = Vector3(0, 1, 0);
    body.sides = 6;
    const Weights b = only(kBirdBody);
    body.rings = {ring(0, 0.5f, -14, 3.0f, 0.4f, b), ring(0, 0.3f, -8, 2.2f, 1.6f, b), ring(0, 0, -2, 3.2f, 2.8f, b),
                  ring(0, 0.2f, 4, 2.8f, 2.6f, b),   ring(0, 0.8f, 7, 1.8f, 1.8f, b),   ring(0, 1.2f, 10, 2.0f, 2.0f, b),
                  ring(0, 1.0f, 12, 0.8f, 0.7f, b),  ring(0, 0.8f, 15, 0.15f, 0.15f, b)};
    body.bandCells = {kBirdTailCell, kBirdBodyCell, kBirdBodyCell, kBirdBodyCell,
                      kBirdHeadCell, kBirdHeadCell, kBirdBeakCell};
    body.firstCapCell = kBirdTailCell;
    body.lastCapCell = kBirdBeakCell;
    addTube(builder, body);

    for (int side = 0; side < 2; ++side) {
        const float s = side == 0 ? 1.0f : -1.0f;
        const int wing = side == 0 ? kLeftWing : kRightWing, tip = side == 0 ? kLeftWingTip : kRightWingTip;
        Tube t;
        // Rings run outwards from the body: along +x on the left, -x on the right.
        t.axis1 = side == 0 ? Vector3(0, 1, 0) : Vector3(0, 0, 1);
        t.axis2 = side == 0 ? Vector3(0, 0, 1) : Vector3(0, 1, 0);
        t.sides = 4;
        t.faceted = true;
        struct Section {
            float x, thickness, chord, aft;
            Weights weights;
        };
        const Section sections[] = {{kWingRootX, 0.5f, 5.5f, -0.5f, blend(kBirdBody, 0.5f, wing)},
                                    {8.0f, 0.45f, 5.0f, 0.5f, only(wing)},
                                    {kWingJointX, 0.4f, 4.2f, 1.5f, blend(wing, 0.5f, tip)},
                                    {kBaseSpan / 2, 0.2f, 2.0f, 4.5f, only(tip)}};
        for (const Section& c : sections) {
            const float r1 = side == 0 ? c.thickness : c.chord, r2 = side == 0 ? c.chord : c.thickness;
            t.rings.push_back(ring(s * c.x, kWingY, -c.aft, r1, r2, c.weights));
        }
        t.bandCells = {kBirdWingCell, kBirdWingCell, kBirdTipCell};
        t.firstCapCell = kBirdWingCell;
        t.lastCapCell = kBirdTipCell;
        addTube(builder, t);
    }
    builder.finish();
    return skin;
}

MoverModel birdModel(int index, const std::vector<Building>& buildings, const std::vector<BirdCircle>& near) {
    CityRandom random = moverRandom(3, index);
    const BirdKind& kind = kBirdKinds[index % kBirdKindCount];
    const float scale = kind.span / kBaseSpan;
    const BirdCircle circle = size_t(index) < near.size() ? near[size_t(index)] : randomCircle(buildings, random);
    const float height = circleHeight(buildings, circle) + 100.0f * float(random.unit());
    // At about kBirdSpeed, one circle in 8 to 20 seconds (a little inside,
    // so that whole wing beats keep it there).
    const float speed = kBirdSpeed * (0.8f + 0.4f * float(random.unit()));
    const float seconds = std::min(19.5f, std::max(8.5f, 2 * kPi * circle.radius / speed));
    const int beats =
        std::max(1, int(std::lround(seconds * float(kMoverFramesPerSecond) / float(kind.framesPerBeat))));
    const int frames = beats * kind.framesPerBeat;
    // +1 circles counter-clockwise seen from above (the centre on the left).
    const float direction = random.between(0, 1) ? 1.0f : -1.0f;
    const float start = 2 * kPi * float(random.unit());

    Mesh body = boneMesh(kBirdBody, "body", Vector3());
    for (int side = 0; side < 2; ++side) {
        const float s = side == 0 ? 1.0f : -1.0f;
        Mesh wing = boneMesh(side == 0 ? kLeftWing : kRightWing, side == 0 ? "leftWing" : "rightWing",
                             Vector3(s * kWingRootX, kWingY, 0) * scale);
        wing.children.add(boneMesh(side == 0 ? kLeftWingTip : kRightWingTip,
                                   side == 0 ? "leftWingTip" : "rightWingTip",
                                   Vector3(s * (kWingJointX - kWingRootX), 0, 0) * scale));
        body.children.add(wing);
    }

    Motion motion;
    MotionTrack bodyTrack, wingTracks[2], tipTracks[2];
    bodyTrack.meshId = kBirdBody;
    wingTracks[0].meshId = kLeftWing;
    wingTracks[1].meshId = kRightWing;
    tipTracks[0].meshId = kLeftWingTip;
    tipTracks[1].meshId = kRightWingTip;
    for (int k = 0; k < frames; ++k) {
        // Counter-clockwise from above is clockwise in (x, z), z being south.
        const float angle = start - direction * 2 * kPi * float(k) / float(frames);
        const float x = circle.x + circle.radius * std::cos(angle), z = circle.z + circle.radius * std::sin(angle);
        // Moving along the circle: d(x, z)/d(angle) times the sign of the turn.
        const float heading = LoopPath::headingOf(direction * std::sin(angle), -direction * std::cos(angle));
        const float beat = 2 * kPi * float(k % kind.framesPerBeat) / float(kind.framesPerBeat);
        // The body rises a little on each downstroke and banks into the turn:
        // the wing on the centre's side dips.
        const float lift = -scale * std::sin(beat);
        const Quaternion bank = axisAngle(-direction * kBank * kDegrees, 0, 0, 1);
        bodyTrack.keys.add(makeKey(yaw(heading) * bank, Vector3(x, height + lift, z)));
        const float flap = kFlap * kDegrees * std::sin(beat);
        const float tipFlap = kTipFlap * kDegrees * std::sin(beat - 0.9f);
        for (int side = 0; side < 2; ++side) {
            const float s = side == 0 ? 1.0f : -1.0f;
            const Mesh& wing = body.children[unsigned(side)];
            wingTracks[side].keys.add(makeKey(axisAngle(s * flap, 0, 0, 1), wing.bindKey.translation));
            tipTracks[side].keys.add(
                makeKey(axisAngle(s * tipFlap, 0, 0, 1), wing.children[0].bindKey.translation));
        }
    }
    motion.tracks.add(bodyTrack);
    for (int side = 0; side < 2; ++side) {
        motion.tracks.add(wingTracks[side]);
        motion.tracks.add(tipTracks[side]);
    }
    closeLoop(motion);

    MoverModel model;
    model.path = numbered(kBirdFolder, "bird", index);
    model.content.roots.add(body);
    model.content.roots.add(birdSkin(scale));
    model.content.materials.add(
        paletteMaterial(materialName("bird", index, kind.name), 8.0f, 0.12f));
    model.content.textures.add(birdTexture(kind));
    model.content.motions.add(motion);
    return model;
}

} // namespace

std::vector<MoverModel> birdModels(const std::vector<Building>& buildings) {
    const std::vector<BirdCircle> near = nearCircles(buildings);
    std::vector<MoverModel> models;
    for (int i = 0; i < kBirdCount; ++i)
        models.push_back(birdModel(i, buildings, near));
    return models;
}

} // namespace Vantor::tools::city
