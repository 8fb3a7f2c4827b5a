// Math shared by tests and benchmarks: view and projection matrices as the
// fixed-function helpers build them, the window pixel a world point lands
// on, axis-aligned boxes with a segment test and a closed triangle mesh, and
// a seeded random generator that gives the same numbers everywhere.
//
// Header-only and free of GL and GoogleTest, so that benchmarks can include
// it by relative path.
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector3.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace Vantor::test {

// The view matrix looking from eye at target with up roughly up.
inline Matrix4 lookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
    Vector3 f = target - eye;
    f.normalize();
    Vector3 s = cross(f, up);
    s.normalize();
    const Vector3 u = cross(s, f);
    Matrix4 m;
    m.m[0] = s.x, m.m[4] = s.y, m.m[8] = s.z;
    m.m[1] = u.x, m.m[5] = u.y, m.m[9] = u.z;
    m.m[2] = -f.x, m.m[6] = -f.y, m.m[10] = -f.z;
    m.m[12] = -dot(s, eye);
    m.m[13] = -dot(u, eye);
    m.m[14] = dot(f, eye);
    return m;
}

// The projection a symmetric perspective with this vertical field of view
// (degrees) and aspect builds, as gluPerspective does.
inline Matrix4 perspective(double fovyDegrees, double aspect, double nearDistance, double farDistance) {
    constexpr double pi = 3.14159265358979323846;
    const double f = 1.0 / std::tan(fovyDegrees * pi / 360.0);
    Matrix4 m;
    m.m[0] = float(f / aspect);
    m.m[5] = float(f);
    m.m[10] = float((farDistance + nearDistance) / (nearDistance - farDistance));
    m.m[11] = -1;
    m.m[14] = float(2 * farDistance * nearDistance / (nearDistance - farDistance));
    m.m[15] = 0;
    return m;
}

// The projection glFrustum builds for these clip planes.
inline Matrix4 frustum(double left, double right, double bottom, double top, double nearDistance,
                       double farDistance) {
    Matrix4 m;
    m.m[0] = float(2 * nearDistance / (right - left));
    m.m[5] = float(2 * nearDistance / (top - bottom));
    m.m[8] = float((right + left) / (right - left));
    m.m[9] = float((top + bottom) / (top - bottom));
    m.m[10] = float((farDistance + nearDistance) / (nearDistance - farDistance));
    m.m[11] = -1;
    m.m[14] = float(2 * farDistance * nearDistance / (nearDistance - farDistance));
    m.m[15] = 0;
    return m;
}

// The window pixel (px, py), origin at the bottom-left, where world point p
// lands through view and then projection in a width x height viewport.
// False when p lies on or behind the eye's plane (px and py are left as
// they were) or outside the viewport.
inline bool worldToPixel(const Matrix4& projection, const Matrix4& view, const Vector3& p, int width,
                         int height, int& px, int& py) {
    const float* v = view.m;
    const float ex = v[0] * p.x + v[4] * p.y + v[8] * p.z + v[12];
    const float ey = v[1] * p.x + v[5] * p.y + v[9] * p.z + v[13];
    const float ez = v[2] * p.x + v[6] * p.y + v[10] * p.z + v[14];
    const float* m = projection.m;
    const float x = m[0] * ex + m[4] * ey + m[8] * ez + m[12];
    const float y = m[1] * ex + m[5] * ey + m[9] * ez + m[13];
    const float w = m[3] * ex + m[7] * ey + m[11] * ez + m[15];
    if (!(w > 0))
        return false;
    px = int(std::floor((x / w + 1) * 0.5f * float(width)));
    py = int(std::floor((y / w + 1) * 0.5f * float(height)));
    return px >= 0 && px < width && py >= 0 && py < height;
}

// An axis-aligned box.
struct Box {
    Vector3 min;
    Vector3 max;
};

// True when the segment from a to b meets the box (slab test).
inline bool segmentHitsBox(const Vector3& a, const Vector3& b, const Box& box) {
    // Below this, the segment runs parallel to an axis's slabs.
    constexpr float parallel = 1e-6f;
    float t0 = 0.0f, t1 = 1.0f;
    const float from[3] = {a.x, a.y, a.z}, to[3] = {b.x, b.y, b.z};
    const float lo[3] = {box.min.x, box.min.y, box.min.z}, hi[3] = {box.max.x, box.max.y, box.max.z};
    for (int i = 0; i < 3; ++i) {
        const float d = to[i] - from[i];
        if (std::fabs(d) < parallel) {
            if (from[i] < lo[i] || from[i] > hi[i])
                return false;
            continue;
        }
        float enter = (lo[i] - from[i]) / d, leave = (hi[i] - from[i]) / d;
        if (enter > leave)
            std::swap(enter, leave);
        t0 = std::fmax(t0, enter);
        t1 = std::fmin(t1, leave);
        if (t0 > t1)
            return false;
    }
    return true;
}

// The box from lo to hi as a closed mesh: eight corners, twelve triangles
// facing outwards, in the position and index arrays the occlusion culler takes.
struct BoxMesh {
    float positions[24];
    int indices[36];

    BoxMesh(const Vector3& lo, const Vector3& hi) {
        for (int c = 0; c < 8; ++c) {
            positions[3 * c] = (c & 1) ? hi.x : lo.x;
            positions[3 * c + 1] = (c & 2) ? hi.y : lo.y;
            positions[3 * c + 2] = (c & 4) ? hi.z : lo.z;
        }
        // Corner c has bit 0 = x, bit 1 = y, bit 2 = z; faces counter-clockwise from outside.
        static const int faces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                        {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
        for (int f = 0; f < 6; ++f) {
            const int* q = faces[f];
            const int tri[6] = {q[0], q[1], q[2], q[0], q[2], q[3]};
            for (int k = 0; k < 6; ++k)
                indices[6 * f + k] = tri[k];
        }
    }
};

// xorshift64*: the same sequence on every machine and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed * 0x9e3779b97f4a7c15ULL + 1) {}
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545f4914f6cdd1dULL;
    }
    // A whole number in [0, n).
    unsigned below(unsigned n) { return unsigned(next() % n); }
    // A number in [lo, hi), from the top 24 bits.
    float uniform(float lo, float hi) { return lo + (hi - lo) * float(next() >> 40) / float(1 << 24); }

private:
    std::uint64_t state;
};

} // namespace Vantor::test
