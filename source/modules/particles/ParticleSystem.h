// ParticleSystem: a fixed-capacity array of particles that the particle
// manager moves and draws every frame.
//
// The live particles are always the first count entries of particles; dead
// ones are replaced by the last live one, so the order of particles changes as
// they die. A system lists itself with the ParticleManager when it is
// constructed (unless the manager's list is full, in which case registered
// stays false and the manager never sees it) and unlists itself when it is
// destroyed. Systems live on the heap: the manager deletes those still listed
// when it is destroyed, and the owner deletes the others.
#pragma once

#include "modules/particles/Particle.h"

namespace Vantor {

// Capacity of the manager's default system.
constexpr int kDefaultSystemCapacity = 1024;

class ParticleSystem {
public:
    // Owned; count live particles at the front of capacity entries.
    Particle* particles = nullptr;
    int count = 0;
    int capacity = 0;
    // The manager unlists the system once it is empty, unless keepAlive is set.
    bool autoRemove = true;
    bool keepAlive = false;
    // True while the manager lists the system.
    bool registered = false;

    // Lists the system with the manager, creating the manager if need be.
    ParticleSystem();
    // Frees the particles and unlists the system when it is still listed.
    virtual ~ParticleSystem();
    // Called after every update; does nothing unless overridden.
    virtual void onUpdate();
    // A spare hook for derived systems; the engine never calls it.
    virtual void onSecondHook();

    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // Replaces the particles by capacity default particles, none of them live.
    void init(int newCapacity);
    // Copies p behind the live particles; the copy, or null when the system is full.
    Particle* add(const Particle& p);
    // Moves every live particle on by dt seconds, then calls onUpdate.
    void update(float dt);
    // Walks the live particles once; each one with life <= 0 is replaced by
    // the last live particle, which is examined only on the next walk.
    void removeDead();
};

} // namespace Vantor
