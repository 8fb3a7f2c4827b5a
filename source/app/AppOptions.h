// AppOptions: the city scene's display options, read from "appOptions" of the
// configuration, toggled by its keys and edited by the options menu.
#pragma once

#include "Core/Singleton.h"

namespace Vantor {
class XMLElement;
}

// The groups of scene models that the render flags switch, told by the
// folder of the model's file: "models\\buildings\\", "models\\pedestrians\\",
// "models\\birds\\" and "models\\cars\\" (any case). Models elsewhere, such
// as the ground, are always drawn.
enum class ModelGroup { other, buildings, pedestrians, birds, cars };
ModelGroup modelGroupOf(const char* file);

class AppOptions : public Vantor::Singleton<AppOptions> {
public:
    static constexpr float defaultFarClip = 20000.0f;
    static constexpr float defaultNearClip = 50.0f;

    // The four render flags decide whether the scene draws its models of
    // that group (see ModelGroup).
    bool renderBuildings = true;
    bool renderPedestrians = true;
    bool renderBirds = false;
    bool renderCars = false;
    bool displayFPS = true;
    bool fog = true;
    bool showOcclusionMap = false;
    bool occlusionCulling = false;
    bool showPolyCount = false;
    float farClip = defaultFarClip;
    float nearClip = defaultNearClip;
    bool antialiasing = true;

    // Fills the options from an "appOptions" element: integer keys are true
    // when not zero (missing keys take their defaults: occlusionCulling 1,
    // every other flag 0), the clip keys are floats.
    void read(const Vantor::XMLElement& element);
    // Whether the render flags let the scene draw models of group.
    bool shows(ModelGroup group) const;
};
