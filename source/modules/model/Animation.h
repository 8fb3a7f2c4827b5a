// Keys, quaternions and their interpolation: the pure arithmetic of key-frame
// animation. Quaternions are stored scalar first (w, x, y, z) and multiplied
// by the Hamilton rule; a Key is a rotation followed by a translation and maps
// a point from a child's space into its parent's.
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector3.h"

namespace Vantor {

struct Quaternion {
    float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float qw, float qx, float qy, float qz) : w(qw), x(qx), y(qy), z(qz) {}

    float length() const;
    // The rotation as a column-major matrix (no translation).
    Matrix4 toMatrix() const;
};

// Hamilton product a * b (b's rotation applied first).
Quaternion operator*(const Quaternion& a, const Quaternion& b);
Quaternion conjugate(const Quaternion& q);
// Sum of the absolute component differences.
float manhattanDistance(const Quaternion& a, const Quaternion& b);

// Spherical interpolation from a to b: t >= 0.9999 gives b, t <= 0.0001 gives
// a; otherwise the relative rotation d = b * conjugate(a), normalised unless
// shorter than 0.0001 and negated when its w is negative (the shorter arc), is
// raised to the power t (its angle scaled by t about the same axis) and
// applied to a.
Quaternion slerp(const Quaternion& a, const Quaternion& b, float t);

// 28 bytes in a file: w, x, y, z of the rotation, then the translation.
struct Key {
    Quaternion rotation;
    Vector3 translation;

    // translate(translation) * rotation.
    Matrix4 toMatrix() const;
};

// The key a fraction t of the way from current to next: t >= 0.999 gives next
// exactly, t <= 0.001 keeps current; otherwise the rotation is slerped when
// the rotations differ by more than 0.0001 (Manhattan) and the translation
// interpolated linearly when the translations differ by more than 0.001.
Key interpolateKey(const Key& current, const Key& next, float t);

} // namespace Vantor
