// Light and the process-wide light list: the scene's lights with their GL
// light numbers, colours, range, attenuation and glow particle.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Vector4.h"
#include "modules/model/ShadowVolume.h"

namespace Vantor {

struct Particle;
class XMLElement;

// Fixed-function GL has this many lights; the list holds no more.
constexpr int kMaxLights = 8;
// Half the edge of a light's glow sprite.
constexpr float kLightGlowSize = 35.0f;
// A directional light (w = 0) is placed this far away in its direction.
constexpr float kDirectionalLightDistance = 1000000.0f;

class Light {
public:
    // Always w = 1: directional lights are placed far away.
    Vector4 position{0.0f, 0.0f, 0.0f, 1.0f};
    float diffuse[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // 0 means no attenuation.
    float range = 0.0f;
    bool castShadows = true;
    // The light's place in the light list and its GL light number.
    int index = 0;
    // Owned by the particle manager's default system; may be null.
    Particle* glow = nullptr;
    // GL's defaults until a range sets them.
    double quadraticAttenuation = 0.0;
    double linearAttenuation = 0.0;
    double constantAttenuation = 1.0;

    Light() = default;
    // Copies everything but index: a copy is placed by whoever lists it.
    Light(const Light& other) { *this = other; }
    Light& operator=(const Light& other);

    // Sets the position with w = 1 and moves the glow there.
    void setPosition(float x, float y, float z);
    // The light as the shadow volumes see it.
    ShadowLight shadowLight() const;
};

// The process-wide list of at most kMaxLights lights.
ArrayList<Light>& lights();
// Appends a copy with index = its place when there is room; returns the
// index of the last light of the list (so a ninth light is dropped and the
// eighth's index returned), -1 for an empty list.
int addLight(const Light& light);
// The colour of the attributes "r", "g", "b", "a" (each 1 when missing);
// white for a missing element.
void readColour(XMLElement* element, float* colour);
// A light from a "light" element: range, castShadows, the normalised
// "position", the colours, the glow particle and the attenuation.
Light readLight(XMLElement& element);

} // namespace Vantor
