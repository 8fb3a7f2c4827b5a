// The starter city's models, built in memory for the V3D writer.
//
// Every model file adds its materials and textures to the program's shared
// tables, so the city keeps few files: one holds all buildings, each a root
// mesh whose key places it (a top box is a child of its building), sharing
// one material per facade; one holds the ground. Building meshes are closed
// boxes wound counter-clockwise seen from outside, so they cast stencil
// shadows; the ground receives them but casts none.
#pragma once

#include "city/CityLayout.h"

#include "modules/model/Model.h"

namespace Vantor::tools::city {

// Mesh flags: buildings are textured, cast shadows and are lit per light;
// the ground is textured and lit per light.
constexpr int kBuildingMeshFlags = kMeshHasTexCoords | kMeshCastsShadows | kMeshLitPerLight;
constexpr int kGroundMeshFlags = kMeshHasTexCoords | kMeshLitPerLight;

// The ground: a square grid of kGroundCells cells of kGroundCellSize units
// each way at y = 0, centred on the map, reaching far beyond it so that its
// edge stays in the fog.
constexpr int kGroundCells = 24;
constexpr float kGroundCellSize = 1600.0f;

// Names of the materials, unique in the program: the XML description gives
// them their passes by these names.
const char* facadeMaterialName(int variant);
constexpr const char* kGroundMaterialName = "cityGround";

// One root mesh per building, kFacadeCount materials and facade textures.
V3DContent buildingsModel(const std::vector<Building>& buildings);
// One mesh with the ground tile repeating once per block period, so its
// streets lie on the street centre lines of the plan.
V3DContent groundModel();

} // namespace Vantor::tools::city
