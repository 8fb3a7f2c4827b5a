// The city drawn by the scene renderer, as the program reads it:
// "config files\init.xml" from a working directory that holds the generated
// and the shipped data, its scene and material properties, rendered straight
// from above through an orthographic projection. The depth buffer shows every
// building of the plan at its height and the streets at ground level; the
// ground's texture puts asphalt on the street lines and grass in the park;
// ground in a building's shadow from the warm light is darker than ground
// that it reaches.
//
// With VANTOR_CITY_SHOTS set to a directory, the frame from above and two
// perspective views (over the city, and from the walking camera's start)
// are also written there as PPM images.
#include "city/CityLayout.h"
#include "city/CityMovers.h"

#include "GLFixture.h"
#include "SceneFrame.h"
#include "TestMath.h"

#include "Core/WinAppFramework/Globals.h"
#include "modules/Material/MaterialManager.h"
#include "modules/scene/Light.h"
#include "modules/scene/Scene.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Vantor;
using Vantor::test::Box;
using Vantor::test::lookAt;
using Vantor::test::RGBA;
using Vantor::test::segmentHitsBox;
namespace city = Vantor::tools::city;

namespace {

constexpr int kViewSize = 400;
// The view from above: centred on the map, half a side this wide, from this
// high, between these clip distances. The far plane lies beyond the far caps
// of the shadow volumes (they reach up to kMaxExtrusion past the buildings),
// which must not be clipped for the volumes to count right.
constexpr float kHalfView = 2100.0f;
constexpr float kEyeHeight = 5000.0f;
constexpr float kNear = 100.0f;
constexpr float kFar = 30000.0f;
// Heights read back from the depth buffer may be this far off.
constexpr float kHeightTolerance = 4.0f;

// The boxes of the plan's buildings' tiers, in world space.
std::vector<Box> buildingBoxes(const std::vector<city::Building>& plan) {
    std::vector<Box> boxes;
    for (const city::Building& b : plan) {
        float base = 0.0f;
        for (const city::Tier& tier : b.tiers) {
            const float top = base + float(tier.floors) * city::kFloorHeight;
            boxes.push_back({Vector3(b.x - tier.width / 2, base, b.z - tier.depth / 2),
                             Vector3(b.x + tier.width / 2, top, b.z + tier.depth / 2)});
            base = top;
        }
    }
    return boxes;
}

bool onFootprint(const std::vector<city::Building>& plan, float x, float z, float margin) {
    for (const city::Building& b : plan)
        if (std::fabs(x - b.x) < b.width() / 2 + margin && std::fabs(z - b.z) < b.depth() / 2 + margin)
            return true;
    return false;
}

// The scene read once for all tests, in a working directory of links to the data.
struct CityScene {
    test::ScratchDirectory dir;
    Scene scene;
    bool ready = false;
};

CityScene& shared() {
    static CityScene state;
    return state;
}

class CityGL : public test::GLFixture {
protected:
    CityGL() : GLFixture(kViewSize, kViewSize) {}

