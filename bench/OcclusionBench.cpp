// One frame of occlusion culling on the city's 600 x 300 buffer: a 40 x 40
// grid of building boxes (twelve triangles each) offered as occluders in
// grid order, each first frustum-tested, then 8,000 small street boxes
// tested against the buffer, all from a fixed camera 400 units up at the
// grid's corner looking across it. The frame runs with four-wide spans and with the scalar
// loop forced; so do 128 screen-filling quads, where spans are all the work.
// After the table the run prints what a frame did and the scalar time over
// the four-wide time (processor time).
#include <benchmark/benchmark.h>

#include "modules/occlusion/OcclusionCuller.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using Vantor::Matrix4;
using Vantor::OcclusionCuller;
using Vantor::Vector3;

constexpr int kGrid = 40;
constexpr float kSpacing = 400.0f;
constexpr int kStreetBoxesPerCell = 5;
constexpr int kBufferWidth = 600;
constexpr int kBufferHeight = 300;
constexpr float kNearClip = 50.0f;
constexpr float kFarClip = 20000.0f;
constexpr double kPi = 3.14159265358979323846;

// xorshift64*: the same city on every machine and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed * 0x9e3779b97f4a7c15ULL + 1) {}
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545f4914f6cdd1dULL;
    }
    float uniform(float lo, float hi) { return lo + (hi - lo) * float(next() >> 40) / float(1 << 24); }

private:
    std::uint64_t state;
};

Matrix4 perspective(double fovyDegrees, double aspect, double nearDistance, double farDistance) {
    const double f = 1.0 / std::tan(fovyDegrees * kPi / 360.0);
    Matrix4 m;
    m.m[0] = float(f / aspect);
    m.m[5] = float(f);
    m.m[10] = float((farDistance + nearDistance) / (nearDistance - farDistance));
    m.m[11] = -1;
    m.m[14] = float(2 * farDistance * nearDistance / (nearDistance - farDistance));
    m.m[15] = 0;
    return m;
}

Matrix4 lookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
    Vector3 f = target - eye;
    f.normalize();
    Vector3 s = cross(f, up);
    s.normalize();
    const Vector3 u = cross(s, f);
    Matrix4 m;
    m.m[0] = s.x, m.m[4] = s.y, m.m[8] = s.z;
    m.m[1] = u.x, m.m[5] = u.y, m.m[9] = u.z;
    m.m[2] = -f.x, m.m[6] = -f.y, m.m[10] = -f.z;
    m.m[12] = -dot(s, eye);
    m.m[13] = -dot(u, eye);
    m.m[14] = dot(f, eye);
    return m;
}

struct Box {
    Vector3 min, max;
};

struct BoxMesh {
    float positions[24];
    int indices[36];
};

BoxMesh meshOf(const Box& box) {
    BoxMesh mesh;
    for (int c = 0; c < 8; ++c) {
        mesh.positions[3 * c] = (c & 1) ? box.max.x : box.min.x;
        mesh.positions[3 * c + 1] = (c & 2) ? box.max.y : box.min.y;
        mesh.positions[3 * c + 2] = (c & 4) ? box.max.z : box.min.z;
    }
    static const int faces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                    {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    for (int f = 0; f < 6; ++f) {
        const int* q = faces[f];
        const int tri[6] = {q[0], q[1], q[2], q[0], q[2], q[3]};
        for (int k = 0; k < 6; ++k)
            mesh.indices[6 * f + k] = tri[k];
    }
    return mesh;
}

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
                meshes.push_back(meshOf(buildings.back()));
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

FrameCounts runFrame(OcclusionCuller& culler, const City& city) {
    FrameCounts counts;
    culler.beginFrame(kNearClip, kFarClip, city.projection);
    const Matrix4 combined = city.projection * city.view;
    for (std::size_t b = 0; b < city.buildings.size(); ++b) {
        const Box& box = city.buildings[b];
        if (!culler.frustumTest(box.min, box.max, combined))
            continue;
        culler.addOccluder(box.min, box.max, city.view, city.meshes[b].indices, 36, city.meshes[b].positions, 8);
    }
    for (const Box& box : city.streetBoxes) {
        ++counts.tests;
        if (!culler.frustumTest(box.min, box.max, combined))
            ++counts.frustumCulled;
        else if (culler.isOccluded(box.min, box.max, city.view, city.projection, nullptr, false))
            ++counts.occlusionCulled;
    }
    counts.occluderPolygons = culler.occluderPolygons;
    return counts;
}

const City& city() {
    static const City instance;
    return instance;
}

FrameCounts lastCounts[2];

void frame(benchmark::State& state, bool scalar) {
    OcclusionCuller culler;
    culler.setSize(kBufferWidth, kBufferHeight);
    culler.scaleX = kBufferWidth / 2;
    culler.scaleY = kBufferHeight / 2;
    culler.minBoxSize = 64;
    culler.forceScalar = scalar;
    FrameCounts counts;
    for (auto _ : state) {
        counts = runFrame(culler, city());
        benchmark::DoNotOptimize(counts);
    }
    lastCounts[scalar] = counts;
    state.counters["occluderPolygons"] = counts.occluderPolygons;
    state.counters["culled"] = counts.frustumCulled + counts.occlusionCulled;
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

class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    double time(const std::string& name) const {
        const auto found = times.find(name);
        return found == times.end() ? -1.0 : found->second;
    }

private:
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("Occlusion/Frame", frame, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Occlusion/FrameScalar", frame, true)->Unit(benchmark::kMillisecond);
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
