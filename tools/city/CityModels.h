// The city's static models, built in memory for the V3D writer.
//
// Every model file adds its materials and textures to the program's shared
// tables, so the buildings are kept in two files that share nothing: the
// tall ones (towers, slabs and the landmark, the big occluders, listed first
// in the scene) and the low ones. Each building is one root mesh whose key
// places it, its tiers stacked in that one closed mesh wound
// counter-clockwise seen from outside, so it casts stencil shadows as a
// whole; one material per facade. The ground receives shadows but casts
// none.
#pragma once

#include "city/CityLayout.h"

#include "modules/model/Model.h"

#include <string>
#include <vector>

namespace Vantor::tools::city {

// Mesh flags: buildings are textured, cast shadows and are lit per light;
// the ground is textured and lit per light.
constexpr int kBuildingMeshFlags = kMeshHasTexCoords | kMeshCastsShadows | kMeshLitPerLight;
constexpr int kGroundMeshFlags = kMeshHasTexCoords | kMeshLitPerLight;

// A vertex of a generated mesh.
Vertex vertexAt(const Vector3& position, const Vector3& normal, float u, float v);

// The ground: a grid of kBlockPeriod cells over the map and kGroundMargin
// beyond it on every side, then one ring of large cells out to kGroundReach
// from the map so that its edge stays in the fog. The park block's cell is a
// mesh of its own with the park's texture.
constexpr float kGroundMargin = 4 * kBlockPeriod;
constexpr float kGroundReach = 24000.0f;

// The material of each facade, unique in the program: the XML description
// gives them their passes by these names. Which facades carry a normal map
// (a second texture slot of type 1), and so get the normal-mapped pass.
const char* facadeMaterialName(int facade);
bool facadeHasNormalMap(int facade);
constexpr const char* kGroundMaterialName = "cityGround";
constexpr const char* kParkMaterialName = "cityPark";

// One root mesh per building in the list, with the materials and textures of
// the facades they use.
V3DContent buildingsModel(const std::vector<Building>& buildings);
// The ground with the street tile and the park block with the park tile.
V3DContent groundModel();

} // namespace Vantor::tools::city
