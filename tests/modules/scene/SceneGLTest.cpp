// The lit scene on a real context: the sample scene (floor, two boxes, a
// skinned figure, two shadow-casting lights of different colours) is written
// into a temporary working directory, read from its description and rendered
// from above. Every floor pixel the tests look at is predicted on the CPU by
// casting rays from the floor point to each light against the boxes: in a
// light's shadow the floor lacks exactly that light's colour, in both shadows
// it keeps the base pass's own colour, in neither it has both. The glows
// shine at the lights, the figure (drawn by the ambient pass in the scene's
// ambient light) changes its pose after a second of frame time, a frame
// leaves the GL lights and the published parameters set up, and model files
// that do not load are left out of a scene.
//
// With VANTOR_SCENE_SHOTS set to a directory, every rendered frame is also
// written there as a PPM image.
#include "SceneSample.h"

#include "GLFixture.h"
#include "SceneFrame.h"
#include "TestMath.h"

#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Globals.h"
#include "modules/Material/MaterialManager.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/particles/ParticleManager.h"
#include "modules/scene/Light.h"
#include "modules/scene/Scene.h"
#include "modules/xml/XMLFile.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Vantor;
using Vantor::test::Box;
using Vantor::test::RGBA;
using Vantor::test::segmentHitsBox;

namespace {

constexpr int kViewSize = 320;
// How far a channel may be from its prediction (rounding of the passes).
constexpr int kTolerance = 4;
// Floor samples: a grid with this spacing, each checked only when the
// prediction is the same this far away in x and z (about two pixels).
constexpr float kGridStep = 10.0f;
constexpr float kStableMargin = 6.0f;
// Each kind of floor point must be checked at least this often.
constexpr int kMinSamplesPerKind = 20;
constexpr int kMinSamplesPerShadow = 10;

// Half the side of the near plane's window of the symmetric frustum.
const double kNearHalfSide = double(test::kNearPlane) * double(test::kFrustumTangent);

std::string joinPath(const std::string& dir, const char* name) { return dir + "/" + name; }

// What the CPU expects at one floor point.
struct FloorView {
    bool visible = true;
    bool litA = true;
    bool litB = true;
    bool operator==(const FloorView& o) const { return visible == o.visible && litA == o.litA && litB == o.litB; }
};

// The scene's shadow casters and its other occluders with the figure's
// shoulder turned by degrees.
struct Pose {
    std::vector<Box> casters;
    std::vector<Box> occluders;
};

Pose poseAt(float degrees) {
    Pose pose;
    pose.casters = {test::kSampleBoxes[0], test::kSampleBoxes[1], test::kTorso, test::handAt(degrees)};
    pose.occluders = pose.casters;
    pose.occluders.push_back(test::armAt(degrees));
    return pose;
}

FloorView viewOf(const Vector3& p, const Pose& pose) {
    FloorView view;
    for (const Box& box : pose.occluders)
        view.visible = view.visible && !segmentHitsBox(test::kEye, p, box);
    for (const Box& box : pose.casters) {
        view.litA = view.litA && !segmentHitsBox(p, test::kLightA, box);
        view.litB = view.litB && !segmentHitsBox(p, test::kLightB, box);
    }
    return view;
}

// The view at p when it is the same at the four neighbours kStableMargin
// away; otherwise not visible, so the point is skipped.
FloorView stableViewOf(const Vector3& p, const Pose& pose) {
    const FloorView centre = viewOf(p, pose);
    const float m = kStableMargin;
    for (const Vector3& d : {Vector3(m, 0, 0), Vector3(-m, 0, 0), Vector3(0, 0, m), Vector3(0, 0, -m)})
        if (!(viewOf(p + d, pose) == centre))
            return FloorView{false, false, false};
    return centre;
}

// The floor colour for a view: the base pass plus each light that reaches it.
RGBA expectedFloor(const FloorView& view) {
    float c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = test::kFloorLevel + (view.litA ? test::kDiffuseA[i] : 0.0f) + (view.litB ? test::kDiffuseB[i] : 0.0f);
    const auto byte = [](float v) { return std::uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); };
    return {byte(c[0]), byte(c[1]), byte(c[2]), 255};
}

// The arm as its ambient-pass program draws it: its colour in the scene's ambient light.
RGBA expectedArm() {
    const auto byte = [](float v) { return std::uint8_t(std::lround(v * test::kSceneAmbient * 255.0f)); };
    return {byte(test::kArmColour[0]), byte(test::kArmColour[1]), byte(test::kArmColour[2]), 255};
}

