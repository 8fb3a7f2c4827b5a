// The city's moving things: cars that drive closed loops round the blocks,
// pedestrians that walk closed paths on the pavements, and birds that circle
// above the roofs. Each is a model file of its own whose motion 0 carries it
// once round its path and ends where it started; the program plays motion 0
// of every model over and over, so the path repeats without a jump.
//
// Pedestrians and birds are skinned: one visible skinned mesh follows
// invisible bone meshes (blending up to four bones near the joints), and the
// motion turns the bones (the walk cycle, the wing beat) while it moves the
// root bone along the path. Cars are rigid meshes under a root mesh that the
// motion moves.
#pragma once

#include "city/CityLayout.h"

#include "modules/model/Model.h"

#include <string>
#include <vector>

namespace Vantor::tools::city {

// The model groups of the scene, named by the folder of their files.
constexpr const char* kCarFolder = "models\\cars\\";
constexpr const char* kPedestrianFolder = "models\\pedestrians\\";
constexpr const char* kBirdFolder = "models\\birds\\";

constexpr int kCarCount = 12;
constexpr int kPedestrianCount = 24;
constexpr int kBirdCount = 8;

// Motions carry one key per frame at this rate.
constexpr int kMoverFramesPerSecond = 30;
// A pedestrian's walk cycle, a step with each foot, takes this many frames;
// every walk repeats a whole number of cycles.
constexpr int kWalkCycleFrames = 32;

// One model file: its engine path (folder above plus a name such as
// "car03.v3d") and its content. Every material name is unique in the city.
struct MoverModel {
    std::string path;
    V3DContent content;
};

std::vector<MoverModel> carModels();
std::vector<MoverModel> pedestrianModels();
// The birds circle above the highest roofs near their circles.
std::vector<MoverModel> birdModels(const std::vector<Building>& buildings);

} // namespace Vantor::tools::city
