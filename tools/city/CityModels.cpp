// Building and ground meshes of the city, with their materials and embedded
// facade, normal-map and ground textures.
#include "city/CityModels.h"

#include "city/CityImages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Vantor::tools::city {

namespace {

const char* const kFacadeMaterialNames[kFacadeCount] = {"cityFacadeBrick", "cityFacadeStone", "cityFacadeConcrete",
                                                        "cityFacadeGlass", "cityFacadeDarkGlass"};
// Fixed-function look of the materials, used where a pass has no program.
constexpr float kShininess = 16.0f;
constexpr float kSpecularGrey = 0.25f;
constexpr float kGlassShininess = 64.0f;
constexpr float kGlassSpecular = 0.6f;
// A material's texture slot of this type holds a normal map.
constexpr int kNormalMapSlot = 1;
// The spire's base stands this far inside the top tier's roof edges, so the
// two closed shapes share no edge.
constexpr float kSpireInset = 10.0f;

Image toImage(const RGBImage& picture) {
    Image image;
    image.allocate(3, picture.size, picture.size);
    std::memcpy(image.data, picture.pixels.data(), picture.pixels.size());
    return image;
}

// A facade atlas with its glow in the alpha channel as 255 - glow: the base
// pass adds 1 - alpha to the ambient light, so lit windows shine.
Image facadeImage(int facade) {
    const RGBImage colours = facadeTexture(facade);
    const std::vector<std::uint8_t> glow = facadeGlow(facade);
    Image image;
    image.allocate(4, colours.size, colours.size);
    for (std::size_t k = 0; k < glow.size(); ++k) {
        std::memcpy(image.data + 4 * k, colours.pixels.data() + 3 * k, 3);
        image.data[4 * k + 3] = std::uint8_t(255 - glow[k]);
    }
    return image;
}

Material texturedMaterial(const char* name, int textureIndex, float shininess, float specular) {
    Material material;
    material.name = name;
    material.shininess = shininess;
    for (int i = 0; i < 3; ++i)
        material.specular[i] = specular;
    MatTex slot;
    slot.textureIndex = textureIndex;
    material.textures.add(slot);
    return material;
}

void addTriangle(Mesh& mesh, int a, int b, int c, const Vector3& normal) {
    Triangle triangle;
    triangle.v[0] = a;
    triangle.v[1] = b;
    triangle.v[2] = c;
    triangle.normal = normal;
    mesh.triangles.add(triangle);
}

// Texture coordinates of a quad's corners: u across, v up.
struct QuadUV {
    float u0, u1, v0, v1;
};

// Appends the quad corner, corner + across, corner + across + up, corner + up
// as two triangles. The face looks along cross(across, up), and seen from
// there its corners run counter-clockwise.
void addQuad(Mesh& mesh, const Vector3& corner, const Vector3& across, const Vector3& up, const QuadUV& uv) {
    Vector3 normal = cross(across, up);
    normal.normalize();
    const Vector3 corners[4] = {corner, corner + across, corner + across + up, corner + up};
    const float us[4] = {uv.u0, uv.u1, uv.u1, uv.u0}, vs[4] = {uv.v0, uv.v0, uv.v1, uv.v1};
    const int base = int(mesh.vertices.size);
    for (int k = 0; k < 4; ++k)
        mesh.vertices.add(vertexAt(corners[k], normal, us[k], vs[k]));
    addTriangle(mesh, base, base + 1, base + 2, normal);
    addTriangle(mesh, base, base + 2, base + 3, normal);
}

constexpr QuadUV kRoofUV{kRoofU, kRoofU, kRoofV, kRoofV};

// The atlas row of storey s of a building (0 = the ground storey).
int storeyRow(int storey) { return storey == 0 ? kStreetRow : kFirstUpperRow + (storey - 1) % kUpperRows; }

// One wall of a tier: the storeys from firstStorey upwards, in runs of
// storeys whose atlas rows follow each other, one quad per run. The wall
// shows a whole number of bays from bayOffset on.
void addWall(Mesh& mesh, const Vector3& corner, const Vector3& across, float baseY, int firstStorey, int floors,
             int bayOffset) {
    const float bays = std::max(1.0f, std::round(across.length() / kBayWidth));
    const float u0 = float(bayOffset) / kFacadeBays, u1 = u0 + bays / kFacadeBays;
    int storey = firstStorey;
    const int end = firstStorey + floors;
    while (storey < end) {
        int run = 1;
        while (storey + run < end && storeyRow(storey + run) == storeyRow(storey) + run)
            ++run;
        const int row = storeyRow(storey);
        const Vector3 bottom = corner + Vector3(0, baseY + float(storey - firstStorey) * kFloorHeight, 0);
        addQuad(mesh, bottom, across, Vector3(0, float(run) * kFloorHeight, 0),
                QuadUV{u0, u1, float(row) / kFacadeRows, float(row + run) / kFacadeRows});
        storey += run;
    }
}

// A closed box of one tier standing at baseY on the mesh's origin: x and z
// from -half to +half; four walls, roof and floor.
void addTier(Mesh& mesh, const Tier& tier, float baseY, int firstStorey, int bayOffset) {
    const float a = tier.width / 2, b = tier.depth / 2, height = float(tier.floors) * kFloorHeight;
    addWall(mesh, Vector3(-a, 0, b), Vector3(tier.width, 0, 0), baseY, firstStorey, tier.floors, bayOffset);
    addWall(mesh, Vector3(a, 0, b), Vector3(0, 0, -tier.depth), baseY, firstStorey, tier.floors, bayOffset + 3);
    addWall(mesh, Vector3(a, 0, -b), Vector3(-tier.width, 0, 0), baseY, firstStorey, tier.floors, bayOffset + 5);
    addWall(mesh, Vector3(-a, 0, -b), Vector3(0, 0, tier.depth), baseY, firstStorey, tier.floors, bayOffset + 2);
    addQuad(mesh, Vector3(-a, baseY + height, b), Vector3(tier.width, 0, 0), Vector3(0, 0, -tier.depth), kRoofUV);
    addQuad(mesh, Vector3(-a, baseY, -b), Vector3(tier.width, 0, 0), Vector3(0, 0, tier.depth), kRoofUV);
}

// A square pyramid of height on the square of half side a at baseY: four
// sloping faces and the base.
void addSpire(Mesh& mesh, float a, float baseY, float height) {
    const Vector3 apex(0, baseY + height, 0);
    const Vector3 corners[4] = {Vector3(-a, baseY, a), Vector3(a, baseY, a), Vector3(a, baseY, -a),
                                Vector3(-a, baseY, -a)};
    for (int k = 0; k < 4; ++k) {
        const Vector3& p = corners[k];
        const Vector3& q = corners[(k + 1) % 4];
        Vector3 normal = cross(q - p, apex - p);
        normal.normalize();
        const int base = int(mesh.vertices.size);
        mesh.vertices.add(vertexAt(p, normal, kRoofU, kRoofV));
        mesh.vertices.add(vertexAt(q, normal, kRoofU, kRoofV));
        mesh.vertices.add(vertexAt(apex, normal, kRoofU, kRoofV));
        addTriangle(mesh, base, base + 1, base + 2, normal);
    }
    addQuad(mesh, corners[3], Vector3(2 * a, 0, 0), Vector3(0, 0, 2 * a), kRoofUV);
}

Mesh buildingMesh(const Building& building, int materialIndex) {
    Mesh mesh;
    mesh.name = building.name.c_str();
    mesh.flags = kBuildingMeshFlags;
    mesh.materialIndex = materialIndex;
    float baseY = 0.0f;
    int storey = 0;
    float halfWidth = 0.0f, halfDepth = 0.0f;
    for (const Tier& tier : building.tiers) {
        addTier(mesh, tier, baseY, storey, building.bayOffset);
        halfWidth = std::max(halfWidth, tier.width / 2);
        halfDepth = std::max(halfDepth, tier.depth / 2);
        baseY += float(tier.floors) * kFloorHeight;
        storey += tier.floors;
    }
    if (building.spireHeight > 0.0f && !building.tiers.empty()) {
        const Tier& top = building.tiers.back();
        addSpire(mesh, std::min(top.width, top.depth) / 2 - kSpireInset, baseY, building.spireHeight);
    }
    mesh.boxMin = Vector3(-halfWidth, 0, -halfDepth);
    mesh.boxMax = Vector3(halfWidth, building.totalHeight(), halfDepth);
    Key key;
    key.translation = Vector3(building.x, 0, building.z);
    mesh.bindKey = key;
    return mesh;
}

} // namespace

