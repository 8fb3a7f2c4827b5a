// Writing the city's configuration file. The engine's XML reader
// keeps attribute values as the raw text between double quotes, so values
// here are plain numbers and paths without entities.
#include "city/CityConfig.h"

#include "city/CityLayout.h"

#include <cstdio>

namespace Vantor::tools::city {

namespace {

// Orbiting camera: looks at the centre of the map from kOrbitRadius, kept
// between kOrbitMinRadius and kOrbitMaxRadius and above the horizon.
constexpr float kOrbitRadius = 4000.0f;
constexpr float kOrbitMinRadius = 200.0f;

struct Colour {
    float r, g, b;
};

// The ambient light of a clear dusk, blue from the sky after sunset; the
// base pass program (data/shaders/base.fp) gives the surfaces lit per light
// the same colour.
const Colour kAmbient{0.26f, 0.25f, 0.36f};

// Near clipping just short of a pedestrian passing the walking camera.
constexpr float kNearClip = 8.0f;
constexpr float kFarClip = 20000.0f;

// A shader entry of the description: its programs, language, parameters
// and object shader.
struct ShaderEntry {
    const char* name;
    const char* vertex;
    const char* fragment;
    const char* language;
    std::vector<const char*> params;
    const char* objectShader;
};

const ShaderEntry kShaders[] = {
    {"base", "shaders\\base.vp", "shaders\\base.fp", "ARB", {}, nullptr},
    {"lit",
     "shaders\\litTextured.vp",
     "shaders\\litTextured.fp",
     "ARB",
     {"objectLightPosition", "lightPosition", "eyePosition", "lightDiffuse", "lightSpecular", "lightRange"},
     "scripts\\objectLight.ds"},
    {"litNormalMapped",
     "shaders\\normalMapped.vp",
     "shaders\\normalMapped.fp",
     "ARB",
     {"objectLightPosition", "objectEyePosition", "lightDiffuse", "lightSpecular", "lightRange"},
     "scripts\\objectLightEye.ds"},
    {"litMoving",
     "shaders\\litObject.vert",
     "shaders\\litTextured.frag",
     "GLSL",
     {"objectLightPosition", "objectEyePosition", "lightDiffuse", "lightSpecular", "lightRange"},
     "scripts\\objectLightEye.ds"},
};

const char* litShaderName(LitPass lit) {
    switch (lit) {
    case LitPass::normalMapped: return "litNormalMapped";
    case LitPass::moving: return "litMoving";
    default: return "lit";
    }
}

} // namespace

const std::vector<SceneLight>& sceneLights() {
    // Dusk, so the lights make the picture: a warm sodium light over the
    // crossing at the park's south-east corner and a cool white one over the
    // crossing south-west of the walking camera's start, low enough that
    // buildings throw long shadows across the streets, and a small orange
    // lamp over the park's fountain.
    static const std::vector<SceneLight> lights = {
        {2400.0f, 900.0f, -1600.0f, 2200.0f, {0.98f, 0.78f, 0.50f}, {0.45f, 0.36f, 0.22f}},
        {800.0f, 800.0f, -800.0f, 2200.0f, {0.52f, 0.64f, 0.95f}, {0.22f, 0.27f, 0.40f}},
        {2000.0f, 300.0f, -2000.0f, 600.0f, {0.95f, 0.60f, 0.28f}, {0.30f, 0.20f, 0.10f}},
    };
    return lights;
}

namespace {

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}

std::string colour(const char* element, const float* c) {
    return "<" + std::string(element) + " r=\"" + number(c[0]) + "\" g=\"" + number(c[1]) + "\" b=\"" +
           number(c[2]) + "\" a=\"1\"/>";
}

} // namespace

