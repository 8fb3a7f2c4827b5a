// Where the sky box puts each texel: the directions of face texels as
// SkyBox::render draws them (the square at z = -1 with u running from x = +1
// to x = -1 and v from y = -1 to y = +1, turned by the face's rotation), and
// the way back from a direction to a face and texture coordinates. Shared by
// the sky box's GL tests, which check it against what is drawn, and the
// generator's tests, which check the faces' seams with it.
#pragma once

#include "Core/SkyBox.h"

#include <cmath>

namespace Vantor::test {

struct Direction {
    double x = 0, y = 0, z = 0;
};

inline Direction normalised(const Direction& d) {
    const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return {d.x / length, d.y / length, d.z / length};
}

inline double dot(const Direction& a, const Direction& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// p turned by the face's rotation as glRotatef turns it; inverse turns it back.
inline Direction rotateForFace(int face, const Direction& p, bool inverse = false) {
    const SkyBoxFaceRotation& r = skyBoxFaceRotations[face];
    const double radians = (inverse ? -r.angle : r.angle) * 3.14159265358979323846 / 180;
    const double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    const double x = r.x, y = r.y, z = r.z;
    return {(t * x * x + c) * p.x + (t * x * y - s * z) * p.y + (t * x * z + s * y) * p.z,
            (t * x * y + s * z) * p.x + (t * y * y + c) * p.y + (t * y * z - s * x) * p.z,
            (t * x * z - s * y) * p.x + (t * y * z + s * x) * p.y + (t * z * z + c) * p.z};
}

// The unit direction in which texture coordinates (u, v) of face are drawn.
inline Direction faceDirection(int face, double u, double v) {
    return normalised(rotateForFace(face, {1 - 2 * u, 2 * v - 1, -1}));
}

struct FacePoint {
    int face = 0;
    double u = 0, v = 0;
};

// The face and texture coordinates drawn in direction d.
inline FacePoint facePointOf(const Direction& d) {
    FacePoint best;
    double bestDot = -2;
    for (int face = 0; face < skyBoxFaceCount; ++face) {
        const double along = dot(d, faceDirection(face, 0.5, 0.5));
        if (along > bestDot) {
            bestDot = along;
            best.face = face;
        }
    }
    const Direction local = rotateForFace(best.face, d, true);
    best.u = (1 - local.x / -local.z) / 2;
    best.v = (local.y / -local.z + 1) / 2;
    return best;
}

} // namespace Vantor::test