bool near(const RGBA& a, const RGBA& b, int tolerance = kTolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

int difference(const RGBA& a, const RGBA& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

struct Frame {
    std::vector<RGBA> pixels;
    RGBA at(int x, int y) const { return pixels[size_t(y) * kViewSize + size_t(x)]; }
};

// Everything the tests share: the working directory with the scene's files,
// the scene read from it and the camera. Built by the first test.
struct SharedScene {
    test::ScratchDirectory dir;
    Scene scene;
    Camera camera;
    bool ready = false;
};

SharedScene& shared() {
    static SharedScene state;
    return state;
}

class SceneGL : public test::GLFixture {
protected:
    SceneGL() : GLFixture(kViewSize, kViewSize) {}

    static void TearDownTestSuite() {
        SharedScene& s = shared();
        currentCamera = nullptr;
        s.dir.leave();
    }

    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        ASSERT_TRUE(GLEW_ARB_shader_objects && GLEW_ARB_vertex_buffer_object);
        if (!shared().ready)
            prepareScene();
    }

    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }

    // Makes a fresh working directory, writes the sample into it (with the
    // particle sprite's images folder beside the models) and reads the
    // description the way the city does.
    static void prepareScene() {
        SharedScene& s = shared();
        ASSERT_TRUE(s.dir.enter("vantor-scene"));
        ASSERT_TRUE(test::writeSampleScene(s.dir.path()));
        ASSERT_EQ(::symlink(VANTOR_DATA_DIR "/images", joinPath(s.dir.path(), "images").c_str()), 0);

        ASSERT_TRUE(test::readSceneDescription("scene.xml", s.scene));
        ASSERT_EQ(s.scene.models.size, 3u);
        ASSERT_EQ(lights().size, 2u);
        const ArrayList<MaterialManager::MaterialShader>& programs = MaterialManager::getInstance()->shaders;
        ASSERT_EQ(programs.size, 2u);
        for (const MaterialManager::MaterialShader& entry : programs)
            ASSERT_GT(entry.program, 0) << entry.name.c_str() << " did not load";
        s.camera.viewMatrix = test::sampleView();
        s.ready = true;
    }

    static Scene& scene() { return shared().scene; }

    // Puts every player back at frame 0.
    static void resetPose() {
        for (ModelRef& ref : scene().models)
            ref.player()->time = 0.0f;
    }

    // One frame as the city draws it: cleared buffers, depth test and back
    // face culling on, the camera's projection and view, the scene with dt
    // seconds of frame time and, when asked, the particles.
    void renderFrame(double dt, bool glows, const char* shotName) {
        test::beginSceneFrame(kViewSize, kViewSize, 0, 0, 0);
        glShadeModel(GL_SMOOTH);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        const double h = kNearHalfSide;
        glFrustum(-h, h, -h, h, double(test::kNearPlane), double(test::kFarPlane));
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(shared().camera.viewMatrix.m);

        frameDelta = dt;
        scene().renderScene();
        if (glows) {
            currentCamera = &shared().camera;
            ParticleManager::getInstance()->render();
        }
        glFinish();
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        frame = readFrame();
        saveShot(shotName);
    }

    static Frame readFrame() {
        Frame f;
        f.pixels.resize(size_t(kViewSize) * kViewSize);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kViewSize, kViewSize, GL_RGBA, GL_UNSIGNED_BYTE, f.pixels.data());
        return f;
    }

    void saveShot(const char* name) const {
        test::saveShot("VANTOR_SCENE_SHOTS", name, kViewSize, kViewSize,
                       [this](int x, int y) { return frame.at(x, y); });
    }

    // The window pixel where world point p lands (the camera of the sample).
    static bool pixelOf(const Vector3& p, int& px, int& py) {
        const double h = kNearHalfSide;
        const Matrix4 projection =
            test::frustum(-h, h, -h, h, double(test::kNearPlane), double(test::kFarPlane));
        return test::worldToPixel(projection, test::sampleView(), p, kViewSize, kViewSize, px, py);
    }

    RGBA pixelAt(const Vector3& p) const {
        int px = 0, py = 0;
        EXPECT_TRUE(pixelOf(p, px, py)) << p.x << ", " << p.y << ", " << p.z << " is outside the view";
        return frame.at(std::clamp(px, 0, kViewSize - 1), std::clamp(py, 0, kViewSize - 1));
    }

    // Compares every stable, visible grid point of the floor with its
    // prediction for the pose; reports the first mismatches. counts[a][b]
    // counts the points checked with light A reaching them (a) and light B
    // (b); boxShadows[box][light] the points in that box's shadow.
    void checkFloor(const Pose& pose, bool lightBCastsShadows, int counts[2][2], int boxShadows[2][2]) {
        int mismatches = 0;
        for (float x = -gridHalf(); x <= gridHalf(); x += kGridStep)
            for (float z = -gridHalf(); z <= gridHalf(); z += kGridStep) {
                const Vector3 p(x, 0, z);
                FloorView view = stableViewOf(p, pose);
                if (!view.visible)
                    continue;
                if (!lightBCastsShadows)
                    view.litB = true;
                ++counts[view.litA][view.litB];
                for (int box = 0; box < 2; ++box) {
                    boxShadows[box][0] += segmentHitsBox(p, test::kLightA, test::kSampleBoxes[box]);
                    boxShadows[box][1] += segmentHitsBox(p, test::kLightB, test::kSampleBoxes[box]);
                }
                const RGBA expected = expectedFloor(view);
                const RGBA seen = pixelAt(p);
                if (!near(seen, expected) && ++mismatches <= 8)
                    ADD_FAILURE() << "floor (" << x << ", " << z << ") lit by A " << view.litA << ", by B "
                                  << view.litB << ": " << seen << ", expected " << expected;
            }
        EXPECT_EQ(mismatches, 0);
    }

    static float gridHalf() { return test::kFloorHalf - kGridStep; }

    Frame frame;
};

