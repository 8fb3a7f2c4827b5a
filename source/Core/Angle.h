// Angles in degrees: the degree-to-radian factor the math types share and the
// two ways of wrapping an angle back into one turn around zero.
//
// The factor is deliberately the rounded 0.017453293 rather than full-precision
// pi/180; every rotation and direction in the engine is built with it, so they
// all agree with each other bit for bit.
#pragma once

#include <cmath>

namespace Vantor {

constexpr double kDegreesToRadians = 0.017453293;
constexpr float kHalfTurnDegrees = 180.0f;
constexpr float kFullTurnDegrees = 360.0f;

// Brings a into (-180, 180] by whole turns, one turn per step. Meant for angles
// at most a few turns out of range (per-frame accumulation); a must be finite
// and small enough that subtracting 360 still changes it.
inline float wrapAngle(float a) {
    while (a > kHalfTurnDegrees)
        a -= kFullTurnDegrees;
    while (a <= -kHalfTurnDegrees)
        a += kFullTurnDegrees;
    return a;
}

// Wraps a in one step: outside [-180, 180] it removes as many whole turns as
// the truncated quotients below say, which lands in [-180, 180) from above and
// in (-180, 180] from below; -180 and 180 themselves are left as they are.
// The turn count is the C integer quotient of trunc(a) +- 180 by 360, taken in
// double (exact for any angle a float can usefully hold) so that no input can
// overflow an integer conversion.
inline float wrapAngleClosed(float a) {
    const double half = kHalfTurnDegrees;
    const double full = kFullTurnDegrees;
    if (a > kHalfTurnDegrees) {
        const double turns = std::trunc((std::trunc(double(a)) + half) / full);
        return static_cast<float>(a - turns * full);
    }
    if (a < -kHalfTurnDegrees) {
        const double turns = std::trunc((std::trunc(double(a)) - half) / -full);
        return static_cast<float>(a + turns * full);
    }
    return a;
}

} // namespace Vantor