Vertex vertexAt(const Vector3& position, const Vector3& normal, float u, float v) {
    Vertex vertex;
    vertex.position = position;
    vertex.normal = normal;
    vertex.u = u;
    vertex.v = v;
    return vertex;
}

const char* facadeMaterialName(int facade) {
    return facade >= 0 && facade < kFacadeCount ? kFacadeMaterialNames[facade] : "";
}

bool facadeHasNormalMap(int facade) { return facade == kFacadeBrick || facade == kFacadeStone; }

V3DContent buildingsModel(const std::vector<Building>& buildings) {
    V3DContent content;
    // The file's material of each facade its buildings use, in facade order.
    int materialOf[kFacadeCount];
    std::fill(materialOf, materialOf + kFacadeCount, -1);
    for (const Building& b : buildings)
        materialOf[b.facade] = 0;
    for (int facade = 0; facade < kFacadeCount; ++facade) {
        if (materialOf[facade] < 0)
            continue;
        materialOf[facade] = int(content.materials.size);
        const bool glass = facade == kFacadeGlass || facade == kFacadeDarkGlass;
        Material material = texturedMaterial(kFacadeMaterialNames[facade], int(content.textures.size),
                                             glass ? kGlassShininess : kShininess,
                                             glass ? kGlassSpecular : kSpecularGrey);
        content.textures.add(facadeImage(facade));
        if (facadeHasNormalMap(facade)) {
            MatTex normals;
            normals.type = kNormalMapSlot;
            normals.textureIndex = int(content.textures.size);
            material.textures.add(normals);
            content.textures.add(toImage(facadeNormalMap(facade)));
        }
        content.materials.add(material);
    }
    int nextId = 0;
    for (const Building& b : buildings) {
        Mesh mesh = buildingMesh(b, materialOf[b.facade]);
        mesh.id = nextId++;
        content.roots.add(mesh);
    }
    return content;
}