TEST_F(SceneGL, EachBoxCastsOneShadowPerLightThatLacksOnlyThatLightsColour) {
    resetPose();
    renderFrame(0.0, false, "shadows");
    const Pose pose = poseAt(0.0f);

    // Named points first: what each kind of floor point looks like.
    struct Named {
        const char* what;
        Vector3 p;
        bool litA, litB;
    };
    const Named named[] = {
        {"behind box one from both lights: the base pass alone, not black", {90, 0, 0}, false, false},
        {"in light A's shadow only: light B's colour on the base", {90, 0, 80}, false, true},
        {"in light B's shadow only: light A's colour on the base", {90, 0, -80}, true, false},
        {"between the lights and the boxes: both colours added", {-150, 0, 0}, true, true},
    };
    for (const Named& n : named) {
        const FloorView view = stableViewOf(n.p, pose);
        ASSERT_TRUE(view.visible && view.litA == n.litA && view.litB == n.litB) << n.what << ": the sample moved";
        const RGBA seen = pixelAt(n.p);
        EXPECT_TRUE(near(seen, expectedFloor(view))) << n.what << ": " << seen << ", expected " << expectedFloor(view);
        EXPECT_GT(int(seen.r) + seen.g + seen.b, 3 * 40) << n.what;
    }

    // Then the whole floor against the rays.
    int counts[2][2] = {}, boxShadows[2][2] = {};
    checkFloor(pose, true, counts, boxShadows);
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            EXPECT_GE(counts[a][b], kMinSamplesPerKind) << "lit by A " << a << ", by B " << b;
    for (int box = 0; box < 2; ++box)
        for (int light = 0; light < 2; ++light)
            EXPECT_GE(boxShadows[box][light], kMinSamplesPerShadow) << "box " << box << ", light " << light;
}

// A light without shadows is added like a shadowed one, only without the
// stencil test: the floor keeps its base colour and light A's shadows, and
// light B's colour is added everywhere.
TEST_F(SceneGL, ALightWithoutShadowsAddsItsColourEverywhere) {
    resetPose();
    Light& b = lights()[1];
    b.castShadows = false;
    renderFrame(0.0, false, "unshadowed_b");
    b.castShadows = true;
    int counts[2][2] = {}, boxShadows[2][2] = {};
    checkFloor(poseAt(0.0f), false, counts, boxShadows);
    EXPECT_GE(counts[0][1], kMinSamplesPerKind);
    EXPECT_GE(counts[1][1], kMinSamplesPerKind);
}

