// The culler's polygon pipeline: vertex transform and outcodes, homogeneous
// clipping, window mapping, orientation, scan conversion of convex polygons
// and the depth spans, scalar and four pixels at a time.
//
// Both span paths compute a pixel's depth as z0 + step * (x - x0), one
// multiply then one add in single precision, and compare or keep the minimum
// the same way, so they leave identical buffers and identical test results.
// The library is built without floating-point contraction to keep it so.
#include "modules/occlusion/OcclusionCuller.h"

#include <climits>
#include <cstdint>

#include "modules/occlusion/OcclusionSimd.h"

namespace Vantor {

namespace {

constexpr int kClipPlaneCount = 6;
// The submission outcode bit that says a vertex is outside clipPlanes[p].
constexpr int kPlaneOutcode[kClipPlaneCount] = {kClipLeft, kClipRight, kClipBottom, kClipTop, kClipNear, kClipFar};
constexpr std::uintptr_t kVectorAlignMask = 15;
constexpr int kVectorLanes = 4;
// More than the rounding of the depth interpolation can take a pixel's depth
// below the nearest vertex depth of its polygon.
constexpr float kDepthRoundingSlack = 1e-5f;

// Nearest integer of a non-negative value, halves rounded up.
int roundPixel(float v) { return int(v + 0.5f); }

// Clamps to [lo, hi]; NaN (from degenerate input) becomes lo.
float clampFloat(float v, float lo, float hi) { return !(v >= lo) ? lo : (v > hi ? hi : v); }

// floor(a / b) for b > 0.
int floorDiv(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// A vertex row of one chain: its pixel row, x and depth.
struct ChainKey {
    int row;
    int x;
    float z;
};

// Stores the x of every row of the edge (x0, y0)-(x1, y1) into table:
// the minimum of what is there for a left chain, the maximum for a right
// one, so that a horizontal edge contributes its outer end. Rows are walked
// bottom-up; x(y) is x0 + (x1 - x0)(y - y0)/(y1 - y0) rounded to nearest,
// kept incrementally with an integer error term.
void walkEdge(int x0, int y0, int x1, int y1, int* table, bool left) {
    if (y0 > y1) {
        int t = x0;
        x0 = x1;
        x1 = t;
        t = y0;
        y0 = y1;
        y1 = t;
    }
    const auto store = [table, left](int y, int x) {
        if (left ? x < table[y] : x > table[y])
            table[y] = x;
    };
    if (y0 == y1) {
        store(y0, x0);
        store(y0, x1);
        return;
    }
    const int twoDy = 2 * (y1 - y0);
    const int twoDx = 2 * (x1 - x0);
    const int whole = floorDiv(twoDx, twoDy);
    const int rest = twoDx - whole * twoDy;   // in [0, twoDy)
    int x = x0;
    int error = y1 - y0;                      // the half for rounding to nearest
    for (int y = y0; y <= y1; ++y) {
        store(y, x);
        x += whole;
        error += rest;
        if (error >= twoDy) {
            error -= twoDy;
            ++x;
        }
    }
}

// The chain's vertex rows, bottom-up, one key per row: of several vertices on
// one row the outermost (smallest x on the left chain, largest on the right).
int chainKeys(const int* chain, int length, const int* px, const int* py, const float* pz, bool left,
              ChainKey* keys) {
    int count = 0;
    for (int k = 0; k < length; ++k) {
        const int v = chain[k];
        if (count == 0 || py[v] > keys[count - 1].row) {
            keys[count++] = ChainKey{py[v], px[v], pz[v]};
        } else if (py[v] == keys[count - 1].row && (left ? px[v] < keys[count - 1].x : px[v] > keys[count - 1].x)) {
            keys[count - 1] = ChainKey{py[v], px[v], pz[v]};
        }
    }
    return count;
}

// The chain's depth at row y, linear between its keys; cursor only moves up,
// so successive calls must ask for rising rows.
float chainDepth(const ChainKey* keys, int count, int& cursor, int y) {
    while (cursor + 1 < count && keys[cursor + 1].row <= y)
        ++cursor;
    const ChainKey& a = keys[cursor];
    if (cursor + 1 >= count || y <= a.row)
        return a.z;
    const ChainKey& b = keys[cursor + 1];
    return a.z + (b.z - a.z) * float(y - a.row) / float(b.row - a.row);
}

} // namespace

void OcclusionCuller::transformVertices() {
    if (matricesDirty) {
        Matrix4::multiply(projection, modelview, combined);
        matricesDirty = false;
    }
    const float* m = combined.m;
    for (GLVertex& v : vertices.vertices) {
        v.cx = m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12];
        v.cy = m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13];
        v.cz = m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14];
        v.cw = m[3] * v.x + m[7] * v.y + m[11] * v.z + m[15];
        int code = 0;
        if (v.cy > v.cw)
            code |= kClipTop;
        if (v.cy < -v.cw)
            code |= kClipBottom;
        if (v.cx > v.cw)
            code |= kClipRight;
        if (v.cx < -v.cw)
            code |= kClipLeft;
        if (v.cz > v.cw)
            code |= kClipFar;
        if (v.cz < -v.cw)
            code |= kClipNear;
        v.outcode = code;
        if (code == 0 && v.cw > 0) {
            v.wx = (v.cx / v.cw + 1) * scaleX;
            v.wy = (v.cy / v.cw + 1) * scaleY;
            v.wz = v.cz / v.cw;
        }
    }
}

