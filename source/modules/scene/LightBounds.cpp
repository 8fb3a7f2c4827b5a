// Screen bounds of a light's reach, view culling of shadow volumes and the
// polyhedron round a light's reach.
#include "modules/scene/LightBounds.h"

#include <algorithm>
#include <cmath>

namespace Vantor {

namespace {

// The cosine of the widest angle within a box's cone of rays from a light
// below which its volume's hull is not worth bounding (about 84 degrees).
constexpr float kMinConeCosine = 0.1f;

} // namespace

namespace {

Vector4 clipOf(const Matrix4& m, const Vector3& p) {
    const float* e = m.m;
    return Vector4(e[0] * p.x + e[4] * p.y + e[8] * p.z + e[12], e[1] * p.x + e[5] * p.y + e[9] * p.z + e[13],
                   e[2] * p.x + e[6] * p.y + e[10] * p.z + e[14], e[3] * p.x + e[7] * p.y + e[11] * p.z + e[15]);
}

// Bits of the clip planes a clip-space point lies outside: x < -w, x > w,
// y < -w, y > w, z < -w, z > w.
int outcode(const Vector4& c) {
    return (c.x < -c.w ? 1 : 0) | (c.x > c.w ? 2 : 0) | (c.y < -c.w ? 4 : 0) | (c.y > c.w ? 8 : 0) |
           (c.z < -c.w ? 16 : 0) | (c.z > c.w ? 32 : 0);
}

} // namespace

bool outsideView(const Matrix4& viewProjection, const Vector3* points, int count) {
    int common = 63;
    for (int i = 0; i < count && common != 0; ++i)
        common &= outcode(clipOf(viewProjection, points[i]));
    return count > 0 && common != 0;
}

bool shadowVolumeHull(const Vector3& boxMin, const Vector3& boxMax, const Matrix4& world, const Vector4& light,
                      float extrusion, Vector3 out[16]) {
    for (int k = 0; k < 8; ++k) {
        Vector3 corner((k & 1) ? boxMax.x : boxMin.x, (k & 2) ? boxMax.y : boxMin.y, (k & 4) ? boxMax.z : boxMin.z);
        world.transformPoint(corner);
        out[k] = corner;
    }
    if (light.w == 0.0f) {
        // Every vertex moves by the same vector: the corners' copies bound the prism.
        Vector3 away = -light.xyz();
        const float length = away.length();
        if (length > 0.0f)
            away = away * (extrusion / length);
        for (int k = 0; k < 8; ++k)
            out[k + 8] = out[k] + away;
        return true;
    }
    // A point light moves each vertex extrusion further along its own ray,
    // so the far copies lie in the cone of rays through the box, no further
    // from the light than the farthest corner plus extrusion: on a curved
    // cap that bulges past the plane of the corners' own copies. Pushing the
    // corners' copies out by 1 / cos of the cone's widest angle puts that
    // cap inside their hull (with the box, what lies between).
    const Vector3 p = light.xyz();
    Vector3 rays[8];
    float farthest = 0.0f;
    for (int k = 0; k < 8; ++k) {
        rays[k] = out[k] - p;
        const float length = rays[k].length();
        if (!(length > 0.0f))
            return false;
        farthest = std::max(farthest, length);
        rays[k] = rays[k] * (1.0f / length);
    }
    float widest = 1.0f;
    for (int i = 0; i < 8; ++i)
        for (int j = i + 1; j < 8; ++j)
            widest = std::min(widest, dot(rays[i], rays[j]));
    // A light at or next to the box sees it across half its sky or more.
    if (widest < kMinConeCosine)
        return false;
    const float reach = (farthest + extrusion) / widest;
    for (int k = 0; k < 8; ++k)
        out[k + 8] = p + rays[k] * reach;
    return true;
}

namespace {

// The range of u / -z over the circle of radius r round (u, z) in a plane
// through the eye, the circle wholly in front of the eye (-z > r): the
// slopes of the two lines from the eye that touch it.
void tangentSlopes(float u, float z, float r, float& low, float& high) {
    const float depth = -z;
    const float distance2 = u * u + depth * depth;
    const float along = std::sqrt(std::max(distance2 - r * r, 0.0f));
    // The touching lines make the angle asin(r / d) with the line to the centre.
    const float denominatorLow = depth * along + u * r, denominatorHigh = depth * along - u * r;
    low = (u * along - depth * r) / denominatorLow;
    high = denominatorHigh > 0.0f ? (u * along + depth * r) / denominatorHigh : 1e30f;
}

} // namespace

bool lightScissor(const Matrix4& projection, const Matrix4& modelview, const Vector3& position, float range,
                  float nearClip, const int viewport[4], int rect[4]) {
    // Only a perspective projection (w = -z) is handled.
    const float* m = projection.m;
    if (!(range > 0.0f) || m[3] != 0.0f || m[7] != 0.0f || m[11] != -1.0f || m[15] != 0.0f)
        return false;
    Vector3 centre = position;
    modelview.transformPoint(centre);
    if (!(-centre.z - range > nearClip))
        return false;
    float xLow, xHigh, yLow, yHigh;
    tangentSlopes(centre.x, centre.z, range, xLow, xHigh);
    tangentSlopes(centre.y, centre.z, range, yLow, yHigh);
    // A perspective projection maps eye x / -z to m0 * slope - m8 (and y
    // with m5, m9).
    const float x0 = std::max(-1.0f, m[0] * xLow - m[8]), x1 = std::min(1.0f, m[0] * xHigh - m[8]);
    const float y0 = std::max(-1.0f, m[5] * yLow - m[9]), y1 = std::min(1.0f, m[5] * yHigh - m[9]);
    if (x0 <= -1.0f && y0 <= -1.0f && x1 >= 1.0f && y1 >= 1.0f)
        return false;
    const int left = int(std::floor((x0 + 1.0f) * 0.5f * float(viewport[2])));
    const int bottom = int(std::floor((y0 + 1.0f) * 0.5f * float(viewport[3])));
    const int right = int(std::ceil((x1 + 1.0f) * 0.5f * float(viewport[2])));
    const int top = int(std::ceil((y1 + 1.0f) * 0.5f * float(viewport[3])));
    rect[0] = viewport[0] + std::max(0, std::min(left, viewport[2]));
    rect[1] = viewport[1] + std::max(0, std::min(bottom, viewport[3]));
    rect[2] = std::max(0, right - left);
    rect[3] = std::max(0, top - bottom);
    return true;
}


namespace {

Vector3 unit(const Vector3& v) { return v * (1.0f / v.length()); }

// An icosahedron's faces split into four, twice over, with the new corners
// pushed out onto the unit sphere: 320 faces, none far from the sphere.
std::vector<Vector3> geodesicSphere() {
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<Vector3> corners = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                    {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                              {11, 10, 2}, {10, 7, 6}, {7, 1, 8},   {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                              {3, 8, 9},   {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    std::vector<Vector3> triangles;
    for (const auto& f : faces)
        for (int k : f)
            triangles.push_back(unit(corners[unsigned(k)]));
    for (int round = 0; round < 2; ++round) {
        std::vector<Vector3> split;
        for (size_t i = 0; i < triangles.size(); i += 3) {
            const Vector3 &a = triangles[i], &b = triangles[i + 1], &c = triangles[i + 2];
            const Vector3 ab = unit((a + b) * 0.5f), bc = unit((b + c) * 0.5f), ca = unit((c + a) * 0.5f);
            for (const Vector3& p : {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca})
                split.push_back(p);
        }
        triangles.swap(split);
    }
    return triangles;
}

} // namespace

const std::vector<Vector3>& reachPolyhedron() {
    static const std::vector<Vector3> polyhedron = [] {
        std::vector<Vector3> triangles = geodesicSphere();
        // Its corners lie on the sphere and its faces inside it: grow it
        // until the nearest face plane touches the sphere, and a little
        // beyond, so that rounding never puts a face inside.
        float nearest = 1.0f;
        for (size_t i = 0; i < triangles.size(); i += 3) {
            const Vector3 normal = unit(cross(triangles[i + 1] - triangles[i], triangles[i + 2] - triangles[i]));
            nearest = std::min(nearest, std::fabs(dot(normal, triangles[i])));
        }
        for (Vector3& p : triangles)
            p = p * (1.001f / nearest);
        return triangles;
    }();
    return polyhedron;
}

} // namespace Vantor