// Seen from outside a light's reach, what lies behind the reach is masked
// out of the light's lit pass: the city's programs fade a light out to black
// at its range, so the mask takes nothing from their picture. The sample's
// light program does not fade, which shows where the mask falls: light B
// (reach 500 here, the eye 946 away) adds to the floor within its reach as
// without the mask, adds nothing where the floor is seen through the reach
// and beyond it, and keeps adding where the eye's ray passes the reach by
// (there the scissor rectangle alone bounds it).
TEST_F(SceneGL, ALightSeenFromOutsideItsReachLightsNothingBehindIt) {
    struct Passes : PassObserver {
        std::vector<std::string> ended;
        void passEnded(const char* pass, int light) override {
            ended.push_back(std::string(pass) + " " + std::to_string(light));
        }
    } passes;
    resetPose();
    Light& b = lights()[1];
    const float range = b.range;
    b.range = 500.0f;
    scene().reachMasks = false;
    renderFrame(0.0, false, "reach_unmasked");
    const Frame unmasked = frame;
    scene().reachMasks = true;
    scene().passObserver = &passes;
    renderFrame(0.0, false, "reach_masked");
    scene().passObserver = nullptr;
    b.range = range;

    EXPECT_EQ(std::count(passes.ended.begin(), passes.ended.end(), "reach 1"), 1);
    EXPECT_EQ(std::count(passes.ended.begin(), passes.ended.end(), "reach 0"), 0) << "light A has no range";
    const Pose pose = poseAt(0.0f);
    int within = 0, beyond = 0, mismatches = 0;
    for (float x = -gridHalf(); x <= gridHalf(); x += kGridStep)
        for (float z = -gridHalf(); z <= gridHalf(); z += kGridStep) {
            const Vector3 p(x, 0, z);
            FloorView view = stableViewOf(p, pose);
            const float distance = (p - test::kLightB).length();
            // How near the eye's ray to the point passes the light.
            const Vector3 ray = p - test::kEye;
            const float t = std::clamp(dot(test::kLightB - test::kEye, ray) / dot(ray, ray), 0.0f, 1.0f);
            const float passing = (test::kEye + ray * t - test::kLightB).length();
            const bool behind = distance >= 530.0f && passing < 480.0f;
            if (!view.visible || (distance > 480.0f && !behind && passing < 530.0f))
                continue;
            int px = 0, py = 0;
            pixelOf(p, px, py);
            const RGBA seen = frame.at(px, py);
            RGBA expected = unmasked.at(px, py);
            if (behind) {
                view.litB = false;
                expected = expectedFloor(view);
                ++beyond;
            } else {
                within += view.litB && distance <= 480.0f;
            }
            if (!near(seen, expected) && ++mismatches <= 8)
                ADD_FAILURE() << "floor (" << x << ", " << z << ") " << distance << " from light B: " << seen
                              << ", expected " << expected;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GE(within, kMinSamplesPerKind);
    EXPECT_GE(beyond, kMinSamplesPerKind);
}

// The ways of drawing the volumes that spare the renderer work leave every
// pixel as it was, in the rest pose and in a turned one: the volumes cut off
// below the floor and capped there, and both faces of a volume drawn at once
// with counts that wrap.
TEST_F(SceneGL, CheaperVolumesLeaveThePictureAsItWas) {
    struct Way {
        const char* name;
        bool Scene::*on;
    };
    for (const Way& way : {Way{"floor cuts", &Scene::floorCuts}, Way{"both faces at once", &Scene::twoSidedVolumes}}) {
        const bool usual = scene().*way.on;
        for (double dt : {0.0, 1.5}) {
            resetPose();
            scene().*way.on = false;
            renderFrame(dt, false, "volumes_plain");
            const Frame plain = frame;
            resetPose();
            scene().*way.on = true;
            renderFrame(dt, false, "volumes_cheaper");

            if (way.on == &Scene::floorCuts) {
                int cut = 0;
                for (const ModelRef& ref : scene().models)
                    for (const Mesh* mesh : ModelManager::getInstance()->getModel(ref)->meshes)
                        for (const MeshInstance& instance : mesh->instances)
                            for (const ShadowVolume& volume : instance.volumes)
                                cut += volume.active && volume.drawnCut &&
                                       volume.cut.indices.size != volume.indices.size;
                EXPECT_GE(cut, 4) << "the boxes' volumes, for both lights, should be cut at dt " << dt;
            }
            int changed = 0;
            for (size_t i = 0; i < plain.pixels.size(); ++i)
                changed += difference(plain.pixels[i], frame.pixels[i]) != 0;
            EXPECT_EQ(changed, 0) << way.name << ": pixels changed at dt " << dt;
        }
        scene().*way.on = usual;
    }
}

TEST_F(SceneGL, GlowsShineAtTheLightsInTheirColours) {
    resetPose();
    renderFrame(0.0, false, "no_glows");
    const Frame before = frame;
    renderFrame(0.0, true, "glows");
    const Frame after = frame;
    struct Glow {
        const char* what;
        Vector3 at;
    };
    for (const Glow& g : {Glow{"light A", test::kLightA}, Glow{"light B", test::kLightB}}) {
        int px = 0, py = 0;
        ASSERT_TRUE(pixelOf(g.at, px, py)) << g.what;
        const RGBA was = before.at(px, py), is = after.at(px, py);
        EXPECT_GT(difference(is, was), 100) << g.what << ": " << was << " became " << is;
        EXPECT_TRUE(is.r >= 220 && is.g >= 220 && is.b >= 220) << g.what << ": " << is;
    }
    // Far from both lights nothing changed.
    int px = 0, py = 0;
    ASSERT_TRUE(pixelOf(Vector3(300, 0, 300), px, py));
    EXPECT_LE(difference(after.at(px, py), before.at(px, py)), 1);

    // On black, a glow has its light's colour: twice the diffuse colour
    // plus 0.3, clamped, at the sprite's white centre.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    ParticleManager::getInstance()->render();
    frame = readFrame();
    saveShot("glows_alone");
    const RGBA expectA{255, 128, 128, 255}, expectB{128, 128, 255, 255};
    for (const auto& [light, expected] : {std::pair{test::kLightA, expectA}, std::pair{test::kLightB, expectB}}) {
        const RGBA seen = pixelAt(light);
        EXPECT_TRUE(near(seen, expected, 12)) << seen << ", expected " << expected;
    }
}

TEST_F(SceneGL, TheFigureTakesAnotherPoseAfterOneSecond) {
    resetPose();
    renderFrame(0.0, false, "pose_0");
    const Frame hanging = frame;
    AnimationPlayer* player = scene().models[2].player();
    EXPECT_FLOAT_EQ(player->time, 0.0f);
    // The arm hangs beside the torso: from above only its top end shows,
    // drawn by the ambient pass since it is not lit per light.
    const RGBA armTop = pixelAt(Vector3(221, 110, 250));
    EXPECT_TRUE(near(armTop, expectedArm())) << armTop << ", expected " << expectedArm();

    renderFrame(1.0, false, "pose_30");
    EXPECT_FLOAT_EQ(player->time, 30.0f);
    // Thirty frames on, the arm points along +x with the hand at its end.
    for (float x : {250.0f, 280.0f}) {
        int px = 0, py = 0;
        ASSERT_TRUE(pixelOf(Vector3(x, test::armAt(90.0f).max.y, 250), px, py));
        const RGBA before = hanging.at(px, py), now = frame.at(px, py);
        EXPECT_GT(difference(before, now), 100) << "x " << x << ": " << before << " became " << now;
        EXPECT_TRUE(near(now, expectedArm())) << "x " << x << ": " << now << ", expected " << expectedArm();
    }
    // The hand, a shadow-casting bone under the shoulder, went with the arm.
    const Box hand = test::handAt(90.0f);
    int px = 0, py = 0;
    ASSERT_TRUE(pixelOf((hand.min + hand.max) * 0.5f + Vector3(0, test::kHandHalf, 0), px, py));
    EXPECT_GT(difference(hanging.at(px, py), frame.at(px, py)), 30)
        << hanging.at(px, py) << " became " << frame.at(px, py);
    int changed = 0;
    for (size_t i = 0; i < frame.pixels.size(); ++i)
        changed += difference(frame.pixels[i], hanging.pixels[i]) > 3 * kTolerance;
    EXPECT_GT(changed, 100);
}

TEST_F(SceneGL, AFrameLeavesTheLightsSetUpAndTheEyeAndLastLightPublished) {
    resetPose();
    renderFrame(0.0, false, "state");
    const Matrix4 view = test::sampleView();
    struct Expected {
        GLenum id;
        Vector3 at;
        const float* diffuse;
        float constant, quadratic;
    };
    const Expected expected[] = {
        {GL_LIGHT0, test::kLightA, test::kDiffuseA, 1.0f, 0.0f},
        {GL_LIGHT1, test::kLightB, test::kDiffuseB, 0.5f, 1.0f / (test::kLightBRange * test::kLightBRange * 0.2f)},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.id == GL_LIGHT0 ? "light A" : "light B");
        // Positions are kept in eye space: the world position seen through the camera.
        Vector3 eyeSpace = e.at;
        view.transformPoint(eyeSpace);
        float v[4] = {};
        glGetLightfv(e.id, GL_POSITION, v);
        EXPECT_NEAR(v[0], eyeSpace.x, 0.01f);
        EXPECT_NEAR(v[1], eyeSpace.y, 0.01f);
        EXPECT_NEAR(v[2], eyeSpace.z, 0.01f);
        EXPECT_EQ(v[3], 1.0f);
        glGetLightfv(e.id, GL_DIFFUSE, v);
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(v[i], e.diffuse[i]);
        glGetLightfv(e.id, GL_SPECULAR, v);
        EXPECT_EQ(v[0] + v[1] + v[2], 0.0f);
        // The ambient pass put light 0's ambient back to black; the others keep the light passes' -0.5.
        glGetLightfv(e.id, GL_AMBIENT, v);
        const float ambient = e.id == GL_LIGHT0 ? 0.0f : -0.5f;
        EXPECT_TRUE(v[0] == ambient && v[1] == ambient && v[2] == ambient && v[3] == 1.0f)
            << v[0] << " " << v[1] << " " << v[2] << " " << v[3];
        glGetLightfv(e.id, GL_CONSTANT_ATTENUATION, v);
        EXPECT_FLOAT_EQ(v[0], e.constant);
        glGetLightfv(e.id, GL_QUADRATIC_ATTENUATION, v);
        EXPECT_NEAR(v[0], e.quadratic, 1e-9f);
        glGetLightfv(e.id, GL_LINEAR_ATTENUATION, v);
        EXPECT_EQ(v[0], 0.0f);
        // Whether the light is still enabled is not checked: Mesa 22.3's
        // glPopAttrib(GL_ENABLE_BIT) leaves the GL_LIGHTi enables as they are.
    }
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    ParamDatabase* params = ParamDatabase::getInstance();
    const Vector4 eye = params->vectors.getValue("eyePosition").value;
    EXPECT_NEAR(eye.x, test::kEye.x, 0.01f);
    EXPECT_NEAR(eye.y, test::kEye.y, 0.01f);
    EXPECT_NEAR(eye.z, test::kEye.z, 0.01f);
    EXPECT_EQ(eye.w, 1.0f);
    const Vector4 last = params->vectors.getValue("lightPosition").value;
    EXPECT_TRUE(last.x == test::kLightB.x && last.y == test::kLightB.y && last.z == test::kLightB.z && last.w == 1.0f);
    EXPECT_FLOAT_EQ(params->vectors.getValue("lightDiffuse").value.z, test::kDiffuseB[2]);
    const Matrix4 published = params->matrices.getValue("eyeModelview").value;
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(published.m[i], view.m[i], 1e-4f) << i;
}

