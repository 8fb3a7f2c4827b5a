// One frame of occlusion culling on the city's 600 x 300 buffer: a 40 x 40
// grid of building boxes (twelve triangles each) offered as occluders in
// grid order, each first frustum-tested, then 8,000 small street boxes
// tested against the buffer, all from a fixed camera 400 units up at the
// grid's corner looking across it. The frame runs with four-wide spans and with the scalar
// loop forced; its two halves are also timed alone (the occluders drawn into
// a cleared buffer; the tests against a buffer drawn once); so do 128
// screen-filling quads, where spans are all the work, and the generated city
// from the walking camera's start.
// After the table the run prints what a frame did and the scalar time over
// the four-wide time (processor time).
#include <benchmark/benchmark.h>

#include "../tests/support/TestMath.h"
#include "TimeReporter.h"

#include "Core/WinAppFramework/Camera.h"
#include "modules/model/Model.h"
#include "modules/occlusion/OcclusionCuller.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Vantor::Matrix4;
using Vantor::OcclusionCuller;
using Vantor::Vector3;
using Vantor::bench::TimeReporter;
using Vantor::test::Box;
using Vantor::test::BoxMesh;
using Vantor::test::lookAt;
using Vantor::test::perspective;
using Vantor::test::Rng;

constexpr int kGrid = 40;
constexpr float kSpacing = 400.0f;
constexpr int kStreetBoxesPerCell = 5;
constexpr int kBufferWidth = 600;
constexpr int kBufferHeight = 300;
constexpr float kNearClip = 50.0f;
constexpr float kFarClip = 20000.0f;
// The generated city's clip distances (its configuration's).
constexpr float kCityNearClip = 8.0f;

struct City {
    std::vector<Box> buildings;
    std::vector<BoxMesh> meshes;
    std::vector<Box> streetBoxes;
    Matrix4 projection = perspective(45, 4.0 / 3.0, kNearClip, kFarClip);
    Matrix4 view = lookAt({350, 400, 300}, {6000, 0, -16000}, {0, 1, 0});

    City() {
        Rng rng(7);
        for (int j = 0; j < kGrid; ++j) {
            for (int i = 0; i < kGrid; ++i) {
                const float x = i * kSpacing, z = -j * kSpacing;
                const float w = rng.uniform(200, 300), d = rng.uniform(200, 300), h = rng.uniform(100, 1200);
                buildings.push_back({{x, 0, z - d}, {x + w, h, z}});
                meshes.emplace_back(buildings.back().min, buildings.back().max);
                for (int k = 0; k < kStreetBoxesPerCell; ++k) {
                    const float sx = x + rng.uniform(310, 390), sz = z - rng.uniform(0, kSpacing);
                    streetBoxes.push_back({{sx - 20, 0, sz - 10}, {sx + 20, 30, sz + 10}});
                }
            }
        }
    }
};

struct FrameCounts {
    int occluderPolygons = 0;
    int tests = 0;
    int frustumCulled = 0;
    int occlusionCulled = 0;
};

// The occluder half of a frame: a cleared buffer, then every building that
// passes the frustum test drawn into it.
void drawOccluders(OcclusionCuller& culler, const City& city, FrameCounts& counts) {
    culler.beginFrame(kNearClip, kFarClip, city.projection);
    const Matrix4 combined = city.projection * city.view;
    for (std::size_t b = 0; b < city.buildings.size(); ++b) {
        const Box& box = city.buildings[b];
        if (!culler.frustumTest(box.min, box.max, combined))
            continue;
        culler.addOccluder(box.min, box.max, city.view, city.meshes[b].indices, 36, city.meshes[b].positions, 8);
    }
    counts.occluderPolygons = culler.occluderPolygons;
}

// The test half: every street box against the buffer as it stands.
void testBoxes(OcclusionCuller& culler, const City& city, FrameCounts& counts) {
    const Matrix4 combined = city.projection * city.view;
    for (const Box& box : city.streetBoxes) {
        ++counts.tests;
        if (!culler.frustumTest(box.min, box.max, combined))
            ++counts.frustumCulled;
        else if (culler.isOccluded(box.min, box.max, city.view, city.projection, nullptr, false))
            ++counts.occlusionCulled;
    }
}

FrameCounts runFrame(OcclusionCuller& culler, const City& city) {
    FrameCounts counts;
    drawOccluders(culler, city, counts);
    testBoxes(culler, city, counts);
    return counts;
}

