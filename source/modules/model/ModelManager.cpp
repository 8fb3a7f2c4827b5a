// The model cache and the animation step of its references.
#include "modules/model/ModelManager.h"

#include "Core/WinAppFramework/Exception.h"

namespace Vantor {

namespace {

const char* const loadName = "Vantor::ModelManager::load";
const char* const managerSourceFile = "source\\modules\\model\\ModelManager";
constexpr int lineLoadFailed = 27;

} // namespace

ModelRef& ModelRef::operator=(const ModelRef& other) {
    if (this == &other)
        return *this;
    modelIndex = other.modelIndex;
    instanceIndex = other.instanceIndex;
    delete ownedPlayer;
    ownedPlayer = nullptr;
    if (other.ownedPlayer) {
        ownedPlayer = new AnimationPlayer(*other.ownedPlayer);
        ownedPlayer->ref = this;
    }
    return *this;
}

AnimationPlayer* ModelRef::player() {
    if (!ownedPlayer) {
        ownedPlayer = new AnimationPlayer;
        ownedPlayer->ref = this;
    }
    // A reference moved by its list carries its player along.
    ownedPlayer->ref = this;
    return ownedPlayer;
}

ModelManager::ModelManager() {
    models.reserve(kModelCacheReserve);
    models.add(Model());
}

ModelRef ModelManager::load(const char* fileName, int skinProgram) {
    Model fresh;
    if (!fresh.load(fileName, skinProgram)) {
        String message("Error Loading Model: \n    ");
        message.append(fileName);
        throw Exception(message, loadName, managerSourceFile, lineLoadFailed);
    }
    models.add(fresh);
    ModelRef ref;
    ref.modelIndex = int(models.size) - 1;
    ref.instanceIndex = models[models.size - 1].addInstance();
    return ref;
}

Model* ModelManager::getModel(const ModelRef& ref) {
    if (ref.modelIndex < 0 || unsigned(ref.modelIndex) >= models.size)
        return nullptr;
    return &models[unsigned(ref.modelIndex)];
}

Model* ModelManager::resolve(const ModelRef& ref) {
    Model* model = getModel(ref);
    if (model)
        model->currentInstance = ref.instanceIndex;
    return model;
}

bool ModelManager::advance(AnimationPlayer& player, float dt, bool apply) {
    if (!player.ref)
        return false;
    Model* model = getModel(*player.ref);
    if (!model || player.motion < 0 || unsigned(player.motion) >= model->motions.size)
        return false;
    const Motion& motion = model->motions[unsigned(player.motion)];
    if (!player.stopped) {
        player.time += dt * kAnimationFramesPerSecond;
        if (!player.loop && player.time >= float(motion.frameCount - 1)) {
            player.finished = true;
            player.stopped = true;
            player.time = 0.0f;
            return false;
        }
    }
    if (!apply)
        return true;
    model = resolve(*player.ref);
    model->motions[unsigned(player.motion)].apply(*model, player.time, player.interpolate);
    model->skin();
    // The box the whole model is culled by follows what the motion moved;
    // kept from the load it would cull a car by where it started.
    model->computeBox();
    return true;
}

} // namespace Vantor
