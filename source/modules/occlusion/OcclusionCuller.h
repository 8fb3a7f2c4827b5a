// OcclusionCuller: a small software depth buffer that hides objects behind
// big near meshes. Each frame the buffer is cleared; occluder meshes are
// rasterised into it in write mode (each pixel keeps the nearest depth), and
// before an object is drawn its bounding box is rasterised in test mode: the
// first pixel nearer than what is stored makes the object visible. Depths are
// normalised device depths, -1 near to 1 far; a cleared pixel holds 1.
//
// The buffer's row 0 is the bottom row, as in GL window coordinates, so the
// buffer can be handed to glDrawPixels as it is. Everything here is plain CPU
// work over plain data; only drawBuffer and the *FromGL calls touch GL
// (OcclusionCullerGL.cpp). Single-threaded.
#pragma once

#include "Core/ArrayList.h"
#include "Core/HashTable.h"
#include "Core/Matrix4.h"
#include "Core/Vector3.h"
#include "modules/occlusion/OcclusionMemo.h"

namespace Vantor {

class OcclusionCuller;

// Primitive kinds accepted by submit (the GL codes of GL_TRIANGLES and GL_QUADS).
constexpr int kOcclusionTriangles = 4;
constexpr int kOcclusionQuads = 7;
// Buckets of the vertex list's hash table.
constexpr int kVertexListBuckets = 21;
// A clipped polygon has at most this many vertices; more and it is dropped.
constexpr int kMaxClipVertices = 16;
// Scan conversion takes convex polygons of this many vertices.
constexpr int kMinScanVertices = 3;
constexpr int kMaxScanVertices = 32;
// Spans whose end x minus start x reaches this use the 4-wide path.
constexpr int kVectorSpanMin = 8;
// Largest buffer side setSize accepts; larger requests are clamped.
constexpr int kMaxDepthBufferSide = 8192;
// A box is never culled while the eye lies within this many near clip
// distances of it.
constexpr float kEyeInsideNearClips = 5.0f;
// Occluder size threshold: l = (1 - kOccluderNearDistance / d) * kOccluderScale,
// clamped to [kOccluderMinDiagonal, kOccluderMaxDiagonal]; only meshes whose
// box diagonal exceeds l are rasterised.
constexpr float kOccluderNearDistance = 1000.0f;
constexpr float kOccluderScale = 4000.0f;
constexpr float kOccluderMinDiagonal = 300.0f;
constexpr float kOccluderMaxDiagonal = 600.0f;

// Outcode bits of a submitted vertex (clip coordinates against -w..w).
constexpr int kClipTop = 1;     // y > w
constexpr int kClipBottom = 2;  // y < -w
constexpr int kClipRight = 4;   // x > w
constexpr int kClipLeft = 8;    // x < -w
constexpr int kClipFar = 16;    // z > w
constexpr int kClipNear = 32;   // z < -w

// One submitted vertex, twelve 4-byte words.
struct GLVertex {
    float x = 0, y = 0, z = 0;              // object space
    float cx = 0, cy = 0, cz = 0, cw = 0;   // clip space
    float wx = 0, wy = 0, wz = 0;           // window x, y and depth
    float spare = 0;
    int outcode = 0;                        // kClip* bits
};
static_assert(sizeof(GLVertex) == 12 * 4, "GLVertex is twelve words");

// The submission buffer: filled by submit, emptied after rasterising, its
// storage kept from frame to frame.
struct GLVertexList {
    ArrayList<GLVertex> vertices;
    ArrayList<int> indices;
    // Owned for the vertex list's layout; the culler files nothing in it.
    HashTable<int> table{kVertexListBuckets};
    int kind = kOcclusionTriangles;
    OcclusionCuller* owner = nullptr;

    GLVertexList() {
        vertices.autoShrink = false;
        indices.autoShrink = false;
    }
    void clear() {
        vertices.resize(0);
        indices.resize(0);
    }
};

// width x height depths, row-major from the bottom row, plus the per-row
// left and right x tables of scan conversion. When the CPU has SSE the
// storage is 16-byte aligned and padded to whole groups of four.
//
// The buffer also knows the farthest depth of each tile of kTileSide x
// kTileSide pixels, so that a polygon that lies behind everything under it
// can be passed over without scan conversion. Whoever writes depths marks
// the pixels written (markWritten); a tile's farthest depth is worked out
// again when it is next asked for.
class DepthBuffer {
public:
    static constexpr int kTileSide = 8;