const City& city() {
    static const City instance;
    return instance;
}

FrameCounts lastCounts[2];

// The city scene's settings of the culler.
void setUp(OcclusionCuller& culler, bool scalar) {
    culler.setSize(kBufferWidth, kBufferHeight);
    culler.scaleX = kBufferWidth / 2;
    culler.scaleY = kBufferHeight / 2;
    culler.minBoxSize = 64;
    culler.forceScalar = scalar;
}

void frame(benchmark::State& state, bool scalar) {
    OcclusionCuller culler;
    setUp(culler, scalar);
    FrameCounts counts;
    for (auto _ : state) {
        counts = runFrame(culler, city());
        benchmark::DoNotOptimize(counts);
    }
    lastCounts[scalar] = counts;
    state.counters["occluderPolygons"] = counts.occluderPolygons;
    state.counters["culled"] = counts.frustumCulled + counts.occlusionCulled;
}

void occludersOnly(benchmark::State& state) {
    OcclusionCuller culler;
    setUp(culler, false);
    FrameCounts counts;
    for (auto _ : state) {
        drawOccluders(culler, city(), counts);
        benchmark::DoNotOptimize(culler.depth.values[0]);
    }
}

// Tests leave the buffer as it is, so one drawing serves every iteration.
void testsOnly(benchmark::State& state) {
    OcclusionCuller culler;
    setUp(culler, false);
    FrameCounts counts;
    drawOccluders(culler, city(), counts);
    for (auto _ : state) {
        counts = FrameCounts();
        testBoxes(culler, city(), counts);
        benchmark::DoNotOptimize(counts);
    }
}

// Span-bound work: 64 screen-filling quads at rising depths in write mode,
// then 64 hidden ones in test mode, each of which tests every pixel.
void fullScreenQuads(benchmark::State& state, bool scalar) {
    OcclusionCuller culler;
    culler.setSize(kBufferWidth, kBufferHeight);
    culler.scaleX = kBufferWidth / 2;
    culler.scaleY = kBufferHeight / 2;
    culler.forceScalar = scalar;
    constexpr int kQuads = 64;
    const int quad[4] = {0, 1, 2, 3};
    for (auto _ : state) {
        culler.clear();
        for (int pass = 0; pass < 2; ++pass) {
            culler.testing = pass == 1;
            for (int q = 0; q < kQuads; ++q) {
                const float z = pass == 0 ? 0.5f - q * 0.01f : 0.9f - q * 0.001f;
                const float positions[12] = {-1, -1, z, 1, -1, z + 0.2f, 1, 1, z, -1, 1, z - 0.2f};
                culler.visible = false;
                culler.submit(quad, 4, positions, 4, Vantor::kOcclusionQuads);
            }
            culler.testing = false;
        }
        benchmark::DoNotOptimize(culler.depth.values[0]);
    }
}

// The generated city seen from the walking camera's start, as the program's
// benchmark (B) renders it: every mesh of the tall and the low buildings and
// of the ground is tested in the scene's order, and the buildings that pass
// become occluders, as the model code does. Skipped when the data is not
// built.
struct CityScene {
    struct Mesh {
        Vector3 min, max;
        Matrix4 world;
        std::vector<float> positions;
        std::vector<int> indices;
        bool occluder = false;
    };
    std::vector<Mesh> meshes;
    Matrix4 projection = perspective(Vantor::Camera::defaultFov, 4.0 / 3.0, kCityNearClip, kFarClip);
    Matrix4 view;
    bool loaded = false;

    CityScene() {
        Vantor::FPSCamera camera;
        camera.position = Vector3(1600, 42, -1200);
        camera.update();
        view = camera.viewMatrix;
        loaded = load("models/buildings/centre.v3d", true) && load("models/ground.v3d", false);
    }

