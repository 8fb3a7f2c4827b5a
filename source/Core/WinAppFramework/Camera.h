// Camera, OrbitalCamera and FPSCamera: the view the frame is rendered from.
//
// A camera owns a perspective projection (set in GL only by applyProjection)
// and a view matrix that update rebuilds from the camera's own parameters;
// viewMatrix is stale between a parameter change and the next update. Angles
// are degrees: rotation.x pitch, rotation.y yaw, rotation.z roll. setRotation
// keeps pitch within +-maxPitch and pitch and yaw within (-180, 180].
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector3.h"

#include <limits>

namespace Vantor {

class Camera {
public:
    static constexpr double defaultFov = 90.0;
    static constexpr double defaultNearClip = 7.0;
    static constexpr double defaultFarClip = 6000.0;
    static constexpr double defaultAspect = 4.0 / 3.0;
    // Pitch stops short of straight up and down, where yaw would be lost.
    static constexpr float maxPitch = 178.0f;

    double fov = defaultFov;
    double nearClip = defaultNearClip;
    double farClip = defaultFarClip;
    double aspect = defaultAspect;
    Matrix4 viewMatrix;

    virtual ~Camera() = default;

    // Rebuilds viewMatrix; the base camera has no parameters and keeps it.
    virtual void update() {}
    // The eye position in world coordinates, from viewMatrix as it stands.
    virtual Vector3 getPosition() const;

    // Loads the perspective projection and leaves the modelview matrix selected.
    void applyProjection() const;
    // Updates the view, then returns the eye position it implies.
    Vector3 computeEyePosition();
};

class FPSCamera : public Camera {
public:
    Vector3 position;
    Vector3 rotation;

    // viewMatrix = rotate(pitch) * rotate(yaw) * rotate(roll) * translate(-position).
    void update() override;
    void setRotation(const Vector3& v);
    void rotate(const Vector3& delta) { setRotation(rotation + delta); }
};

class OrbitalCamera : public Camera {
public:
    static constexpr float defaultDistance = 100.0f;
    // Until limits are set, distance may grow without bound but not go below 0.
    static constexpr float defaultMinRadius = 0.0f;
    static constexpr float defaultMaxRadius = std::numeric_limits<float>::max();

    // Keeps the camera above the horizon (pitch >= 0).
    bool hemisphere = false;
    float maxRadius = defaultMaxRadius;
    float minRadius = defaultMinRadius;
    float distance = defaultDistance;
    Vector3 rotation{45.0f, 45.0f, 0.0f};
    Vector3 target{0.0f, 25.0f, 0.0f};
    // A sideways shift of the eye in view space, ignored by getPosition.
    float sideOffset = 0;

    ~OrbitalCamera() override = default;

    // viewMatrix = translate(sideOffset, 0, -distance) * rotate(pitch) *
    // rotate(yaw) * rotate(roll) * translate(-target).
    void update() override;
    // target plus distance along the reversed view direction, from the angles
    // directly (viewMatrix is not used).
    Vector3 getPosition() const override;
    void setRotation(const Vector3& v);
    void rotate(const Vector3& delta) { setRotation(rotation + delta); }
    // Changes distance by amount, then clamps it as setDistance does.
    void zoom(float amount);
    // Sets distance clamped to [minRadius, maxRadius]; minRadius wins when the
    // limits cross.
    void setDistance(float d);
};

} // namespace Vantor
