// TVector3<T>: three components x, y, z, in that order and nothing else, so an
// array of them is a packed array of T triples (12 bytes each for float) that
// can be handed to GL as vertex data.
//
// Used for positions, directions, Euler angles in degrees (x pitch, y yaw,
// z roll) and RGB colours. A plain value: trivially copyable, no heap storage,
// everything inline because skinning and culling run it per vertex.
#pragma once

#include <cmath>

#include "Core/Angle.h"

namespace Vantor {

// Vectors this short or shorter have no usable direction; normalize leaves them be.
constexpr double kNormalizeMinLength = 0.001;

template <class T>
struct TVector3 {
    T x, y, z;

    constexpr TVector3() : x(0), y(0), z(0) {}
    constexpr TVector3(T ax, T ay, T az) : x(ax), y(ay), z(az) {}

    constexpr TVector3 operator+(const TVector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr TVector3 operator-(const TVector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr TVector3 operator-() const { return {-x, -y, -z}; }
    constexpr TVector3 operator*(T s) const { return {x * s, y * s, z * s}; }

    TVector3& operator+=(const TVector3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }

    TVector3& operator-=(const TVector3& o) {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }

    T length() const { return std::sqrt(x * x + y * y + z * z); }

    // Scales to unit length, unless the length is at most kNormalizeMinLength
    // (zero included), in which case the vector is left unchanged.
    void normalize() {
        const T len = length();
        if (len > T(kNormalizeMinLength)) {
            x /= len;
            y /= len;
            z /= len;
        }
    }

    // The direction of pitch angles.x and yaw angles.y (degrees; z ignored),
    // scaled to length. Pitch 0, yaw 0 looks down -z; positive pitch turns
    // towards -y, positive yaw towards +x.
    static TVector3 fromAngles(const TVector3& angles, T length) {
        const double pitch = angles.x * kDegreesToRadians;
        const double yaw = angles.y * kDegreesToRadians;
        const double cosPitch = std::cos(pitch);
        return {static_cast<T>(length * cosPitch * std::sin(yaw)),
                static_cast<T>(-length * std::sin(pitch)),
                static_cast<T>(-length * cosPitch * std::cos(yaw))};
    }

    // Widens the box [lo, hi] per component so that it contains p. Start with
    // lo = hi = the first point.
    static void accumulateBounds(const TVector3& p, TVector3& lo, TVector3& hi) {
        if (p.x < lo.x) lo.x = p.x;
        if (p.y < lo.y) lo.y = p.y;
        if (p.z < lo.z) lo.z = p.z;
        if (p.x > hi.x) hi.x = p.x;
        if (p.y > hi.y) hi.y = p.y;
        if (p.z > hi.z) hi.z = p.z;
    }
};

template <class T>
constexpr TVector3<T> operator*(T s, const TVector3<T>& v) {
    return v * s;
}

template <class T>
constexpr T dot(const TVector3<T>& a, const TVector3<T>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Right-handed: cross(x axis, y axis) is the z axis.
template <class T>
constexpr TVector3<T> cross(const TVector3<T>& a, const TVector3<T>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

using Vector3 = TVector3<float>;

static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must stay a packed float triple");

} // namespace Vantor
