// The city's configuration file: fonts, cursor, sky, ground, options,
// cameras, skin shader, the scene (ambient colour, lights, models in drawing
// order) and the material passes of every model's materials.
#pragma once

#include <string>
#include <vector>

namespace Vantor::tools::city {

// Engine paths (backslashes, relative to the program's working folder) of
// the files the generator writes.
constexpr const char* kConfigPath = "config files\\init.xml";
constexpr const char* kCollisionMapPath = "images\\colmap.bmp";
constexpr const char* kGroundImagePath = "images\\ground.bmp";
constexpr const char* kCursorPath = "images\\cursor.bmp";

// The shader entries of the description, by the look of the surface: the
// light pass of textured static surfaces (assembly programs), of
// normal-mapped facades (assembly programs reading the loader's tangents),
// and of textured moving meshes (GLSL, lit in the mesh's own space); none
// for meshes the light passes leave out (drawn once, through their pass 0). Every material's pass 0 is the base pass ("base").
enum class LitPass { textured, normalMapped, moving, none };

struct SceneMaterial {
    std::string name;
    LitPass lit = LitPass::textured;
};

// A model file of the scene and the materials it holds.
struct SceneModel {
    std::string path;
    std::vector<SceneMaterial> materials;
};

// A shadow-casting point light; range 0 reaches everything.
struct SceneLight {
    float x, y, z;
    float range;
    float diffuse[3];
    float specular[3];
};
const std::vector<SceneLight>& sceneLights();

// The text of the configuration file for these models, listed in this order.
std::string initXML(const std::vector<SceneModel>& models);

} // namespace Vantor::tools::city
