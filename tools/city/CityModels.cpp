// Building and ground meshes of the starter city, with their materials and
// embedded facade and ground textures.
#include "city/CityModels.h"

#include "city/CityImages.h"

#include <cstring>

namespace Vantor::tools::city {

namespace {

const char* const kFacadeMaterialNames[kFacadeCount] = {"cityFacadeBrick", "cityFacadeStone",
                                                        "cityFacadeConcrete", "cityFacadeGlass"};
// Walls span this many units of a facade texture across and up.
constexpr float kFacadeSpanX = kFacadeBays * kBayWidth;
constexpr float kFacadeSpanY = kFacadeStoreys * kFloorHeight;
// Fixed-function look of the materials, used where a pass has no program.
constexpr float kShininess = 16.0f;
constexpr float kSpecularGrey = 0.25f;

Image toImage(const RGBImage& picture) {
    Image image;
    image.allocate(3, picture.size, picture.size);
    std::memcpy(image.data, picture.pixels.data(), picture.pixels.size());
    return image;
}

Material texturedMaterial(const char* name, int textureIndex) {
    Material material;
    material.name = name;
    material.shininess = kShininess;
    for (int i = 0; i < 3; ++i)
        material.specular[i] = kSpecularGrey;
    MatTex slot;
    slot.textureIndex = textureIndex;
    material.textures.add(slot);
    return material;
}

Vertex vertexAt(const Vector3& position, const Vector3& normal, float u, float v) {
    Vertex vertex;
    vertex.position = position;
    vertex.normal = normal;
    vertex.u = u;
    vertex.v = v;
    return vertex;
}

// Appends the quad corner, corner + across, corner + across + up, corner + up
// as two triangles. The face looks along cross(across, up), and seen from
// there its corners run counter-clockwise. Walls take the facade texture
// from their bottom-left corner; roofs and floors (flat) take the roof colour.
void addFace(Mesh& mesh, const Vector3& corner, const Vector3& across, const Vector3& up, bool flat) {
    Vector3 normal = cross(across, up);
    normal.normalize();
    const float u1 = across.length() / kFacadeSpanX, v1 = up.length() / kFacadeSpanY;
    const Vector3 corners[4] = {corner, corner + across, corner + across + up, corner + up};
    const float us[4] = {0, u1, u1, 0}, vs[4] = {0, 0, v1, v1};
    const int base = int(mesh.vertices.size);
    for (int k = 0; k < 4; ++k)
        mesh.vertices.add(flat ? vertexAt(corners[k], normal, kRoofU, kRoofV)
                               : vertexAt(corners[k], normal, us[k], vs[k]));
    const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& t : order) {
        Triangle triangle;
        for (int c = 0; c < 3; ++c)
            triangle.v[c] = base + t[c];
        triangle.normal = normal;
        mesh.triangles.add(triangle);
    }
}

// A closed box standing on the mesh's origin: x and z from -half to +half,
// y from 0 to height; four walls, roof and floor.
Mesh boxMesh(const char* name, int facade, float width, float depth, float height) {
    Mesh mesh;
    mesh.name = name;
    mesh.flags = kBuildingMeshFlags;
    mesh.materialIndex = facade;
    const float a = width / 2, b = depth / 2;
    const Vector3 up(0, height, 0);
    addFace(mesh, Vector3(-a, 0, b), Vector3(width, 0, 0), up, false);  // south, facing +z
    addFace(mesh, Vector3(a, 0, b), Vector3(0, 0, -depth), up, false);  // east, facing +x
    addFace(mesh, Vector3(a, 0, -b), Vector3(-width, 0, 0), up, false); // north, facing -z
    addFace(mesh, Vector3(-a, 0, -b), Vector3(0, 0, depth), up, false); // west, facing -x
    addFace(mesh, Vector3(-a, height, b), Vector3(width, 0, 0), Vector3(0, 0, -depth), true); // roof
    addFace(mesh, Vector3(-a, 0, -b), Vector3(width, 0, 0), Vector3(0, 0, depth), true);      // floor
    mesh.boxMin = Vector3(-a, 0, -b);
    mesh.boxMax = Vector3(a, height, b);
    return mesh;
}

Key placement(float x, float y, float z) {
    Key key;
    key.translation = Vector3(x, y, z);
    return key;
}

} // namespace

const char* facadeMaterialName(int variant) {
    return variant >= 0 && variant < kFacadeCount ? kFacadeMaterialNames[variant] : "";
}

V3DContent buildingsModel(const std::vector<Building>& buildings) {
    V3DContent content;
    int nextId = 0;
    for (const Building& b : buildings) {
        Mesh base = boxMesh(b.name.c_str(), b.facade, b.width, b.depth, b.height());
        base.id = nextId++;
        base.bindKey = placement(b.x, 0, b.z);
        if (b.topFloors > 0) {
            const std::string topName = b.name + "Top";
            Mesh top =
                boxMesh(topName.c_str(), b.facade, b.topWidth, b.topDepth, float(b.topFloors) * kFloorHeight);
            top.id = nextId++;
            top.bindKey = placement(0, b.height(), 0);
            base.children.add(top);
        }
        content.roots.add(base);
    }
    for (int variant = 0; variant < kFacadeCount; ++variant) {
        content.materials.add(texturedMaterial(kFacadeMaterialNames[variant], variant));
        content.textures.add(toImage(facadeTexture(variant)));
    }
    return content;
}

V3DContent groundModel() {
    Mesh ground;
    ground.name = "ground";
    ground.flags = kGroundMeshFlags;
    ground.materialIndex = 0;
    const float extent = kGroundCells * kGroundCellSize;
    const float west = kMapSize / 2 - extent / 2, south = -kMapSize / 2 + extent / 2;
    const Vector3 up(0, 1, 0);
    // Rows of vertices from south to north, each from west to east; the
    // texture repeats once per block period, from the origin.
    for (int row = 0; row <= kGroundCells; ++row)
        for (int column = 0; column <= kGroundCells; ++column) {
            const float x = west + float(column) * kGroundCellSize, z = south - float(row) * kGroundCellSize;
            ground.vertices.add(vertexAt(Vector3(x, 0, z), up, x / kBlockPeriod, -z / kBlockPeriod));
        }
    // Each cell as in addFace with across = east and up = north: counter-clockwise from above.
    const int stride = kGroundCells + 1;
    for (int row = 0; row < kGroundCells; ++row)
        for (int column = 0; column < kGroundCells; ++column) {
            const int sw = row * stride + column, se = sw + 1, ne = se + stride, nw = sw + stride;
            const int corners[2][3] = {{sw, se, ne}, {sw, ne, nw}};
            for (const auto& c : corners) {
                Triangle triangle;
                for (int k = 0; k < 3; ++k)
                    triangle.v[k] = c[k];
                triangle.normal = up;
                ground.triangles.add(triangle);
            }
        }
    ground.boxMin = Vector3(west, 0, south - extent);
    ground.boxMax = Vector3(west + extent, 0, south);

    V3DContent content;
    content.roots.add(ground);
    content.materials.add(texturedMaterial(kGroundMaterialName, 0));
    content.textures.add(toImage(groundTexture()));
    return content;
}

} // namespace Vantor::tools::city