bool OcclusionCuller::submissionHidden() {
    const GLVertexList& list = vertices;
    if (depth.count == 0 || list.vertices.size == 0)
        return false;
    const float maxX = float(depth.width - 1);
    const float maxY = float(depth.height - 1);
    int minPixelX = INT_MAX, maxPixelX = INT_MIN, minPixelY = INT_MAX, maxPixelY = INT_MIN;
    float nearest = list.vertices.data[0].wz;
    for (const GLVertex& v : list.vertices) {
        // A vertex outside the clip volume makes clipped polygons, whose
        // corners are not among these.
        if (v.outcode != 0 || !(v.cw > 0))
            return false;
        const int x = roundPixel(clampFloat(v.wx, 0, maxX));
        const int y = roundPixel(clampFloat(v.wy, 0, maxY));
        minPixelX = x < minPixelX ? x : minPixelX;
        maxPixelX = x > maxPixelX ? x : maxPixelX;
        minPixelY = y < minPixelY ? y : minPixelY;
        maxPixelY = y > maxPixelY ? y : maxPixelY;
        nearest = v.wz < nearest ? v.wz : nearest;
    }
    return depth.coversAt(minPixelX, minPixelY, maxPixelX, maxPixelY, nearest - kDepthRoundingSlack);
}

void OcclusionCuller::toWindow(ClipVertex& v) const {
    v.wx = (v.x / v.w + 1) * scaleX;
    v.wy = (v.y / v.w + 1) * scaleY;
    v.wz = v.z / v.w;
}

OcclusionCuller::ClipVertex* OcclusionCuller::clipPolygon(int& n, int mask) {
    ClipVertex* in = clipA;
    ClipVertex* out = clipB;
    for (int p = 0; p < kClipPlaneCount; ++p) {
        if ((mask & kPlaneOutcode[p]) == 0)
            continue;
        const float* plane = clipPlanes[p];
        const auto distance = [plane](const ClipVertex& v) {
            return plane[0] * v.x + plane[1] * v.y + plane[2] * v.z + plane[3] * v.w;
        };
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const ClipVertex& a = in[i];
            const ClipVertex& b = in[i + 1 == n ? 0 : i + 1];
            const float da = distance(a);
            const float db = distance(b);
            if (da >= 0) {
                if (m == kMaxClipVertices) {
                    n = 0;
                    return in;
                }
                out[m++] = a;
            }
            if ((da >= 0) != (db >= 0)) {
                if (m == kMaxClipVertices) {
                    n = 0;
                    return in;
                }
                // Always from the inside end, so that an edge shared by two
                // polygons is cut at the same point in both.
                const ClipVertex& inside = da >= 0 ? a : b;
                const ClipVertex& outside = da >= 0 ? b : a;
                const float dIn = da >= 0 ? da : db;
                const float dOut = da >= 0 ? db : da;
                const float t = dIn / (dIn - dOut);
                ClipVertex& c = out[m++];
                c.x = inside.x + t * (outside.x - inside.x);
                c.y = inside.y + t * (outside.y - inside.y);
                c.z = inside.z + t * (outside.z - inside.z);
                c.w = inside.w + t * (outside.w - inside.w);
            }
        }
        n = m;
        if (n < kMinScanVertices) {
            n = 0;
            return out;
        }
        ClipVertex* held = in;
        in = out;
        out = held;
    }
    return in;
}