std::string initXML(const std::vector<SceneModel>& models) {
    std::string x;
    auto line = [&x](int depth, const std::string& text) {
        x += std::string(size_t(depth) * 2, ' ') + text + "\n";
    };

    line(0, "<?xml version=\"1.0\"?>");
    line(0, "<init>");
    line(1, "<defaultFont imageFilename=\"fonts\\dejavu.bmp\" dataFilename=\"fonts\\dejavu.dat\"/>");
    line(1, "<cursor filename=\"" + std::string(kCursorPath) + "\"/>");
    line(1, "<skybox filename=\"images\\sky*.bmp\"/>");
    line(1, "<groundTexture filename=\"" + std::string(kGroundImagePath) + "\"/>");
    line(1, "<appOptions renderBirds=\"1\" renderPedestrians=\"1\" renderBuildings=\"1\" renderCars=\"1\" "
            "displayFPS=\"1\" fog=\"1\" nearClip=\"" + number(kNearClip) + "\" farClip=\"" + number(kFarClip) +
                "\" occlusionCulling=\"1\" showOcclusionMap=\"0\"/>");
    line(1, "<cameras>");
    line(2, "<orbitalCamera radius=\"" + number(kOrbitRadius) + "\" hemisphere=\"1\" maxRadius=\"" +
                number(kOrbitMaxRadius) + "\" minRadius=\"" + number(kOrbitMinRadius) + "\" x=\"" +
                number(kMapSize / 2) + "\" y=\"0\" z=\"" + number(-kMapSize / 2) + "\"/>");
    line(2, "<fpsCamera x=\"" + number(kWalkStartX) + "\" y=\"" + number(kWalkStartY) + "\" z=\"" +
                number(kWalkStartZ) + "\"/>");
    line(1, "</cameras>");
    line(1, "<skinShader filename=\"shaders\\skinning.vp\" language=\"ARB\"/>");

    line(1, "<scene>");
    const float ambient[3] = {kAmbient.r, kAmbient.g, kAmbient.b};
    line(2, colour("ambient", ambient));
    for (const SceneLight& light : sceneLights()) {
        line(2, light.range > 0 ? "<light castShadows=\"1\" range=\"" + number(light.range) + "\">"
                                : std::string("<light castShadows=\"1\">"));
        line(3, "<position x=\"" + number(light.x) + "\" y=\"" + number(light.y) + "\" z=\"" +
                    number(light.z) + "\" w=\"1\"/>");
        line(3, colour("diffuse", light.diffuse));
        line(3, colour("specular", light.specular));
        line(2, "</light>");
    }
    for (const SceneModel& model : models)
        line(2, "<model filename=\"" + model.path + "\"/>");
    line(1, "</scene>");

    line(1, "<materialProperties>");
    line(2, "<shaders>");
    for (const ShaderEntry& shader : kShaders) {
        const std::string head = "<shader name=\"" + std::string(shader.name) + "\" vertex=\"" + shader.vertex +
                                 "\" fragment=\"" + shader.fragment + "\" language=\"" + shader.language + "\"";
        if (shader.params.empty() && !shader.objectShader) {
            line(3, head + "/>");
            continue;
        }
        line(3, head + ">");
        for (const char* param : shader.params)
            line(4, "<param name=\"" + std::string(param) + "\" type=\"vector\"/>");
        if (shader.objectShader)
            line(4, "<objectshader filename=\"" + std::string(shader.objectShader) + "\"/>");
        line(3, "</shader>");
    }
    line(2, "</shaders>");
    line(2, "<materials>");
    for (const SceneModel& model : models)
        for (const SceneMaterial& material : model.materials) {
            line(3, "<material name=\"" + material.name + "\">");
            line(4, "<pass id=\"0\" shader=\"base\"/>");
            if (material.lit != LitPass::none)
                line(4, "<pass id=\"1\" shader=\"" + std::string(litShaderName(material.lit)) + "\"/>");
            line(3, "</material>");
        }
    line(2, "</materials>");
    line(1, "</materialProperties>");
    line(0, "</init>");
    return x;
}

} // namespace Vantor::tools::city
