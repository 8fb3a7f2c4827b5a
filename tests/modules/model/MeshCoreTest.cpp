// Influence limiting, tangents of planar quads under known texture mappings,
// CPU skinning against hand-computed blends, and both draw-order sorts against
// std::stable_sort on seeded random keys.
#include "modules/model/MeshCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

using namespace Vantor;

namespace {

constexpr float kTolerance = 1e-5f;

template <class T> ArrayList<T> listOf(const std::vector<T>& values) {
    ArrayList<T> list;
    for (const T& v : values)
        list.add(v);
    return list;
}

void expectVectorNear(const Vector3& actual, const Vector3& expected, const char* what, int row) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance) << what << " in row " << row;
    EXPECT_NEAR(actual.y, expected.y, kTolerance) << what << " in row " << row;
    EXPECT_NEAR(actual.z, expected.z, kTolerance) << what << " in row " << row;
}

// xorshift32: a small generator with fixed seeds, the same on every platform.
struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

} // namespace

TEST(MeshCore, LimitInfluencesKeepsTheHeaviestFour) {
    struct Case {
        std::vector<SkinVertexBone> in;
        std::vector<SkinVertexBone> out;
    };
    const float f = 1.0f / 0.95f;
    const Case cases[] = {
        // Equal weights: the later one wins; then divided by the sum 0.95.
        {{{1, 0.5f}, {2, 0.3f}, {3, 0.1f}, {4, 0.05f}, {5, 0.05f}},
         {{1, 0.5f * f}, {2, 0.3f * f}, {3, 0.1f * f}, {5, 0.05f * f}}},
        {{{7, 0.1f}, {8, 0.3f}, {9, 0.05f}, {10, 0.2f}, {11, 0.15f}, {12, 0.2f}},
         {{8, 0.3f / 0.85f}, {12, 0.2f / 0.85f}, {10, 0.2f / 0.85f}, {11, 0.15f / 0.85f}}},
        // Fewer are padded with bone 0, weight 0, without renormalising.
        {{{3, 0.6f}, {4, 0.2f}}, {{3, 0.6f}, {4, 0.2f}, {0, 0}, {0, 0}}},
        {{}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
        {{{1, 0.2f}, {2, 0.2f}, {3, 0.2f}, {4, 0.2f}}, {{1, 0.2f}, {2, 0.2f}, {3, 0.2f}, {4, 0.2f}}},
        // A sum below 0.0001 stays as it is.
        {{{1, 0.00001f}, {2, 0.00002f}, {3, 0}, {4, 0.00003f}, {5, 0}},
         {{4, 0.00003f}, {2, 0.00002f}, {1, 0.00001f}, {5, 0}}},
        // Negative weights never win; slots left over are null influences.
        {{{1, -0.5f}, {2, 0.6f}, {3, -1}, {4, 0.2f}, {5, -3}}, {{2, 0.75f}, {4, 0.25f}, {0, 0}, {0, 0}}},
        {{{1, -0.5f}, {2, -0.5f}, {3, -1}, {4, -2}, {5, -3}}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
    };
    int row = 0;
    for (const Case& c : cases) {
        ArrayList<SkinVertexBone> influences = listOf(c.in);
        limitInfluences(influences);
        ASSERT_EQ(influences.size, 4u) << "row " << row;
        for (unsigned i = 0; i < 4; ++i) {
            EXPECT_EQ(influences[i].bone, c.out[i].bone) << "row " << row << ", slot " << i;
            EXPECT_NEAR(influences[i].weight, c.out[i].weight, 1e-6f) << "row " << row << ", slot " << i;
        }
        ++row;
    }
}

TEST(MeshCore, TangentsFollowTheTextureMapping) {
    // A unit quad in the xy plane, facing +z, as two counter-clockwise
    // triangles. Each row maps (x, y) linearly to (u, v); the tangent points
    // the way u grows and the binormal the way v shrinks.
    struct Case {
        float ux, uy, vx, vy; // u = ux * x + uy * y, v = vx * x + vy * y
        Vector3 tangent, binormal;
    };
    const float h = std::sqrt(0.5f);
    const Case cases[] = {
        {1, 0, 0, 1, {1, 0, 0}, {0, -1, 0}},
        {-1, 0, 0, 1, {-1, 0, 0}, {0, -1, 0}}, // mirrored u
        {0, 1, 1, 0, {0, 1, 0}, {-1, 0, 0}},   // u and v swapped
        {2, 0, 0, 3, {1, 0, 0}, {0, -1, 0}},   // scale does not matter
        {1, 0, 0, -1, {1, 0, 0}, {0, 1, 0}},   // mirrored v
        {0.5f, 0.5f, -0.5f, 0.5f, {h, h, 0}, {h, -h, 0}},
    };
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    int row = 0;
    for (const Case& c : cases) {
        ArrayList<Vertex> vertices;
        for (const auto& p : corners) {
            Vertex v;
            v.position = Vector3(p[0], p[1], 0);
            v.normal = Vector3(0, 0, 1);
            v.u = c.ux * p[0] + c.uy * p[1];
            v.v = c.vx * p[0] + c.vy * p[1];
            vertices.add(v);
        }
        Triangle a, b, outOfRange;
        a.v[0] = 0, a.v[1] = 1, a.v[2] = 2;
        b.v[0] = 0, b.v[1] = 2, b.v[2] = 3;
        outOfRange.v[0] = 0, outOfRange.v[1] = 4, outOfRange.v[2] = -1;
        a.normal = b.normal = outOfRange.normal = Vector3(0, 0, 1);
        ArrayList<Triangle> triangles = listOf(std::vector<Triangle>{a, outOfRange, b});
        ArrayList<Vector3> tangents, binormals;
        generateTangents(vertices, triangles, tangents, binormals);
        ASSERT_EQ(tangents.size, 4u);
        ASSERT_EQ(binormals.size, 4u);
        for (unsigned i = 0; i < 4; ++i) {
            expectVectorNear(tangents[i], c.tangent, "tangent", row);
            expectVectorNear(binormals[i], c.binormal, "binormal", row);
        }
        ++row;
    }
}

TEST(MeshCore, TangentsAreMadeOrthonormalToTiltedNormals) {
    // Vertex normals leaning away from the face: tangent, binormal and normal
    // still come out an orthonormal frame, the tangent on the u side.
    ArrayList<Vertex> vertices;
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vector3 leans[4] = {{0.3f, 0.2f, 1}, {-0.4f, 0.1f, 1}, {0.2f, -0.5f, 1}, {0, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        Vertex v;
        v.position = Vector3(corners[i][0], corners[i][1], 0);
        v.normal = leans[i] * (1.0f / leans[i].length());
        v.u = corners[i][0];
        v.v = corners[i][1];
        vertices.add(v);
    }
    Triangle a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2;
    b.v[0] = 0, b.v[1] = 2, b.v[2] = 3;
    a.normal = b.normal = Vector3(0, 0, 1);
    ArrayList<Vector3> tangents, binormals;
    generateTangents(vertices, listOf(std::vector<Triangle>{a, b}), tangents, binormals);
    for (unsigned i = 0; i < 4; ++i) {
        const Vector3& n = vertices[i].normal;
        EXPECT_NEAR(tangents[i].length(), 1.0f, kTolerance) << i;
        EXPECT_NEAR(binormals[i].length(), 1.0f, kTolerance) << i;
        EXPECT_NEAR(dot(tangents[i], n), 0.0f, kTolerance) << i;
        EXPECT_NEAR(dot(binormals[i], n), 0.0f, kTolerance) << i;
        EXPECT_NEAR(dot(tangents[i], binormals[i]), 0.0f, kTolerance) << i;
        EXPECT_GT(tangents[i].x, 0.9f) << i;
        EXPECT_LT(binormals[i].y, -0.8f) << i;
    }
}

TEST(MeshCore, SkinningBlendsTheBoneMatrices) {
    const Matrix4 bones[] = {Matrix4(), Matrix4::translation(2, 0, 0), Matrix4::rotation(90, 0, 0, 1),
                             Matrix4::translation(0, 0, 4) * Matrix4::rotation(180, 0, 1, 0)};
    const float h = std::sqrt(0.5f);
    struct Case {
        std::vector<SkinVertexBone> influences;
        Vector3 position, normal;
        Vector3 skinnedPosition, skinnedNormal;
    };
    const Case cases[] = {
        {{{0, 0.5f}, {1, 0.5f}, {0, 0}, {0, 0}}, {1, 2, 3}, {0, 1, 0}, {2, 2, 3}, {0, 1, 0}},
        {{{0, 0.5f}, {2, 0.5f}, {0, 0}, {0, 0}}, {1, 0, 0}, {1, 0, 0}, {0.5f, 0.5f, 0}, {h, h, 0}},
        {{{3, 1}, {0, 0}, {0, 0}, {0, 0}}, {1, 2, 3}, {0, 0, 1}, {-1, 2, 1}, {0, 0, -1}},
        {{{1, 0.25f}, {3, 0.75f}, {0, 0}, {0, 0}}, {1, 0, 0}, {1, 0, 0}, {0, 0, 3}, {-1, 0, 0}},
        // An influence on a bone outside the palette is left out.
        {{{1, 1}, {9, 0.5f}, {-1, 0.5f}, {0, 0}}, {1, 1, 1}, {0, 0, 2}, {3, 1, 1}, {0, 0, 1}},
    };
    int row = 0;
    for (const Case& c : cases) {
        Vertex bind;
        bind.position = c.position;
        bind.normal = c.normal;
        bind.u = 0.25f;
        bind.v = 0.75f;
        // Vertex 1 is the bind vertex; the skin vertex also moves vertex 3 and
        // names one vertex that does not exist.
        ArrayList<Vertex> bindVertices = listOf(std::vector<Vertex>{Vertex(), bind, Vertex(), bind});
        ArrayList<Vertex> out = bindVertices;
        SkinVertex sv;
        sv.influences = listOf(c.influences);
        sv.vertexRefs = listOf(std::vector<int>{1, 3, 7});
        SkinVertex dangling;
        dangling.influences = sv.influences;
        dangling.vertexRefs = listOf(std::vector<int>{12, 0});
        skinVertices(listOf(std::vector<SkinVertex>{SkinVertex(), sv, dangling}), bindVertices, bones, 4,
                     out);
        for (unsigned i : {1u, 3u}) {
            expectVectorNear(out[i].position, c.skinnedPosition, "position", row);
            expectVectorNear(out[i].normal, c.skinnedNormal, "normal", row);
            EXPECT_EQ(out[i].u, 0.25f);
            EXPECT_EQ(out[i].v, 0.75f);
        }
        for (unsigned i : {0u, 2u})
            expectVectorNear(out[i].position, Vector3(), "untouched vertex", row);
        ++row;
    }
}

TEST(MeshCore, SortsAgreeWithStableSort) {
    const unsigned sizes[] = {0, 1, 2, 3, 31, 32, 33, 1000};
    // Patterns: spread-out random keys, keys from 8 values (many ties),
    // already increasing, decreasing.
    for (unsigned pattern = 0; pattern < 4; ++pattern) {
        for (unsigned size : sizes) {
            Random random{0x9e3779b9u + 7919u * size + pattern};
            std::vector<float> keys(size);
            for (unsigned i = 0; i < size; ++i) {
                const uint32_t r = random.next();
                switch (pattern) {
                case 0:
                    keys[i] = float(r >> 8) * (1000.0f / 16777216.0f);
                    break;
                case 1:
                    keys[i] = float(r % 8) * 0.5f;
                    break;
                case 2:
                    keys[i] = float(i) * 0.25f;
                    break;
                default:
                    keys[i] = float(size - i) * 3.0f;
                    break;
                }
            }
            std::vector<unsigned> expected(size);
            std::iota(expected.begin(), expected.end(), 0u);
            std::stable_sort(expected.begin(), expected.end(),
                             [&keys](unsigned a, unsigned b) { return keys[a] < keys[b]; });

            const ArrayList<float> keyList = listOf(keys);
            ArrayList<unsigned> order;
            for (auto sort : {&selectionSortByKey, &radixSortByKey, &sortByKey}) {
                order.resize(5); // stale contents are replaced
                sort(keyList, order);
                ASSERT_EQ(order.size, size);
                EXPECT_EQ(std::vector<unsigned>(order.begin(), order.end()), expected)
                    << "pattern " << pattern << ", size " << size;
            }
        }
    }
}
