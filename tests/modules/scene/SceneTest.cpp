// Reading lights and scene descriptions without GL: tables of "light" and
// "scene" elements, well formed and malformed, each with the light list,
// positions, attenuation, colours and glow it must give; and the light list's
// limit of eight. Model files need the GL edge of the loader, so the rows
// with "model" elements live in the GL tests.
#include "modules/particles/ParticleManager.h"
#include "modules/scene/Light.h"
#include "modules/scene/LightBounds.h"
#include "modules/scene/Scene.h"
#include "modules/xml/XMLFile.h"

#include "TestMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

// Parses text as one root element.
void parse(XMLFile& file, const std::string& text) { file.parse(String(text.c_str()), "test description"); }

struct LightRow {
    const char* what;
    const char* xml;
    float x, y, z;
    bool castShadows;
    float range;
    double quadratic, linear, constant;
    float diffuse[4];
    float glow[4];
};

const LightRow lightRows[] = {
    {"no position: the default place", "<light/>", 1, 2, 0.7f, true, 0, 0, 0, 1, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"w = 0 is a direction, placed far away", "<light><position x=\"1\" y=\"0\" z=\"0\" w=\"0\"/></light>",
     1000000, 0, 0, true, 0, 0, 0, 1, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"w = 2 divides x, y, z", "<light><position x=\"4\" w=\"2\"/></light>", 2, 1, 0.35f, true, 0, 0, 0, 1,
     {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"w = 1 leaves the position", "<light><position x=\"-3\" y=\"0\" z=\"9.5\" w=\"1\"/></light>", -3, 0, 9.5f, true,
     0, 0, 0, 1, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"text for numbers gives the defaults",
     "<light castShadows=\"false\" range=\"abc\"><position x=\"abc\" y=\".\" z=\"-0\" w=\"w\"/></light>", 1, 2, 0.7f,
     true, 0, 0, 0, 1, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"castShadows 0 gives no shadows", "<light castShadows=\"0\"/>", 1, 2, 0.7f, false, 0, 0, 0, 1, {1, 1, 1, 1},
     {1, 1, 1, 1}},
    {"castShadows 0.5 reads as the integer 0", "<light castShadows=\"0.5\"/>", 1, 2, 0.7f, false, 0, 0, 0, 1,
     {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"castShadows -1 is non-zero", "<light castShadows=\"-1\"/>", 1, 2, 0.7f, true, 0, 0, 0, 1, {1, 1, 1, 1},
     {1, 1, 1, 1}},
    {"range 10 attenuates", "<light range=\"10\"/>", 1, 2, 0.7f, true, 10, 0.05, 0, 0.5, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"range 0 keeps GL's attenuation", "<light range=\"0\"/>", 1, 2, 0.7f, true, 0, 0, 0, 1, {1, 1, 1, 1},
     {1, 1, 1, 1}},
    {"colours: missing attributes are 1, the glow is 2c + 0.3 clamped",
     "<light><diffuse r=\"0.25\" g=\"x\" b=\"-1\" a=\"0.2\"/><specular r=\"0\"/></light>", 1, 2, 0.7f, true, 0, 0, 0,
     1, {0.25f, 1, -1, 0.2f}, {0.8f, 1, 0, 0.4f}},
    {"unknown children are ignored",
     "<light><colour r=\"0\"/><position x=\"5\"/><position x=\"6\"/><shadow castShadows=\"0\"/></light>", 5, 2, 0.7f,
     true, 0, 0, 0, 1, {1, 1, 1, 1}, {1, 1, 1, 1}},
};

TEST(ReadLight, RowsOfLightElements) {
    for (const LightRow& row : lightRows) {
        SCOPED_TRACE(row.what);
        XMLFile element;
        parse(element, row.xml);
        const Light light = readLight(element);
        EXPECT_FLOAT_EQ(light.position.x, row.x);
        EXPECT_FLOAT_EQ(light.position.y, row.y);
        EXPECT_FLOAT_EQ(light.position.z, row.z);
        EXPECT_EQ(light.position.w, 1.0f);
        EXPECT_EQ(light.castShadows, row.castShadows);
        EXPECT_EQ(light.range, row.range);
        EXPECT_NEAR(light.quadraticAttenuation, row.quadratic, 1e-9);
        EXPECT_EQ(light.linearAttenuation, row.linear);
        EXPECT_EQ(light.constantAttenuation, row.constant);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(light.diffuse[i], row.diffuse[i]) << i;
        ASSERT_NE(light.glow, nullptr);
        EXPECT_FLOAT_EQ(light.glow->position.x, row.x);
        EXPECT_FLOAT_EQ(light.glow->position.y, row.y);
        EXPECT_FLOAT_EQ(light.glow->position.z, row.z);
        EXPECT_EQ(light.glow->size, kLightGlowSize);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(light.glow->colour[i], row.glow[i]) << i;
        // The glow stands still and lives for ever.
        EXPECT_EQ(light.glow->lifeDecay, 0.0f);
        EXPECT_FALSE(light.glow->gravity || light.glow->orbit || light.glow->accelerate);
    }
}

TEST(ReadLight, MissingColourElementsAreWhite) {
    float colour[4] = {0, 0, 0, 0};
    readColour(nullptr, colour);
    for (float c : colour)
        EXPECT_EQ(c, 1.0f);
}

struct SceneRow {
    const char* what;
    std::string xml;
    float ambient[4];
    unsigned lightCount;
    // x of each listed light, in order (the rows place them by x).
    std::vector<float> lightX;
    std::vector<bool> shadows;
};

std::string nineLights() {
    std::string xml = "<scene>";
    for (int i = 1; i <= 9; ++i)
        xml += "<light castShadows=\"" + std::to_string(i % 2) + "\"><position x=\"" + std::to_string(i) +
               "\"/></light>";
    return xml + "</scene>";
}

TEST(ReadScene, RowsOfSceneElements) {
    const SceneRow rows[] = {
        {"an empty scene: white ambient, no lights", "<scene/>", {1, 1, 1, 1}, 0, {}, {}},
        {"no ambient is white", "<scene><light/></scene>", {1, 1, 1, 1}, 1, {1}, {true}},
        {"a partial ambient", "<scene><ambient r=\"0.1\" g=\"abc\" b=\"0\"/></scene>", {0.1f, 1, 0, 1}, 0, {}, {}},
        {"unknown elements are ignored, lights keep their order",
         "<scene><fog density=\"2\"/><ambient r=\"0.5\" g=\"0.5\" b=\"0.5\" a=\"0.5\"/><lamp/>"
         "<light><position x=\"3\"/></light><models/><light castShadows=\"0\"><position x=\"4\"/></light></scene>",
         {0.5f, 0.5f, 0.5f, 0.5f},
         2,
         {3, 4},
         {true, false}},
        {"nine lights give the first eight", nineLights(), {1, 1, 1, 1}, 8, {1, 2, 3, 4, 5, 6, 7, 8},
         {true, false, true, false, true, false, true, false}},
    };
    for (const SceneRow& row : rows) {
        SCOPED_TRACE(row.what);
        lights().clear();
        XMLFile element;
        parse(element, row.xml);
        Scene scene;
        scene.readScene(element);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(scene.ambient[i], row.ambient[i]) << i;
        EXPECT_EQ(scene.models.size, 0u);
        ASSERT_EQ(lights().size, row.lightCount);
        for (unsigned i = 0; i < row.lightCount; ++i) {
            EXPECT_EQ(lights()[i].index, int(i));
            EXPECT_FLOAT_EQ(lights()[i].position.x, row.lightX[i]);
            EXPECT_EQ(lights()[i].castShadows, row.shadows[i]);
        }
    }
    lights().clear();
}

TEST(AddLight, ListsCopiesWithTheirPlaceAsIndexUpToEight) {
    lights().clear();
    Light light;
    light.index = 5;
    light.range = 3;
    for (int i = 0; i < kMaxLights + 2; ++i) {
        light.diffuse[0] = float(i);
        EXPECT_EQ(addLight(light), i < kMaxLights ? i : kMaxLights - 1) << i;
    }
    ASSERT_EQ(lights().size, unsigned(kMaxLights));
    for (int i = 0; i < kMaxLights; ++i) {
        EXPECT_EQ(lights()[unsigned(i)].index, i);
        EXPECT_EQ(lights()[unsigned(i)].diffuse[0], float(i)) << "the later lights were dropped";
        EXPECT_EQ(lights()[unsigned(i)].range, 3.0f);
    }
    EXPECT_EQ(light.index, 5) << "the caller's light is not changed";

    // A copy takes everything but the index.
    Light copy;
    copy.index = 2;
    copy = lights()[6];
    EXPECT_EQ(copy.index, 2);
    EXPECT_EQ(copy.diffuse[0], 6.0f);
    const Light constructed(lights()[7]);
    EXPECT_EQ(constructed.index, 0);
    lights().clear();
}

TEST(SetPosition, MovesTheLightAndItsGlow) {
    XMLFile element;
    parse(element, "<light><position x=\"1\" y=\"1\" z=\"1\" w=\"4\"/></light>");
    Light light = readLight(element);
    ASSERT_NE(light.glow, nullptr);
    light.setPosition(10, -20, 30);
    EXPECT_EQ(light.position.x, 10.0f);
    EXPECT_EQ(light.position.y, -20.0f);
    EXPECT_EQ(light.position.z, 30.0f);
    EXPECT_EQ(light.position.w, 1.0f);
    EXPECT_EQ(light.glow->position.x, 10.0f);
    EXPECT_EQ(light.glow->position.y, -20.0f);
    EXPECT_EQ(light.glow->position.z, 30.0f);

    Light bare;
    bare.setPosition(1, 2, 3);
    EXPECT_EQ(bare.position.z, 3.0f);
    EXPECT_EQ(bare.glow, nullptr);
}

} // namespace

namespace {

// gluPerspective(90 degrees, aspect 1, near 1, far 10000) from the origin
// looking down -z.
Matrix4 squareView() {
    Matrix4 m;
    const float nearClip = 1.0f, farClip = 10000.0f;
    for (float& e : m.m)
        e = 0.0f;
    m.m[0] = m.m[5] = 1.0f;
    m.m[10] = -(farClip + nearClip) / (farClip - nearClip);
    m.m[11] = -1.0f;
    m.m[14] = -2.0f * farClip * nearClip / (farClip - nearClip);
    return m;
}

} // namespace

TEST(LightBounds, ScissorHoldsTheReachAndGivesUpNearTheEye) {
    const Matrix4 view = squareView(), eye;
    const int viewport[4] = {0, 0, 1000, 1000};
    int rect[4] = {};
    // Straight ahead at 5000 with range 500: the touching lines have slope
    // 500 / sqrt(5000^2 - 500^2) = 0.1005, i.e. 1000 * (1 +- 0.1005) / 2.
    ASSERT_TRUE(lightScissor(view, eye, Vector3(0, 0, -5000), 500, 1, viewport, rect));
    EXPECT_EQ(rect[0], 449);
    EXPECT_EQ(rect[1], 449);
    EXPECT_EQ(rect[2], 102);
    EXPECT_EQ(rect[3], 102);
    // Off the axis, moved by a view: every point of the sphere projects
    // inside the rectangle, and the rectangle's edges touch the sphere's image.
    const Matrix4 moved = Matrix4::translation(-300.0f, 100.0f, 0.0f);
    const Vector3 centre(1500, -400, -3000);
    ASSERT_TRUE(lightScissor(view, moved, centre, 700, 1, viewport, rect));
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
    for (int i = 0; i < 90; ++i)
        for (int j = 0; j < 45; ++j) {
            const float a = float(i) * 0.0698f, b = float(j) * 0.0698f;
            const Vector3 p = centre + Vector3(std::cos(a) * std::sin(b), std::cos(b), std::sin(a) * std::sin(b)) * 700;
            const Vector3 q(p.x - 300, p.y + 100, p.z);
            const float sx = (q.x / -q.z + 1) * 500, sy = (q.y / -q.z + 1) * 500;
            x0 = std::min(x0, sx), x1 = std::max(x1, sx), y0 = std::min(y0, sy), y1 = std::max(y1, sy);
        }
    EXPECT_GE(x0, float(rect[0]));
    EXPECT_LE(x1, float(rect[0] + rect[2]));
    EXPECT_GE(y0, float(rect[1]));
    EXPECT_LE(y1, float(rect[1] + rect[3]));
    EXPECT_LT(float(rect[2]), x1 - x0 + 4) << "tight across";
    EXPECT_LT(float(rect[3]), y1 - y0 + 4) << "tight up";
    // No rectangle without a range, reaching the near plane, or behind the eye.
    EXPECT_FALSE(lightScissor(view, eye, Vector3(0, 0, -5000), 0, 1, viewport, rect));
    EXPECT_FALSE(lightScissor(view, eye, Vector3(0, 0, -500), 499.5f, 1, viewport, rect));
    EXPECT_FALSE(lightScissor(view, eye, Vector3(0, 0, 5000), 500, 1, viewport, rect));
    // Off to the side: an empty rectangle.
    ASSERT_TRUE(lightScissor(view, eye, Vector3(20000, 0, -5000), 500, 1, viewport, rect));
    EXPECT_EQ(rect[2], 0);
    // An orthographic projection is left alone.
    Matrix4 ortho;
    ortho.m[0] = ortho.m[5] = 0.001f;
    ortho.m[10] = -0.001f;
    EXPECT_FALSE(lightScissor(ortho, eye, Vector3(0, 0, -5000), 500, 1, viewport, rect));
}

// The polyhedron round a light's reach: closed (every edge met once each
// way), every face turned outwards and at least 1 from the centre, and not
// much more, so it masks nearly all that lies beyond the reach.
TEST(LightBounds, TheReachPolyhedronHoldsTheUnitSphereClosely) {
    const std::vector<Vector3>& t = reachPolyhedron();
    ASSERT_EQ(t.size() % 3, 0u);
    ASSERT_GE(t.size(), 3u * 80);
    const auto key = [](const Vector3& p) { return std::make_tuple(std::lround(p.x * 1e4f), std::lround(p.y * 1e4f), std::lround(p.z * 1e4f)); };
    std::map<std::pair<decltype(key(t[0])), decltype(key(t[0]))>, int> edges;
    float nearest = 2.0f, farthest = 0.0f;
    for (size_t i = 0; i < t.size(); i += 3) {
        Vector3 normal = cross(t[i + 1] - t[i], t[i + 2] - t[i]);
        normal = normal * (1.0f / normal.length());
        const float distance = dot(normal, t[i]);
        nearest = std::min(nearest, distance);
        for (int k = 0; k < 3; ++k) {
            farthest = std::max(farthest, t[i + size_t(k)].length());
            ++edges[{key(t[i + size_t(k)]), key(t[i + size_t((k + 1) % 3)])}];
        }
    }
    EXPECT_GE(nearest, 1.0f) << "a face cuts into the sphere, or faces inwards";
    EXPECT_LT(farthest, 1.05f);
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u) << "an open edge";
    }
}