    static void TearDownTestSuite() { shared().dir.leave(); }

    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        if (!shared().ready)
            prepare();
    }

    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }

    static void prepare() {
        CityScene& s = shared();
        ASSERT_TRUE(s.dir.enter("vantor-city"));
        for (const char* generated : {"config files", "models", "images", "fonts"})
            ASSERT_EQ(::symlink((std::string(VANTOR_DATA_DIR "/") + generated).c_str(),
                                (s.dir.path() + "/" + generated).c_str()),
                      0);
        for (const char* shipped : {"shaders", "scripts"})
            ASSERT_EQ(::symlink((std::string(VANTOR_SHIPPED_DATA_DIR "/") + shipped).c_str(),
                                (s.dir.path() + "/" + shipped).c_str()),
                      0);

        ASSERT_TRUE(test::readSceneDescription("config files\\init.xml", s.scene));
        // The buildings, the outskirts and the ground, then the movers.
        ASSERT_EQ(s.scene.models.size, unsigned(3 + city::kCarCount + city::kPedestrianCount + city::kBirdCount))
            << "every model file loads";
        ASSERT_EQ(lights().size, 3u);
        for (const MaterialManager::MaterialShader& entry : MaterialManager::getInstance()->shaders)
            ASSERT_GT(entry.program, 0) << entry.name.c_str() << " did not load";
        s.ready = true;
    }

    // One frame as the city draws it, with the given projection and view.
    void render(const Matrix4& view, bool fromAbove) {
        test::beginSceneFrame(kViewSize, kViewSize, 0.8f, 0.8f, 0.83f);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        if (fromAbove) {
            glOrtho(-kHalfView, kHalfView, -kHalfView, kHalfView, kNear, kFar);
        } else {
            const double h = 50.0 * std::tan(0.5);
            glFrustum(-h, h, -h, h, 50.0, 20000.0);
        }
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(view.m);
        frameDelta = 0.0;
        shared().scene.renderScene();
        glFinish();
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // The view from above: x to the right, north (-z) up the window.
    static Matrix4 viewFromAbove() {
        const float c = city::kMapSize / 2;
        return lookAt(Vector3(c, kEyeHeight, -c), Vector3(c, 0, -c), Vector3(0, 0, -1));
    }

    // The window pixel below world point (x, z) in the view from above.
    static void pixelOf(float x, float z, int& px, int& py) {
        const float c = city::kMapSize / 2;
        px = int(std::floor((x - c + kHalfView) / (2 * kHalfView) * kViewSize));
        py = int(std::floor((-z - c + kHalfView) / (2 * kHalfView) * kViewSize));
    }

    // The height of the nearest surface above world point (x, z) in the view from above.
    static float heightAt(float x, float z) {
        int px = 0, py = 0;
        pixelOf(x, z, px, py);
        float depth = 1.0f;
        glReadPixels(px, py, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return kEyeHeight - kNear - depth * (kFar - kNear);
    }

    static RGBA colourAt(float x, float z) {
        int px = 0, py = 0;
        pixelOf(x, z, px, py);
        return readPixel(px, py);
    }

    static void saveShot(const char* name) {
        test::saveShot("VANTOR_CITY_SHOTS", name, kViewSize, kViewSize, readPixel);
    }
};

} // namespace

TEST_F(CityGL, FromAboveEveryBuildingStandsAtItsHeightOnStreetsAndGrass) {
    // The birds fly over the roofs; they are not part of the plan.
    Scene& scene = shared().scene;
    scene.modelHidden.resize(scene.models.size);
    for (unsigned i = 0; i < scene.models.size; ++i)
        scene.modelHidden[i] = std::string(scene.modelFiles[i].c_str()).find("birds") != std::string::npos;
    render(viewFromAbove(), true);
    scene.modelHidden.clear();
    saveShot("city-above");
    const std::vector<city::Building> plan = city::layoutCity();
    for (const city::Building& b : plan) {
        SCOPED_TRACE(b.name);
        // A spire rises to a point above the roof's centre.
        const float centre = heightAt(b.x, b.z);
        EXPECT_GE(centre, b.roofHeight() - kHeightTolerance) << "roof at the centre";
        EXPECT_LE(centre, b.totalHeight() + kHeightTolerance) << "roof at the centre";
        const float cornerX = b.x + b.width() / 2 - 10, cornerZ = b.z - b.depth() / 2 + 10;
        EXPECT_NEAR(heightAt(cornerX, cornerZ), float(b.tiers.front().floors) * city::kFloorHeight, kHeightTolerance)
            << "roof at a corner";
        if (!onFootprint(plan, b.x + b.width() / 2 + 20, b.z, 5)) {
            EXPECT_NEAR(heightAt(b.x + b.width() / 2 + 20, b.z), 0.0f, kHeightTolerance) << "ground beside it";
        }
    }
    // Asphalt on the street lines between the crossings (away from the
    // lanes, where cars may stand): grey, so green is never its strongest
    // channel (the lights tint it warm or cool).
    for (int line = 0; line <= city::kBlocksPerSide; ++line)
        for (int block = 0; block < city::kBlocksPerSide; ++block) {
            const float onLine = float(line) * city::kBlockPeriod + 10,
                        mid = (float(block) + 0.5f) * city::kBlockPeriod;
            for (const RGBA& p : {colourAt(onLine, -mid), colourAt(mid, -onLine)})
                EXPECT_LE(p.g, std::max(p.r, p.b) + 4) << p;
            EXPECT_NEAR(heightAt(onLine, -mid), 0.0f, kHeightTolerance);
        }
    // Much of the park is grass (paths, pond and the lamp's orange light take
    // the rest): under the warm lights of the evening its red comes up to
    // its green, but green stays well above blue, unlike on grey stone.
    int green = 0, samples = 0;
    for (float dz = 200; dz <= 600; dz += 40)
        for (float dx = 200; dx <= 600; dx += 40) {
            const RGBA p = colourAt(city::kParkBlockX * city::kBlockPeriod + dx, -(city::kParkBlockZ * city::kBlockPeriod + dz));
            green += p.g >= p.r && p.g > p.b + 40;
            ++samples;
        }
    EXPECT_GT(green, samples / 3) << green << " of " << samples;
}

