// Shadow-mesh connectivity (welding and edge matching) of a UV sphere of
// about 50,000 vertices, built by the hashed ShadowMesh::build and by the
// quadratic ShadowMesh::buildReference. The sphere repeats its first column
// of vertices as its last (a texture seam) and has a whole row of vertices at
// each pole, so welding has real work. The quadratic build runs once; after
// the table the run checks that both builds agree and prints the ratio
// reference time / hashed time (processor time). Then the volume geometry of
// the welded sphere under a light, and its cut at a floor below it.
//
// --small uses a sphere of about 1,000 vertices (the CTest smoke run uses it).
#include <benchmark/benchmark.h>

#include "TimeReporter.h"

#include "modules/model/ShadowVolume.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kFullRings = 223; // (223 + 1)^2 = 50,176 vertices
constexpr int kSmallRings = 30;
constexpr float kRadius = 100.0f;
constexpr double kPi = 3.14159265358979323846;

int rings = kFullRings;

struct SphereMesh {
    Vantor::ArrayList<Vantor::Vertex> vertices;
    Vantor::ArrayList<Vantor::Triangle> triangles;
};

// rings x rings quads over a (rings + 1)^2 grid of vertices.
SphereMesh makeSphere(int n) {
    SphereMesh mesh;
    for (int r = 0; r <= n; ++r) {
        const double theta = kPi * r / n;
        for (int s = 0; s <= n; ++s) {
            const double phi = 2.0 * kPi * s / n;
            Vantor::Vertex v;
            v.position = Vantor::Vector3(float(kRadius * std::sin(theta) * std::cos(phi)),
                                         float(kRadius * std::cos(theta)),
                                         float(kRadius * std::sin(theta) * std::sin(phi)));
            v.normal = v.position * (1.0f / kRadius);
            v.u = float(s) / float(n);
            v.v = float(r) / float(n);
            mesh.vertices.add(v);
        }
    }
    const auto at = [n](int r, int s) { return r * (n + 1) + s; };
    for (int r = 0; r < n; ++r)
        for (int s = 0; s < n; ++s) {
            const int quad[4] = {at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1)};
            const int halves[2][3] = {{quad[0], quad[1], quad[2]}, {quad[0], quad[2], quad[3]}};
            for (const auto& h : halves) {
                Vantor::Triangle t;
                for (int k = 0; k < 3; ++k)
                    t.v[k] = h[k];
                const Vantor::Vector3& a = mesh.vertices[unsigned(h[0])].position;
                t.normal = cross(mesh.vertices[unsigned(h[1])].position - a,
                                 mesh.vertices[unsigned(h[2])].position - a);
                t.normal.normalize();
                mesh.triangles.add(t);
            }
        }
    return mesh;
}

const SphereMesh& sphere() {
    static const SphereMesh mesh = makeSphere(rings);
    return mesh;
}

Vantor::ShadowMesh hashedResult, referenceResult;

void buildHashed(benchmark::State& state) {
    const SphereMesh& mesh = sphere();
    for (auto _ : state) {
        hashedResult.build(mesh.triangles, mesh.vertices);
        benchmark::DoNotOptimize(hashedResult.edges.data);
    }
    state.counters["vertices"] = double(mesh.vertices.size);
    state.counters["welded"] = double(hashedResult.positions.size);
    state.counters["edges"] = double(hashedResult.edges.size);
}

void buildReference(benchmark::State& state) {
    const SphereMesh& mesh = sphere();
    for (auto _ : state) {
        referenceResult.buildReference(mesh.triangles, mesh.vertices);
        benchmark::DoNotOptimize(referenceResult.edges.data);
    }
    state.counters["vertices"] = double(mesh.vertices.size);
    state.counters["welded"] = double(referenceResult.positions.size);
    state.counters["edges"] = double(referenceResult.edges.size);
}

// The volume of the welded sphere under a point light above it, built once,
// for the two steps after the connectivity: the geometry of a rebuild, and
// the cut of that geometry at a floor through the shadow below the sphere.
const Vantor::ShadowMesh& weldedSphere() {
    static Vantor::ShadowMesh mesh;
    if (mesh.triangles.size == 0)
        mesh.build(sphere().triangles, sphere().vertices);
    return mesh;
}

Vantor::ShadowVolume& sphereVolume() {
    static Vantor::ShadowVolume volume;
    static bool built = false;
    if (!built) {
        const Vantor::Vector3 box(kRadius, kRadius, kRadius);
        volume.update(-box, box, Vantor::Matrix4(),
                      Vantor::ShadowLight{Vantor::Vector4(30, 10 * kRadius, 20, 1), 0.0f, 0}, {});
        volume.buildGeometry(weldedSphere(), true);
        built = true;
    }
    return volume;
}

void volumeGeometry(benchmark::State& state) {
    Vantor::ShadowVolume& volume = sphereVolume();
    for (auto _ : state) {
        volume.buildGeometry(weldedSphere(), false);
        benchmark::DoNotOptimize(volume.indices.data);
    }
    state.counters["triangles"] = double(volume.indices.size / 3);
}

void cutAtFloor(benchmark::State& state) {
    Vantor::ShadowVolume& volume = sphereVolume();
    Vantor::CutVolume cut;
    for (auto _ : state) {
        Vantor::cutVolume(volume.vertices, volume.indices, volume.sidesEnd, Vantor::Vector4(0, 1, 0, 3 * kRadius),
                          cut);
        benchmark::DoNotOptimize(cut.indices.data);
    }
    state.counters["triangles"] = double(cut.indices.size / 3);
}

template <class T> bool sameList(const Vantor::ArrayList<T>& a, const Vantor::ArrayList<T>& b) {
    return a.size == b.size && (a.size == 0 || std::memcmp(a.data, b.data, sizeof(T) * a.size) == 0);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--small") == 0)
            rings = kSmallRings;
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    benchmark::RegisterBenchmark("ShadowBuild/Hashed", buildHashed)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ShadowBuild/Reference", buildReference)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("ShadowBuild/VolumeGeometry", volumeGeometry)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ShadowBuild/CutAtFloor", cutAtFloor)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    Vantor::bench::TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double hashed = reporter.time("ShadowBuild/Hashed");
    const double reference = reporter.time("ShadowBuild/Reference");
    if (hashed > 0 && reference > 0) {
        const bool same = sameList(hashedResult.positions, referenceResult.positions) &&
                          sameList(hashedResult.triangles, referenceResult.triangles) &&
                          sameList(hashedResult.edges, referenceResult.edges);
        std::printf("\nBoth builds agree: %s\n", same ? "yes" : "NO");
        std::printf("Reference time / hashed time (processor time): %.1f\n", reference / hashed);
        return same ? 0 : 1;
    }
    std::printf("\nReference time / hashed time: (not run)\n");
    return 0;
}
