// Scene: the models, ambient colour and eye matrix of the scene description,
// rendered each frame in a base pass, one additive pass per light inside its
// stencil shadows, and an ambient pass.
//
// The scene's ambient colour lights the ambient pass (the meshes that are
// not lit per light, but for those the base pass draws whole); the base
// pass's programs bring their own. Shadow volumes are drawn with depth
// clamping where the driver has it, so far caps beyond the far plane still
// count.
//
// While it renders, the scene publishes the eye and the current light into
// the shader parameter database ("eyeModelview", "eyePosition",
// "lightPosition", "lightDiffuse", "lightSpecular", and "lightRange" as
// (range, 1 / range, 1 / range^2, 0), all zeros without a range) for
// material programs.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Matrix4.h"
#include "Core/String.h"
#include "Core/Vector3.h"
#include "modules/model/ModelManager.h"

namespace Vantor {

class Light;
class XMLElement;

// Told where renderScene's passes end, for measuring them: "start" once the
// animations have advanced and the lights are set up, then "base", for each
// light "volumes" (updated, rebuilt and drawn; lights that cast no shadows
// have none) and "light" (its lit pass), and "ambient"; light is the light's
// index, -1 for the others.
class PassObserver {
public:
    virtual ~PassObserver() = default;
    virtual void passEnded(const char* pass, int light) = 0;
};

class Scene {
public:
    ArrayList<ModelRef> models;
    // The file each model was loaded from, at the model's index.
    ArrayList<String> modelFiles;
    // Models marked here are still animated but neither drawn nor
    // shadowed; indices past the end are shown.
    ArrayList<bool> modelHidden;
    float ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Matrix4 eyeModelview;
    // Not owned; null when nobody measures the passes.
    PassObserver* passObserver = nullptr;
    // Whether a shadowed light with a range seen from outside its reach
    // masks what lies beyond the reach out of its lit pass; the picture is
    // the same without.
    bool reachMasks = true;
    // Whether shadow volumes are cut off a little below the lowest point of
    // the shown models, which saves filling what lies underground. The
    // picture is the same without, as long as every lit surface is one of the
    // shown models: a caller that draws surfaces of its own under them would
    // see their shadows cut away.
    bool floorCuts = false;
    // Whether each volume is drawn once, its front and back faces counted
    // with separate stencil operations, where the driver has them, instead
    // of once per face; the picture is the same either way.
    bool twoSidedVolumes = true;

    // Reads "ambient", every "light" (into the light list) and every "model"
    // (loaded into the model cache; files that do not load are left out).
    void readScene(XMLElement& sceneElement);
    // Renders every model with the current modelview as the camera's view,
    // advancing the animations by frameDelta. The stencil buffer is to be
    // clear when it starts, as the frame's clear leaves it; the last light
    // with shadows leaves its counts there.
    void renderScene();

    bool shown(unsigned index) const { return index >= modelHidden.size || !modelHidden[index]; }

    // The steps of renderScene, for callers that time them.
    // Clears stopped and finished of every player and advances it by dt.
    void animate(float dt);
    // The eye in world space: the inverse of eyeModelview applied to the origin.
    Vector3 eyePosition() const;
    // The shadow-volume update and then the rebuild of every mesh of every
    // model for light. With a view-projection matrix, volumes that cannot
    // reach into that view are left inactive.
    void updateShadowVolumes(const Light& light, const Vector3& eye, const Matrix4* viewProjection = nullptr);
    // The lowest world height of the bounding boxes of the shown models'
    // meshes; +infinity without any.
    float floorHeight();
    // Model::render of every shown model.
    void renderModels(int mode, int light, int pass);
    // Draws the volumes of every mesh for light into the stencil buffer.
    void drawShadowVolumes(const Light& light, bool capped);
    // Counts the volumes for light that are drawn capped (by depth fail) or
    // not (by depth pass) into the stencil buffer, with the stencil test on.
    void countShadowVolumes(const Light& light, bool capped);

private:
    void passEnded(const char* pass, int light);
};

} // namespace Vantor
