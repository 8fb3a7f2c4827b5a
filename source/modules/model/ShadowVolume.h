// Stencil shadow volumes of meshes.
//
// A ShadowMesh is the connectivity of one mesh, prepared once at load: the
// mesh positions welded within kWeldTolerance, its triangles re-indexed onto
// them, and every edge with the triangle that produced it and its neighbour.
// A ShadowVolume is the per-light, per-instance record: each frame update()
// brings the light into mesh space, range-culls and works out how far the
// volume reaches; rebuild() re-extrudes the silhouette when the light or the
// mesh moved; draw() issues the triangles for the stencil passes. Given a
// floor plane, the volume of a solid mesh is drawn cut off below it and
// capped (cutVolume, in ShadowVolumeFloor.cpp), with the same stencil counts
// everywhere above it.
//
// Everything here except the buffer upload and draw() is plain CPU work on
// plain data (ShadowVolumeGL.cpp holds the GL edge), so tests drive it
// without a context. All of it runs on the one program thread.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Matrix4.h"
#include "Core/Vector3.h"
#include "Core/Vector4.h"
#include "modules/model/ModelTypes.h"
#include "modules/occlusion/OcclusionMemo.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace Vantor {

// Lights that can cast shadows; one ShadowVolume per light index.
constexpr int kMaxShadowLights = 8;
// Positions closer than this (Manhattan distance) are one welded position.
constexpr float kWeldTolerance = 0.001f;
// How far the far copies reach when the light is unlimited or too close to bound.
constexpr float kMaxExtrusion = 15000.0f;
// How far the near copies are pushed away from the light, so that the near
// cap does not fight with the lit surface in depth.
constexpr float kNearCapOffset = 20.0f;
// How far below the floor (see ShadowLight) volumes are cut off, so that
// their cap lies plainly behind the floor in depth.
constexpr float kFloorCutDepth = 10.0f;
// The silhouette is recomputed on every this-many-th build.
constexpr int kSilhouetteInterval = 5;
// The build counter starts at a pseudo-random value below this, so that the
// silhouette refreshes of many volumes fall on different frames.
constexpr int kBuildCounterSpread = 4;
// A third, as the centroids are scaled by it.
constexpr float kCentroidScale = 0.33333334f;

// An edge between welded positions v0 and v1: tri0 produced it, tri1 is the
// neighbouring triangle or -1 for an open edge.
struct Edge {
    int v0, v1, tri0, tri1;
};

// True when a and b weld: |dx| + |dy| + |dz| < kWeldTolerance, in floats.
inline bool weldsWith(const Vector3& a, const Vector3& b) {
    const float d = std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
    return d < kWeldTolerance;
}

class ShadowMesh {
public:
    ArrayList<Vector3> positions;
    ArrayList<Triangle> triangles;
    ArrayList<Edge> edges;
    // True when the triangles bound a solid: every edge joins two triangles
    // by shared indices, running it in opposite directions. Only such a
    // mesh's volumes are closed, and only they are cut at the floor.
    bool solid = false;

    // Welds the positions of meshVertices, copies meshTriangles onto them and
    // finds every edge's neighbour. A triangle with an index outside
    // meshVertices is skipped (left out of triangles and edges). Uses hashed
    // grids; gives exactly what buildReference gives.
    void build(const ArrayList<Triangle>& meshTriangles, const ArrayList<Vertex>& meshVertices);
    // The same result by the plain quadratic scans: every corner searches all
    // welded positions in order, every edge all open edges in order.
    void buildReference(const ArrayList<Triangle>& meshTriangles, const ArrayList<Vertex>& meshVertices);

private:
    // Sets solid from triangles and edges.
    void markSolid();
};

// The light as the volumes see it: position (x, y, z, w), w == 0 for a
// directional light whose x, y, z point towards the light; range 0 means
// unlimited; index 0..kMaxShadowLights-1.
struct ShadowLight {
    Vector4 position;
    float range = 0.0f;
    int index = 0;
    // The world height nothing seen lies below (-infinity: not known).
    float floor = -std::numeric_limits<float>::infinity();
};

// A volume cut off at a plane and closed again with a cap in the plane: its
// triangles, sides first, over the volume's vertices followed by the points
// the cut added.
struct CutVolume {
    ArrayList<Vector3> vertices;
    ArrayList<unsigned int> indices;
    int sidesEnd = 0;
};

