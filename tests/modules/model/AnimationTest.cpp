// Quaternions against the engine's axis-angle matrices, spherical
// interpolation (halfway turns, the shorter arc, the end thresholds) and key
// interpolation with its thresholds.
#include "modules/model/Animation.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Vantor;

namespace {

constexpr float kTolerance = 1e-5f;
constexpr double kPi = 3.14159265358979323846;

// The unit quaternion of a turn of angle degrees about a unit axis.
Quaternion axisAngle(float angle, float x, float y, float z) {
    const double half = angle * kPi / 360.0;
    const float s = static_cast<float>(std::sin(half));
    return {static_cast<float>(std::cos(half)), x * s, y * s, z * s};
}

void expectMatrixNear(const Matrix4& actual, const Matrix4& expected, const char* what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], kTolerance) << what << ", element " << i;
}

struct AxisAngle {
    float angle, x, y, z;
};

const float kInvSqrt3 = 1.0f / std::sqrt(3.0f);
const AxisAngle kTurns[] = {
    {0, 1, 0, 0},         {90, 1, 0, 0},  {90, 0, 1, 0},       {90, 0, 0, 1},
    {-45, 0, 1, 0},       {180, 0, 0, 1}, {30, 0.6f, 0.8f, 0}, {123, kInvSqrt3, -kInvSqrt3, kInvSqrt3},
    {270, 0, 0.8f, 0.6f},
};

} // namespace

TEST(Quaternion, MatricesAndProductsAgreeWithAxisAngleRotations) {
    for (const AxisAngle& a : kTurns) {
        const Quaternion q = axisAngle(a.angle, a.x, a.y, a.z);
        EXPECT_NEAR(q.length(), 1.0f, kTolerance);
        const Matrix4 rotation = Matrix4::rotation(a.angle, a.x, a.y, a.z);
        expectMatrixNear(q.toMatrix(), rotation, "rotation");

        const Key key{q, Vector3(1.5f, -2.0f, 3.25f)};
        expectMatrixNear(key.toMatrix(), Matrix4::translation(1.5f, -2.0f, 3.25f) * rotation, "key");

        // q * conjugate(q) is the identity, and a product's matrix is the
        // product of the matrices (the right-hand factor acting first).
        EXPECT_NEAR(manhattanDistance(q * conjugate(q), Quaternion()), 0.0f, kTolerance);
        for (const AxisAngle& b : kTurns) {
            const Quaternion r = axisAngle(b.angle, b.x, b.y, b.z);
            expectMatrixNear((q * r).toMatrix(), rotation * Matrix4::rotation(b.angle, b.x, b.y, b.z),
                             "product");
        }
    }
    EXPECT_FLOAT_EQ(manhattanDistance(Quaternion(1, 2, 3, 4), Quaternion(0.5f, -2, 3, 5)), 5.5f);
}

TEST(Quaternion, SlerpTurnsByTheFractionOfTheRelativeRotation) {
    // slerp(a, turn(angle) * a, t) must be turn(t * angle) * a, whichever sign
    // the end quaternion carries.
    struct Case {
        AxisAngle start;
        AxisAngle turn;
        float t;
        float expectedAngle;
    };
    const Case cases[] = {
        {{0, 1, 0, 0}, {90, 0, 0, 1}, 0.5f, 45}, // identity towards a quarter turn
        {{0, 1, 0, 0}, {90, 0, 0, 1}, 0.25f, 22.5f},
        {{30, 0, 0, 1}, {60, 0, 0, 1}, 0.5f, 30}, // 30 to 90 degrees about one axis
        {{30, 1, 0, 0}, {90, 0, 1, 0}, 0.5f, 45}, // start and turn on different axes
        {{-70, 0.6f, 0.8f, 0}, {120, kInvSqrt3, kInvSqrt3, -kInvSqrt3}, 0.3f, 36},
        {{0, 1, 0, 0}, {270, 0, 0, 1}, 0.5f, -45},  // the shorter way round is -90
        {{45, 0, 1, 0}, {-200, 1, 0, 0}, 0.5f, 80}, // -200 is +160 the short way
        {{10, 0, 1, 0}, {0.001f, 0, 0, 1}, 0.5f, 0.0005f},
    };
    for (const Case& c : cases) {
        const Quaternion a = axisAngle(c.start.angle, c.start.x, c.start.y, c.start.z);
        const Quaternion b = axisAngle(c.turn.angle, c.turn.x, c.turn.y, c.turn.z) * a;
        const Quaternion negatedB(-b.w, -b.x, -b.y, -b.z);
        const Matrix4 expected = Matrix4::rotation(c.expectedAngle, c.turn.x, c.turn.y, c.turn.z) *
                                 Matrix4::rotation(c.start.angle, c.start.x, c.start.y, c.start.z);
        for (const Quaternion& end : {b, negatedB}) {
            const Quaternion s = slerp(a, end, c.t);
            EXPECT_NEAR(s.length(), 1.0f, kTolerance);
            expectMatrixNear(s.toMatrix(), expected, "slerp");
        }
    }
}

