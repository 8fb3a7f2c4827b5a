// The occlusion culler without a GL context: the four-wide and scalar span
// paths, and scan conversion of every polygon, against each other on seeded
// random polygons, exact pixels of scan
// conversion, and a table of whole-object culling cases (occluders, the
// frustum test, the eye-inside rule, the minimum box size, disabled culling)
// and the memos that spare repeated tests and occluders.
#include "../../support/TestMath.h"

#include "modules/occlusion/OcclusionCuller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace Vantor;

namespace {

using test::BoxMesh;
using test::perspective;
using test::Rng;

constexpr double kPi = 3.14159265358979323846;

std::vector<float> bufferOf(const OcclusionCuller& culler) {
    return std::vector<float>(culler.depth.values, culler.depth.values + culler.depth.count);
}

// A random convex polygon (3 or 4 vertices) in eye space in front of, around
// and beside the view, counter-clockwise seen from the eye unless reversed.
void randomPolygon(Rng& rng, float maxRadius, float* positions, int& count) {
    count = 3 + int(rng.below(2));
    const float cx = rng.uniform(-600, 600), cy = rng.uniform(-300, 300), cz = rng.uniform(-900, 20);
    const float radius = rng.uniform(5, maxRadius);
    float angles[4];
    for (int k = 0; k < count; ++k)
        angles[k] = rng.uniform(0, float(2 * kPi));
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (angles[j] < angles[i])
                std::swap(angles[i], angles[j]);
    const bool reversed = rng.below(2) == 0;
    for (int k = 0; k < count; ++k) {
        const float a = angles[reversed ? count - 1 - k : k];
        positions[3 * k] = cx + radius * std::cos(a);
        positions[3 * k + 1] = cy + radius * std::sin(a);
        positions[3 * k + 2] = cz + rng.uniform(-60, 60);
    }
}

// Three cullers: four-wide spans, scalar spans, and four-wide spans that
// scan-convert every polygon, even one behind everything under it.
TEST(OcclusionSpans, SpanPathsAndSkippedHiddenPolygonsAgreeOnRandomPolygons) {
    OcclusionCuller paths[3];
    for (OcclusionCuller& c : paths) {
        c.setSize(600, 300);
        c.scaleX = 300;
        c.scaleY = 150;
        c.beginFrame(1, 1000, perspective(45, 2, 1, 1000));
        c.setModelview(Matrix4());
    }
    paths[1].forceScalar = true;
    paths[2].skipHidden = false;
    if (cpuCapabilities() & kCpuHasSse) {
        EXPECT_TRUE(paths[0].vectorSpans());
    }
    EXPECT_FALSE(paths[1].vectorSpans());

    Rng rng(20240611);
    const int triangle[3] = {0, 1, 2};
    const int quad[4] = {0, 1, 2, 3};
    for (int round = 0; round < 300; ++round) {
        float positions[12];
        int count = 0;
        randomPolygon(rng, 150, positions, count);
        const bool cull = rng.below(4) != 0;
        for (OcclusionCuller& c : paths) {
            c.cullBackFaces = cull;
            c.submit(count == 3 ? triangle : quad, count, positions, count,
                     count == 3 ? kOcclusionTriangles : kOcclusionQuads);
        }
        for (int p = 1; p < 3; ++p)
            ASSERT_EQ(0, std::memcmp(paths[0].depth.values, paths[p].depth.values,
                                     sizeof(float) * unsigned(paths[0].depth.count)))
                << "buffers " << p << " differs after polygon " << round;
    }
    EXPECT_EQ(paths[0].occluderPolygons, paths[1].occluderPolygons);
    EXPECT_EQ(paths[0].occluderPolygons, paths[2].occluderPolygons);
    int written = 0;
    for (int i = 0; i < paths[0].depth.count; ++i)
        written += paths[0].depth.values[i] < 1.0f;
    EXPECT_GT(written, paths[0].depth.count / 2);
    EXPECT_LT(written, paths[0].depth.count);

    const std::vector<float> before = bufferOf(paths[0]);
    int outcomes[2] = {0, 0};
    for (int round = 0; round < 2000; ++round) {
        float positions[12];
        int count = 0;
        randomPolygon(rng, 400, positions, count);
        bool seen[3];
        for (int p = 0; p < 3; ++p) {
            OcclusionCuller& c = paths[p];
            c.cullBackFaces = false;
            c.testing = true;
            c.visible = false;
            c.submit(count == 3 ? triangle : quad, count, positions, count,
                     count == 3 ? kOcclusionTriangles : kOcclusionQuads);
            c.testing = false;
            seen[p] = c.visible;
        }
        ASSERT_TRUE(seen[0] == seen[1] && seen[0] == seen[2]) << "test results differ for polygon " << round;
        ++outcomes[seen[0]];
    }
    EXPECT_GT(outcomes[0], 400);
    EXPECT_GT(outcomes[1], 400);
    EXPECT_EQ(before, bufferOf(paths[0])) << "test mode wrote to the buffer";
}

// A 64 x 64 buffer with identity matrices: window (px, py) is clip
// (px / 32 - 1, py / 32 - 1), exactly.
class ScanConversion : public ::testing::Test {
protected:
    static constexpr int kSide = 64;
    OcclusionCuller culler;