V3DContent groundModel() {
    // Grid lines west to east and south to north: the far ring, the block
    // period over the map and its margin, the far ring again.
    std::vector<float> xs{-kGroundReach}, zs{kGroundReach};
    for (float d = -kGroundMargin; d <= kMapSize + kGroundMargin; d += kBlockPeriod) {
        xs.push_back(d);
        zs.push_back(-d);
    }
    xs.push_back(kMapSize + kGroundReach);
    zs.push_back(-kMapSize - kGroundReach);
    const float parkWest = float(kParkBlockX) * kBlockPeriod, parkSouth = -float(kParkBlockZ) * kBlockPeriod;

    Mesh ground, park;
    ground.name = "ground";
    park.name = "park";
    ground.id = 0;
    park.id = 1;
    ground.flags = park.flags = kGroundMeshFlags;
    ground.materialIndex = 0;
    park.materialIndex = 1;
    const Vector3 up(0, 1, 0);
    // Rows of vertices from south to north, each from west to east; the
    // tiles repeat once per block period, from the origin.
    for (float z : zs)
        for (float x : xs)
            ground.vertices.add(vertexAt(Vector3(x, 0, z), up, x / kBlockPeriod, -z / kBlockPeriod));
    const int stride = int(xs.size());
    for (int row = 0; row + 1 < int(zs.size()); ++row)
        for (int column = 0; column + 1 < stride; ++column) {
            if (xs[size_t(column)] == parkWest && zs[size_t(row)] == parkSouth)
                continue;
            // Counter-clockwise seen from above.
            const int sw = row * stride + column, se = sw + 1, ne = se + stride, nw = sw + stride;
            addTriangle(ground, sw, se, ne, up);
            addTriangle(ground, sw, ne, nw, up);
        }
    addQuad(park, Vector3(parkWest, 0, parkSouth), Vector3(kBlockPeriod, 0, 0), Vector3(0, 0, -kBlockPeriod),
            QuadUV{0, 1, 0, 1});
    ground.boxMin = Vector3(xs.front(), 0, zs.back());
    ground.boxMax = Vector3(xs.back(), 0, zs.front());
    park.boxMin = Vector3(parkWest, 0, parkSouth - kBlockPeriod);
    park.boxMax = Vector3(parkWest + kBlockPeriod, 0, parkSouth);

    V3DContent content;
    content.roots.add(ground);
    content.roots.add(park);
    content.materials.add(texturedMaterial(kGroundMaterialName, 0, kShininess, kSpecularGrey));
    content.materials.add(texturedMaterial(kParkMaterialName, 1, kShininess, kSpecularGrey));
    content.textures.add(toImage(groundTexture()));
    content.textures.add(toImage(parkTexture()));
    return content;
}

} // namespace Vantor::tools::city
