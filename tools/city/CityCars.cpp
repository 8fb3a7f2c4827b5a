// Cars of the city: the palette texture, the body and its four wheels, and
// the loop each drives round its blocks on the right-hand lane, wheels
// turning.
#include "city/CityMoverParts.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Vantor::tools::city {

using namespace movers;

namespace {

constexpr int kCarMeshFlags = kMeshHasTexCoords | kMeshCastsShadows | kMeshLitPerLight;
constexpr int kWheelMeshFlags = kMeshHasTexCoords | kMeshLitPerLight;

constexpr float kCarSpeedMin = 260.0f;
constexpr float kCarSpeedRange = 80.0f;
// Cars turn right round the corners of their blocks on this radius.
constexpr float kCarTurnRadius = 50.0f;
constexpr float kWheelRadius = 9.0f;
constexpr float kWheelHalfWidth = 3.5f;
// Wheel centres: across (the outer face a little outside the body) and along.
constexpr float kWheelX = kCarWidth / 2 - kWheelHalfWidth + 0.5f;
constexpr float kWheelZ = 35.0f;

// The car texture's cells.
enum CarCell {
    kPaintCell,
    kSideCell,
    kFrontCell,
    kBackCell,
    kGlassCell,
    kCabinSideCell,
    kCabinEndCell,
    kTyreCell,
    kHubCell,
    kUnderCell,
    kSignCell
};

struct CarLook {
    Rgb paint;
    bool taxi;
};

const CarLook kCarLooks[kCarCount] = {
    {{178, 34, 34}, false},   {{30, 70, 160}, false},  {{232, 232, 226}, false}, {{240, 190, 20}, true},
    {{26, 26, 30}, false},    {{172, 174, 178}, false}, {{40, 112, 62}, false},  {{112, 22, 32}, false},
    {{112, 162, 212}, false}, {{222, 112, 30}, false}, {{240, 190, 20}, true},   {{100, 104, 110}, false},
};

// The blocks each car circles (west, south, east, north block indices):
// single blocks and pairs, no block twice, so no two cars share a lane. The
// first four drive past the walking camera's start along x = 1600.
struct CarRoute {
    int bx0, bz0, bx1, bz1;
};

const CarRoute kCarRoutes[kCarCount] = {
    {1, 1, 1, 1}, {2, 1, 2, 1}, {1, 2, 1, 2}, {2, 2, 2, 2}, {0, 0, 1, 0}, {3, 0, 3, 0},
    {4, 0, 4, 1}, {0, 2, 0, 3}, {3, 2, 3, 2}, {2, 3, 3, 3}, {4, 3, 4, 4}, {0, 4, 1, 4},
};

Image carTexture(const CarLook& look) {
    Palette p;
    const Rgb paint = look.paint, dark = shade(paint, 0.6f), glass = {38, 52, 68}, tyre = {22, 22, 24},
              bumper = {52, 52, 56}, lamp = {250, 246, 212}, tail = {204, 24, 20}, grille = {34, 34, 38},
              steel = {192, 192, 198}, spoke = {92, 92, 98};
    p.fill(kPaintCell, paint);
    p.fill(kSideCell, paint);
    for (int x = 0; x < kCellTexels; ++x) {
        p.set(kSideCell, x, 0, dark);
        p.set(kSideCell, x, 6, shade(paint, 1.15f));
    }
    p.fill(kFrontCell, paint);
    p.fill(kBackCell, paint);
    for (int x = 0; x < kCellTexels; ++x)
        for (int y = 0; y < 2; ++y) {
            p.set(kFrontCell, x, y, bumper);
            p.set(kBackCell, x, y, bumper);
        }
    for (int y = 3; y <= 5; ++y)
        for (int x : {0, 1, 6, 7})
            p.set(kFrontCell, x, y, lamp);
    for (int y = 3; y <= 4; ++y)
        for (int x = 2; x <= 5; ++x)
            p.set(kFrontCell, x, y, grille);
    for (int y = 3; y <= 4; ++y)
        for (int x : {0, 1, 6, 7})
            p.set(kBackCell, x, y, tail);
    p.set(kBackCell, 3, 2, {236, 236, 236});
    p.set(kBackCell, 4, 2, {236, 236, 236});
    p.fill(kGlassCell, glass);
    // Windows framed by the paint: pillars at the ends (and in the middle
    // of the sides), the roof line and the waist.
    p.fill(kCabinSideCell, glass);
    p.fill(kCabinEndCell, glass);
    for (int y = 0; y < kCellTexels; ++y) {
        for (int x : {0, 3, 7})
            p.set(kCabinSideCell, x, y, paint);
        for (int x : {0, 7})
            p.set(kCabinEndCell, x, y, paint);
    }
    for (int x = 0; x < kCellTexels; ++x)
        for (int y : {0, 7}) {
            p.set(kCabinSideCell, x, y, paint);
            p.set(kCabinEndCell, x, y, paint);
        }
    p.fill(kTyreCell, tyre);
    // The hub: a steel disc with a dark cross, so the wheel is seen to turn.
    p.fill(kHubCell, tyre);
    for (int y = 0; y < kCellTexels; ++y)
        for (int x = 0; x < kCellTexels; ++x) {
            const float dx = float(x) - 3.5f, dy = float(y) - 3.5f;
            if (dx * dx + dy * dy <= 2.6f * 2.6f)
                p.set(kHubCell, x, y, (x == 3 || x == 4) != (y == 3 || y == 4) ? spoke : steel);
        }
    p.fill(kUnderCell, {40, 40, 42});
    p.fill(kSignCell, look.taxi ? Rgb{250, 250, 240} : paint);
    for (int x = 1; x < 7; ++x)
        p.set(kSignCell, x, 4, {30, 30, 30});
    return p.image;
}

// The body, facing +z and standing on y = 0: a lower box with the lamps at
// its ends and a cabin whose windscreen leans back, both closed.
Mesh carBody() {
    Mesh body;
    body.id = 0;
    body.name = "body";
    body.flags = kCarMeshFlags;
    body.materialIndex = 0;
    MeshBuilder builder(body);
    const float halfWidth = kCarWidth / 2, halfLength = kCarLength / 2;
    const BlockLook lower = {{kSideCell, kSideCell, kFrontCell, kBackCell, kPaintCell, kUnderCell},
                             {true, true, true, true, false, false}};
    addBlock(builder, 6.0f, {-halfWidth, halfWidth, -halfLength, halfLength}, 21.0f,
             {-halfWidth + 1, halfWidth - 1, -halfLength + 1.5f, halfLength - 1}, lower, Weights());
    const BlockLook cabin = {{kCabinSideCell, kCabinSideCell, kCabinEndCell, kCabinEndCell, kPaintCell, kUnderCell},
                             {true, true, true, true, false, false}};
    addBlock(builder, 20.5f, {-halfWidth + 1.5f, halfWidth - 1.5f, -30.0f, 18.0f}, 38.0f,
             {-halfWidth + 4.5f, halfWidth - 4.5f, -25.0f, 5.0f}, cabin, Weights());
    builder.finish();
    return body;
}

// A wheel round its axle along x, its outer face (the hub) on the side of side.
Mesh carWheel(int id, const char* name, float side) {
    Mesh wheel;
    wheel.id = id;
    wheel.name = name;
    wheel.flags = kWheelMeshFlags;
    wheel.materialIndex = 0;
    MeshBuilder builder(wheel);
    Tube tube;
    tube.axis1 = Vector3(0, 1, 0);
    tube.axis2 = Vector3(0, 0, 1);
    tube.sides = 10;
    tube.faceted = true;
    for (float x : {-kWheelHalfWidth, kWheelHalfWidth})
        tube.rings.push_back({Vector3(x, 0, 0), kWheelRadius, kWheelRadius, Weights()});
    tube.bandCells = {kTyreCell};
    tube.firstCapCell = side < 0 ? kHubCell : kTyreCell;
    tube.lastCapCell = side > 0 ? kHubCell : kTyreCell;
    addTube(builder, tube);
    builder.finish();
    wheel.bindKey = makeKey(Quaternion(), Vector3(side * kWheelX, kWheelRadius, 0));
    return wheel;
}

MoverModel carModel(int index) {
    const CarLook& look = kCarLooks[index];
    const CarRoute& route = kCarRoutes[index];
    CityRandom random = moverRandom(1, index);

    Mesh body = carBody();
    if (look.taxi) {
        MeshBuilder builder(body);
        const BlockLook sign = {{kSignCell, kSignCell, kSignCell, kSignCell, kPaintCell, kPaintCell},
                                {true, true, true, true, false, false}};
        addBlock(builder, 37.5f, {-6, 6, -13, -9}, 41.5f, {-6, 6, -13, -9}, sign, Weights());
        builder.finish();
    }
    struct WheelPlace {
        const char* name;
        float side, along;
    };
    const WheelPlace wheels[4] = {{"wheelFrontLeft", 1, kWheelZ},
                                  {"wheelFrontRight", -1, kWheelZ},
                                  {"wheelBackLeft", 1, -kWheelZ},
                                  {"wheelBackRight", -1, -kWheelZ}};
    for (int w = 0; w < 4; ++w) {
        Mesh wheel = carWheel(1 + w, wheels[w].name, wheels[w].side);
        wheel.bindKey.translation.z = wheels[w].along;
        body.children.add(wheel);
    }

    // Round the blocks on the right-hand lane, turning right at each corner.
    float cx[4], cz[4];
    insetCorners(route.bx0, route.bz0, route.bx1, route.bz1, kLaneOffset, cx, cz);
    std::vector<LoopPath::Corner> corners;
    for (int k = 0; k < 4; ++k)
        corners.push_back({cx[k], cz[k], kCarTurnRadius});
    const LoopPath path(corners);
    const float speed = kCarSpeedMin + kCarSpeedRange * float(random.unit());
    const int frames = std::max(1, int(std::lround(path.length() / speed * float(kMoverFramesPerSecond))));
    const float start = path.length() * float(random.unit());
    // The wheels turn a whole number of times per loop.
    const float turns = std::max(1.0f, std::round(path.length() / (2 * kPi * kWheelRadius)));

    Motion motion;
    MotionTrack drive;
    drive.meshId = body.id;
    for (int k = 0; k < frames; ++k) {
        const PathPoint p = path.at(start + path.length() * float(k) / float(frames));
        drive.keys.add(makeKey(yaw(p.heading), Vector3(p.x, 0, p.z)));
    }
    motion.tracks.add(drive);
    for (const Mesh& wheel : body.children) {
        MotionTrack spin;
        spin.meshId = wheel.id;
        for (int k = 0; k < frames; ++k) {
            const float angle = 2 * kPi * turns * float(k) / float(frames);
            spin.keys.add(makeKey(axisAngle(angle, 1, 0, 0), wheel.bindKey.translation));
        }
        motion.tracks.add(spin);
    }
    closeLoop(motion);
    body.bindKey = drive.keys[0];

    MoverModel model;
    model.path = numbered(kCarFolder, "car", index);
    model.content.roots.add(body);
    model.content.materials.add(paletteMaterial(materialName("car", index, "Paint"), 48.0f, 0.6f));
    model.content.textures.add(carTexture(look));
    model.content.motions.add(motion);
    return model;
}

} // namespace

std::vector<MoverModel> carModels() {
    std::vector<MoverModel> models;
    for (int i = 0; i < kCarCount; ++i)
        models.push_back(carModel(i));
    return models;
}

} // namespace Vantor::tools::city
