// ParticleSystem: storage, physics steps and removal of its particles, and
// its listing with the manager.
#include "modules/particles/ParticleSystem.h"

#include "modules/particles/ParticleManager.h"

namespace Vantor {

ParticleSystem::ParticleSystem() { ParticleManager::getInstance()->registerSystem(this); }

ParticleSystem::~ParticleSystem() {
    // The manager may already be gone at process exit; while it deletes its
    // systems it clears their registered flags first.
    if (registered && ParticleManager::exists())
        ParticleManager::getInstance()->unregisterSystem(this);
    delete[] particles;
}

void ParticleSystem::onUpdate() {}

void ParticleSystem::onSecondHook() {}

void ParticleSystem::init(int newCapacity) {
    delete[] particles;
    particles = nullptr;
    count = 0;
    capacity = newCapacity > 0 ? newCapacity : 0;
    if (capacity > 0)
        particles = new Particle[capacity];
}

Particle* ParticleSystem::add(const Particle& p) {
    if (count >= capacity)
        return nullptr;
    particles[count] = p;
    return &particles[count++];
}

void ParticleSystem::update(float dt) {
    for (int i = 0; i < count; ++i)
        particles[i].update(dt);
    onUpdate();
}

void ParticleSystem::removeDead() {
    for (int i = 0; i < count; ++i) {
        if (particles[i].life <= 0) {
            particles[i] = particles[count - 1];
            --count;
        }
    }
}

} // namespace Vantor