void OcclusionCuller::rasterisePolygon(const int* polygon, int n) {
    if (!enabled)
        return;
    if (testing) {
        if (visible)
            return;
    } else {
        ++occluderPolygons;
    }
    if (depth.count == 0)
        return;

    const GLVertex* source = vertices.vertices.data;
    int allOutside = kClipTop | kClipBottom | kClipRight | kClipLeft | kClipFar | kClipNear;
    int anyOutside = 0;
    for (int i = 0; i < n; ++i) {
        allOutside &= source[polygon[i]].outcode;
        anyOutside |= source[polygon[i]].outcode;
    }
    if (allOutside != 0)
        return;

    for (int i = 0; i < n; ++i) {
        const GLVertex& g = source[polygon[i]];
        clipA[i] = ClipVertex{g.cx, g.cy, g.cz, g.cw, g.wx, g.wy, g.wz};
    }
    ClipVertex* poly = clipA;
    int count = n;
    if (anyOutside != 0) {
        poly = clipPolygon(count, anyOutside);
        if (count < kMinScanVertices)
            return;
        for (int i = 0; i < count; ++i)
            toWindow(poly[i]);
    }
    // Inside every plane with w <= 0 means clip (0, 0, 0, 0), which only a
    // degenerate matrix or input gives; such a vertex has no window position.
    for (int i = 0; i < count; ++i)
        if (!(poly[i].w > 0))
            return;

    ClipVertex* window = poly;
    const float maxX = float(depth.width - 1);
    const float maxY = float(depth.height - 1);
    for (int i = 0; i < count; ++i) {
        window[i].wx = clampFloat(window[i].wx, 0, maxX);
        window[i].wy = clampFloat(window[i].wy, 0, maxY);
    }

    float twiceArea = 0;
    for (int i = 0; i < count; ++i) {
        const ClipVertex& a = window[i];
        const ClipVertex& b = window[i + 1 == count ? 0 : i + 1];
        twiceArea += a.wx * b.wy - b.wx * a.wy;
    }
    const bool backFacing = (twiceArea < 0) != flipWinding;
    if (cullBackFaces && backFacing)
        return;
    if (count < kMinScanVertices || count > kMaxScanVertices)
        return;
    scanConvert(window, count, twiceArea >= 0);
}

