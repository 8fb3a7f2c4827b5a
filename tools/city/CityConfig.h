// The starter city's configuration file: fonts, cursor, sky, ground, options,
// cameras, skin shader, the scene (ambient colour, lights, models) and the
// material passes of every model's materials.
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

// A model file of the scene and the names of the materials it holds.
struct SceneModel {
    std::string path;
    std::vector<std::string> materials;
};

// The text of the configuration file for these models. Every material gets
// pass 0 with the base-pass shader and pass 1 with the lit shader.
std::string initXML(const std::vector<SceneModel>& models);

} // namespace Vantor::tools::city