TEST(LightBounds, AVolumeIsOutsideTheViewOnlyWhenItsWholeHullIs) {
    const Matrix4 view = squareView();
    const Matrix4 world = Matrix4::translation(0.0f, 0.0f, 0.0f);
    const struct {
        Vector3 boxMin, boxMax;
        Vector4 light;
        float extrusion;
        bool outside;
    } table[] = {
        // Behind the eye, lit from behind: the shadow points further back.
        {{-10, -10, 100}, {10, 10, 120}, {0, 0, -100, 1}, 500, true},
        // Behind the eye, lit from further behind: the shadow reaches ahead into view.
        {{-10, -10, 100}, {10, 10, 120}, {0, 0, 1000, 1}, 5000, false},
        // Far to the left, its shadow thrown further left.
        {{-9000, -10, -1000}, {-8000, 10, -900}, {0, 0, -950, 1}, 3000, true},
        // Far to the left, its shadow thrown right across the view.
        {{-9000, -10, -1000}, {-8000, 10, -900}, {-20000, 0, -950, 1}, 15000, false},
        // A directional light shining along -x.
        {{-9000, -10, -1000}, {-8000, 10, -900}, {1, 0, 0, 0}, 15000, true},
        // In view.
        {{-10, -10, -120}, {10, 10, -100}, {0, 500, -100, 1}, 100, false},
    };
    for (const auto& row : table) {
        Vector3 hull[16];
        shadowVolumeHull(row.boxMin, row.boxMax, world, row.light, row.extrusion, hull);
        EXPECT_EQ(outsideView(view, hull, 16), row.outside) << row.boxMin.x << " " << row.light.z;
    }
}