// Scan conversion of a convex polygon in window coordinates. The vertices
// are ordered by y to find the bottom and top vertex and the rows where a
// run of rows ends; the edges from the bottom vertex forwards to the top one
// form one chain, the rest (walked backwards) the other, and the winding
// says which is on the left. Each run of rows steps both chain depths
// linearly; every row gets one span.
void OcclusionCuller::scanConvert(const ClipVertex* poly, int n, bool counterClockwise) {
    if (n < kMinScanVertices || n > kMaxScanVertices)
        return;
    int px[kMaxScanVertices], py[kMaxScanVertices];
    float pz[kMaxScanVertices];
    for (int i = 0; i < n; ++i) {
        px[i] = roundPixel(poly[i].wx);
        py[i] = roundPixel(poly[i].wy);
        pz[i] = poly[i].wz;
    }

    // Every pixel lies within the vertices' bounding rectangle and no nearer
    // than the nearest vertex: when everything stored there is at least as
    // near, the polygon shows nothing (test mode) and changes nothing.
    int minX = px[0], maxX = px[0], minY = py[0], maxY = py[0];
    float nearest = pz[0];
    for (int i = 1; i < n; ++i) {
        minX = px[i] < minX ? px[i] : minX;
        maxX = px[i] > maxX ? px[i] : maxX;
        minY = py[i] < minY ? py[i] : minY;
        maxY = py[i] > maxY ? py[i] : maxY;
        nearest = pz[i] < nearest ? pz[i] : nearest;
    }
    if (skipHidden && depth.coversAt(minX, minY, maxX, maxY, nearest - kDepthRoundingSlack))
        return;

    // Selection sort by window y, the keys moving with the order.
    int order[kMaxScanVertices];
    float key[kMaxScanVertices];
    for (int i = 0; i < n; ++i) {
        order[i] = i;
        key[i] = poly[i].wy;
    }
    for (int i = 0; i + 1 < n; ++i) {
        int lowest = i;
        for (int j = i + 1; j < n; ++j)
            lowest = key[j] < key[lowest] ? j : lowest;
        const int held = order[i];
        order[i] = order[lowest];
        order[lowest] = held;
        const float heldKey = key[i];
        key[i] = key[lowest];
        key[lowest] = heldKey;
    }
    const int first = order[0];
    const int last = order[n - 1];
    const int bottom = py[first];
    const int top = py[last];

    // Both chains run from the bottom vertex to the top one.
    int forward[kMaxScanVertices + 1], backward[kMaxScanVertices + 1];
    int forwardLength = 0, backwardLength = 0;
    for (int v = first;; v = v + 1 == n ? 0 : v + 1) {
        forward[forwardLength++] = v;
        if (v == last)
            break;
    }
    for (int v = first;; v = v == 0 ? n - 1 : v - 1) {
        backward[backwardLength++] = v;
        if (v == last)
            break;
    }
    // Counter-clockwise (y up), the forward chain leaves the bottom vertex
    // to the right.
    const int* leftChain = counterClockwise ? backward : forward;
    const int leftLength = counterClockwise ? backwardLength : forwardLength;
    const int* rightChain = counterClockwise ? forward : backward;
    const int rightLength = counterClockwise ? forwardLength : backwardLength;

    int* leftX = depth.leftX.data;
    int* rightX = depth.rightX.data;
    for (int y = bottom; y <= top; ++y) {
        leftX[y] = INT_MAX;
        rightX[y] = INT_MIN;
    }
    for (int k = 0; k + 1 < leftLength; ++k)
        walkEdge(px[leftChain[k]], py[leftChain[k]], px[leftChain[k + 1]], py[leftChain[k + 1]], leftX, true);
    for (int k = 0; k + 1 < rightLength; ++k)
        walkEdge(px[rightChain[k]], py[rightChain[k]], px[rightChain[k + 1]], py[rightChain[k + 1]], rightX,
                 false);

    ChainKey leftKeys[kMaxScanVertices + 1], rightKeys[kMaxScanVertices + 1];
    const int leftKeyCount = chainKeys(leftChain, leftLength, px, py, pz, true, leftKeys);
    const int rightKeyCount = chainKeys(rightChain, rightLength, px, py, pz, false, rightKeys);

    int leftCursor = 0, rightCursor = 0;
    float leftZ = chainDepth(leftKeys, leftKeyCount, leftCursor, bottom);
    float rightZ = chainDepth(rightKeys, rightKeyCount, rightCursor, bottom);
    int runStart = bottom;
    for (int k = 1; k < n; ++k) {
        const int runEnd = py[order[k]];
        if (runEnd <= runStart)
            continue;
        const float leftEnd = chainDepth(leftKeys, leftKeyCount, leftCursor, runEnd);
        const float rightEnd = chainDepth(rightKeys, rightKeyCount, rightCursor, runEnd);
        const float rows = float(runEnd - runStart);
        const float leftStep = (leftEnd - leftZ) / rows;
        const float rightStep = (rightEnd - rightZ) / rows;
        for (int y = runStart; y < runEnd; ++y) {
            const float t = float(y - runStart);
            if (!span(y, leftX[y], rightX[y], leftZ + leftStep * t, rightZ + rightStep * t))
                return;
        }
        leftZ = leftEnd;
        rightZ = rightEnd;
        runStart = runEnd;
    }
    span(top, leftX[top], rightX[top], leftZ, rightZ);
}

