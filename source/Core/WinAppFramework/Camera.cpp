#include "Core/WinAppFramework/Camera.h"

#include <GL/glew.h>
#include <GL/glu.h>

namespace Vantor {

namespace {

// Clamps pitch to +-maxPitch (before wrapping, so 200 becomes 178, not -160)
// and wraps pitch and yaw into one turn; roll is left as it is.
Vector3 limitRotation(Vector3 v) {
    if (v.x < -Camera::maxPitch)
        v.x = -Camera::maxPitch;
    if (v.x > Camera::maxPitch)
        v.x = Camera::maxPitch;
    v.x = wrapAngle(v.x);
    v.y = wrapAngle(v.y);
    return v;
}

// Post-multiplies the rotations of pitch, yaw and roll, in that order.
void applyRotation(Matrix4& m, const Vector3& rotation) {
    m.rotate(rotation.x, 1, 0, 0);
    m.rotate(rotation.y, 0, 1, 0);
    m.rotate(rotation.z, 0, 0, 1);
}

} // namespace

Vector3 Camera::getPosition() const {
    Matrix4 inverse = viewMatrix;
    inverse.rigidInverse();
    return {inverse.m[12], inverse.m[13], inverse.m[14]};
}

void Camera::applyProjection() const {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, aspect, nearClip, farClip);
    glMatrixMode(GL_MODELVIEW);
}

Vector3 Camera::computeEyePosition() {
    update();
    return Camera::getPosition();
}

void FPSCamera::update() {
    viewMatrix.identity();
    applyRotation(viewMatrix, rotation);
    viewMatrix.translate(-position.x, -position.y, -position.z);
}

void FPSCamera::setRotation(const Vector3& v) { rotation = limitRotation(v); }

void OrbitalCamera::update() {
    viewMatrix.identity();
    viewMatrix.translate(sideOffset, 0, -distance);
    applyRotation(viewMatrix, rotation);
    viewMatrix.translate(-target.x, -target.y, -target.z);
}

Vector3 OrbitalCamera::getPosition() const {
    return target + Vector3::fromAngles(Vector3(-rotation.x, -rotation.y, 0), distance);
}

void OrbitalCamera::setRotation(const Vector3& v) {
    rotation = limitRotation(v);
    if (hemisphere && rotation.x < 0)
        rotation.x = 0;
}

void OrbitalCamera::zoom(float amount) { setDistance(distance + amount); }

void OrbitalCamera::setDistance(float d) {
    distance = d;
    if (minRadius > distance)
        distance = minRadius;
    else if (distance > maxRadius)
        distance = maxRadius;
}

} // namespace Vantor
