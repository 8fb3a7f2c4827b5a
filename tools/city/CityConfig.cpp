// Writing the starter city's configuration file. The engine's XML reader
// keeps attribute values as the raw text between double quotes, so values
// here are plain numbers and paths without entities.
#include "city/CityConfig.h"

#include "city/CityLayout.h"

#include <cstdio>

namespace Vantor::tools::city {

namespace {

// Orbiting camera: looks at the centre of the map from kOrbitRadius, kept
// between the two limits and above the horizon.
constexpr float kOrbitRadius = 2000.0f;
constexpr float kOrbitMinRadius = 200.0f;
constexpr float kOrbitMaxRadius = 6000.0f;

struct Colour {
    float r, g, b;
};

// A shadow-casting point light high above the city; range 0 reaches everything.
struct SceneLight {
    float x, y, z;
    float range;
    Colour diffuse;
    Colour specular;
};

const Colour kAmbient{0.32f, 0.32f, 0.36f};
// A warm light over the south-west corner whose range reaches the far corner
// of the map, and a cool one beyond the north-east corner without a range
// (meshes drawn with fixed-function lighting get its full colour everywhere).
const SceneLight kLights[] = {
    {0.0f, 5200.0f, 0.0f, 8000.0f, {0.90f, 0.78f, 0.60f}, {0.35f, 0.30f, 0.25f}},
    {4600.0f, 5600.0f, -4600.0f, 0.0f, {0.35f, 0.42f, 0.60f}, {0.15f, 0.18f, 0.25f}},
};

// Parameters of the lit shader, all four-float vectors: where the light is
// in the mesh's space and in the world, the eye, and the light's colours.
const char* const kLitParams[] = {"objectLightPosition", "lightPosition", "eyePosition", "lightDiffuse",
                                  "lightSpecular"};

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}

std::string colour(const char* element, const Colour& c) {
    return "<" + std::string(element) + " r=\"" + number(c.r) + "\" g=\"" + number(c.g) + "\" b=\"" +
           number(c.b) + "\" a=\"1\"/>";
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
            "displayFPS=\"1\" fog=\"1\" nearClip=\"50\" farClip=\"20000\" occlusionCulling=\"1\" "
            "showOcclusionMap=\"0\"/>");
    line(1, "<cameras>");
    line(2, "<orbitalCamera radius=\"" + number(kOrbitRadius) + "\" hemisphere=\"1\" maxRadius=\"" +
                number(kOrbitMaxRadius) + "\" minRadius=\"" + number(kOrbitMinRadius) + "\" x=\"" +
                number(kMapSize / 2) + "\" y=\"0\" z=\"" + number(-kMapSize / 2) + "\"/>");
    line(2, "<fpsCamera x=\"" + number(kWalkStartX) + "\" y=\"" + number(kWalkStartY) + "\" z=\"" +
                number(kWalkStartZ) + "\"/>");
    line(1, "</cameras>");
    line(1, "<skinShader filename=\"shaders\\skinning.vp\" language=\"ARB\"/>");

    line(1, "<scene>");
    line(2, colour("ambient", kAmbient));
    for (const SceneLight& light : kLights) {
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
    line(
        3,
        "<shader name=\"base\" vertex=\"shaders\\base.vp\" fragment=\"shaders\\base.fp\" language=\"ARB\"/>");
    line(3, "<shader name=\"lit\" vertex=\"shaders\\litTextured.vp\" fragment=\"shaders\\litTextured.fp\" "
            "language=\"ARB\">");
    for (const char* param : kLitParams)
        line(4, "<param name=\"" + std::string(param) + "\" type=\"vector\"/>");
    line(4, "<objectshader filename=\"scripts\\objectLight.ds\"/>");
    line(3, "</shader>");
    line(2, "</shaders>");
    line(2, "<materials>");
    for (const SceneModel& model : models)
        for (const std::string& material : model.materials) {
            line(3, "<material name=\"" + material + "\">");
            line(4, "<pass id=\"0\" shader=\"base\"/>");
            line(4, "<pass id=\"1\" shader=\"lit\"/>");
            line(3, "</material>");
        }
    line(2, "</materials>");
    line(1, "</materialProperties>");
    line(0, "</init>");
    return x;
}

} // namespace Vantor::tools::city