    int width = 0;
    int height = 0;
    int count = 0;
    ArrayList<int> leftX;
    ArrayList<int> rightX;
    float* values = nullptr;
    // True when values is 16-byte aligned and padded for the 4-wide path.
    bool vectorStorage = false;

    DepthBuffer();
    ~DepthBuffer();
    DepthBuffer(const DepthBuffer&) = delete;
    DepthBuffer& operator=(const DepthBuffer&) = delete;

    // (Re)allocates for w x h (each clamped to [0, kMaxDepthBufferSide]) and
    // clears. Any previous contents are lost.
    void setSize(int w, int h);
    // Every depth = 1 (far).
    void clear();

    float at(int x, int y) const { return values[y * width + x]; }

    // Pixels x0..x1 of row y (inside the buffer) may have been written.
    void markWritten(int y, int x0, int x1) {
        unsigned char* row = tileStale.data + (y / kTileSide) * tilesX;
        for (int t = x0 / kTileSide; t <= x1 / kTileSide; ++t)
            row[t] = 1;
    }
    // True when every depth in columns x0..x1 of rows y0..y1 (inside the
    // buffer) is at or nearer than z; false for a NaN z.
    bool coversAt(int x0, int y0, int x1, int y1, float z);

private:
    int tilesX = 0;
    int tilesY = 0;
    // Per tile, row-major from the bottom: the farthest depth while not stale.
    ArrayList<float> tileFarthest;
    ArrayList<unsigned char> tileStale;

    void release();
    float farthestOfTile(int tx, int ty) const;
};

class OcclusionCuller {
public:
    int width = 0;
    int height = 0;
    bool cullBackFaces = true;
    bool flipWinding = false;
    float scaleX = 0;
    float scaleY = 0;
    Matrix4 projection;
    Matrix4 modelview;
    Matrix4 inverseModelview;
    Matrix4 combined;
    float farClip = 1.0f;
    float nearClip = 0.1f;
    bool matricesDirty = true;
    int occluderPolygons = 0;
    // How often the buffer was cleared and how often an occluder was drawn
    // into it: what OcclusionMemo compares with.
    unsigned clears = 1;
    unsigned writes = 0;
    // Planes (a, b, c, d) with a x + b y + c z + d w >= 0 inside: -w <= x, y, z <= w.
    float clipPlanes[6][4];
    GLVertexList vertices;
    DepthBuffer depth;
    float minBoxSize = 0;
    float boxPadding = 0;
    bool enabled = true;
    bool testing = false;
    bool visible = false;
    // Keeps spans on the scalar loop even where the 4-wide path could run.
    bool forceScalar = false;
    // Passes over polygons, and whole test submissions, that lie behind
    // everything stored under them (see DepthBuffer::coversAt). Off, every
    // polygon is scan-converted; the buffer and the results are the same.
    bool skipHidden = true;

    OcclusionCuller();
    OcclusionCuller(const OcclusionCuller&) = delete;
    OcclusionCuller& operator=(const OcclusionCuller&) = delete;

    void setSize(int w, int h);
    void clear() {
        depth.clear();
        ++clears;
    }
    void setProjection(const Matrix4& m);
    // Also keeps the inverse, whose translation is the eye in object space.
    void setModelview(const Matrix4& m);

    // Copies vertexCount positions (xyz triples) and indexCount indices,
    // transforms the vertices and rasterises every triangle (kind
    // kOcclusionTriangles) or quad (kOcclusionQuads) of consecutive indices in
    // the current mode. Polygons with an index outside the positions and a
    // trailing partial group are skipped; other kinds draw nothing.
    void submit(const int* indices, int indexCount, const float* positions, int vertexCount, int kind);

    // Rasterises the box (min, max) as six quads in the current mode, grown by
    // extraSize (three floats, or null), boxPadding and minBoxSize; sets
    // visible at once when the eye is near the box. The result is in visible.
    void testBox(const Vector3& min, const Vector3& max, const float* extraSize = nullptr);