    bool load(const char* name, bool buildings) {
        std::ifstream file(std::string(VANTOR_DATA_DIR) + "/" + name, std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.size() < size_t(Vantor::kV3DSignatureLength))
            return false;
        Vantor::ByteReader reader(bytes.data() + Vantor::kV3DSignatureLength, bytes.size() - Vantor::kV3DSignatureLength);
        Vantor::Model model;
        Vantor::V3DContent content;
        if (!model.parse(reader, 0, content))
            return false;
        model.update(true);
        for (const Vantor::Mesh* mesh : model.meshes) {
            if (!mesh->visible)
                continue;
            Mesh entry;
            entry.min = mesh->boxMin;
            entry.max = mesh->boxMax;
            entry.world = mesh->world;
            for (const Vantor::Vertex& v : mesh->vertices)
                entry.positions.insert(entry.positions.end(), {v.position.x, v.position.y, v.position.z});
            for (const Vantor::Triangle& t : mesh->triangles)
                entry.indices.insert(entry.indices.end(), {t.v[0], t.v[1], t.v[2]});
            entry.occluder = buildings;
            meshes.push_back(entry);
        }
        return true;
    }
};

const CityScene& cityScene() {
    static const CityScene instance;
    return instance;
}

FrameCounts cityCounts;

void cityFrame(benchmark::State& state) {
    const CityScene& scene = cityScene();
    if (!scene.loaded) {
        state.SkipWithError("the city is not built (build/data/models)");
        return;
    }
    OcclusionCuller culler;
    setUp(culler, false);
    FrameCounts counts;
    for (auto _ : state) {
        counts = FrameCounts();
        culler.beginFrame(kCityNearClip, kFarClip, scene.projection);
        for (const CityScene::Mesh& mesh : scene.meshes) {
            const Matrix4 modelview = scene.view * mesh.world;
            ++counts.tests;
            if (culler.isOccluded(mesh.min, mesh.max, modelview, scene.projection, nullptr, true)) {
                ++counts.occlusionCulled;
                continue;
            }
            if (mesh.occluder)
                culler.addOccluder(mesh.min, mesh.max, modelview, mesh.indices.data(), int(mesh.indices.size()),
                                   mesh.positions.data(), int(mesh.positions.size() / 3));
        }
        counts.occluderPolygons = culler.occluderPolygons;
        benchmark::DoNotOptimize(counts);
    }
    cityCounts = counts;
    state.counters["occluderPolygons"] = counts.occluderPolygons;
    state.counters["culled"] = counts.occlusionCulled;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("Occlusion/Frame", frame, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Occlusion/FrameScalar", frame, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Occlusion/Occluders", occludersOnly)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Occlusion/Tests", testsOnly)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Occlusion/City", cityFrame)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Occlusion/FullScreenQuads", fullScreenQuads, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Occlusion/FullScreenQuadsScalar", fullScreenQuads, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double vector = reporter.time("Occlusion/Frame");
    const double scalar = reporter.time("Occlusion/FrameScalar");
    const FrameCounts& c = lastCounts[0];
    std::printf("\nPer frame: %d occluder polygons rasterised, %d box tests, %d culled (%d by the frustum, %d by "
                "the buffer)\n",
                c.occluderPolygons, c.tests, c.frustumCulled + c.occlusionCulled, c.frustumCulled,
                c.occlusionCulled);
    if (vector > 0)
        std::printf("Time per frame, four-wide spans: %.3f ms\n", vector);
    const double occluders = reporter.time("Occlusion/Occluders"), tests = reporter.time("Occlusion/Tests");
    if (occluders > 0 && tests > 0)
        std::printf("Of which the occluders %.3f ms and the box tests %.3f ms\n", occluders, tests);
    const double cityTime = reporter.time("Occlusion/City");
    if (cityTime > 0)
        std::printf("The city from the walk start: %d meshes tested, %d culled, %d occluder polygons, %.1f us "
                    "per frame\n",
                    cityCounts.tests, cityCounts.occlusionCulled, cityCounts.occluderPolygons, cityTime);
    if (scalar > 0)
        std::printf("Time per frame, scalar spans: %.3f ms\n", scalar);
    if (vector > 0 && scalar > 0) {
        const bool same = lastCounts[0].occluderPolygons == lastCounts[1].occluderPolygons &&
                          lastCounts[0].occlusionCulled == lastCounts[1].occlusionCulled;
        std::printf("Both paths cull alike: %s\n", same ? "yes" : "NO");
        std::printf("Scalar time / four-wide time (processor time): %.2f\n", scalar / vector);
        const double spansVector = reporter.time("Occlusion/FullScreenQuads");
        const double spansScalar = reporter.time("Occlusion/FullScreenQuadsScalar");
        if (spansVector > 0 && spansScalar > 0)
            std::printf("Screen-filling quads, scalar time / four-wide time: %.2f\n", spansScalar / spansVector);
        return same ? 0 : 1;
    }
    return 0;
}