TEST_F(SceneGL, ModelFilesThatDoNotLoadAreLeftOut) {
    const std::string& dir = shared().dir.path();
    const ArrayList<unsigned char> floorBytes = test::writeBytes(test::makeFloorModel());
    ASSERT_TRUE(test::writeFile(joinPath(dir, "models/broken.v3d"), floorBytes.data, floorBytes.size / 2));
    std::vector<unsigned char> wrongSignature(floorBytes.begin(), floorBytes.end());
    wrongSignature[5] = '2';
    ASSERT_TRUE(test::writeFile(joinPath(dir, "models/signature.v3d"), wrongSignature.data(), wrongSignature.size()));
    ASSERT_TRUE(test::writeFile(joinPath(dir, "models/empty.v3d"), "", 0));

    struct Row {
        const char* filename;
        int meshes; // 0: the file does not load
    };
    const Row rows[] = {
        {"models\\floor.v3d", 1},   {"models\\missing.v3d", 0},  {"models/boxes.v3d", 2}, {"models\\broken.v3d", 0},
        {"models\\signature.v3d", 0}, {"models\\empty.v3d", 0}, {"", 0},                  {"models\\figure.v3d", 4},
    };
    std::string xml = "<scene>";
    for (const Row& row : rows)
        xml += std::string("<model filename=\"") + row.filename + "\"/>";
    xml += "</scene>";
    XMLFile element;
    element.parse(String(xml.c_str()), "model rows");
    const unsigned lightsBefore = lights().size;
    Scene loaded;
    loaded.readScene(element);

    EXPECT_EQ(lights().size, lightsBefore);
    std::vector<int> expected, got;
    for (const Row& row : rows)
        if (row.meshes)
            expected.push_back(row.meshes);
    for (const ModelRef& ref : loaded.models) {
        EXPECT_NE(ref.modelIndex, 0);
        got.push_back(int(ModelManager::getInstance()->getModel(ref)->meshes.size));
    }
    EXPECT_EQ(got, expected);
}

} // namespace
