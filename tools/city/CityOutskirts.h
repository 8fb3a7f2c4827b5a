// The outskirts: blocks of lower buildings on the street grid round the
// collision map's square, out to where the ground meets the sky, with a few
// clusters of towers on the skyline.
//
// They are scenery, seen from above and down the long streets: simple boxes
// with one shared facade atlas and one material, merged into one mesh per
// group of blocks (few draw calls, each group tested against the occlusion
// buffer on its own, so the centre's buildings hide them from the street).
// They cast no shadows and are not lit per light: the scene draws them once,
// in its base pass, with the base program (texture times the ambient light
// plus the windows' glow). Nothing of them lies inside the map, so the
// collision map and the walking camera never meet them.
#pragma once

#include "city/CityLayout.h"

#include "modules/model/Model.h"

#include <vector>

namespace Vantor::tools::city {

// Blocks beyond the map on every side that hold outskirts.
constexpr int kOutskirtRings = 18;
// Blocks along each side of a merged group (the groups along the map's sides
// are as long as the map's side).
constexpr int kOutskirtGroupBlocks = 6;
// Facade styles of the outskirts' atlas: brick, concrete with strip windows,
// and dark glass (the towers').
constexpr int kOutskirtStyles = 3;
// Textured, no shadow volumes, no light passes, and drawn in the base pass,
// where their depth keeps the ground they cover out of the light passes.
constexpr int kOutskirtMeshFlags = kMeshHasTexCoords | kMeshUnlitInBasePass;
constexpr const char* kOutskirtMaterialName = "cityOutskirts";
// The far carpet's, which goes on from the last ring to the ground's edge.
constexpr const char* kOutskirtCarpetMaterialName = "cityOutskirtsCarpet";

// One box of the outskirts: footprint centre, size, storeys, facade style,
// roof shade (0 to 7) and where its facade starts across, in bays.
struct OutskirtBuilding {
    int blockX = 0, blockZ = 0;
    float x = 0.0f, z = 0.0f;
    float width = 0.0f, depth = 0.0f;
    int floors = 1;
    int style = 0;
    int roofShade = 0;
    int bayOffset = 0;

    float height() const { return float(floors) * kFloorHeight; }
};

// How many blocks block (bx, bz) lies outside the map: 0 inside it.
int outskirtRing(int bx, int bz);

// The outskirts' buildings, block by block in rows from the south edge
// northwards, each row from west to east; every footprint inside its block's
// lot, none overlapping another, none inside the map.
std::vector<OutskirtBuilding> layoutOutskirts();

// The model: one root mesh per group of blocks holding buildings, placed by
// its key at the group's centre, with one material and the atlas; then the
// far carpet round them all, with a material and texture of its own.
V3DContent outskirtsModel(const std::vector<OutskirtBuilding>& buildings);

} // namespace Vantor::tools::city
