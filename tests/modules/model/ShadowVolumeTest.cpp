// Shadow meshes and volumes without a GL context: the hashed welding and edge
// matching against the plain scans on seeded random meshes, connectivity of
// closed, seamed and broken meshes, the silhouette and volume geometry, and
// the per-frame update and rebuild rules.
#include "../../support/TestMath.h"
#include "ShadowMeshSample.h"

#include "modules/model/ShadowVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <vector>

using namespace Vantor;

namespace {

using test::box;
using test::MeshData;
using test::Rng;
using test::triangle;
using test::vertexAt;

// Two triangles forming the square [-1,1] x [-1,1] at y = 0, facing +y.
MeshData floorQuad() {
    MeshData m;
    m.vertices.add(vertexAt({-1, 0, -1}));
    m.vertices.add(vertexAt({-1, 0, 1}));
    m.vertices.add(vertexAt({1, 0, 1}));
    m.vertices.add(vertexAt({1, 0, -1}));
    m.triangles.add(triangle(0, 1, 2, m.vertices));
    m.triangles.add(triangle(0, 2, 3, m.vertices));
    return m;
}

// Two triangles whose shared side has its own vertices in each (a seam),
// the second side's copies moved by offset.
MeshData seam(float offset) {
    MeshData m;
    m.vertices.add(vertexAt({0, 0, 0}));
    m.vertices.add(vertexAt({1, 0, 0}));
    m.vertices.add(vertexAt({0, 1, 0}));
    m.vertices.add(vertexAt({1 + offset, 0, 0}));
    m.vertices.add(vertexAt({0, 1 + offset, 0}));
    m.vertices.add(vertexAt({1, 1, 0}));
    m.triangles.add(triangle(0, 1, 2, m.vertices));
    m.triangles.add(triangle(4, 3, 5, m.vertices));
    return m;
}

struct RandomMeshShape {
    std::uint64_t seed;
    float spread; // positions lie in [-spread, spread]^3
    int vertexCount;
    int triangleCount;
};

// Vertices: fresh points, exact copies (seams), copies moved within the weld
// tolerance, just outside it, by exactly it on one axis, chains of such
// moves, and rarely a non-finite one. Triangles: mostly built on an earlier
// triangle's side (reversed, as a neighbour would, or through copies of its
// corners), some random, some with indices outside the vertex list.
MeshData randomMesh(const RandomMeshShape& shape) {
    Rng rng(shape.seed);
    MeshData m;
    for (int i = 0; i < shape.vertexCount; ++i) {
        const float s = shape.spread;
        Vector3 p(rng.uniform(-s, s), rng.uniform(-s, s), rng.uniform(-s, s));
        if (i > 0) {
            const Vector3 base = m.vertices[rng.below(unsigned(i))].position;
            const float t = 0.0003f;
            switch (rng.below(8)) {
            case 0:
                p = base;
                break;
            case 1:
                p = base + Vector3(rng.uniform(-t, t), rng.uniform(-t, t), rng.uniform(-t, t));
                break;
            case 2:
                p = base + Vector3(0.00035f, -0.00035f, 0.00035f * float(rng.below(2)));
                break;
            case 3:
                p = base + Vector3(rng.below(2) ? 0.001f : -0.001f, 0, 0);
                break;
            case 4:
                p = base + Vector3(0, 0.0007f, 0);
                break;
            default:
                break;
            }
        }
        if (rng.below(300) == 0)
            p.y = rng.below(2) ? std::numeric_limits<float>::quiet_NaN()
                               : std::numeric_limits<float>::infinity();
        m.vertices.add(vertexAt(p));
    }
    const int n = shape.vertexCount;
    for (int i = 0; i < shape.triangleCount; ++i) {
        int a = int(rng.below(unsigned(n))), b = int(rng.below(unsigned(n))), c = int(rng.below(unsigned(n)));
        if (i > 0 && rng.below(4) != 0) {
            const Triangle& t = m.triangles[rng.below(m.triangles.size)];
            const unsigned k = rng.below(3);
            a = t.v[(k + 1) % 3];
            b = t.v[k];
            if (rng.below(5) == 0)
                std::swap(a, b);
            if (rng.below(3) == 0 && a >= 0 && a + 1 < n)
                ++a; // often a copy or near copy of a
        }
        if (rng.below(100) == 0)
            c = rng.below(2) ? -1 : n;
        m.triangles.add(triangle(a, b, c, m.vertices));
    }
    return m;
}

bool sameBytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

int sharedEdges(const ShadowMesh& mesh) {
    int shared = 0;
    for (const Edge& e : mesh.edges)
        shared += e.tri1 >= 0;
    return shared;
}

} // namespace

