// Particle: one camera-facing textured quad with simple physics, a plain
// 120-byte record copied bytewise in and out of its system's array.
#pragma once

#include "Core/Vector3.h"

#include <type_traits>

namespace Vantor {

// Particle::blend value that draws with alpha blending; any other is additive.
constexpr int kParticleAlphaBlend = 1;
// Downward acceleration of particles with gravity, units/s^2.
constexpr float kParticleGravity = 98.0f;
// What is left of an accelerating particle's acceleration after one second.
constexpr float kParticleAccelerationDecay = 0.99900001f;

struct Particle {
    // velocity.y decreases by kParticleGravity units/s^2.
    bool gravity = false;
    bool reservedFlag = true;
    // Drawn a second time, nearer the eye and dimmer.
    bool glow = false;
    // velocity changes by acceleration, which decays.
    bool accelerate = false;
    Vector3 velocity;
    Vector3 acceleration;
    Vector3 position;
    // Removed once 0 or less; also scales the drawn colour.
    float life = 1.0f;
    float reservedScale = 1.0f;
    // Life lost per second; 0 or less is immortal.
    float lifeDecay = 0.0f;
    float reservedFactor = 1.0f;
    // Circles the vertical axis through (orbitCentreX, orbitCentreZ).
    bool orbit = false;
    float orbitAngle = 0.0f;
    float orbitRadius = 0.0f;
    float orbitRadiusSpeed = 0.0f;
    float orbitCentreX = 0.0f;
    float orbitCentreZ = 0.0f;
    float orbitAngularSpeed = 0.0f;
    // Velocity is multiplied by drag to the power dt when drag is not 0.
    float drag = 0.0f;
    // Half the quad's edge, and its growth per second when positive.
    float size = 0.0f;
    float sizeGrowth = 0.0f;
    float colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int reservedWord = 0;
    int blend = 0;

    // Moves the particle on by dt seconds.
    void update(float dt);
};

static_assert(sizeof(Particle) == 120, "a particle is a 120-byte record");
static_assert(std::is_trivially_copyable<Particle>::value, "particles are copied bytewise");

} // namespace Vantor
