// Vector4: four floats x, y, z, w (16 bytes), the vector type of shader
// parameters and of the script language.
//
// A union of exactly four floats, named either as x, y, z, w or as v[0..3],
// so it can be passed to glUniform4fv-style calls as it is. When a Vector3 is
// widened to it, the caller chooses w (1 for a point, 0 for a direction).
#pragma once

#include <type_traits>

#include "Core/Vector3.h"

namespace Vantor {

union Vector4 {
    struct {
        float x, y, z, w;
    };
    float v[4];

    constexpr Vector4() : v{0.0f, 0.0f, 0.0f, 0.0f} {}
    constexpr Vector4(float ax, float ay, float az, float aw) : v{ax, ay, az, aw} {}
    constexpr Vector4(const Vector3& xyz, float aw) : v{xyz.x, xyz.y, xyz.z, aw} {}

    float& operator[](int i) { return v[i]; }
    const float& operator[](int i) const { return v[i]; }

    // Drops w.
    Vector3 xyz() const { return {x, y, z}; }
};

static_assert(sizeof(Vector4) == 4 * sizeof(float), "Vector4 must stay four packed floats");
static_assert(std::is_standard_layout<Vector4>::value, "Vector4 is handed to C APIs");
static_assert(std::is_trivially_copyable<Vector4>::value, "Vector4 is copied bytewise");

} // namespace Vantor