TEST(ShadowMeshTest, HashedBuildMatchesTheScansOnSeededRandomMeshes) {
    const RandomMeshShape shapes[] = {
        {1, 10.0f, 300, 500},     // sparse: welding only through the copies
        {2, 0.004f, 400, 700},    // dense: welds and chains across grid cells
        {3, 0.05f, 2000, 4000},   // mixed
        {4, 20000.0f, 600, 1000}, // large coordinates, where a float step is near the tolerance
    };
    for (const RandomMeshShape& shape : shapes) {
        SCOPED_TRACE(testing::Message() << "seed " << shape.seed);
        const MeshData data = randomMesh(shape);
        ShadowMesh fast, reference;
        fast.build(data.triangles, data.vertices);
        reference.buildReference(data.triangles, data.vertices);

        ASSERT_EQ(fast.positions.size, reference.positions.size);
        EXPECT_TRUE(
            sameBytes(fast.positions.data, reference.positions.data, fast.positions.size * sizeof(Vector3)));
        ASSERT_EQ(fast.triangles.size, reference.triangles.size);
        EXPECT_TRUE(
            sameBytes(fast.triangles.data, reference.triangles.data, fast.triangles.size * sizeof(Triangle)));
        ASSERT_EQ(fast.edges.size, reference.edges.size);
        for (unsigned i = 0; i < fast.edges.size; ++i) {
            const Edge& f = fast.edges[i];
            const Edge& r = reference.edges[i];
            ASSERT_TRUE(f.v0 == r.v0 && f.v1 == r.v1 && f.tri0 == r.tri0 && f.tri1 == r.tri1) << "edge " << i;
        }
        // The mesh exercised what it is meant to: welding, shared and open
        // edges, and skipped triangles.
        EXPECT_LT(fast.positions.size, unsigned(shape.vertexCount));
        EXPECT_GT(sharedEdges(fast), 0);
        EXPECT_GT(int(fast.edges.size), sharedEdges(fast));
        EXPECT_LT(fast.triangles.size, unsigned(shape.triangleCount));
    }
}

TEST(ShadowMeshTest, Connectivity) {
    struct Case {
        const char* name;
        MeshData mesh;
        unsigned positions, triangles;
        int shared, open;
        bool solid;
    };
    MeshData broken = floorQuad();
    broken.triangles.add(triangle(0, 4, 1, broken.vertices)); // 4 is past the end
    broken.triangles.add(triangle(-1, 2, 3, broken.vertices));
    MeshData flipped = box({-1, -1, -1}, {1, 1, 1}, true);
    std::swap(flipped.triangles[0].v[1], flipped.triangles[0].v[2]);
    const Case cases[] = {
        {"closed box", box({-1, -1, -1}, {1, 1, 1}, true), 8, 12, 18, 0, true},
        {"box with a seam on every edge", box({-1, -1, -1}, {1, 1, 1}, false), 8, 12, 18, 0, true},
        {"closed box with one triangle wound backwards", flipped, 8, 12, 18, 0, false},
        {"seam within the tolerance", seam(0.0009f), 4, 2, 1, 4, false},
        {"seam just outside the tolerance", seam(0.0011f), 6, 2, 0, 6, false},
        {"indices outside the vertex list", broken, 4, 2, 1, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int reference = 0; reference < 2; ++reference) {
            ShadowMesh mesh;
            if (reference)
                mesh.buildReference(c.mesh.triangles, c.mesh.vertices);
            else
                mesh.build(c.mesh.triangles, c.mesh.vertices);
            EXPECT_EQ(mesh.positions.size, c.positions);
            EXPECT_EQ(mesh.triangles.size, c.triangles);
            EXPECT_EQ(sharedEdges(mesh), c.shared);
            EXPECT_EQ(int(mesh.edges.size) - sharedEdges(mesh), c.open);
            EXPECT_EQ(mesh.solid, c.solid);
        }
    }
}

