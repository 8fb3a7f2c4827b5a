// The model cache: every loaded model, stored by value, reached through
// references that hold indices, and the animation players that drive them.
//
// Index 0 of the cache is a default model that never denotes a loaded one.
// Growing past the reserved room moves the models (copies that re-point
// their meshes and instances), so Model pointers are good only until the next
// load; references stay good for the whole run.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "modules/model/Model.h"

namespace Vantor {

// Models the cache has room for before it grows.
constexpr unsigned kModelCacheReserve = 512;
// Animation frames per second of frame time.
constexpr float kAnimationFramesPerSecond = 30.0f;

struct ModelRef;

// Plays one motion of a reference's model.
struct AnimationPlayer {
    int motion = 0;
    ModelRef* ref = nullptr;
    float time = 0.0f;
    bool interpolate = true;
    bool loop = false;
    bool stopped = false;
    bool finished = false;
};

// A model of the cache and the instance of it one user draws. Owns its
// player; a copy gets a player of its own with the same settings.
struct ModelRef {
    AnimationPlayer* ownedPlayer = nullptr;
    int modelIndex = 0;
    int instanceIndex = 0;

    ModelRef() = default;
    ModelRef(const ModelRef& other) { *this = other; }
    ModelRef& operator=(const ModelRef& other);
    ~ModelRef() { delete ownedPlayer; }

    // The player, created with its defaults on first use.
    AnimationPlayer* player();
};

class ModelManager : public Singleton<ModelManager> {
public:
    ArrayList<Model> models;

    ModelManager();

    // Loads a fresh model, appends it to the cache with one instance and
    // returns its reference. Throws Exception when the file does not load
    // (the wrong-signature exception of the loader passes through).
    ModelRef load(const char* fileName, int skinProgram);
    // The model, with its current instance set to the reference's; null for
    // an index outside the cache.
    Model* resolve(const ModelRef& ref);
    // The model without changing its current instance.
    Model* getModel(const ModelRef& ref);
    // Moves the player on by dt seconds and, with apply, poses the model at
    // the new time and skins it. False when there is nothing to play, or when
    // a player that does not loop reached its motion's last frame (it stops
    // at frame 0 then, and nothing is applied).
    bool advance(AnimationPlayer& player, float dt, bool apply);
};

} // namespace Vantor
