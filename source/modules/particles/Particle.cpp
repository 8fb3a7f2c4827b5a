// Particle::update: one time step of a particle's simple physics.
//
// Forces (acceleration, gravity, drag) change the velocity during the step;
// when any of them acted, the position moves by the average of the velocities
// at the start and at the end of the step, which is exact for constant
// acceleration however long the step.
#include "modules/particles/Particle.h"

#include "Core/Angle.h"

#include <cmath>

namespace Vantor {

void Particle::update(float dt) {
    if (sizeGrowth > 0)
        size += sizeGrowth * dt;

    const Vector3 startVelocity = velocity;
    bool forced = false;
    if (accelerate) {
        velocity += acceleration * dt;
        acceleration = acceleration * std::pow(kParticleAccelerationDecay, dt);
        forced = true;
    }
    if (gravity) {
        velocity.y -= kParticleGravity * dt;
        forced = true;
    }
    if (orbit) {
        orbitRadius += orbitRadiusSpeed * dt;
        orbitAngle = wrapAngleClosed(orbitAngle + orbitAngularSpeed * dt);
        const float radians = static_cast<float>(orbitAngle * kDegreesToRadians);
        position.x = std::sin(radians) * orbitRadius + orbitCentreX;
        position.z = std::cos(radians) * orbitRadius + orbitCentreZ;
    }
    if (drag != 0) {
        velocity = velocity * std::pow(drag, dt);
        forced = true;
    }

    const Vector3 moving = forced ? (startVelocity + velocity) * 0.5f : velocity;
    position += moving * dt;

    if (lifeDecay > 0)
        life -= lifeDecay * dt;
}

} // namespace Vantor
