// Where a light's work can show on screen: the window rectangle that a point
// light's reach projects to (its scissor rectangle), whether a mesh's
// shadow volume can reach into the view at all, and a polyhedron round the
// light's reach. Plain arithmetic on the
// view-projection matrix (projection x eye modelview, column-major), so the
// scene can skip volume fill and lighting that would land off screen.
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector3.h"
#include "Core/Vector4.h"

#include <vector>

namespace Vantor {

// True when every point lies outside one and the same clip plane of
// viewProjection, so their convex hull cannot be seen.
bool outsideView(const Matrix4& viewProjection, const Vector3* points, int count);

// Sixteen points whose convex hull holds the shadow volume of a mesh in the
// box (boxMin, boxMax) under world whose vertices are pushed extrusion units
// away from light (position with w = 1, direction towards the light with
// w = 0): the world box's eight corners, and eight points beyond them on the
// rays from the light far enough out to hold every pushed vertex. False,
// with out unusable, when no such hull is of use: the light is in or right
// next to the box, which then spans most of its sky.
bool shadowVolumeHull(const Vector3& boxMin, const Vector3& boxMax, const Matrix4& world, const Vector4& light,
                      float extrusion, Vector3 out[16]);

// The window rectangle (x, y, width, height within viewport) that holds
// everything within range of the point light at position (world space), seen
// through modelview and a perspective projection: the rectangle round the
// sphere's silhouette, from the planes through the eye that touch it. False
// when the rectangle would be the whole viewport or cannot be told: no
// range, a projection that is not a perspective one, or the sphere reaches
// the plane of the eye's near clip.
bool lightScissor(const Matrix4& projection, const Matrix4& modelview, const Vector3& position, float range,
                  float nearClip, const int viewport[4], int rect[4]);

// A closed convex polyhedron round the unit sphere at the origin, as
// triangles (three points each, counter-clockwise seen from outside): every
// face lies at least 1 from the centre, so scaled by a light's range and
// moved to the light it holds everything the light reaches.
const std::vector<Vector3>& reachPolyhedron();

} // namespace Vantor