    // False when all eight corners of the box lie outside one and the same
    // plane of the clip volume of the given projection x modelview.
    bool frustumTest(const Vector3& min, const Vector3& max, const Matrix4& combinedMatrix) const;

    // Starts a frame: clears the buffer, takes the clip distances and the
    // projection, and resets occluderPolygons.
    void beginFrame(float nearDistance, float farDistance, const Matrix4& projectionMatrix);

    // The per-object test: true when the box (in the space of modelview) is
    // culled, by the frustum test (when withFrustumTest) or, while enabled, by
    // the depth buffer. Uses the projection given to setProjection for the
    // buffer test; projectionMatrix is used for the frustum test only.
    bool isOccluded(const Vector3& min, const Vector3& max, const Matrix4& modelviewMatrix,
                    const Matrix4& projectionMatrix, const float* extraSize, bool withFrustumTest);
    // The same test, answered from memo when it was taken with the same
    // arguments and nothing has changed since, and remembered there.
    bool isOccluded(const Vector3& min, const Vector3& max, const Matrix4& modelviewMatrix,
                    const Matrix4& projectionMatrix, const float* extraSize, bool withFrustumTest,
                    OcclusionMemo& memo);

    // Rasterises a mesh's triangles in write mode when its box is big for its
    // distance to the eye (see kOccluder*) and the culler is enabled.
    // With memo (or null), nothing is drawn when the same occluder, same box
    // and modelview, was drawn since the last clear.
    void addOccluder(const Vector3& boxMin, const Vector3& boxMax, const Matrix4& modelviewMatrix,
                     const int* indices, int indexCount, const float* positions, int vertexCount,
                     OcclusionMemo* memo = nullptr);

    // The threshold diagonal for a mesh whose box centre is at distance d from the eye.
    static float occluderThreshold(float distance);

    // GL edge. drawBuffer draws the buffer at the current raster position as
    // a width x height luminance image of floats; the others read the current
    // GL matrices and forward to the plain calls above.
    void drawBuffer() const;
    void beginFrameFromGL(float nearDistance, float farDistance);
    bool isOccludedFromGL(const Vector3& min, const Vector3& max, const float* extraSize, bool withFrustumTest,
                          OcclusionMemo* memo = nullptr);
    void addOccluderFromGL(const Vector3& boxMin, const Vector3& boxMax, const int* indices, int indexCount,
                           const float* positions, int vertexCount, OcclusionMemo* memo = nullptr);

    // True when spans of kVectorSpanMin or more run four pixels at a time.
    bool vectorSpans() const { return depth.vectorStorage && !forceScalar; }

private:
    // A vertex of a polygon being clipped and scan-converted.
    struct ClipVertex {
        float x, y, z, w;   // clip space
        float wx, wy, wz;   // window position and depth
    };

    void transformVertices();
    // True when the transformed submission lies inside the clip volume and
    // behind everything stored under its vertices' bounding rectangle: then
    // none of its polygons can show a pixel or change one.
    bool submissionHidden();
    void rasterisePolygon(const int* polygon, int n);
    // Clips the polygon of n vertices in clipA against the planes whose
    // outcode bits are in mask. Returns the clipped polygon (clipA or clipB)
    // and its vertex count in n; n is 0 when fewer than three vertices, or
    // more than kMaxClipVertices, would be left.
    ClipVertex* clipPolygon(int& n, int mask);
    void toWindow(ClipVertex& v) const;
    void scanConvert(const ClipVertex* poly, int n, bool counterClockwise);
    // One span of row y from x0 to x1 inclusive; false in test mode once a
    // nearer pixel was found (visible is then set).
    bool span(int y, int x0, int x1, float z0, float z1);
    // Pixels from..to of a span that starts at x0 with depth z0.
    bool spanScalar(float* row, int from, int to, int x0, float z0, float step);
    bool spanVector(float* row, int x0, int x1, float z0, float step);

    // Clipping scratch: the polygon goes back and forth between the two.
    ClipVertex clipA[kMaxClipVertices];
    ClipVertex clipB[kMaxClipVertices];
};

} // namespace Vantor
