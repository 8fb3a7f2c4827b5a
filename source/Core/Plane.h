// TPlane<T>: the plane a*x + b*y + c*z + d = 0, stored as a, b, c (the normal)
// then d, 16 bytes for float.
//
// The normal is not required to be unit length; distance() is a true distance
// only when it is, and otherwise the signed value scaled by the normal's length
// (the sign alone is what side tests use).
#pragma once

#include "Core/Vector3.h"

namespace Vantor {

template <class T>
struct TPlane {
    T a, b, c, d;

    constexpr TPlane() : a(0), b(0), c(0), d(0) {}
    constexpr TPlane(T pa, T pb, T pc, T pd) : a(pa), b(pb), c(pc), d(pd) {}

    // The plane through point with the given normal.
    static constexpr TPlane fromNormalAndPoint(const TVector3<T>& normal, const TVector3<T>& point) {
        return {normal.x, normal.y, normal.z, -dot(normal, point)};
    }

    constexpr TVector3<T> normal() const { return {a, b, c}; }

    // a*px + b*py + c*pz + d: zero on the plane, positive on the normal's side.
    constexpr T distance(const TVector3<T>& p) const { return a * p.x + b * p.y + c * p.z + d; }
};

using Plane = TPlane<float>;

static_assert(sizeof(Plane) == 4 * sizeof(float), "Plane must stay four packed floats");

} // namespace Vantor