// Cuts the closed volume made of indices over vertices (sides up to
// sidesEnd) at plane, keeping where plane.x * x + plane.y * y + plane.z * z
// + plane.w >= 0, and caps the cut. Depth-fail stencil counts of the result
// are those of the volume for every point on the kept side.
void cutVolume(const ArrayList<Vector3>& vertices, const ArrayList<unsigned int>& indices, int sidesEnd,
               const Vector4& plane, CutVolume& out);

class ShadowVolume {
public:
    // Volume geometries built by every volume of the process, for measuring.
    static inline unsigned long long geometryBuilds = 0;

    // Indices into the mesh's edges.
    ArrayList<unsigned int> silhouette;
    // One per triangle: true when it faces the light.
    ArrayList<bool> facing;
    ArrayList<unsigned int> litTriangles;
    ArrayList<unsigned int> unlitTriangles;
    // The volume's triangles: sides, then far cap, then near cap.
    ArrayList<unsigned int> indices;
    // Entry i is the near copy of position i, entry i + positions.size its far copy.
    ArrayList<Vector3> vertices;
    // The mesh world matrix and mesh-space light vector of the last change.
    Matrix4 lastWorld;
    Vector4 lastLight;
    // The light in mesh space; w == 0 for a directional light.
    Vector4 lightVector;
    // Triangle centroids, for point lights.
    ArrayList<Vector3> centroids;
    // Point lights: the unit vector from each position towards the light.
    ArrayList<Vector3> lightDirections;
    // Buffer-object names; 0 when the volume draws from client memory.
    unsigned int indexBuffer = 0;
    unsigned int vertexBuffer = 0;
    bool built = false;
    int buildCounter = std::rand() % kBuildCounterSpread;
    float extrusion = 0.0f;
    // Index counts before the far cap and before the near cap.
    int sidesEnd = 0;
    int farCapEnd = 0;
    // The floor as a plane in mesh space, (0, 0, 0, 0) for none, and the
    // volume cut there when it is drawn cut (see cutVolume).
    Vector4 floorPlane;
    CutVolume cut;
    bool drawnCut = false;
    bool dirty = true;
    bool active = true;
    bool capped = false;
    bool culled = true;

    ShadowVolume();

    // Once per frame for a shadow-casting light, with the mesh's bounding box
    // (mesh space) and world matrix: takes the light into mesh space, culls
    // the volume when the light's range does not reach the box, and on any
    // change of light or matrix marks the volume dirty and works out its
    // extrusion. Leaves active and capped set for the frame. The caller has
    // already checked that the mesh casts shadows. The eye does not matter:
    // every volume is drawn capped.
    void update(const Vector3& boxMin, const Vector3& boxMax, const Matrix4& meshWorld,
                const ShadowLight& light, const Vector3& eye);
    // Rebuilds the geometry (and uploads it) when the volume is dirty or
    // force is set; otherwise only counts the build towards the next
    // silhouette refresh.
    void rebuild(const ShadowMesh& mesh, bool force);
    // Sets floorPlane; true when it changed, so that the cut is redone.
    bool setFloorPlane(const Vector4& plane);
    // Counts a build towards the next silhouette refresh without building:
    // for a volume left out of a frame because it cannot be seen.
    void countBuild();
    // Issues the volume's triangles when cappedPass matches its mode and it
    // is not culled: through the buffers, all indices in the capped pass and
    // the sides only otherwise; from client memory, all indices.
    void draw(bool cappedPass);

    // The CPU part of a rebuild (everything but taking buffer names and the
    // upload): light directions, silhouette when due, lit and unlit lists,
    // indices and vertex copies. firstBuild forces the silhouette.
    void buildGeometry(const ShadowMesh& mesh, bool firstBuild);

private:
    // GL edge: take two buffer names when buffer objects are available.
    void acquireBuffers();
    // GL edge: upload indices and vertices into the buffers, if any.
    void upload();
    // What is uploaded and drawn: the cut volume when it is drawn cut.
    const ArrayList<unsigned int>& drawnIndices() const { return drawnCut ? cut.indices : indices; }
    const ArrayList<Vector3>& drawnVertices() const { return drawnCut ? cut.vertices : vertices; }
    int drawnSidesEnd() const { return drawnCut ? cut.sidesEnd : sidesEnd; }
};

// One per model instance of a mesh: a small header, then one volume per light index.
struct MeshInstance {
    bool occluded = false;
    bool occluder = false;
    // The instance's last occlusion test and occluder, which the later
    // passes of a frame do not repeat while the buffer stays the same.
    OcclusionMemo occlusionTest;
    OcclusionMemo occluderDrawn;
    ShadowVolume volumes[kMaxShadowLights];
};

} // namespace Vantor
