// Plain vertex and triangle lists for the shadow-mesh tests, with and
// without a GL context: vertices from positions, triangles with their face
// normals, and a box whose corners are shared or repeated per face.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Vector3.h"
#include "modules/model/ModelTypes.h"

#include <map>
#include <utility>
#include <vector>

namespace Vantor::test {

inline Vertex vertexAt(const Vector3& p) {
    Vertex v;
    v.position = p;
    return v;
}

// The triangle over vertices a, b, c with its counter-clockwise face normal;
// the normal is left as it is when an index lies outside vertices.
inline Triangle triangle(int a, int b, int c, const ArrayList<Vertex>& vertices) {
    Triangle t;
    t.v[0] = a;
    t.v[1] = b;
    t.v[2] = c;
    const unsigned n = vertices.size;
    if (a >= 0 && b >= 0 && c >= 0 && unsigned(a) < n && unsigned(b) < n && unsigned(c) < n) {
        const Vector3& p = vertices[unsigned(a)].position;
        t.normal = cross(vertices[unsigned(b)].position - p, vertices[unsigned(c)].position - p);
        t.normal.normalize();
    }
    return t;
}

struct MeshData {
    ArrayList<Vertex> vertices;
    ArrayList<Triangle> triangles;
};

// A box with outward, counter-clockwise faces; sharedCorners gives 8 vertices,
// otherwise every face has its own 4 (seams along all edges).
inline MeshData box(const Vector3& lo, const Vector3& hi, bool sharedCorners) {
    MeshData m;
    std::map<std::vector<float>, int> corners;
    const auto vertexFor = [&](const Vector3& p) {
        if (sharedCorners) {
            const auto found = corners.find({p.x, p.y, p.z});
            if (found != corners.end())
                return found->second;
            corners[{p.x, p.y, p.z}] = int(m.vertices.size);
        }
        m.vertices.add(vertexAt(p));
        return int(m.vertices.size - 1);
    };
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            int u = (axis + 1) % 3, v = (axis + 2) % 3;
            if (sign < 0)
                std::swap(u, v);
            const int su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
            int idx[4];
            for (int k = 0; k < 4; ++k) {
                float c[3];
                c[axis] = sign > 0 ? (&hi.x)[axis] : (&lo.x)[axis];
                c[u] = su[k] > 0 ? (&hi.x)[u] : (&lo.x)[u];
                c[v] = sv[k] > 0 ? (&hi.x)[v] : (&lo.x)[v];
                idx[k] = vertexFor(Vector3(c[0], c[1], c[2]));
            }
            m.triangles.add(triangle(idx[0], idx[1], idx[2], m.vertices));
            m.triangles.add(triangle(idx[0], idx[2], idx[3], m.vertices));
        }
    return m;
}

} // namespace Vantor::test
