// Camera defaults, view matrices, eye positions and the rotation and distance limits.
#include "Core/WinAppFramework/Camera.h"

#include <gtest/gtest.h>

using namespace Vantor;

namespace {

constexpr float tolerance = 0.01f;

void expectNear(const Vector3& actual, const Vector3& expected) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST(Camera, DefaultsDescribeTheStartView) {
    OrbitalCamera camera;
    EXPECT_EQ(camera.fov, 90.0);
    EXPECT_EQ(camera.nearClip, 7.0);
    EXPECT_EQ(camera.farClip, 6000.0);
    EXPECT_DOUBLE_EQ(camera.aspect, 4.0 / 3.0);
    EXPECT_EQ(camera.distance, 100.0f);
    EXPECT_FALSE(camera.hemisphere);
    expectNear(camera.getPosition(), {-50.0f, 95.71f, -50.0f});
}

TEST(Camera, OrbitalMatrixLooksAtTheTargetFromDistance) {
    OrbitalCamera camera;
    camera.target = {10, -20, 300};
    camera.setDistance(250);
    camera.setRotation({30, -120, 0});
    const Vector3 eye = camera.computeEyePosition();
    Vector3 target = camera.target;
    camera.viewMatrix.transformPoint(target);
    expectNear(target, {0, 0, -250});
    // getPosition agrees with the matrix eye across and up; along z its
    // offset from the target has the opposite sign (the angle formula's own
    // convention, which callers of getPosition rely on).
    const Vector3 angles = camera.getPosition();
    EXPECT_NEAR(eye.x, angles.x, tolerance);
    EXPECT_NEAR(eye.y, angles.y, tolerance);
    EXPECT_NEAR(eye.z - camera.target.z, camera.target.z - angles.z, tolerance);
}

TEST(Camera, OrbitalPositionIgnoresSideOffsetAndRoll) {
    OrbitalCamera camera;
    const Vector3 plain = camera.getPosition();
    const Vector3 plainEye = camera.computeEyePosition();
    camera.sideOffset = 40;
    camera.rotation.z = 30;
    expectNear(camera.getPosition(), plain);
    camera.rotation.z = 0;
    const Vector3 shiftedEye = camera.computeEyePosition();
    EXPECT_NEAR((shiftedEye - plainEye).length(), 40.0f, tolerance);
    EXPECT_NEAR(shiftedEye.y, plainEye.y, tolerance);
}

TEST(Camera, FPSPositionIsTheMatrixEyeOnceUpdated) {
    FPSCamera camera;
    camera.position = {120, 15, -300};
    camera.setRotation({20, 75, 10});
    expectNear(camera.getPosition(), {0, 0, 0});
    // Stale until updated; computeEyePosition updates first.
    expectNear(camera.computeEyePosition(), camera.position);
    expectNear(camera.getPosition(), camera.position);
}

TEST(Camera, PitchIsClampedBeforeWrappingAndRollIsNotWrapped) {
    FPSCamera camera;
    camera.setRotation({200, 370, 5});
    EXPECT_FLOAT_EQ(camera.rotation.x, 178);
    EXPECT_FLOAT_EQ(camera.rotation.y, 10);
    EXPECT_FLOAT_EQ(camera.rotation.z, 5);
    camera.setRotation({-500, -190, 400});
    EXPECT_FLOAT_EQ(camera.rotation.x, -178);
    EXPECT_FLOAT_EQ(camera.rotation.y, 170);
    EXPECT_FLOAT_EQ(camera.rotation.z, 400);
    camera.rotate({0, 20, 0});
    EXPECT_FLOAT_EQ(camera.rotation.y, -170);
}

TEST(Camera, HemisphereKeepsTheOrbitAboveTheHorizon) {
    OrbitalCamera camera;
    camera.setRotation({5, 0, 0});
    camera.rotate({-10, 0, 0});
    EXPECT_FLOAT_EQ(camera.rotation.x, -5);
    camera.hemisphere = true;
    camera.setRotation({5, 0, 0});
    camera.rotate({-10, 0, 0});
    EXPECT_FLOAT_EQ(camera.rotation.x, 0);
    camera.rotate({200, 0, 0});
    EXPECT_FLOAT_EQ(camera.rotation.x, 178);
}

TEST(Camera, ZoomAndSetDistanceStayWithinTheLimits) {
    OrbitalCamera camera;
    camera.minRadius = 10;
    camera.maxRadius = 500;
    camera.zoom(1000);
    EXPECT_FLOAT_EQ(camera.distance, 500);
    camera.zoom(-1000);
    EXPECT_FLOAT_EQ(camera.distance, 10);
    camera.zoom(15);
    EXPECT_FLOAT_EQ(camera.distance, 25);
    camera.setDistance(600);
    EXPECT_FLOAT_EQ(camera.distance, 500);
    // Crossed limits: below minRadius wins over above maxRadius.
    camera.minRadius = 300;
    camera.maxRadius = 200;
    camera.setDistance(100);
    EXPECT_FLOAT_EQ(camera.distance, 300);
    camera.setDistance(400);
    EXPECT_FLOAT_EQ(camera.distance, 200);
    // Unconfigured limits only stop the distance at zero.
    OrbitalCamera fresh;
    fresh.zoom(1.0e6f);
    EXPECT_FLOAT_EQ(fresh.distance, 100.0f + 1.0e6f);
    fresh.setDistance(-5);
    EXPECT_FLOAT_EQ(fresh.distance, 0);
}
