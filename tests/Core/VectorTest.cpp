// Vector3, Vector4, Plane and the angle wraps: layout, the normalize threshold,
// the direction convention of fromAngles, and the boundaries of both wraps.
#include <cstddef>
#include <gtest/gtest.h>

#include "Core/Angle.h"
#include "Core/Plane.h"
#include "Core/Vector3.h"
#include "Core/Vector4.h"

using Vantor::Plane;
using Vantor::Vector3;
using Vantor::Vector4;

namespace {

constexpr float kTolerance = 1e-5f;

void expectNear(const Vector3& actual, const Vector3& expected, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(VectorLayout, SizesAndFieldOrderMatchWhatGlReads) {
    EXPECT_EQ(sizeof(Vector3), 12u);
    EXPECT_EQ(sizeof(Vector4), 16u);
    EXPECT_EQ(sizeof(Plane), 16u);
    EXPECT_EQ(offsetof(Vector3, y), 4u);
    EXPECT_EQ(offsetof(Vector3, z), 8u);
    EXPECT_EQ(offsetof(Plane, d), 12u);

    const Vector3 packed[2] = {{1, 2, 3}, {4, 5, 6}};
    const float* flat = &packed[0].x;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(flat[i], float(i + 1));
}

TEST(Vector3Test, ArithmeticIsPerComponent) {
    const Vector3 a(1, 2, 3), b(4, -5, 6);
    expectNear(a + b, {5, -3, 9});
    expectNear(a - b, {-3, 7, -3});
    expectNear(a * 2.0f, {2, 4, 6});
    expectNear(2.0f * a, {2, 4, 6});
    Vector3 c = a;
    c += b;
    expectNear(c, {5, -3, 9});
    EXPECT_FLOAT_EQ(Vantor::dot(a, b), 4 - 10 + 18);
}

TEST(Vector3Test, CrossIsRightHanded) {
    const Vector3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
    expectNear(Vantor::cross(x, y), z);
    expectNear(Vantor::cross(z, x), y);
    expectNear(Vantor::cross(y, x), {0, 0, -1});

    const Vector3 a(1, 2, 3), b(-2, 0.5f, 4);
    const Vector3 c = Vantor::cross(a, b);
    expectNear(c, {2 * 4 - 3 * 0.5f, 3 * -2 - 1 * 4, 1 * 0.5f - 2 * -2});
    EXPECT_NEAR(Vantor::dot(c, a), 0.0f, kTolerance);
    EXPECT_NEAR(Vantor::dot(c, b), 0.0f, kTolerance);
}

TEST(Vector3Test, NormalizeLeavesVectorsAtOrBelowThresholdUnchanged) {
    Vector3 zero;
    zero.normalize();
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);

    Vector3 tiny(0.0003f, 0.0004f, 0.0f); // length 0.0005
    tiny.normalize();
    EXPECT_EQ(tiny.x, 0.0003f);
    EXPECT_EQ(tiny.y, 0.0004f);

    Vector3 justAbove(0.0f, 0.0f, 0.0011f);
    justAbove.normalize();
    expectNear(justAbove, {0, 0, 1});

    Vector3 v(0, 3, 4);
    EXPECT_FLOAT_EQ(v.length(), 5.0f);
    v.normalize();
    expectNear(v, {0, 0.6f, 0.8f});
    EXPECT_NEAR(v.length(), 1.0f, kTolerance);
}

TEST(Vector3Test, FromAnglesPointsDownMinusZAtRestAndIgnoresRoll) {
    expectNear(Vector3::fromAngles({0, 0, 0}, 10), {0, 0, -10});
    expectNear(Vector3::fromAngles({0, 90, 0}, 10), {10, 0, 0}, 1e-4f);
    expectNear(Vector3::fromAngles({90, 0, 0}, 10), {0, -10, 0}, 1e-4f);
    expectNear(Vector3::fromAngles({0, 180, 0}, 2), {0, 0, 2}, 1e-4f);
    expectNear(Vector3::fromAngles({30, 40, 0}, 3), Vector3::fromAngles({30, 40, 77}, 3));

    for (float pitch = -90; pitch <= 90; pitch += 15)
        for (float yaw = -180; yaw <= 180; yaw += 20)
            EXPECT_NEAR(Vector3::fromAngles({pitch, yaw, 0}, 7).length(), 7.0f, 1e-4f);
}

TEST(Vector3Test, AccumulateBoundsKeepsPerComponentExtremes) {
    const Vector3 points[] = {{1, -2, 3}, {-4, 5, 0}, {2, 1, -6}};
    Vector3 lo = points[0], hi = points[0];
    for (const Vector3& p : points)
        Vector3::accumulateBounds(p, lo, hi);
    expectNear(lo, {-4, -2, -6});
    expectNear(hi, {2, 5, 3});
}

TEST(Vector4Test, NamedAndIndexedComponentsAreTheSameFloats) {
    Vector4 q(1, 2, 3, 4);
    EXPECT_EQ(q.v[0], 1.0f);
    EXPECT_EQ(q[3], 4.0f);
    q[1] = 9;
    EXPECT_EQ(q.y, 9.0f);

    const Vector4 point(Vector3(5, 6, 7), 1);
    EXPECT_EQ(point.x, 5.0f);
    EXPECT_EQ(point.z, 7.0f);
    EXPECT_EQ(point.w, 1.0f);
    expectNear(point.xyz(), {5, 6, 7});
}

TEST(PlaneTest, DistanceIsZeroOnThePlaneAndSignedOffIt) {
    const Plane ground = Plane::fromNormalAndPoint({0, 1, 0}, {3, 2, -1});
    EXPECT_FLOAT_EQ(ground.d, -2.0f);
    EXPECT_FLOAT_EQ(ground.distance({10, 2, 10}), 0.0f);
    EXPECT_FLOAT_EQ(ground.distance({0, 5, 0}), 3.0f);
    EXPECT_FLOAT_EQ(ground.distance({0, -1, 0}), -3.0f);
    EXPECT_FLOAT_EQ(Plane(1, 2, 3, 4).distance({1, 1, 1}), 10.0f);
}

TEST(AngleTest, LoopWrapLandsInHalfOpenRange) {
    using Vantor::wrapAngle;
    EXPECT_FLOAT_EQ(wrapAngle(540), 180);
    EXPECT_FLOAT_EQ(wrapAngle(-180), 180);
    EXPECT_FLOAT_EQ(wrapAngle(180), 180);
    EXPECT_FLOAT_EQ(wrapAngle(181), -179);
    EXPECT_FLOAT_EQ(wrapAngle(-181), 179);
    EXPECT_FLOAT_EQ(wrapAngle(-540), 180);
    EXPECT_FLOAT_EQ(wrapAngle(1000.25f), -79.75f);
}

TEST(AngleTest, ClosedWrapKeepsBothEndsAndTruncatesTheTurnCount) {
    using Vantor::wrapAngleClosed;
    EXPECT_FLOAT_EQ(wrapAngleClosed(180), 180);
    EXPECT_FLOAT_EQ(wrapAngleClosed(-180), -180);
    EXPECT_FLOAT_EQ(wrapAngleClosed(540), -180);
    EXPECT_FLOAT_EQ(wrapAngleClosed(-540), 180);
    EXPECT_FLOAT_EQ(wrapAngleClosed(181), -179);
    EXPECT_FLOAT_EQ(wrapAngleClosed(-181), 179);
    EXPECT_FLOAT_EQ(wrapAngleClosed(190.5f), -169.5f);
    EXPECT_FLOAT_EQ(wrapAngleClosed(-180.5f), 179.5f);
    EXPECT_FLOAT_EQ(wrapAngleClosed(899), 179);
    EXPECT_FLOAT_EQ(wrapAngleClosed(900), -180);
    EXPECT_FLOAT_EQ(wrapAngleClosed(-45), -45);
}

// The two forms differ only on the boundary, where one yields 180 and the other -180.
TEST(AngleTest, ClosedAndLoopWrapAgreeAwayFromTheBoundary) {
    for (float a = -2000; a <= 2000; a += 0.25f) {
        const float loop = Vantor::wrapAngle(a);
        const float closed = Vantor::wrapAngleClosed(a);
        ASSERT_GT(loop, -180.0f) << a;
        ASSERT_LE(loop, 180.0f) << a;
        ASSERT_GE(closed, -180.0f) << a;
        ASSERT_LE(closed, 180.0f) << a;
        if (loop != closed) {
            EXPECT_EQ(loop, 180.0f) << a;
            EXPECT_EQ(closed, -180.0f) << a;
        }
    }
}

} // namespace
