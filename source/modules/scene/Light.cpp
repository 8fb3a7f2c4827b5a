// Lights: the copy rule, the light list, reading lights and colours from the
// scene description, and the glow particle that marks each light.
#include "modules/scene/Light.h"

#include "modules/particles/ParticleManager.h"
#include "modules/xml/XMLFile.h"

namespace Vantor {

namespace {

// Where a light without a "position" element stands.
constexpr float kDefaultLightX = 1.0f;
constexpr float kDefaultLightY = 2.0f;
constexpr float kDefaultLightZ = 0.7f;
// The glow's colour is twice the diffuse colour lifted by this, each clamped to [0, 1].
constexpr float kGlowColourLift = 0.3f;
// Attenuation of a light with a range: 1 / (range^2 * kQuadraticScale) quadratic, constant kRangedConstant.
constexpr double kQuadraticScale = 0.2;
constexpr double kRangedConstant = 0.5;

float clampUnit(float value) { return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value); }

} // namespace

Light& Light::operator=(const Light& other) {
    if (this == &other)
        return *this;
    position = other.position;
    for (int i = 0; i < 4; ++i) {
        diffuse[i] = other.diffuse[i];
        specular[i] = other.specular[i];
    }
    range = other.range;
    castShadows = other.castShadows;
    glow = other.glow;
    quadraticAttenuation = other.quadraticAttenuation;
    linearAttenuation = other.linearAttenuation;
    constantAttenuation = other.constantAttenuation;
    return *this;
}

void Light::setPosition(float x, float y, float z) {
    position = Vector4(x, y, z, 1.0f);
    if (glow)
        glow->position = Vector3(x, y, z);
}

ShadowLight Light::shadowLight() const {
    ShadowLight shadow;
    shadow.position = position;
    shadow.range = range;
    shadow.index = index;
    return shadow;
}

ArrayList<Light>& lights() {
    static ArrayList<Light> list;
    return list;
}

int addLight(const Light& light) {
    ArrayList<Light>& list = lights();
    if (list.size < unsigned(kMaxLights)) {
        list.add(light);
        list[list.size - 1].index = int(list.size) - 1;
    }
    return list.size == 0 ? -1 : list[list.size - 1].index;
}

void readColour(XMLElement* element, float* colour) {
    static const char* const names[4] = {"r", "g", "b", "a"};
    for (int i = 0; i < 4; ++i)
        colour[i] = element ? element->getAttribFloat(names[i], 1.0f) : 1.0f;
}

Light readLight(XMLElement& element) {
    Light light;
    light.range = element.getAttribFloat("range", 0.0f);
    light.castShadows = element.getAttribInt("castShadows", 1) != 0;

    const XMLElement& place = element.getChild("position");
    float x = place.getAttribFloat("x", kDefaultLightX);
    float y = place.getAttribFloat("y", kDefaultLightY);
    float z = place.getAttribFloat("z", kDefaultLightZ);
    const float w = place.getAttribFloat("w", 1.0f);
    if (w == 0.0f) {
        x *= kDirectionalLightDistance;
        y *= kDirectionalLightDistance;
        z *= kDirectionalLightDistance;
    } else if (w != 1.0f) {
        x /= w;
        y /= w;
        z /= w;
    }
    light.position = Vector4(x, y, z, 1.0f);

    readColour(element.findChild("diffuse"), light.diffuse);
    readColour(element.findChild("specular"), light.specular);

    Particle glow;
    glow.position = Vector3(x, y, z);
    for (int i = 0; i < 4; ++i)
        glow.colour[i] = clampUnit(2.0f * light.diffuse[i] + (i < 3 ? kGlowColourLift : 0.0f));
    glow.size = kLightGlowSize;
    light.glow = ParticleManager::getInstance()->addParticle(glow);

    if (light.range != 0.0f) {
        light.quadraticAttenuation = 1.0 / (double(light.range) * light.range * kQuadraticScale);
        light.linearAttenuation = 0.0;
        light.constantAttenuation = kRangedConstant;
    }
    return light;
}

} // namespace Vantor
