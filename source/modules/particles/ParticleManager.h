// ParticleManager: the plug-in that moves every listed particle system in the
// animate phase and draws all their particles in the render phase, as
// camera-facing quads with one shared sprite texture.
//
// A frame's drawing is planned without GL (gather, sort keys, draw order,
// quads with their colours and centres) and then sent to GL, so the plan can
// be checked on its own. Additive particles (blend != kParticleAlphaBlend)
// need no order; as soon as one alpha-blended particle is among those
// gathered, all of them are drawn back to front.
//
// The manager is a singleton created on first use (the first system, the
// first addParticle, or plug-in set-up). It lists at most kMaxParticleSystems
// systems and owns those still listed when it is destroyed; systems that
// empty out with autoRemove set are only unlisted, their owners delete them.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Matrix4.h"
#include "Core/Singleton.h"
#include "Core/Vector3.h"
#include "Core/WinAppFramework/Plugin.h"
#include "modules/particles/Particle.h"
#include "modules/particles/ParticleSystem.h"

namespace Vantor {

class Texture;

// Particles gathered and drawn per frame; the rest wait for a later frame.
constexpr int kMaxDrawnParticles = 2048;
// Systems the manager can list at once.
constexpr int kMaxParticleSystems = 2048;
// Colour factor of each of the two passes of a glowing particle, times its life.
constexpr float kGlowPassFactor = 0.4f;
// Passes a particle is drawn in at most.
constexpr int kMaxParticlePasses = 2;

// One textured quad of the frame: a pass of a particle.
struct ParticleQuad {
    // RGBA given to glColor4f: the particle's colour times its life (and the glow factor).
    float colour[4];
    // Where the quad's centre goes, in world coordinates.
    Vector3 centre;
    // Half the quad's edge.
    float size;
    int blend;
};

// Appends the one or two passes of p, for the eye at eye: a glowing particle
// twice at kGlowPassFactor, the second pass moved size units towards the eye.
void appendParticlePasses(const Particle& p, const Vector3& eye, ArrayList<ParticleQuad>& quads);

// The draw-order key of a particle of half-size size at p seen through the
// modelview matrix m: its distance in front of the eye along the view axis,
// less its size. Drawing in decreasing key order paints back to front.
float particleSortKey(const float* m, const Vector3& p, float size);

class ParticleManager : public Plugin, public Singleton<ParticleManager> {
public:
    static constexpr int renderPriority = 5;
    static constexpr int animatePriority = 0;

    // The frame's sort keys and draw order, by gathered index.
    float sortKeys[kMaxDrawnParticles] = {};
    int drawIndices[kMaxDrawnParticles] = {};
    // The live particles of all listed systems, in list order.
    Particle* gathered[kMaxDrawnParticles] = {};
    // The blend mode the last drawn particle set; -1 at the start of drawing.
    int currentBlend = -1;
    int gatheredCount = 0;
    ParticleSystem* systems[kMaxParticleSystems] = {};
    int systemCount = 0;
    // Where addParticle puts particles; created by the first addParticle.
    ParticleSystem* defaultSystem = nullptr;
    // The shared sprite; null until init has loaded it.
    Texture* texture = nullptr;

    ParticleManager();
    // Deletes every system still listed, and the default system.
    ~ParticleManager() override;

    // Loads the sprite texture unless it is loaded already. Throws what the
    // texture loader throws when the image cannot be read.
    void init() override;
    // Moves every listed system on by the frame time, removes dead
    // particles, then unlists the empty systems that may be dropped.
    void animate() override;
    // Draws the gathered particles with the current camera's view. Throws
    // Exception when the sprite texture cannot be loaded.
    void render() override;

    // Adds a copy of p to the default system; the copy, or null when that is full.
    Particle* addParticle(const Particle& p);

    // Lists system and sets its registered flag; false (and nothing listed)
    // when kMaxParticleSystems are listed already.
    bool registerSystem(ParticleSystem* system);
    // Unlists system (the last entry takes its place) and clears its flag.
    void unregisterSystem(ParticleSystem* system);

    // Fills gathered with the live particles of the listed systems, in list
    // order, stopping at kMaxDrawnParticles.
    void gather();
    // Sets the draw indices to 0..gatheredCount-1 and the sort keys for the
    // modelview matrix m; sorts the indices by increasing key when any
    // gathered particle is alpha-blended.
    void computeDrawOrder(const float* m);
    // Replaces quads by the passes of the gathered particles in drawing order:
    // the last draw index first.
    void buildQuads(const Vector3& eye, ArrayList<ParticleQuad>& quads) const;
    // gather, computeDrawOrder and buildQuads: the frame's quads for the
    // modelview matrix m and the eye at eye.
    void planFrame(const float* m, const Vector3& eye, ArrayList<ParticleQuad>& quads);

    // The rotation part of m transposed, without translation: the matrix that
    // turns a quad in the xy plane to face the viewer of m.
    static Matrix4 billboardMatrix(const float* m);

private:
    // Drops entry i from systems; the last entry takes its place.
    void unlist(int i);

    // Scratch of the sort and the frame's quads, kept between frames.
    ArrayList<float> keyScratch;
    ArrayList<unsigned> orderScratch;
    ArrayList<ParticleQuad> frameQuads;
};

} // namespace Vantor
