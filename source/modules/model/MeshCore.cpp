// Influence limiting, tangent generation, CPU skinning and the draw-order
// sorts, over plain vertex, triangle and skin records.
#include "modules/model/MeshCore.h"

namespace Vantor {

namespace {

// Weight sums below this are left as they are rather than divided by.
constexpr float kMinInfluenceWeightSum = 0.0001f;
// Marks an influence already moved to the kept list.
constexpr float kPickedInfluenceWeight = -1.0f;

// v scaled by the reciprocal of its length; a zero vector gives NaNs.
Vector3 unit(const Vector3& v) { return v * (1.0f / v.length()); }

bool validIndex(int index, unsigned count) { return index >= 0 && unsigned(index) < count; }

} // namespace

void limitInfluences(ArrayList<SkinVertexBone>& influences, int n) {
    const unsigned count = n > 0 ? unsigned(n) : 0;
    if (influences.size < count) {
        while (influences.size < count)
            influences.add(SkinVertexBone());
        return;
    }
    if (influences.size == count)
        return;

    ArrayList<SkinVertexBone> kept;
    kept.reserve(count);
    for (unsigned pick = 0; pick < count; ++pick) {
        // Running maximum from 0, replaced on >=: among equal weights the
        // last wins, and negative weights (picked ones included) never do.
        float best = 0.0f;
        int bestIndex = -1;
        for (unsigned i = 0; i < influences.size; ++i) {
            if (influences[i].weight >= best) {
                best = influences[i].weight;
                bestIndex = int(i);
            }
        }
        if (bestIndex < 0) {
            // Only negative (or NaN) weights left: they carry no influence,
            // so the slot is filled like a padded one.
            kept.add(SkinVertexBone());
            continue;
        }
        kept.add(influences[unsigned(bestIndex)]);
        influences[unsigned(bestIndex)].weight = kPickedInfluenceWeight;
    }

    float sum = 0.0f;
    for (const SkinVertexBone& b : kept)
        sum += b.weight;
    if (sum >= kMinInfluenceWeightSum)
        for (SkinVertexBone& b : kept)
            b.weight /= sum;
    influences = std::move(kept);
}

void generateTangents(const ArrayList<Vertex>& vertices, const ArrayList<Triangle>& triangles,
                      ArrayList<Vector3>& tangents, ArrayList<Vector3>& binormals) {
    const unsigned count = vertices.size;
    tangents.resize(count);
    binormals.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        tangents[i] = Vector3();
        binormals[i] = Vector3();
    }

    for (const Triangle& tri : triangles) {
        if (!validIndex(tri.v[0], count) || !validIndex(tri.v[1], count) || !validIndex(tri.v[2], count))
            continue;
        const Vertex& c0 = vertices[unsigned(tri.v[0])];
        const Vertex& c1 = vertices[unsigned(tri.v[1])];
        const Vertex& c2 = vertices[unsigned(tri.v[2])];
        const Vector3 d1 = c1.position - c0.position;
        const Vector3 d2 = c2.position - c0.position;
        const float ds1 = c1.u - c0.u, ds2 = c2.u - c0.u;
        const float dt1 = c1.v - c0.v, dt2 = c2.v - c0.v;
        Vector3 tangent = unit(d1 * dt2 - d2 * dt1);
        Vector3 binormal = unit(d1 * ds2 - d2 * ds1);
        if (dot(cross(tangent, binormal), tri.normal) > 0.0f) {
            tangent = -tangent;
            binormal = -binormal;
        }
        for (int corner = 0; corner < 3; ++corner) {
            tangents[unsigned(tri.v[corner])] += tangent;
            binormals[unsigned(tri.v[corner])] += binormal;
        }
    }

    for (unsigned i = 0; i < count; ++i) {
        const Vector3& n = vertices[i].normal;
        const Vector3 t = unit(tangents[i]);
        const Vector3 b = unit(binormals[i]);
        // Gram-Schmidt against the normal, then the binormal against the
        // already normalised tangent, so the three come out orthonormal.
        const Vector3 tOrtho = unit(t - n * dot(n, t));
        const Vector3 bOrtho = b - n * dot(n, b) - tOrtho * dot(tOrtho, b);
        tangents[i] = tOrtho;
        binormals[i] = unit(bOrtho);
    }
}

void skinVertices(const ArrayList<SkinVertex>& skin, const ArrayList<Vertex>& bindVertices,
                  const Matrix4* boneMatrices, unsigned boneCount, ArrayList<Vertex>& out) {
    for (const SkinVertex& sv : skin) {
        if (sv.vertexRefs.size == 0 || !validIndex(sv.vertexRefs[0], bindVertices.size))
            continue;
        const Vertex& bind = bindVertices[unsigned(sv.vertexRefs[0])];
        const Vector3& p = bind.position;
        const Vector3& n = bind.normal;
        Vector3 position, normal;
        for (const SkinVertexBone& influence : sv.influences) {
            if (!validIndex(influence.bone, boneCount))
                continue;
            const float* m = boneMatrices[unsigned(influence.bone)].m;
            const float w = influence.weight;
            position += Vector3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                                m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                                m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]) *
                        w;
            normal += Vector3(m[0] * n.x + m[4] * n.y + m[8] * n.z, m[1] * n.x + m[5] * n.y + m[9] * n.z,
                              m[2] * n.x + m[6] * n.y + m[10] * n.z) *
                      w;
        }
        normal = unit(normal);
        for (int ref : sv.vertexRefs) {
            if (!validIndex(ref, out.size))
                continue;
            out[unsigned(ref)].position = position;
            out[unsigned(ref)].normal = normal;
        }
    }
}

void sortByKey(const ArrayList<float>& keys, ArrayList<unsigned>& order) {
    if (keys.size < kRadixSortThreshold)
        selectionSortByKey(keys, order);
    else
        radixSortByKey(keys, order);
}

void selectionSortByKey(const ArrayList<float>& keys, ArrayList<unsigned>& order) {
    const unsigned count = keys.size;
    order.resize(count);
    for (unsigned i = 0; i < count; ++i)
        order[i] = i;

    // order[0..end] is the unsorted range; everything after it is in place.
    for (unsigned end = count; end-- > 1;) {
        unsigned largest = 0;
        bool inOrder = true;
        for (unsigned i = 1; i <= end; ++i) {
            const float key = keys[order[i]];
            if (keys[order[i - 1]] > key)
                inOrder = false;
            if (key >= keys[order[largest]])
                largest = i;
        }
        if (inOrder)
            break;
        // Shifting the rest down instead of swapping keeps equal keys in
        // index order, as the radix sort does.
        const unsigned moved = order[largest];
        for (unsigned i = largest; i < end; ++i)
            order[i] = order[i + 1];
        order[end] = moved;
    }
}

} // namespace Vantor
