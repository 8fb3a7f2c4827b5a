// Cutting shadow volumes off below the floor. Every visible surface lies on
// or above the floor, so the part of a volume below it only ever lies behind
// what the pixel shows: in the depth-fail count its faces fail the depth test
// in pairs that cancel, and filling them is work for nothing. The cut keeps
// the volume closed by capping it at the cutting plane, which keeps every
// count above the plane what it was. Plain CPU work on plain data.
#include "modules/model/ShadowVolume.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Vantor {

namespace {

float signedDistance(const Vector4& plane, const Vector3& p) {
    return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w;
}

// Whether each triangle's neighbour across every edge runs that edge the
// other way round: the surface then bounds a solid, its faces all wound
// alike. Edges matched by coinciding positions rather than shared indices
// do not count as joined.
bool boundsSolid(const ShadowMesh& mesh) {
    if (mesh.triangles.size == 0)
        return false;
    for (const Edge& e : mesh.edges) {
        if (e.tri1 < 0 || unsigned(e.tri1) >= mesh.triangles.size)
            return false;
        const int* v = mesh.triangles[unsigned(e.tri1)].v;
        bool reversed = false;
        for (int a = 0; a < 3 && !reversed; ++a)
            reversed = v[a] == e.v1 && v[(a + 1) % 3] == e.v0;
        if (!reversed)
            return false;
    }
    return true;
}

} // namespace

void ShadowMesh::markSolid() { solid = boundsSolid(*this); }

void cutVolume(const ArrayList<Vector3>& vertices, const ArrayList<unsigned int>& indices, int sidesEnd,
               const Vector4& plane, CutVolume& out) {
    out.vertices = vertices;
    out.indices.clear();
    out.sidesEnd = 0;
    // Only the copies that the indices use hold positions.
    std::vector<float> distance(vertices.size, 0.0f);
    for (unsigned i : indices)
        distance[i] = signedDistance(plane, vertices[i]);
    const auto kept = [&](unsigned i) { return distance[i] >= 0.0f; };

    // One point per cut edge, worked out from its lower index, so that both
    // triangles along the edge share it exactly and the surface stays sealed.
    std::unordered_map<std::uint64_t, unsigned> cutPoints;
    const auto cutPoint = [&](unsigned a, unsigned b) {
        const unsigned lo = a < b ? a : b, hi = a < b ? b : a;
        const std::uint64_t key = (std::uint64_t(lo) << 32) | hi;
        auto found = cutPoints.find(key);
        if (found != cutPoints.end())
            return found->second;
        const float t = distance[lo] / (distance[lo] - distance[hi]);
        const Vector3 p = vertices[lo] + (vertices[hi] - vertices[lo]) * t;
        const unsigned index = out.vertices.size;
        out.vertices.add(p);
        cutPoints.emplace(key, index);
        return index;
    };

    // Where each cut triangle's kept part runs along the plane, from where
    // its outline leaves the kept side to where it comes back.
    std::vector<std::pair<unsigned, unsigned>> seams;
    const unsigned triangleCount = indices.size / 3;
    for (unsigned k = 0; k < triangleCount; ++k) {
        if (int(3 * k) == sidesEnd)
            out.sidesEnd = int(out.indices.size);
        const unsigned* corner = &indices.data[3 * k];
        unsigned polygon[4];
        unsigned corners = 0;
        unsigned leave = 0, enter = 0;
        for (unsigned j = 0; j < 3; ++j) {
            const unsigned a = corner[j], b = corner[(j + 1) % 3];
            if (kept(a))
                polygon[corners++] = a;
            if (kept(a) && !kept(b))
                polygon[corners++] = leave = cutPoint(a, b);
            else if (!kept(a) && kept(b))
                polygon[corners++] = enter = cutPoint(a, b);
        }
        for (unsigned j = 1; j + 1 < corners; ++j) {
            out.indices.add(polygon[0]);
            out.indices.add(polygon[j]);
            out.indices.add(polygon[j + 1]);
        }
        const bool whole = kept(corner[0]) && kept(corner[1]) && kept(corner[2]);
        if (corners > 0 && !whole)
            seams.emplace_back(leave, enter);
    }
    if (int(indices.size) <= sidesEnd)
        out.sidesEnd = int(out.indices.size);
    if (seams.empty())
        return;

    // The cap: a fan from one point of the plane over every seam, each run
    // backwards. Where seams form several outlines the fan's triangles
    // overlap, but their windings cancel outside the cut's cross-section.
    Vector3 centre;
    for (const auto& seam : seams)
        centre += out.vertices[seam.first] + out.vertices[seam.second];
    centre = centre * (0.5f / float(seams.size()));
    const unsigned hub = out.vertices.size;
    out.vertices.add(centre);
    for (const auto& seam : seams) {
        out.indices.add(hub);
        out.indices.add(seam.second);
        out.indices.add(seam.first);
    }
}

} // namespace Vantor