TEST_F(CityGL, GroundInTheShadowOfTheWarmLightIsDarkerThanGroundItReaches) {
    render(viewFromAbove(), true);
    const std::vector<city::Building> plan = city::layoutCity();
    const std::vector<Box> boxes = buildingBoxes(plan);
    const Vector3 lightA = lights()[0].position.xyz(), lightB = lights()[1].position.xyz();
    const Vector3 lamp = lights()[2].position.xyz();
    // Ground points inside the lots well within the warm light's reach, off
    // every footprint by a margin, out of the lamp's reach and not in the
    // cool light's shadow, sorted by whether the warm light reaches them.
    long red[2] = {0, 0}, count[2] = {0, 0};
    for (float z = -10; z > -city::kMapSize; z -= 20)
        for (float x = 10; x < city::kMapSize; x += 20) {
            bool nearBuilding = false, shadowA = false, shadowB = false;
            const Vector3 p(x, 0, z);
            if ((p - lightA).length() > 0.75f * lights()[0].range || (p - lamp).length() < lights()[2].range)
                continue;
            for (const Box& box : boxes) {
                nearBuilding = nearBuilding || (x > box.min.x - 15 && x < box.max.x + 15 &&
                                                z > box.min.z - 15 && z < box.max.z + 15);
                shadowA = shadowA || segmentHitsBox(p, lightA, box);
                shadowB = shadowB || segmentHitsBox(p, lightB, box);
            }
            if (nearBuilding || shadowB || onFootprint(plan, x, z, 15))
                continue;
            red[shadowA] += colourAt(x, z).r;
            ++count[shadowA];
        }
    ASSERT_GT(count[0], 100);
    ASSERT_GT(count[1], 100);
    const double lit = double(red[0]) / double(count[0]), shadowed = double(red[1]) / double(count[1]);
    EXPECT_LT(shadowed, lit * 0.6) << "lit " << lit << ", in the warm light's shadow " << shadowed;

    // Not checked, only shown: the city from above its south-west corner and
    // from where the walking camera starts, looking north along its street.
    if (std::getenv("VANTOR_CITY_SHOTS")) {
        render(lookAt(Vector3(-900, 1600, 900), Vector3(1900, 0, -1900), Vector3(0, 1, 0)), false);
        saveShot("city-overview");
        render(lookAt(Vector3(city::kWalkStartX, city::kWalkStartY, city::kWalkStartZ),
                      Vector3(city::kWalkStartX, city::kWalkStartY, city::kWalkStartZ - 1000),
                      Vector3(0, 1, 0)),
               false);
        saveShot("city-walk");
    }
}
