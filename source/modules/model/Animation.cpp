// Quaternion arithmetic, spherical interpolation and key interpolation for
// key-frame animation.
#include "modules/model/Animation.h"

#include <cmath>

namespace Vantor {

namespace {

// slerp returns b at or above this fraction and a at or below the lower one.
constexpr float kSlerpUpperFraction = 0.9999f;
constexpr float kSlerpLowerFraction = 0.0001f;
// The relative rotation is normalised only when at least this long.
constexpr float kSlerpMinNormaliseLength = 0.0001f;
// A relative rotation whose vector part is this short or shorter is the
// identity: it has no axis to scale the angle about.
constexpr float kSlerpMinAxisLength = 1e-12f;

// interpolateKey returns next at or above this fraction and current at or
// below the lower one.
constexpr float kKeyUpperFraction = 0.999f;
constexpr float kKeyLowerFraction = 0.001f;
// Rotations (Manhattan distance) and translations (sum of absolute component
// differences) closer than these are not interpolated.
constexpr float kKeyRotationTolerance = 0.0001f;
constexpr float kKeyTranslationTolerance = 0.001f;

} // namespace

float Quaternion::length() const { return std::sqrt(w * w + x * x + y * y + z * z); }

Matrix4 Quaternion::toMatrix() const {
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, xz = x * z, yz = y * z;
    const float wx = w * x, wy = w * y, wz = w * z;
    Matrix4 r;
    r.m[0] = 1.0f - 2.0f * (yy + zz);
    r.m[1] = 2.0f * (xy + wz);
    r.m[2] = 2.0f * (xz - wy);
    r.m[4] = 2.0f * (xy - wz);
    r.m[5] = 1.0f - 2.0f * (xx + zz);
    r.m[6] = 2.0f * (yz + wx);
    r.m[8] = 2.0f * (xz + wy);
    r.m[9] = 2.0f * (yz - wx);
    r.m[10] = 1.0f - 2.0f * (xx + yy);
    return r;
}

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion conjugate(const Quaternion& q) { return {q.w, -q.x, -q.y, -q.z}; }

float manhattanDistance(const Quaternion& a, const Quaternion& b) {
    return std::fabs(a.w - b.w) + std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
}

Quaternion slerp(const Quaternion& a, const Quaternion& b, float t) {
    if (t >= kSlerpUpperFraction)
        return b;
    if (t <= kSlerpLowerFraction)
        return a;

    Quaternion d = b * conjugate(a);
    const float len = d.length();
    if (len >= kSlerpMinNormaliseLength) {
        const float inv = 1.0f / len;
        d = {d.w * inv, d.x * inv, d.y * inv, d.z * inv};
    }
    if (d.w < 0.0f)
        d = {-d.w, -d.x, -d.y, -d.z};

    // Half the rotation angle of d. atan2 of the vector length and w equals
    // acos(w) for a unit quaternion, needs no clamping of w to [-1, 1] and
    // stays precise for small angles, where w rounds to 1.
    const float axisLength = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (axisLength <= kSlerpMinAxisLength)
        return a;
    const float halfAngle = std::atan2(axisLength, d.w) * t;
    const float axisScale = std::sin(halfAngle) / axisLength;
    const Quaternion power(std::cos(halfAngle), d.x * axisScale, d.y * axisScale, d.z * axisScale);
    return power * a;
}

Matrix4 Key::toMatrix() const {
    // translate * rotation keeps the rotation's columns and puts the
    // translation in the last one.
    Matrix4 r = rotation.toMatrix();
    r.m[12] = translation.x;
    r.m[13] = translation.y;
    r.m[14] = translation.z;
    return r;
}

Key interpolateKey(const Key& current, const Key& next, float t) {
    if (t >= kKeyUpperFraction)
        return next;
    if (t <= kKeyLowerFraction)
        return current;

    Key key = current;
    if (manhattanDistance(current.rotation, next.rotation) > kKeyRotationTolerance)
        key.rotation = slerp(current.rotation, next.rotation, t);
    const Vector3 delta = next.translation - current.translation;
    if (std::fabs(delta.x) + std::fabs(delta.y) + std::fabs(delta.z) > kKeyTranslationTolerance)
        key.translation = current.translation + delta * t;
    return key;
}

} // namespace Vantor