namespace {

// The orthographic view of the world box lo..hi.
Matrix4 boxView(const Vector3& lo, const Vector3& hi) {
    Matrix4 m;
    m.m[0] = 2.0f / (hi.x - lo.x);
    m.m[5] = 2.0f / (hi.y - lo.y);
    m.m[10] = 2.0f / (hi.z - lo.z);
    m.m[12] = -(hi.x + lo.x) / (hi.x - lo.x);
    m.m[13] = -(hi.y + lo.y) / (hi.y - lo.y);
    m.m[14] = -(hi.z + lo.z) / (hi.z - lo.z);
    return m;
}

} // namespace

TEST(LightBounds, AVolumeSeenOnlyByItsFarPartIsInView) {
    const Matrix4 world = Matrix4::translation(0.0f, 0.0f, 0.0f);
    // A box 1000 units from the light, its shadow thrown 10000 units on: the
    // middle of its far face lands at x 11100, past the corners' own copies
    // (x 11079 at most). A view of just that far end sees the volume.
    const Vector3 boxMin(1000, -50, -50), boxMax(1100, 50, 50);
    const Vector4 light(0, 0, 0, 1);
    Vector3 hull[16];
    ASSERT_TRUE(shadowVolumeHull(boxMin, boxMax, world, light, 10000, hull));
    EXPECT_FALSE(outsideView(boxView(Vector3(11085, -10, -10), Vector3(11200, 10, 10)), hull, 16));
    // Beyond everything the volume can reach, it is out of view.
    EXPECT_TRUE(outsideView(boxView(Vector3(11300, -100, -100), Vector3(12000, 100, 100)), hull, 16));
    // A light inside the box bounds nothing.
    EXPECT_FALSE(shadowVolumeHull(boxMin, boxMax, world, Vector4(1050, 0, 0, 1), 10000, hull));

    // Any pushed vertex of any box, seen alone, keeps the volume in view.
    test::Rng rng(7);
    for (int i = 0; i < 2000; ++i) {
        const Vector3 lo(rng.uniform(-3000, 3000), rng.uniform(0, 200), rng.uniform(-3000, 3000));
        const Vector3 hi = lo + Vector3(rng.uniform(20, 600), rng.uniform(20, 2500), rng.uniform(20, 600));
        const Vector4 p(rng.uniform(-4000, 4000), rng.uniform(0, 1500), rng.uniform(-4000, 4000), 1);
        const float extrusion = rng.uniform(100, 15000);
        if (!shadowVolumeHull(lo, hi, world, p, extrusion, hull))
            continue;
        const Vector3 v(rng.uniform(lo.x, hi.x), rng.uniform(lo.y, hi.y), rng.uniform(lo.z, hi.z));
        Vector3 away = v - p.xyz();
        away.normalize();
        const Vector3 pushed = v + away * extrusion;
        const Vector3 margin(1, 1, 1);
        EXPECT_FALSE(outsideView(boxView(pushed - margin, pushed + margin), hull, 16))
            << "box " << lo.x << " " << lo.y << " " << lo.z << ", light " << p.x << " " << p.y << " " << p.z;
    }
}