    void SetUp() override {
        culler.setSize(kSide, kSide);
        culler.scaleX = culler.scaleY = kSide / 2;
    }

    // Draws one polygon given in window pixels (x, y, depth) in write mode.
    void draw(const std::vector<Vector3>& pixels) {
        std::vector<float> positions;
        std::vector<int> indices;
        for (const Vector3& p : pixels) {
            indices.push_back(int(indices.size()));
            positions.push_back(p.x / 32 - 1);
            positions.push_back(p.y / 32 - 1);
            positions.push_back(p.z);
        }
        culler.submit(indices.data(), int(indices.size()), positions.data(), int(pixels.size()),
                      pixels.size() == 3 ? kOcclusionTriangles : kOcclusionQuads);
    }

    // Pixels below 1 (written) per row, as [first, last] x or {-1, -1}.
    std::vector<std::pair<int, int>> coverage() const {
        std::vector<std::pair<int, int>> rows(kSide, {-1, -1});
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (culler.depth.at(x, y) < 1.0f) {
                    if (rows[y].first < 0)
                        rows[y].first = x;
                    EXPECT_EQ(rows[y].second < 0 ? x - 1 : rows[y].second, x - 1)
                        << "row " << y << " has a gap";
                    rows[y].second = x;
                }
        return rows;
    }
};

TEST_F(ScanConversion, TriangleCoversItsRowsWithInterpolatedDepth) {
    draw({{10, 10, 0.5f}, {30, 10, 0.0f}, {10, 30, -0.5f}});
    const auto rows = coverage();
    for (int y = 0; y < kSide; ++y) {
        const auto expected = (y < 10 || y > 30) ? std::make_pair(-1, -1) : std::make_pair(10, 40 - y);
        EXPECT_EQ(rows[y], expected) << "row " << y;
    }
    // Corners: each row starts at the left depth; the run's left edge steps
    // from 0.5 to -0.5; across a row the step is the depth difference over
    // the pixel count.
    EXPECT_EQ(culler.depth.at(10, 10), 0.5f);
    EXPECT_EQ(culler.depth.at(10, 30), -0.5f);
    EXPECT_EQ(culler.depth.at(30, 10), 0.5f + ((0.0f - 0.5f) / 21.0f) * 20.0f);
    EXPECT_EQ(culler.depth.at(10, 20), 0.5f + (-1.0f / 20.0f) * 10.0f);
    EXPECT_EQ(culler.occluderPolygons, 1);
}

TEST_F(ScanConversion, QuadCoverageDoesNotDependOnTheFirstVertexOrWinding) {
    const std::vector<Vector3> corners = {{5, 5, 0.25f}, {20, 5, 0.25f}, {20, 12, 0.25f}, {5, 12, 0.25f}};
    culler.cullBackFaces = false;
    for (int winding = 0; winding < 2; ++winding) {
        for (int start = 0; start < 4; ++start) {
            culler.clear();
            std::vector<Vector3> quad;
            for (int k = 0; k < 4; ++k)
                quad.push_back(corners[(winding ? 4 + start - k : start + k) % 4]);
            draw(quad);
            const auto rows = coverage();
            for (int y = 0; y < kSide; ++y) {
                const bool inside = y >= 5 && y <= 12;
                EXPECT_EQ(rows[y], inside ? std::make_pair(5, 20) : std::make_pair(-1, -1))
                    << "winding " << winding << " start " << start << " row " << y;
                if (inside) {
                    EXPECT_EQ(culler.depth.at(5, y), 0.25f);
                }
            }
        }
    }
}

TEST_F(ScanConversion, BackFacingPolygonLeavesTheBufferUnchanged) {
    const std::vector<float> cleared = bufferOf(culler);
    draw({{5, 5, 0}, {5, 40, 0}, {40, 40, 0}, {40, 5, 0}});  // clockwise
    EXPECT_EQ(cleared, bufferOf(culler));
    culler.flipWinding = true;
    draw({{5, 5, 0}, {40, 5, 0}, {40, 40, 0}});  // counter-clockwise, flipped
    EXPECT_EQ(cleared, bufferOf(culler));
    culler.flipWinding = false;
    culler.cullBackFaces = false;
    draw({{5, 5, 0}, {5, 40, 0}, {40, 40, 0}, {40, 5, 0}});
    EXPECT_EQ(culler.depth.at(20, 20), 0.0f);
    EXPECT_EQ(culler.occluderPolygons, 3);
}

TEST_F(ScanConversion, PolygonLargerThanTheViewIsClippedToEveryPixel) {
    const float big[12] = {-3, -2, 0, 2, -3, 0, 3, 2, 0, -2, 3, 0};
    const int quad[4] = {0, 1, 2, 3};
    culler.submit(quad, 4, big, 4, kOcclusionQuads);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            ASSERT_EQ(culler.depth.at(x, y), 0.0f) << x << ", " << y;
}

// Whole-object cases on a 600 x 300 buffer, eye at the origin looking down -z.
enum class Occluders { None, Wall, NearWall, SlitWalls, SmallWall };

struct CullCase {
    const char* name;
    bool enabled;
    float minBoxSize;
    Occluders occluders;
    bool occludersFirst;
    Vector3 min, max;
    Vector3 extraSize;
    bool expectCulled;
    int expectOccluderPolygons;
};

const CullCase kCullCases[] = {
    {"behind a wall", true, 64, Occluders::Wall, true, {-20, -20, -820}, {20, 20, -780}, {}, true, 12},
    {"tested before the wall is drawn", true, 64, Occluders::Wall, false, {-20, -20, -820}, {20, 20, -780}, {},
     false, 12},
    {"in front of the wall", true, 64, Occluders::Wall, true, {-20, -20, -300}, {20, 20, -290}, {}, false, 12},
    {"culling disabled keeps it", false, 64, Occluders::Wall, true, {-20, -20, -820}, {20, 20, -780}, {}, false,
     0},
    {"culling disabled, beside the view", false, 64, Occluders::None, true, {5000, -20, -820}, {5100, 20, -780},
     {}, true, 0},
    {"beside the view", true, 64, Occluders::None, true, {5000, -20, -820}, {5100, 20, -780}, {}, true, 0},
    {"behind the eye", true, 64, Occluders::None, true, {-20, -20, 100}, {20, 20, 200}, {}, true, 0},
    {"surrounding the eye", true, 64, Occluders::NearWall, true, {-10, -10, -10}, {10, 10, 10}, {}, false, 12},
    {"within five near clips of the eye", true, 0, Occluders::NearWall, true, {-10, -10, -30}, {10, 10, -4.5f},
     {}, false, 12},
    {"beyond five near clips of the eye", true, 0, Occluders::NearWall, true, {-10, -10, -30}, {10, 10, -6}, {},
     true, 12},
    {"thin box at its own size", true, 0, Occluders::SlitWalls, true, {-44, -4, -604}, {-36, 4, -596}, {}, true,
     24},
    {"thin box widened to 64", true, 64, Occluders::SlitWalls, true, {-44, -4, -604}, {-36, 4, -596}, {}, false,
     24},
    {"thin box with extra size", true, 0, Occluders::SlitWalls, true, {-44, -4, -604}, {-36, 4, -596}, {64, 0, 0},
     false, 24},
    {"small occluder is not drawn", true, 64, Occluders::SmallWall, true, {-4, -4, -800}, {4, 4, -790}, {}, false,
     0},
};

void drawOccluders(OcclusionCuller& culler, Occluders which) {
    std::vector<BoxMesh> meshes;
    std::vector<std::pair<Vector3, Vector3>> boxes;
    switch (which) {
    case Occluders::None:
        break;
    case Occluders::Wall:
        boxes.push_back({{-400, -200, -520}, {400, 200, -500}});
        break;
    case Occluders::NearWall:
        boxes.push_back({{-300, -300, -2.5f}, {300, 300, -2}});
        break;
    case Occluders::SlitWalls:
        boxes.push_back({{-400, -200, -310}, {-10, 200, -300}});
        boxes.push_back({{30, -200, -310}, {400, 200, -300}});
        break;
    case Occluders::SmallWall:  // diagonal below 300
        boxes.push_back({{-100, -100, -505}, {100, 100, -500}});
        break;
    }
    for (const auto& box : boxes) {
        const BoxMesh mesh(box.first, box.second);
        culler.addOccluder(box.first, box.second, Matrix4(), mesh.indices, 36, mesh.positions, 8);
    }
}

TEST(OcclusionCulling, CasesTable) {
    const Matrix4 projection = perspective(45, 2, 1, 10000);
    for (const CullCase& c : kCullCases) {
        SCOPED_TRACE(c.name);
        OcclusionCuller culler;
        culler.setSize(600, 300);
        culler.scaleX = 300;
        culler.scaleY = 150;
        culler.minBoxSize = c.minBoxSize;
        culler.enabled = c.enabled;
        culler.beginFrame(1, 10000, projection);
        if (c.occludersFirst)
            drawOccluders(culler, c.occluders);
        const float extra[3] = {c.extraSize.x, c.extraSize.y, c.extraSize.z};
        const bool hasExtra = c.extraSize.x != 0 || c.extraSize.y != 0 || c.extraSize.z != 0;
        EXPECT_EQ(c.expectCulled, culler.isOccluded(c.min, c.max, Matrix4(), projection, hasExtra ? extra : nullptr,
                                                    true));
        if (!c.occludersFirst)
            drawOccluders(culler, c.occluders);
        EXPECT_EQ(c.expectOccluderPolygons, culler.occluderPolygons);
        EXPECT_FALSE(culler.testing);
    }
}

// A memo answers a repeated test only while the buffer is as it was: at
// every step its answer is the one a test without it gives, and an occluder
// drawn again before a clear adds no polygon and changes no depth.
TEST(OcclusionCulling, MemosAnswerAsTheBufferDoes) {
    OcclusionCuller culler;
    culler.setSize(600, 300);
    culler.scaleX = 300;
    culler.scaleY = 150;
    const Matrix4 projection = perspective(45, 2, 1, 10000);
    culler.beginFrame(1, 10000, projection);
    const Vector3 wallMin(-400, -200, -520), wallMax(400, 200, -500);
    const BoxMesh wall(wallMin, wallMax);
    const Vector3 boxMin(-20, -20, -820), boxMax(20, 20, -780);
    Matrix4 inFront;
    inFront.m[14] = 400;  // the box moved in front of the wall
    OcclusionMemo test, framedTest, drawn;
    const float extra[3] = {8, 8, 8};

    enum Step { Retest, AddWall, Clear, Disable, Enable, InFront };
    struct {
        Step step;
        bool culled;        // the answer a fresh test gives after the step
        int wallPolygons;   // occluder polygons so far
    } const steps[] = {
        {Retest, false, 0},  {AddWall, true, 12},   {Retest, true, 12}, {AddWall, true, 12}, {InFront, false, 12},
        {Retest, true, 12},  {Disable, false, 12},  {Enable, true, 12}, {Clear, false, 0},   {AddWall, true, 12},
    };
    for (const auto& s : steps) {
        Matrix4 modelview;
        switch (s.step) {
        case Retest:
            break;
        case AddWall: {
            const std::vector<float> before = bufferOf(culler);
            const bool again = drawn.clears == culler.clears;
            culler.addOccluder(wallMin, wallMax, Matrix4(), wall.indices, 36, wall.positions, 8, &drawn);
            if (again) {
                EXPECT_EQ(before, bufferOf(culler)) << "the wall drawn again";
            }
            break;
        }
        case Clear:
            culler.beginFrame(1, 10000, projection);
            culler.occluderPolygons = 0;
            break;
        case Disable:
            culler.enabled = false;
            break;
        case Enable:
            culler.enabled = true;
            break;
        case InFront:
            modelview = inFront;
            break;
        }
        const bool fresh = culler.isOccluded(boxMin, boxMax, modelview, projection, nullptr, false);
        EXPECT_EQ(s.culled, fresh) << "step " << &s - steps;
        EXPECT_EQ(fresh, culler.isOccluded(boxMin, boxMax, modelview, projection, nullptr, false, test))
            << "step " << &s - steps;
        // With the frustum test and an extra size, as a model's test asks.
        EXPECT_EQ(culler.isOccluded(boxMin, boxMax, modelview, projection, extra, true),
                  culler.isOccluded(boxMin, boxMax, modelview, projection, extra, true, framedTest))
            << "step " << &s - steps;
        EXPECT_EQ(s.wallPolygons, culler.occluderPolygons) << "step " << &s - steps;
    }
}

TEST(OcclusionCulling, FrustumTestNeedsAllCornersOutsideOnePlane) {
    const OcclusionCuller culler;
    const Matrix4 projection = perspective(45, 2, 1, 10000);
    struct {
        Vector3 min, max;
        bool visible;
    } const cases[] = {
        {{-10, -10, -110}, {10, 10, -90}, true},        // inside
        {{5000, -10, -110}, {5100, 10, -90}, false},     // right of the view
        {{-10, -10, 10}, {10, 10, 20}, false},           // behind the eye
        {{-10, -10, -20000}, {10, 10, -15000}, false},   // beyond the far plane
        {{-5000, -10, -110}, {5000, 10, -90}, true},     // across the view, no corner inside
        {{-5000, 200, -110}, {5000, 5000, -90}, false},  // above the view, across it
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.visible, culler.frustumTest(c.min, c.max, projection))
            << c.min.x << " " << c.min.z << " " << c.max.x << " " << c.max.z;
}

TEST(OcclusionCulling, OccluderThresholdGrowsWithDistance) {
    struct {
        float distance, threshold;
    } const cases[] = {{0, 300}, {500, 300}, {1000, 300}, {1100, (1 - 1000.0f / 1100) * 4000}, {1250, 600},
                       {100000, 600}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(c.threshold, OcclusionCuller::occluderThreshold(c.distance)) << c.distance;
}

} // namespace