__attribute__((always_inline)) inline bool OcclusionCuller::span(int y, int x0, int x1, float z0, float z1) {
    if (x0 < 0)
        x0 = 0;
    if (x1 > depth.width - 1)
        x1 = depth.width - 1;
    if (x0 > x1)
        return true;
    const float step = (z1 - z0) / float(x1 - x0 + 1);
    float* row = depth.values + y * depth.width;
    if (!testing)
        depth.markWritten(y, x0, x1);
    if (vectorSpans() && x1 - x0 >= kVectorSpanMin)
        return spanVector(row, x0, x1, z0, step);
    return spanScalar(row, x0, x1, x0, z0, step);
}

__attribute__((always_inline)) inline bool OcclusionCuller::spanScalar(float* row, int from, int to, int x0, float z0, float step) {
    if (testing) {
        for (int x = from; x <= to; ++x) {
            if (z0 + step * float(x - x0) < row[x]) {
                visible = true;
                return false;
            }
        }
        return true;
    }
    for (int x = from; x <= to; ++x) {
        const float z = z0 + step * float(x - x0);
        if (z < row[x])
            row[x] = z;
    }
    return true;
}

#if VANTOR_OCCLUSION_SSE
// Scalar pixels up to the first 16-byte boundary, then aligned groups of
// four, then scalar pixels to the end. _mm_min_ps(z, stored) yields z only
// where z < stored, exactly as the scalar loop does.
bool OcclusionCuller::spanVector(float* row, int x0, int x1, float z0, float step) {
    const int misaligned = int((reinterpret_cast<std::uintptr_t>(row + x0) & kVectorAlignMask) / sizeof(float));
    int x = x0 + ((kVectorLanes - misaligned) & (kVectorLanes - 1));
    if (x > x0 && !spanScalar(row, x0, x - 1, x0, z0, step))
        return false;
    const __m128 base = _mm_set1_ps(z0);
    const __m128 delta = _mm_set1_ps(step);
    const __m128 lanes = _mm_set1_ps(float(kVectorLanes));
    const float offset = float(x - x0);
    __m128 offsets = _mm_setr_ps(offset, offset + 1, offset + 2, offset + 3);
    if (testing) {
        for (; x + kVectorLanes - 1 <= x1; x += kVectorLanes) {
            const __m128 z = _mm_add_ps(base, _mm_mul_ps(delta, offsets));
            if (_mm_movemask_ps(_mm_cmplt_ps(z, _mm_load_ps(row + x))) != 0) {
                visible = true;
                return false;
            }
            offsets = _mm_add_ps(offsets, lanes);
        }
    } else {
        for (; x + kVectorLanes - 1 <= x1; x += kVectorLanes) {
            const __m128 z = _mm_add_ps(base, _mm_mul_ps(delta, offsets));
            _mm_store_ps(row + x, _mm_min_ps(z, _mm_load_ps(row + x)));
            offsets = _mm_add_ps(offsets, lanes);
        }
    }
    if (x <= x1)
        return spanScalar(row, x, x1, x0, z0, step);
    return true;
}
#else
bool OcclusionCuller::spanVector(float* row, int x0, int x1, float z0, float step) {
    return spanScalar(row, x0, x1, x0, z0, step);
}
#endif

} // namespace Vantor