TEST(Quaternion, SlerpEndsAndEqualRotations) {
    const Quaternion a = axisAngle(20, 0, 1, 0);
    const Quaternion b = axisAngle(140, 1, 0, 0);
    const struct {
        float t;
        bool givesB;
    } ends[] = {{0.99995f, true},  {0.9999f, true},  {1.5f, true},
                {0.00005f, false}, {0.0001f, false}, {-1, false}};
    for (const auto& e : ends) {
        const Quaternion s = slerp(a, b, e.t);
        const Quaternion& expected = e.givesB ? b : a;
        EXPECT_EQ(s.w, expected.w) << e.t;
        EXPECT_EQ(s.x, expected.x) << e.t;
        EXPECT_EQ(s.y, expected.y) << e.t;
        EXPECT_EQ(s.z, expected.z) << e.t;
    }
    // No relative rotation: no axis, the start comes back.
    const Quaternion same = slerp(a, a, 0.5f);
    EXPECT_EQ(manhattanDistance(same, a), 0.0f);
    const Quaternion opposite = slerp(a, Quaternion(-a.w, -a.x, -a.y, -a.z), 0.5f);
    EXPECT_EQ(manhattanDistance(opposite, a), 0.0f);
}

TEST(Key, InterpolationThresholds) {
    const Key current{axisAngle(10, 0, 0, 1), Vector3(1, 2, 3)};
    const Key next{axisAngle(50, 0, 0, 1), Vector3(3, 2, -1)};
    // A second key whose rotation and translation are within the tolerances.
    const Key nearCurrent{
        Quaternion(current.rotation.w + 0.00005f, current.rotation.x, current.rotation.y, current.rotation.z),
        Vector3(1.0004f, 2.0004f, 3)};
    struct Case {
        const Key& to;
        float t;
        Quaternion rotation;
        Vector3 translation;
    };
    const Case cases[] = {
        {next, 0.0005f, current.rotation, current.translation},
        {next, 0.001f, current.rotation, current.translation},
        {next, 0.9995f, next.rotation, next.translation},
        {next, 0.999f, next.rotation, next.translation},
        {next, 0.5f, axisAngle(30, 0, 0, 1), Vector3(2, 2, 1)},
        {next, 0.25f, axisAngle(20, 0, 0, 1), Vector3(1.5f, 2, 2)},
        {nearCurrent, 0.5f, current.rotation, current.translation},
    };
    for (const Case& c : cases) {
        const Key k = interpolateKey(current, c.to, c.t);
        EXPECT_NEAR(manhattanDistance(k.rotation, c.rotation), 0.0f, kTolerance) << c.t;
        EXPECT_NEAR(k.translation.x, c.translation.x, kTolerance) << c.t;
        EXPECT_NEAR(k.translation.y, c.translation.y, kTolerance) << c.t;
        EXPECT_NEAR(k.translation.z, c.translation.z, kTolerance) << c.t;
    }
    // Below and above the thresholds the keys come back bit for bit.
    const Key low = interpolateKey(current, next, 0.0005f);
    const Key high = interpolateKey(current, next, 0.9995f);
    EXPECT_EQ(low.rotation.w, current.rotation.w);
    EXPECT_EQ(low.translation.z, current.translation.z);
    EXPECT_EQ(high.rotation.z, next.rotation.z);
    EXPECT_EQ(high.translation.x, next.translation.x);
    // Equal translations are copied, not interpolated.
    const Key rotationOnly = interpolateKey(current, Key{next.rotation, current.translation}, 0.37f);
    EXPECT_EQ(rotationOnly.translation.x, current.translation.x);
    EXPECT_EQ(rotationOnly.translation.y, current.translation.y);
}
