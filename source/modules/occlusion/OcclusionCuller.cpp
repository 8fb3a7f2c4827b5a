// The occlusion culler's state and its per-object entry points: the depth
// buffer's storage, the matrices, submission, the box test, the frustum test
// and the occluder size threshold. Clipping and scan conversion are in
// OcclusionRaster.cpp.
#include "modules/occlusion/OcclusionCuller.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "modules/occlusion/OcclusionSimd.h"

namespace Vantor {

namespace {

constexpr int kVectorWidth = 4;
constexpr std::size_t kVectorAlignment = 16;
constexpr float kClearedDepth = 1.0f;

// The eight corners of a box are numbered as in testBox; these six quads are
// its faces, counter-clockwise seen from outside.
constexpr int kBoxCorners = 8;
constexpr int kBoxFaceIndices = 24;
constexpr int kBoxFaces[kBoxFaceIndices] = {0, 1, 2, 3, 7, 6, 5, 4, 5, 6, 2, 1,
                                            0, 3, 7, 4, 4, 5, 1, 0, 3, 2, 6, 7};

// Outcode bits of frustumTest (a different assignment from the submission's).
constexpr int kFrustumRight = 1;   // x > w
constexpr int kFrustumLeft = 2;    // x < -w
constexpr int kFrustumTop = 4;     // y > w
constexpr int kFrustumBottom = 8;  // y < -w
constexpr int kFrustumFar = 16;    // z > w
constexpr int kFrustumNear = 32;   // z < -w

int clampSide(int side) {
    if (side < 0)
        return 0;
    return side > kMaxDepthBufferSide ? kMaxDepthBufferSide : side;
}

} // namespace

DepthBuffer::DepthBuffer() {
    leftX.autoShrink = false;
    rightX.autoShrink = false;
}

DepthBuffer::~DepthBuffer() { release(); }

void DepthBuffer::release() {
    std::free(values);
    values = nullptr;
    vectorStorage = false;
}

void DepthBuffer::setSize(int w, int h) {
    release();
    width = clampSide(w);
    height = clampSide(h);
    count = width * height;
    leftX.resize(unsigned(height));
    rightX.resize(unsigned(height));
    tilesX = (width + kTileSide - 1) / kTileSide;
    tilesY = (height + kTileSide - 1) / kTileSide;
    tileFarthest.resize(unsigned(tilesX * tilesY));
    tileStale.resize(unsigned(tilesX * tilesY));
    if (count == 0)
        return;
    const bool sse = VANTOR_OCCLUSION_SSE && (cpuCapabilities() & kCpuHasSse) != 0;
    if (sse) {
        // Whole groups of four, so clear never needs a scalar tail.
        const std::size_t groups = (std::size_t(count) + kVectorWidth - 1) / kVectorWidth;
        values = static_cast<float*>(std::aligned_alloc(kVectorAlignment, groups * kVectorAlignment));
        vectorStorage = true;
    } else {
        values = static_cast<float*>(std::malloc(std::size_t(count) * sizeof(float)));
    }
    if (!values)
        throw std::bad_alloc();
    clear();
}

void DepthBuffer::clear() {
    if (!values)
        return;
    for (float& farthest : tileFarthest)
        farthest = kClearedDepth;
    for (unsigned char& stale : tileStale)
        stale = 0;
#if VANTOR_OCCLUSION_SSE
    if (vectorStorage) {
        const __m128 cleared = _mm_set1_ps(kClearedDepth);
        for (int i = 0; i < count; i += kVectorWidth)
            _mm_store_ps(values + i, cleared);
        return;
    }
#endif
    for (int i = 0; i < count; ++i)
        values[i] = kClearedDepth;
}

float DepthBuffer::farthestOfTile(int tx, int ty) const {
    const int x0 = tx * kTileSide;
    const int x1 = x0 + kTileSide < width ? x0 + kTileSide : width;
    const int y0 = ty * kTileSide;
    const int y1 = y0 + kTileSide < height ? y0 + kTileSide : height;
    float farthest = values[y0 * width + x0];
    for (int y = y0; y < y1; ++y) {
        const float* row = values + y * width;
        for (int x = x0; x < x1; ++x)
            farthest = row[x] > farthest ? row[x] : farthest;
    }
    return farthest;
}

bool DepthBuffer::coversAt(int x0, int y0, int x1, int y1, float z) {
    for (int ty = y0 / kTileSide; ty <= y1 / kTileSide; ++ty) {
        for (int tx = x0 / kTileSide; tx <= x1 / kTileSide; ++tx) {
            const int tile = ty * tilesX + tx;
            if (tileStale.data[tile]) {
                tileFarthest.data[tile] = farthestOfTile(tx, ty);
                tileStale.data[tile] = 0;
            }
            if (!(tileFarthest.data[tile] <= z))
                return false;
        }
    }
    return true;
}

OcclusionCuller::OcclusionCuller() {
    static const float planes[6][4] = {{1, 0, 0, 1},  {-1, 0, 0, 1}, {0, 1, 0, 1},
                                       {0, -1, 0, 1}, {0, 0, 1, 1},  {0, 0, -1, 1}};
    for (int p = 0; p < 6; ++p)
        for (int k = 0; k < 4; ++k)
            clipPlanes[p][k] = planes[p][k];
    vertices.owner = this;
}

void OcclusionCuller::setSize(int w, int h) {
    depth.setSize(w, h);
    ++clears;
    width = depth.width;
    height = depth.height;
}

void OcclusionCuller::setProjection(const Matrix4& m) {
    projection = m;
    ++writes;
    matricesDirty = true;
}

void OcclusionCuller::setModelview(const Matrix4& m) {
    // Scenes hand over the same view for many objects in a row; then the
    // inverse and the combined matrix are still the ones it needs.
    if (std::memcmp(m.m, modelview.m, sizeof modelview.m) == 0)
        return;
    modelview = m;
    inverseModelview = m;
    inverseModelview.inverse();
    matricesDirty = true;
}

void OcclusionCuller::beginFrame(float nearDistance, float farDistance, const Matrix4& projectionMatrix) {
    clear();
    farClip = farDistance;
    nearClip = nearDistance;
    occluderPolygons = 0;
    setProjection(projectionMatrix);
}

void OcclusionCuller::submit(const int* indices, int indexCount, const float* positions, int vertexCount,
                             int kind) {
    const int perPolygon = kind == kOcclusionTriangles ? 3 : kind == kOcclusionQuads ? 4 : 0;
    if (!enabled || perPolygon == 0 || !indices || !positions || indexCount < perPolygon || vertexCount <= 0)
        return;
    if (testing && visible)
        return;

    GLVertexList& list = vertices;
    list.kind = kind;
    list.vertices.resize(unsigned(vertexCount));
    for (int i = 0; i < vertexCount; ++i) {
        GLVertex& v = list.vertices[unsigned(i)];
        v.x = positions[3 * i];
        v.y = positions[3 * i + 1];
        v.z = positions[3 * i + 2];
    }
    list.indices.resize(unsigned(indexCount));
    for (int i = 0; i < indexCount; ++i)
        list.indices[unsigned(i)] = indices[i];

    transformVertices();
    if (testing && skipHidden && submissionHidden())
        return list.clear();

    const int polygons = indexCount / perPolygon;
    for (int p = 0; p < polygons; ++p) {
        const int* polygon = list.indices.data + p * perPolygon;
        bool valid = true;
        for (int k = 0; k < perPolygon; ++k)
            valid = valid && polygon[k] >= 0 && polygon[k] < vertexCount;
        if (valid)
            rasterisePolygon(polygon, perPolygon);
        if (testing && visible)
            break;
    }
    list.clear();
}

void OcclusionCuller::testBox(const Vector3& min, const Vector3& max, const float* extraSize) {
    Vector3 lo = min, hi = max;
    if (extraSize) {
        const Vector3 half(extraSize[0] / 2, extraSize[1] / 2, extraSize[2] / 2);
        lo -= half;
        hi += half;
    }
    if (boxPadding > 0) {
        const float half = boxPadding / 2;
        lo -= Vector3(half, half, half);
        hi += Vector3(half, half, half);
    }
    if (minBoxSize > 0) {
        float* los[3] = {&lo.x, &lo.y, &lo.z};
        float* his[3] = {&hi.x, &hi.y, &hi.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (*his[axis] - *los[axis] < minBoxSize) {
                const float centre = (*los[axis] + *his[axis]) / 2;
                *los[axis] = centre - minBoxSize / 2;
                *his[axis] = centre + minBoxSize / 2;
            }
        }
    }

    // A box around the eye would be clipped by the near plane into something
    // with holes; call it visible instead.
    const Vector3 eye(inverseModelview.m[12], inverseModelview.m[13], inverseModelview.m[14]);
    const float grow = kEyeInsideNearClips * nearClip;
    if (eye.x >= min.x - grow && eye.x <= max.x + grow && eye.y >= min.y - grow && eye.y <= max.y + grow &&
        eye.z >= min.z - grow && eye.z <= max.z + grow) {
        visible = true;
        return;
    }

    const float corners[kBoxCorners * 3] = {lo.x, lo.y, lo.z, hi.x, lo.y, lo.z, hi.x, lo.y, hi.z,
                                            lo.x, lo.y, hi.z, lo.x, hi.y, lo.z, hi.x, hi.y, lo.z,
                                            hi.x, hi.y, hi.z, lo.x, hi.y, hi.z};
    submit(kBoxFaces, kBoxFaceIndices, corners, kBoxCorners, kOcclusionQuads);
}

bool OcclusionCuller::frustumTest(const Vector3& min, const Vector3& max, const Matrix4& combinedMatrix) const {
    const float* m = combinedMatrix.m;
    int allOutside = kFrustumRight | kFrustumLeft | kFrustumTop | kFrustumBottom | kFrustumFar | kFrustumNear;
    for (int corner = 0; corner < kBoxCorners; ++corner) {
        const float x = (corner & 1) ? max.x : min.x;
        const float y = (corner & 2) ? max.y : min.y;
        const float z = (corner & 4) ? max.z : min.z;
        const float cx = m[0] * x + m[4] * y + m[8] * z + m[12];
        const float cy = m[1] * x + m[5] * y + m[9] * z + m[13];
        const float cz = m[2] * x + m[6] * y + m[10] * z + m[14];
        const float cw = m[3] * x + m[7] * y + m[11] * z + m[15];
        int code = 0;
        if (cx > cw)
            code |= kFrustumRight;
        if (cx < -cw)
            code |= kFrustumLeft;
        if (cy > cw)
            code |= kFrustumTop;
        if (cy < -cw)
            code |= kFrustumBottom;
        if (cz > cw)
            code |= kFrustumFar;
        if (cz < -cw)
            code |= kFrustumNear;
        if (code == 0)
            return true;
        allOutside &= code;
    }
    return allOutside == 0;
}

bool OcclusionCuller::isOccluded(const Vector3& min, const Vector3& max, const Matrix4& modelviewMatrix,
                                 const Matrix4& projectionMatrix, const float* extraSize, bool withFrustumTest) {
    if (withFrustumTest && !frustumTest(min, max, projectionMatrix * modelviewMatrix))
        return true;
    setModelview(modelviewMatrix);
    testing = true;
    visible = false;
    testBox(min, max, extraSize);
    testing = false;
    return enabled && !visible;
}

namespace {

bool sameTaking(const OcclusionMemo& memo, const Vector3& min, const Vector3& max, const Matrix4& modelviewMatrix) {
    return std::memcmp(memo.modelview.m, modelviewMatrix.m, sizeof memo.modelview.m) == 0 &&
           memo.boxMin.x == min.x && memo.boxMin.y == min.y && memo.boxMin.z == min.z && memo.boxMax.x == max.x &&
           memo.boxMax.y == max.y && memo.boxMax.z == max.z;
}

void take(OcclusionMemo& memo, unsigned clears, unsigned writes, const Vector3& min, const Vector3& max,
          const Matrix4& modelviewMatrix) {
    memo.clears = clears;
    memo.writes = writes;
    memo.boxMin = min;
    memo.boxMax = max;
    memo.modelview = modelviewMatrix;
}

} // namespace

bool OcclusionCuller::isOccluded(const Vector3& min, const Vector3& max, const Matrix4& modelviewMatrix,
                                 const Matrix4& projectionMatrix, const float* extraSize, bool withFrustumTest,
                                 OcclusionMemo& memo) {
    const Vector3 extra = extraSize ? Vector3(extraSize[0], extraSize[1], extraSize[2]) : Vector3();
    const bool sameFrustum =
        memo.frustumTest == withFrustumTest &&
        (!withFrustumTest || std::memcmp(memo.projection.m, projectionMatrix.m, sizeof memo.projection.m) == 0);
    if (enabled && memo.clears == clears && memo.writes == writes && sameTaking(memo, min, max, modelviewMatrix) &&
        memo.extraSize.x == extra.x && memo.extraSize.y == extra.y && memo.extraSize.z == extra.z && sameFrustum)
        return memo.occluded;
    const bool occluded = isOccluded(min, max, modelviewMatrix, projectionMatrix, extraSize, withFrustumTest);
    // A disabled culler hides nothing, whatever the buffer holds.
    if (enabled) {
        take(memo, clears, writes, min, max, modelviewMatrix);
        memo.extraSize = extra;
        memo.frustumTest = withFrustumTest;
        memo.projection = projectionMatrix;
        memo.occluded = occluded;
    }
    return occluded;
}

float OcclusionCuller::occluderThreshold(float distance) {
    const float l = distance > 0 ? (1 - kOccluderNearDistance / distance) * kOccluderScale : kOccluderMinDiagonal;
    if (l < kOccluderMinDiagonal)
        return kOccluderMinDiagonal;
    return l > kOccluderMaxDiagonal ? kOccluderMaxDiagonal : l;
}

void OcclusionCuller::addOccluder(const Vector3& boxMin, const Vector3& boxMax, const Matrix4& modelviewMatrix,
                                  const int* indices, int indexCount, const float* positions, int vertexCount,
                                  OcclusionMemo* memo) {
    if (memo && memo->clears == clears && sameTaking(*memo, boxMin, boxMax, modelviewMatrix))
        return;
    Vector3 centre = (boxMin + boxMax) * 0.5f;
    modelviewMatrix.transformPoint(centre);
    const float diagonal = (boxMax - boxMin).length();
    if (!(diagonal > occluderThreshold(centre.length())))
        return;
    setModelview(modelviewMatrix);
    if (!enabled)
        return;
    const bool wasTesting = testing;
    testing = false;
    submit(indices, indexCount, positions, vertexCount, kOcclusionTriangles);
    testing = wasTesting;
    ++writes;
    if (memo)
        take(*memo, clears, writes, boxMin, boxMax, modelviewMatrix);
}

} // namespace Vantor