TEST(ShadowVolumeTest, SilhouetteAndVolumeGeometry) {
    struct Case {
        const char* name;
        MeshData mesh;
        Vector4 light;
        unsigned silhouette, lit, unlit;
        bool closed; // the volume must be a closed, outward-facing surface
    };
    MeshData facingTest;
    facingTest.vertices.add(vertexAt({5, 0, 0}));
    facingTest.vertices.add(vertexAt({5, 1, 0}));
    facingTest.vertices.add(vertexAt({5, 0, 1})); // normal +x, centroid beyond x = 1
    facingTest.triangles.add(triangle(0, 1, 2, facingTest.vertices));
    const MeshData cube = box({-1, -1, -1}, {1, 1, 1}, false);
    const Case cases[] = {
        {"box, point light above", cube, {0, 10, 0, 1}, 4, 2, 10, true},
        {"box, directional from above", cube, {0, 1, 0, 0}, 4, 2, 10, true},
        {"box, directional from a top edge", cube, {0.7f, 0.7f, 0, 0}, 6, 4, 8, true},
        {"box, point light beside a corner", cube, {5, 6, 7, 1}, 6, 6, 6, true},
        {"open quad lit", floorQuad(), {0, 10, 0, 1}, 4, 2, 0, false},
        {"open quad unlit", floorQuad(), {0, -10, 0, 1}, 4, 0, 2, false},
        {"point light behind the triangle", facingTest, {1, 0, 0, 1}, 3, 0, 1, false},
        {"directional towards +x", facingTest, {1, 0, 0, 0}, 3, 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShadowMesh mesh;
        mesh.build(c.mesh.triangles, c.mesh.vertices);
        ShadowVolume volume;
        volume.update({-1, -1, -1}, {5, 1, 1}, Matrix4(), ShadowLight{c.light, 0.0f, 0}, {});
        ASSERT_TRUE(volume.active);
        volume.rebuild(mesh, false);
        ASSERT_TRUE(volume.built);
        EXPECT_EQ(volume.extrusion, kMaxExtrusion);
        EXPECT_EQ(volume.silhouette.size, c.silhouette);
        EXPECT_EQ(volume.litTriangles.size, c.lit);
        EXPECT_EQ(volume.unlitTriangles.size, c.unlit);
        EXPECT_EQ(volume.sidesEnd, int(6 * c.silhouette));
        EXPECT_EQ(volume.farCapEnd, volume.sidesEnd + int(3 * c.unlit));
        EXPECT_EQ(volume.indices.size, unsigned(volume.farCapEnd) + 3 * c.lit);

        // Every used copy sits 20 (near) or the extrusion (far) away from its
        // position, straight away from the light.
        const unsigned n = mesh.positions.size;
        ASSERT_EQ(volume.vertices.size, 2 * n);
        for (unsigned index : volume.indices) {
            const unsigned i = index % n;
            const Vector3 p = mesh.positions[i];
            Vector3 away = c.light.w != 0 ? p - c.light.xyz() : -c.light.xyz();
            away.normalize();
            const Vector3 moved = volume.vertices[index] - p;
            const float expected = index < n ? kNearCapOffset : kMaxExtrusion;
            EXPECT_NEAR(moved.length(), expected, expected * 1e-5f);
            EXPECT_NEAR(dot(moved, away), expected, expected * 1e-5f);
        }

        if (!c.closed)
            continue;
        // Closed and consistently wound: each directed edge once, its reverse once.
        std::map<std::pair<unsigned, unsigned>, int> directed;
        double volumeSum = 0;
        for (unsigned t = 0; t + 2 < volume.indices.size; t += 3) {
            const unsigned* v = volume.indices.data + t;
            for (int k = 0; k < 3; ++k)
                ++directed[{v[k], v[(k + 1) % 3]}];
            const Vector3 a = volume.vertices[v[0]], b = volume.vertices[v[1]], d = volume.vertices[v[2]];
            volumeSum += double(dot(a, cross(b, d)));
        }
        for (const auto& [edge, count] : directed) {
            EXPECT_EQ(count, 1);
            EXPECT_EQ((directed.count({edge.second, edge.first})), 1u);
        }
        EXPECT_GT(volumeSum, 0.0) << "faces point inwards";
    }
}

// The solid angle the triangle (a, b, c) covers seen from p, signed by its
// winding, over 4 pi: summed over a closed outward surface, 1 inside, 0 outside.
double windingOf(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c) {
    const double u[3] = {double(a.x) - p.x, double(a.y) - p.y, double(a.z) - p.z};
    const double v[3] = {double(b.x) - p.x, double(b.y) - p.y, double(b.z) - p.z};
    const double w[3] = {double(c.x) - p.x, double(c.y) - p.y, double(c.z) - p.z};
    const auto dot3 = [](const double* x, const double* y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
    const double lu = std::sqrt(dot3(u, u)), lv = std::sqrt(dot3(v, v)), lw = std::sqrt(dot3(w, w));
    const double triple = u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) +
                          u[2] * (v[0] * w[1] - v[1] * w[0]);
    const double below = lu * lv * lw + dot3(u, v) * lw + dot3(v, w) * lu + dot3(w, u) * lv;
    return 2.0 * std::atan2(triple, below) / (4.0 * M_PI);
}

double windingOf(const Vector3& p, const ArrayList<Vector3>& vertices, const ArrayList<unsigned int>& indices) {
    double sum = 0;
    for (unsigned t = 0; t + 2 < indices.size; t += 3)
        sum += windingOf(p, vertices[indices[t]], vertices[indices[t + 1]], vertices[indices[t + 2]]);
    return sum;
}

TEST(ShadowVolumeTest, CutAtAPlaneKeepsTheVolumeClosedAndWhatItHoldsOnTheKeptSide) {
    struct Case {
        const char* name;
        Vector4 light;
        Vector4 plane;
        bool changed; // some triangle is cut or dropped
        bool emptied; // nothing is left
    };
    // Big enough for the volume to begin, 20 beyond the lit faces, inside the box.
    const MeshData cube = box({-50, -50, -50}, {50, 50, 50}, false);
    ShadowMesh mesh;
    mesh.build(cube.triangles, cube.vertices);
    ASSERT_TRUE(mesh.solid);
    // The height of a near copy of a top corner under a light above: a plane
    // through it meets a vertex exactly.
    const Vector3 lightAbove(20, 500, 10), topCorner(50, 50, 50); // the lowest near copy
    Vector3 away = topCorner - lightAbove;
    away.normalize();
    const float cornerHeight = (topCorner + away * kNearCapOffset).y;
    const Case cases[] = {
        {"through the shadow under the box", {lightAbove, 1}, {0, 1, 0, 200}, true, false},
        {"through a near copy's corner", {lightAbove, 1}, {0, -1, 0, cornerHeight}, true, false},
        {"tilted, through the box", {250, 300, 350, 1}, {0.3f, 0.9f, 0.2f, 60}, true, false},
        {"directional light, across the volume", {0.2f, 1, 0.1f, 0}, {1, 0, 0, 25}, true, false},
        {"below the far cap", {lightAbove, 1}, {0, 1, 0, 20000}, false, false},
        {"above everything", {lightAbove, 1}, {0, 1, 0, -1000}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShadowVolume volume;
        volume.update({-50, -50, -50}, {50, 50, 50}, Matrix4(), ShadowLight{c.light, 0.0f, 0}, {});
        volume.rebuild(mesh, false);
        CutVolume cut;
        cutVolume(volume.vertices, volume.indices, volume.sidesEnd, c.plane, cut);
        const auto side = [&](const Vector3& p) { return c.plane.x * p.x + c.plane.y * p.y + c.plane.z * p.z + c.plane.w; };

        EXPECT_EQ(cut.indices.size != volume.indices.size, c.changed);
        EXPECT_EQ(cut.indices.size == 0, c.emptied);
        EXPECT_LE(cut.sidesEnd, int(cut.indices.size));
        std::map<std::pair<unsigned, unsigned>, int> directed;
        for (unsigned t = 0; t + 2 < cut.indices.size; t += 3)
            for (int k = 0; k < 3; ++k) {
                ++directed[{cut.indices[t + k], cut.indices[t + (k + 1) % 3]}];
                EXPECT_GE(side(cut.vertices[cut.indices[t + k]]), -0.01f) << "a corner below the plane";
            }
        for (const auto& [edge, count] : directed)
            EXPECT_EQ(count, (directed[{edge.second, edge.first}])) << "open along " << edge.first << "-" << edge.second;

        // Points on the kept side are inside the cut exactly when they are inside the volume.
        int inside = 0, compared = 0;
        for (float x = -147.3f; x < 150; x += 25)
            for (float y = -403.1f; y < 100; y += 25)
                for (float z = -146.9f; z < 150; z += 25) {
                    const Vector3 p(x, y, z);
                    if (side(p) < 1)
                        continue;
                    const double whole = windingOf(p, volume.vertices, volume.indices);
                    EXPECT_NEAR(windingOf(p, cut.vertices, cut.indices), whole, 1e-3) << x << " " << y << " " << z;
                    inside += whole > 0.5;
                    ++compared;
                }
        if (!c.emptied) {
            EXPECT_GT(inside, 0) << "no compared point lies in the shadow";
            EXPECT_GT(compared, 0);
        }
    }
}

TEST(ShadowVolumeTest, UpdateCullingAndExtrusion) {
    struct Case {
        const char* name;
        Matrix4 world;
        Vector4 light;
        float range;
        Vector4 lightVector;
        bool culled;
        float extrusion;
    };
    const Matrix4 lifted = Matrix4::translation(0, 100, 0);
    const Matrix4 turned = Matrix4::rotation(90, 0, 0, 1);
    const Case cases[] = {
        {"far, unlimited point light", Matrix4(), {1e6f, 0, 0, 1}, 0, {1e6f, 0, 0, 1}, false, kMaxExtrusion},
        {"point light inside the box", Matrix4(), {0.5f, 0, 0, 1}, 5, {0.5f, 0, 0, 1}, false, kMaxExtrusion},
        {"range beyond the nearest face", Matrix4(), {0, 5, 0, 1}, 10, {0, 5, 0, 1}, false, 6},
        {"sphere in range, widened box not", Matrix4(), {0, 5, 0, 1}, 3.5f, {0, 5, 0, 1}, true, 0},
        {"range short of the corner", Matrix4(), {4.5f, 4.5f, 0, 1}, 4.8f, {4.5f, 4.5f, 0, 1}, true, 0},
        {"directional", Matrix4(), {0, 1, 0, 0}, 10, {0, 1, 0, 0}, false, kMaxExtrusion},
        {"point light through a translated mesh", lifted, {0, 105, 0, 1}, 10, {0, 5, 0, 1}, false, 6},
        {"directional through a rotated mesh", turned, {1, 0, 0, 0}, 0, {0, -1, 0, 0}, false, kMaxExtrusion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShadowVolume volume;
        volume.update({-1, -1, -1}, {1, 1, 1}, c.world, ShadowLight{c.light, c.range, 0}, {});
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(volume.lightVector[k], c.lightVector[k], 1e-4f) << "component " << k;
        EXPECT_EQ(volume.culled, c.culled);
        EXPECT_EQ(volume.active, !c.culled);
        EXPECT_NEAR(volume.extrusion, c.extrusion, 1e-4f);
        if (!c.culled) {
            EXPECT_TRUE(volume.capped);
        }
    }
}

TEST(ShadowVolumeTest, StillLightCostsNoRebuildAndTheSilhouetteLagsAMovingOne) {
    const MeshData quad = floorQuad();
    ShadowMesh mesh;
    mesh.build(quad.triangles, quad.vertices);
    const Vector3 lo(-1, 0, -1), hi(1, 0, 1);
    const ShadowLight above{{0, 10, 0, 1}, 0.0f, 0};

    ShadowVolume volume;
    EXPECT_GE(volume.buildCounter, 0);
    EXPECT_LT(volume.buildCounter, kBuildCounterSpread);
    volume.update(lo, hi, Matrix4(), above, {});
    EXPECT_TRUE(volume.dirty);
    volume.rebuild(mesh, false);
    EXPECT_FALSE(volume.dirty);
    EXPECT_EQ(volume.buildCounter, 0);
    const std::vector<unsigned> built(volume.indices.begin(), volume.indices.end());
    const std::vector<Vector3> copies(volume.vertices.begin(), volume.vertices.end());

    for (int frame = 1; frame <= 3; ++frame) {
        volume.update(lo, hi, Matrix4(), above, {});
        EXPECT_FALSE(volume.dirty);
        volume.rebuild(mesh, false);
        EXPECT_EQ(volume.buildCounter, frame);
    }
    EXPECT_EQ(std::vector<unsigned>(volume.indices.begin(), volume.indices.end()), built);
    EXPECT_TRUE(sameBytes(volume.vertices.data, copies.data(), copies.size() * sizeof(Vector3)));

    // A light moved below the quad re-extrudes the old silhouette (still lit)
    // until the fifth build refreshes it.
    const ShadowLight below{{0, -10, 0, 1}, 0.0f, 0};
    volume.update(lo, hi, Matrix4(), below, {});
    EXPECT_TRUE(volume.dirty);
    volume.rebuild(mesh, false);
    EXPECT_EQ(volume.buildCounter, 4);
    EXPECT_EQ(volume.litTriangles.size, 2u);
    EXPECT_GT(volume.vertices[0].y, 0.0f) << "near copies pushed up, away from the new light";
    volume.rebuild(mesh, true);
    EXPECT_EQ(volume.buildCounter, 0);
    EXPECT_EQ(volume.litTriangles.size, 0u);
}

TEST(ShadowVolumeTest, LightBackInReachAtItsOldPlaceReactivatesTheVolume) {
    const Vector3 lo(-1, -1, -1), hi(1, 1, 1);
    const ShadowLight near{{0, 5, 0, 1}, 10.0f, 0};
    const ShadowLight far{{0, 50, 0, 1}, 10.0f, 0};
    ShadowVolume volume;
    volume.update(lo, hi, Matrix4(), near, {});
    EXPECT_TRUE(volume.active);
    volume.update(lo, hi, Matrix4(), far, {});
    EXPECT_FALSE(volume.active);
    EXPECT_TRUE(volume.culled);
    volume.update(lo, hi, Matrix4(), near, {});
    EXPECT_TRUE(volume.active);
    EXPECT_FALSE(volume.culled);
    EXPECT_NEAR(volume.extrusion, 6.0f, 1e-4f);
}

TEST(ShadowVolumeTest, NothingToBuildForAnEmptyMesh) {
    ShadowMesh mesh;
    mesh.build(ArrayList<Triangle>(), ArrayList<Vertex>());
    ShadowVolume volume;
    const int counter = volume.buildCounter;
    volume.update({0, 0, 0}, {0, 0, 0}, Matrix4(), ShadowLight{{0, 1, 0, 1}, 0.0f, 0}, {});
    volume.rebuild(mesh, true);
    EXPECT_FALSE(volume.built);
    EXPECT_EQ(volume.buildCounter, counter);
    EXPECT_EQ(volume.indices.size, 0u);
}
