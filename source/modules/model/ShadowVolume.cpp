// The CPU side of shadow volumes: welding and edge connectivity of shadow
// meshes (a hashed fast path and the plain quadratic reference beside it),
// the per-frame light update, silhouette and volume geometry. No GL here;
// taking buffer names, uploads and drawing are in ShadowVolumeGL.cpp.
#include "modules/model/ShadowVolume.h"

#include <cstdint>
#include <limits>

namespace Vantor {

namespace {

// Grid cells for welding are four times the tolerance wide. Two positions
// that weld differ by less than the tolerance on every axis (float rounding
// included), a quarter of a cell, so a position's partners lie in its own
// cell or in the neighbour on the side of the cell it is near: a position in
// the middle of its cell on an axis need not look past its cell on that axis.
constexpr double kWeldCellSize = 4.0 * double(kWeldTolerance);
// Where in its cell (0..1) a position must lie to look into the neighbour
// below (beneath kWeldNearLow) or above (beyond kWeldNearHigh); a margin
// over the quarter cell a partner can be away.
constexpr double kWeldNearLow = 0.3;
constexpr double kWeldNearHigh = 0.7;
// Cell coordinates are clamped to this magnitude so that they fit an int;
// clamping keeps neighbouring cells neighbours, and a clamped position looks
// into both neighbours.
constexpr double kWeldCellLimit = 1073741823.0; // 2^30 - 1
// Hash tables are at most half full.
constexpr unsigned kHashLoadFactor = 2;
constexpr unsigned kHashMinimumSlots = 64;
constexpr unsigned kHashMaximumSlots = 1u << 31;
// Marks an empty slot of the open-edge table: never a valid pair key, since
// indices are below 2^31.
constexpr std::uint64_t kNoPairKey = ~std::uint64_t(0);

std::uint64_t mixBits(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

unsigned hashSlotCount(unsigned entries) {
    unsigned n = kHashMinimumSlots;
    while (n / kHashLoadFactor < entries && n < kHashMaximumSlots)
        n *= 2;
    return n;
}

bool isFinite(const Vector3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The cells to search on one axis for a position with coordinate x: its own
// cell, and the neighbour below or above when x lies near that side.
struct CellSpan {
    int cell, lo, hi;
};

CellSpan cellSpan(float x) {
    const double q = double(x) / kWeldCellSize;
    double c = std::floor(q);
    const double within = q - c;
    CellSpan span;
    if (c > kWeldCellLimit || c < -kWeldCellLimit) {
        c = c > 0 ? kWeldCellLimit : -kWeldCellLimit;
        span.cell = int(c);
        span.lo = span.cell - 1;
        span.hi = span.cell + 1;
        return span;
    }
    span.cell = int(c);
    span.lo = within < kWeldNearLow ? span.cell - 1 : span.cell;
    span.hi = within > kWeldNearHigh ? span.cell + 1 : span.cell;
    return span;
}

// Welded positions filed by grid cell: each cell holds a chain of welded
// indices in increasing order. Open addressing with a fixed slot count, sized
// for every entry at construction.
class WeldGrid {
public:
    explicit WeldGrid(unsigned maxCells) {
        slots.resize(hashSlotCount(maxCells));
        mask = slots.size - 1;
        for (Slot& s : slots)
            s.head = -1;
    }

    // The smallest welded index whose position welds with p, or -1. p is finite.
    int find(const Vector3& p, const ArrayList<Vector3>& positions) const {
        const CellSpan sx = cellSpan(p.x), sy = cellSpan(p.y), sz = cellSpan(p.z);
        int best = -1;
        for (int x = sx.lo; x <= sx.hi; ++x)
            for (int y = sy.lo; y <= sy.hi; ++y)
                for (int z = sz.lo; z <= sz.hi; ++z) {
                    const Slot* s = lookup(x, y, z);
                    if (!s)
                        continue;
                    for (int i = s->head; i >= 0 && (best < 0 || i < best); i = next[unsigned(i)])
                        if (weldsWith(positions[unsigned(i)], p)) {
                            best = i;
                            break;
                        }
                }
        return best;
    }

    // Files welded index (the highest so far) under the cell of p.
    void insert(const Vector3& p, int index) {
        const int x = cellSpan(p.x).cell, y = cellSpan(p.y).cell, z = cellSpan(p.z).cell;
        while (next.size <= unsigned(index))
            next.add(-1);
        unsigned i = slotIndex(x, y, z);
        while (slots[i].head >= 0 && !(slots[i].x == x && slots[i].y == y && slots[i].z == z))
            i = (i + 1) & mask;
        Slot& s = slots[i];
        if (s.head < 0) {
            s.x = x;
            s.y = y;
            s.z = z;
            s.head = index;
        } else {
            next[unsigned(s.tail)] = index;
        }
        s.tail = index;
    }

private:
    struct Slot {
        int x, y, z;
        int head, tail;
    };

    unsigned slotIndex(int x, int y, int z) const {
        const std::uint64_t h = mixBits(std::uint64_t(std::uint32_t(x)) * 0x9e3779b97f4a7c15ULL ^
                                        std::uint64_t(std::uint32_t(y)) * 0xbf58476d1ce4e5b9ULL ^
                                        std::uint64_t(std::uint32_t(z)));
        return unsigned(h) & mask;
    }

    const Slot* lookup(int x, int y, int z) const {
        for (unsigned i = slotIndex(x, y, z);; i = (i + 1) & mask) {
            const Slot& s = slots[i];
            if (s.head < 0)
                return nullptr;
            if (s.x == x && s.y == y && s.z == z)
                return &s;
        }
    }

    ArrayList<Slot> slots;
    ArrayList<int> next;
    unsigned mask = 0;
};

std::uint64_t pairKey(int a, int b) {
    if (a > b) {
        const int t = a;
        a = b;
        b = t;
    }
    return (std::uint64_t(std::uint32_t(a)) << 32) | std::uint32_t(b);
}

// The open edges by unordered pair of welded indices, each with its slot in
// the open list. Linear probing with backward-shift removal; it holds only
// the edges open at the moment and grows when half full, so it stays small
// (and in cache) for meshes whose triangles come in a sensible order.
class OpenEdgeTable {
public:
    OpenEdgeTable() { allocate(kHashMinimumSlots); }

    // The slot in the open list of the open edge with this key, or -1.
    int find(std::uint64_t key) const {
        const int i = position(key);
        return i < 0 ? -1 : slots[unsigned(i)].open;
    }

    void insert(std::uint64_t key, int open) {
        if ((count + 1) * kHashLoadFactor > slots.size && slots.size < kHashMaximumSlots)
            grow();
        place(key, open);
        ++count;
    }

    void setSlot(std::uint64_t key, int open) { slots[unsigned(position(key))].open = open; }

    void remove(std::uint64_t key) {
        unsigned hole = unsigned(position(key));
        // Moves back every later entry of the run that may fill the hole.
        for (unsigned i = (hole + 1) & mask; slots[i].key != kNoPairKey; i = (i + 1) & mask) {
            const unsigned home = homeOf(slots[i].key);
            if (((i - home) & mask) >= ((i - hole) & mask)) {
                slots[hole] = slots[i];
                hole = i;
            }
        }
        slots[hole].key = kNoPairKey;
        --count;
    }

private:
    struct Slot {
        std::uint64_t key;
        int open;
    };

    unsigned homeOf(std::uint64_t key) const { return unsigned(mixBits(key)) & mask; }

    int position(std::uint64_t key) const {
        for (unsigned i = homeOf(key);; i = (i + 1) & mask) {
            if (slots[i].key == key)
                return int(i);
            if (slots[i].key == kNoPairKey)
                return -1;
        }
    }

    void place(std::uint64_t key, int open) {
        unsigned i = homeOf(key);
        while (slots[i].key != kNoPairKey)
            i = (i + 1) & mask;
        slots[i].key = key;
        slots[i].open = open;
    }

    void allocate(unsigned n) {
        slots.resize(n);
        mask = n - 1;
        for (Slot& s : slots)
            s.key = kNoPairKey;
    }

    void grow() {
        ArrayList<Slot> old(std::move(slots));
        allocate(old.size * 2);
        for (const Slot& s : old)
            if (s.key != kNoPairKey)
                place(s.key, s.open);
    }

    ArrayList<Slot> slots;
    unsigned mask = 0;
    unsigned count = 0;
};

bool indexInside(int v, unsigned count) { return v >= 0 && unsigned(v) < count; }

bool triangleInside(const Triangle& t, unsigned vertexCount) {
    return indexInside(t.v[0], vertexCount) && indexInside(t.v[1], vertexCount) &&
           indexInside(t.v[2], vertexCount);
}

// The triangles that index only existing vertices, re-indexed through weldedIndex.
void copyTriangles(const ArrayList<Triangle>& meshTriangles, unsigned vertexCount,
                   const ArrayList<int>& weldedIndex, ArrayList<Triangle>& out) {
    for (const Triangle& source : meshTriangles) {
        if (!triangleInside(source, vertexCount))
            continue;
        Triangle t = source;
        for (int& v : t.v)
            v = weldedIndex[unsigned(v)];
        out.add(t);
    }
}

bool differs(const Vector4& a, const Vector4& b) {
    return a.x != b.x || a.y != b.y || a.z != b.z || a.w != b.w;
}

bool differs(const Matrix4& a, const Matrix4& b) {
    for (int i = 0; i < 16; ++i)
        if (a.m[i] != b.m[i])
            return true;
    return false;
}

// A point light at p with a range misses the box when the box's bounding
// sphere cannot reach it or p lies outside the box widened by the range.
bool outOfReach(const Vector3& boxMin, const Vector3& boxMax, const Vector3& p, float range) {
    const Vector3 centre = (boxMin + boxMax) * 0.5f;
    const float radius = (boxMax - boxMin).length() * 0.5f;
    if (radius + range <= (centre - p).length())
        return true;
    const bool inside = boxMin.x - range <= p.x && p.x <= boxMax.x + range && boxMin.y - range <= p.y &&
                        p.y <= boxMax.y + range && boxMin.z - range <= p.z && p.z <= boxMax.z + range;
    return !inside;
}

bool insideBox(const Vector3& boxMin, const Vector3& boxMax, const Vector3& p) {
    return boxMin.x <= p.x && p.x <= boxMax.x && boxMin.y <= p.y && p.y <= boxMax.y && boxMin.z <= p.z &&
           p.z <= boxMax.z;
}

// How far the far copies reach for a light (mesh space) and a range; sets
// culled when the range ends before the box.
float extrusionFor(const Vector3& boxMin, const Vector3& boxMax, const Vector4& light, float range,
                   bool& culled) {
    const Vector3 p = light.xyz();
    if (light.w == 0.0f || insideBox(boxMin, boxMax, p))
        return kMaxExtrusion;
    Vector3 d = p - (boxMin + boxMax) * 0.5f;
    d.normalize();
    const Vector3 nearest(d.x >= 0 ? boxMax.x : boxMin.x, d.y >= 0 ? boxMax.y : boxMin.y,
                          d.z >= 0 ? boxMax.z : boxMin.z);
    const float reach = range - dot(d, p - nearest);
    if (range == 0.0f || reach >= kMaxExtrusion)
        return kMaxExtrusion;
    if (reach < 0.0f) {
        culled = true;
        return 0.0f;
    }
    return reach;
}

} // namespace

void ShadowMesh::build(const ArrayList<Triangle>& meshTriangles, const ArrayList<Vertex>& meshVertices) {
    positions.clear();
    triangles.clear();
    edges.clear();
    const unsigned vertexCount = meshVertices.size;
    unsigned validTriangles = 0;
    for (const Triangle& t : meshTriangles)
        if (triangleInside(t, vertexCount))
            ++validTriangles;
    const unsigned corners = 3 * validTriangles;

    // Welding. A finite position is searched once: a later search for the same
    // vertex finds the same index (positions only grow at the end). A
    // position with an infinite or NaN coordinate welds with nothing, so, as
    // in the scan, every corner of it adds a position of its own.
    ArrayList<int> weldedIndex;
    weldedIndex.resize(vertexCount);
    for (int& w : weldedIndex)
        w = -1;
    WeldGrid grid(corners < vertexCount ? corners : vertexCount);
    positions.reserve(corners < vertexCount ? corners : vertexCount);
    for (const Triangle& t : meshTriangles) {
        if (!triangleInside(t, vertexCount))
            continue;
        for (int v : t.v) {
            const Vector3& p = meshVertices[unsigned(v)].position;
            if (!isFinite(p)) {
                weldedIndex[unsigned(v)] = int(positions.size);
                positions.add(p);
                continue;
            }
            if (weldedIndex[unsigned(v)] >= 0)
                continue;
            int found = grid.find(p, positions);
            if (found < 0) {
                found = int(positions.size);
                positions.add(p);
                grid.insert(p, found);
            }
            weldedIndex[unsigned(v)] = found;
        }
    }

    triangles.reserve(validTriangles);
    copyTriangles(meshTriangles, vertexCount, weldedIndex, triangles);

    // Edges. No two welded positions weld with each other (each was added
    // because no earlier one welded with it), so the scan's position test
    // matches only equal indices, and an edge matches exactly the open edges
    // with the same unordered index pair. There is never more than one of
    // those (a second would have matched the first), so the table below
    // names the scan's match; it follows every open edge's slot as the list
    // moves its last edge into a removed slot.
    OpenEdgeTable table;
    ArrayList<Edge> open;
    open.autoShrink = false;
    edges.reserve(corners);
    for (unsigned t = 0; t < triangles.size; ++t) {
        const Triangle& tri = triangles[t];
        for (int a = 0; a < 3; ++a) {
            Edge e{tri.v[a], tri.v[(a + 1) % 3], int(t), -1};
            const std::uint64_t key = pairKey(e.v0, e.v1);
            const int slot = table.find(key);
            if (slot < 0) {
                table.insert(key, int(open.size));
                open.add(e);
                continue;
            }
            const unsigned matched = unsigned(slot);
            e.tri1 = open[matched].tri0;
            edges.add(e);
            table.remove(key);
            const unsigned last = open.size - 1;
            if (matched != last) {
                open[matched] = open[last];
                table.setSlot(pairKey(open[matched].v0, open[matched].v1), int(matched));
            }
            open.resize(last);
        }
    }
    for (const Edge& e : open)
        edges.add(e);
    markSolid();
}

void ShadowMesh::buildReference(const ArrayList<Triangle>& meshTriangles,
                                const ArrayList<Vertex>& meshVertices) {
    positions.clear();
    triangles.clear();
    edges.clear();
    const unsigned vertexCount = meshVertices.size;

    ArrayList<int> weldedIndex;
    weldedIndex.resize(vertexCount);
    for (const Triangle& t : meshTriangles) {
        if (!triangleInside(t, vertexCount))
            continue;
        for (int v : t.v) {
            const Vector3& p = meshVertices[unsigned(v)].position;
            int found = -1;
            for (unsigned i = 0; i < positions.size; ++i)
                if (weldsWith(positions[i], p)) {
                    found = int(i);
                    break;
                }
            if (found < 0) {
                found = int(positions.size);
                positions.add(p);
            }
            weldedIndex[unsigned(v)] = found;
        }
    }

    copyTriangles(meshTriangles, vertexCount, weldedIndex, triangles);

    ArrayList<Edge> open;
    for (unsigned t = 0; t < triangles.size; ++t) {
        const Triangle& tri = triangles[t];
        for (int a = 0; a < 3; ++a) {
            Edge e{tri.v[a], tri.v[(a + 1) % 3], int(t), -1};
            const Vector3& p0 = positions[unsigned(e.v0)];
            const Vector3& p1 = positions[unsigned(e.v1)];
            int match = -1;
            for (unsigned k = 0; k < open.size; ++k) {
                const Edge& o = open[k];
                const Vector3& q0 = positions[unsigned(o.v0)];
                const Vector3& q1 = positions[unsigned(o.v1)];
                if ((o.v0 == e.v0 && o.v1 == e.v1) || (o.v0 == e.v1 && o.v1 == e.v0) ||
                    (weldsWith(q0, p0) && weldsWith(q1, p1)) || (weldsWith(q0, p1) && weldsWith(q1, p0))) {
                    match = int(k);
                    break;
                }
            }
            if (match < 0) {
                open.add(e);
                continue;
            }
            e.tri1 = open[unsigned(match)].tri0;
            edges.add(e);
            open[unsigned(match)] = open[open.size - 1];
            open.resize(open.size - 1);
        }
    }
    for (const Edge& e : open)
        edges.add(e);
    markSolid();
}

ShadowVolume::ShadowVolume() {
    // Never equal to a real matrix seen by update, so the first update counts as a change.
    for (float& f : lastWorld.m)
        f = 0.0f;
    silhouette.autoShrink = false;
    litTriangles.autoShrink = false;
    unlitTriangles.autoShrink = false;
    indices.autoShrink = false;
}

void ShadowVolume::update(const Vector3& boxMin, const Vector3& boxMax, const Matrix4& meshWorld,
                          const ShadowLight& light, const Vector3& /*eye*/) {
    Matrix4 inverse = meshWorld;
    inverse.inverse();
    const Vector4& source = light.position;
    if (source.w != 0.0f) {
        Vector3 p = source.xyz();
        inverse.transformPoint(p);
        lightVector = Vector4(p, source.w);
    } else {
        const float* m = inverse.m;
        lightVector = Vector4(m[0] * source.x + m[4] * source.y + m[8] * source.z,
                              m[1] * source.x + m[5] * source.y + m[9] * source.z,
                              m[2] * source.x + m[6] * source.y + m[10] * source.z, 0.0f);
    }
    active = true;

    if (lightVector.w != 0.0f && light.range != 0.0f &&
        outOfReach(boxMin, boxMax, lightVector.xyz(), light.range)) {
        culled = true;
        active = false;
        // Forget the light, so that coming back into reach, even to the same
        // place, re-evaluates the volume instead of staying culled.
        const float nan = std::numeric_limits<float>::quiet_NaN();
        lastLight = Vector4(nan, nan, nan, nan);
        return;
    }

    if (differs(lightVector, lastLight) || differs(meshWorld, lastWorld)) {
        lastLight = lightVector;
        lastWorld = meshWorld;
        dirty = true;
        culled = false;
        extrusion = extrusionFor(boxMin, boxMax, lightVector, light.range, culled);
    }

    active = !culled;
    if (active)
        capped = true;
}

bool ShadowVolume::setFloorPlane(const Vector4& plane) {
    const bool moved = differs(plane, floorPlane);
    floorPlane = plane;
    return moved;
}

void ShadowVolume::countBuild() {
    if (buildCounter < std::numeric_limits<int>::max())
        ++buildCounter;
}

void ShadowVolume::rebuild(const ShadowMesh& mesh, bool force) {
    if (mesh.positions.size == 0)
        return;
    countBuild();
    if (!dirty && !force)
        return;
    dirty = false;
    const bool firstBuild = !built;
    if (firstBuild) {
        silhouette.clear();
        litTriangles.clear();
        unlitTriangles.clear();
        indices.clear();
        acquireBuffers();
        built = true;
    }
    buildGeometry(mesh, firstBuild);
    drawnCut = mesh.solid && differs(floorPlane, Vector4());
    if (drawnCut)
        cutVolume(vertices, indices, sidesEnd, floorPlane, cut);
    ++geometryBuilds;
    upload();
}

void ShadowVolume::buildGeometry(const ShadowMesh& mesh, bool firstBuild) {
    const unsigned n = mesh.positions.size;
    const unsigned triangleCount = mesh.triangles.size;
    const bool pointLight = lightVector.w != 0.0f;
    const Vector3 light = lightVector.xyz();

    // Sized on the first build; a mismatch later (a volume moved onto another
    // mesh) resizes and refreshes the silhouette rather than index stale data.
    bool refresh = firstBuild || buildCounter >= kSilhouetteInterval;
    if (vertices.size != 2 * n)
        vertices.resize(2 * n);
    if (facing.size != triangleCount) {
        facing.resize(triangleCount);
        refresh = true;
    }

    if (pointLight) {
        lightDirections.resize(n);
        for (unsigned i = 0; i < n; ++i) {
            Vector3 d = light - mesh.positions[i];
            d.normalize();
            lightDirections[i] = d;
        }
    }

    if (refresh) {
        buildCounter = 0;
        if (pointLight) {
            if (centroids.size != triangleCount) {
                centroids.resize(triangleCount);
                for (unsigned t = 0; t < triangleCount; ++t) {
                    const int* v = mesh.triangles[t].v;
                    centroids[t] = (mesh.positions[unsigned(v[0])] + mesh.positions[unsigned(v[1])] +
                                    mesh.positions[unsigned(v[2])]) *
                                   kCentroidScale;
                }
            }
            for (unsigned t = 0; t < triangleCount; ++t)
                facing[t] = dot(light - centroids[t], mesh.triangles[t].normal) > 0.0f;
        } else {
            for (unsigned t = 0; t < triangleCount; ++t)
                facing[t] = dot(light, mesh.triangles[t].normal) > 0.0f;
        }
        silhouette.clear();
        for (unsigned e = 0; e < mesh.edges.size; ++e) {
            const Edge& edge = mesh.edges[e];
            if (edge.tri1 < 0 || facing[unsigned(edge.tri0)] != facing[unsigned(edge.tri1)])
                silhouette.add(e);
        }
    }

    litTriangles.clear();
    unlitTriangles.clear();
    for (unsigned t = 0; t < triangleCount; ++t)
        (facing[t] ? litTriangles : unlitTriangles).add(t);

    // The direction away from the light at position i.
    Vector3 awayFromDirectional = -light;
    awayFromDirectional.normalize();
    const auto away = [&](unsigned i) { return pointLight ? -lightDirections[i] : awayFromDirectional; };
    const auto placeNear = [&](unsigned i) { vertices[i] = mesh.positions[i] + away(i) * kNearCapOffset; };
    const auto placeFar = [&](unsigned i) { vertices[i + n] = mesh.positions[i] + away(i) * extrusion; };

    indices.clear();
    for (unsigned s : silhouette) {
        const Edge& edge = mesh.edges[s];
        unsigned a = unsigned(edge.v0), b = unsigned(edge.v1);
        if (facing[unsigned(edge.tri0)]) {
            a = unsigned(edge.v1);
            b = unsigned(edge.v0);
        }
        const unsigned quad[6] = {a, b, b + n, b + n, a + n, a};
        for (unsigned i : quad)
            indices.add(i);
        placeNear(a);
        placeNear(b);
        placeFar(a);
        placeFar(b);
    }
    sidesEnd = int(indices.size);
    for (unsigned t : unlitTriangles)
        for (int v : mesh.triangles[t].v) {
            indices.add(unsigned(v) + n);
            placeFar(unsigned(v));
        }
    farCapEnd = int(indices.size);
    for (unsigned t : litTriangles)
        for (int v : mesh.triangles[t].v) {
            indices.add(unsigned(v));
            placeNear(unsigned(v));
        }
}

} // namespace Vantor
