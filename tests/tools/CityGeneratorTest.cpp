// The city the build generated: the configuration names everything
// the program reads and only files that exist, the models parse with closed,
// outward-facing shadow meshes where the plan puts its buildings, every
// material has its passes, the collision map blocks the buildings and
// nothing near the streets under the program's lookup, and a second run
// writes the same bytes.
#include "city/CityImages.h"
#include "city/CityLayout.h"
#include "city/CityModels.h"
#include "city/CityOutskirts.h"

#include "Core/textures/Image.h"
#include "Core/textures/TextureManager.h"
#include "modules/Material/Material.h"
#include "modules/model/Model.h"
#include "modules/xml/XMLFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace Vantor;
namespace city = Vantor::tools::city;

namespace {

const std::string generatedDir = VANTOR_DATA_DIR;
const std::string shippedDir = VANTOR_SHIPPED_DATA_DIR;
const char* const cityFiles[] = {"config files/init.xml",
                                 "models/ground.v3d",
                                 "models/buildings/centre.v3d",
                                 "models/buildings/outskirts.v3d",
                                 "models/cars/car00.v3d",
                                 "models/pedestrians/pedestrian00.v3d",
                                 "models/birds/bird00.v3d",
                                 "images/colmap.bmp",
                                 "images/ground.bmp",
                                 "images/cursor.bmp"};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string slashes(std::string enginePath) {
    for (char& c : enginePath)
        if (c == '\\')
            c = '/';
    return enginePath;
}

// Where an engine path of the configuration lies: generated, else shipped.
std::string dataFile(const std::string& enginePath) {
    const std::string generated = generatedDir + "/" + slashes(enginePath);
    return std::ifstream(generated).good() ? generated : shippedDir + "/" + slashes(enginePath);
}

// The element at a "/"-separated path below element, or null.
const XMLElement* at(const XMLElement& element, const std::string& path) {
    const XMLElement* e = &element;
    for (size_t from = 0; e && from <= path.size();) {
        const size_t slash = std::min(path.find('/', from), path.size());
        e = e->findChild(path.substr(from, slash - from).c_str());
        from = slash + 1;
    }
    return e;
}

std::string attrib(const XMLElement& element, const char* name) { return element.getAttrib(name).c_str(); }

class CityData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string text = readText(generatedDir + "/config files/init.xml");
        config.parse(String(text.c_str()), "init.xml");
    }
    void SetUp() override { ASSERT_STREQ(config.getName().c_str(), "init"); }

    // The scene's model files, as engine paths.
    static std::vector<std::string> modelPaths() {
        std::vector<std::string> paths;
        for (const XMLElement& child : at(config, "scene")->getChildren())
            if (child.getName() == "model")
                paths.push_back(attrib(child, "filename"));
        return paths;
    }

    // The program's lookup of the collision map: blocked when the cell is 255.
    static bool blocked(const Image& map, float x, float z) {
        const int i = int(float(map.width) * x * 0.00025f + 0.5f);
        const int j = int(0.5f - float(map.height) * z * 0.00025f);
        return i >= 0 && j >= 0 && i < map.width && j < map.height && *map.pixel(i, j) == 255;
    }

    static inline XMLFile config;
};

} // namespace

TEST_F(CityData, HasEveryElementAndAttributeTheProgramReads) {
    const struct {
        const char* path;
        std::vector<const char*> attributes;
    } table[] = {
        {"defaultFont", {"imageFilename", "dataFilename"}},
        {"cursor", {"filename"}},
        {"skybox", {"filename"}},
        {"groundTexture", {"filename"}},
        {"appOptions",
         {"renderBirds", "renderPedestrians", "renderBuildings", "renderCars", "displayFPS", "fog",
          "nearClip", "farClip", "occlusionCulling", "showOcclusionMap"}},
        {"cameras/orbitalCamera", {"radius", "hemisphere", "maxRadius", "minRadius", "x", "y", "z"}},
        {"cameras/fpsCamera", {"x", "y", "z"}},
        {"skinShader", {"filename", "language"}},
        {"scene/ambient", {"r", "g", "b", "a"}},
        {"scene/light/position", {"x", "y", "z", "w"}},
        {"scene/light/diffuse", {"r", "g", "b", "a"}},
        {"scene/light/specular", {"r", "g", "b", "a"}},
        {"scene/model", {"filename"}},
        {"materialProperties/shaders/shader", {"name", "vertex", "fragment", "language"}},
        {"materialProperties/materials/material/pass", {"id", "shader"}},
    };
    for (const auto& row : table) {
        const XMLElement* element = at(config, row.path);
        ASSERT_NE(element, nullptr) << row.path;
        for (const char* name : row.attributes) {
            const String* value = element->findAttrib(name);
            ASSERT_NE(value, nullptr) << row.path << " " << name;
            EXPECT_GT(value->length, 0) << row.path << " " << name;
        }
    }
}

TEST_F(CityData, NamesOnlyFilesThatExistAndSquareImages) {
    std::vector<std::string> files = {attrib(*at(config, "defaultFont"), "imageFilename"),
                                      attrib(*at(config, "defaultFont"), "dataFilename"),
                                      attrib(*at(config, "skinShader"), "filename")};
    int scripts = 0;
    for (const XMLElement& shader : at(config, "materialProperties/shaders")->getChildren()) {
        files.push_back(attrib(shader, "vertex"));
        files.push_back(attrib(shader, "fragment"));
        if (const XMLElement* script = shader.findChild("objectshader")) {
            files.push_back(attrib(*script, "filename"));
            ++scripts;
        }
    }
    EXPECT_EQ(scripts, 3) << "the object shaders of the three light passes";
    for (const std::string& model : modelPaths())
        files.push_back(model);
    std::vector<std::string> images = {attrib(*at(config, "cursor"), "filename"),
                                       attrib(*at(config, "groundTexture"), "filename"),
                                       "images\\colmap.bmp"};
    std::string sky = attrib(*at(config, "skybox"), "filename");
    ASSERT_NE(sky.find('*'), std::string::npos);
    for (char face = '0'; face <= '5'; ++face)
        images.push_back(std::string(sky).replace(sky.find('*'), 1, 1, face));
    for (const std::string& file : files)
        EXPECT_TRUE(std::ifstream(dataFile(file)).good()) << file;
    for (const std::string& file : images) {
        Image image;
        ASSERT_TRUE(image.loadBMP(dataFile(file).c_str())) << file;
        EXPECT_EQ(image.width, image.height) << file;
        EXPECT_EQ(image.width & (image.width - 1), 0) << file << " is a power of two";
    }

    // The cursor is drawn centred on the mouse and added to the screen: its
    // tip is lit just below and right of the centre, and nothing shows above
    // or left of it.
    Image cursor;
    ASSERT_TRUE(cursor.loadBMP(dataFile(attrib(*at(config, "cursor"), "filename")).c_str()));
    ASSERT_EQ(cursor.width, 32);
    EXPECT_EQ(cursor.pixel(16, 15)[0], 255);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (x < 15 || y > 16) {
                ASSERT_EQ(cursor.pixel(x, y)[0] | cursor.pixel(x, y)[1] | cursor.pixel(x, y)[2], 0)
                    << x << ", " << y;
            }
}

TEST_F(CityData, LightsCastShadowsFromAboveTheStreetsWithinTheirRanges) {
    const std::vector<city::Building> plan = city::layoutCity();
    std::vector<const XMLElement*> lights;
    for (const XMLElement& child : at(config, "scene")->getChildren())
        if (child.getName() == "light")
            lights.push_back(&child);
    ASSERT_GE(lights.size(), 2u);
    ASSERT_LE(lights.size(), 3u);
    int ranged = 0;
    for (const XMLElement* light : lights) {
        EXPECT_NE(light->getAttribInt("castShadows", 0), 0);
        const XMLElement& p = light->getChild("position");
        const float x = p.getAttribFloat("x", 0), y = p.getAttribFloat("y", 0), z = p.getAttribFloat("z", 0);
        EXPECT_FLOAT_EQ(p.getAttribFloat("w", 0), 1.0f);
        // Above a street or the park, never inside a building, and reaching
        // the ground below it.
        EXPECT_LT(city::roofHeightNear(plan, x, z, 0.0f), y) << x << ", " << z;
        const float range = light->getAttribFloat("range", 0);
        ranged += range > 0;
        EXPECT_TRUE(range == 0 || range > y) << x << ", " << z;
    }
    EXPECT_GE(ranged, 1);
    const XMLElement& warm = lights[0]->getChild("diffuse");
    EXPECT_GT(warm.getAttribFloat("r", 0) - warm.getAttribFloat("b", 0), 0.1f);
    const XMLElement& cool = lights[1]->getChild("diffuse");
    EXPECT_GT(cool.getAttribFloat("b", 0) - cool.getAttribFloat("r", 0), 0.1f);
}

TEST_F(CityData, ModelsParseWithClosedOutwardShadowMeshesWhereThePlanPutsThem) {
    const std::vector<city::Building> plan = city::layoutCity();
    std::set<std::string> materials;
    size_t materialCount = 0, textureCount = 0;
    unsigned buildings = 0;
    bool sawGround = false;
    for (const std::string& path : modelPaths()) {
        SCOPED_TRACE(path);
        const std::string bytes = readText(dataFile(path));
        ASSERT_EQ(bytes.compare(0, kV3DSignatureLength, kV3DSignature), 0);
        ByteReader reader(reinterpret_cast<const unsigned char*>(bytes.data()) + kV3DSignatureLength,
                          bytes.size() - kV3DSignatureLength);
        Model model;
        V3DContent content;
        ASSERT_TRUE(model.parse(reader, 0, content)) << reader.faultText().c_str();
        EXPECT_EQ(reader.remaining(), 0u);
        materialCount += content.materials.size;
        textureCount += content.textures.size;
        for (const Material& material : content.materials)
            EXPECT_TRUE(materials.insert(material.name.c_str()).second) << material.name.c_str() << " twice";
        for (const Image& texture : content.textures) {
            EXPECT_EQ(texture.width, texture.height);
            EXPECT_EQ(texture.width & (texture.width - 1), 0);
        }

        const bool outskirts = path == "models\\buildings\\outskirts.v3d";
        for (const Mesh* mesh : model.meshes) {
            SCOPED_TRACE(mesh->name.c_str());
            if (!mesh->visible)
                continue;
            EXPECT_TRUE(mesh->flags & kMeshHasTexCoords);
            if (outskirts) {
                // Scenery outside the map: no shadow volumes, no light
                // passes, faces wound counter-clockwise about their normals
                // and facing where a camera may stand (the orbiting camera
                // goes farthest out), every vertex off the map's square and
                // inside its box.
                EXPECT_EQ(mesh->flags, city::kOutskirtMeshFlags);
                for (const Triangle& t : mesh->triangles) {
                    const Vector3& a = mesh->vertices[unsigned(t.v[0])].position;
                    const Vector3& b = mesh->vertices[unsigned(t.v[1])].position;
                    const Vector3& c = mesh->vertices[unsigned(t.v[2])].position;
                    ASSERT_GT(dot(cross(b - a, c - a), t.normal), 0.0f);
                    const Vector3 p = a + mesh->bindKey.translation;
                    const Vector3 fromCentre(p.x - city::kMapSize / 2, 0, p.z + city::kMapSize / 2);
                    ASSERT_LT(dot(fromCentre, t.normal), city::kOrbitMaxRadius) << p.x << ", " << p.z;
                }
                for (const Vertex& v : mesh->vertices) {
                    const Vector3 p = v.position + mesh->bindKey.translation;
                    ASSERT_TRUE(p.x <= 0 || p.x >= city::kMapSize || p.z >= 0 || p.z <= -city::kMapSize)
                        << p.x << ", " << p.z;
                    ASSERT_TRUE(v.position.x >= mesh->boxMin.x && v.position.x <= mesh->boxMax.x &&
                                v.position.y >= mesh->boxMin.y && v.position.y <= mesh->boxMax.y &&
                                v.position.z >= mesh->boxMin.z && v.position.z <= mesh->boxMax.z);
                }
                continue;
            }
            EXPECT_TRUE(mesh->flags & kMeshLitPerLight);
            ASSERT_GE(mesh->materialIndex, 0);
            ASSERT_LT(unsigned(mesh->materialIndex), content.materials.size);
            if (path == "models\\ground.v3d" && mesh->name == "ground") {
                // The ground: flat at y = 0, under every place the walking camera may go.
                sawGround = true;
                EXPECT_EQ(mesh->boxMin.y, 0.0f);
                EXPECT_EQ(mesh->boxMax.y, 0.0f);
                EXPECT_LE(mesh->boxMin.x, 0.0f);
                EXPECT_GE(mesh->boxMax.x, city::kMapSize);
                EXPECT_LE(mesh->boxMin.z, -city::kMapSize);
                EXPECT_GE(mesh->boxMax.z, 0.0f);
                continue;
            }
            if (!(mesh->flags & kMeshCastsShadows))
                continue;
            const ShadowMesh& shadow = mesh->shadowMesh;
            EXPECT_EQ(shadow.triangles.size, mesh->triangles.size);
            for (const Edge& edge : shadow.edges)
                ASSERT_NE(edge.tri1, -1) << "an open edge";
            EXPECT_EQ(shadow.edges.size * 2, shadow.triangles.size * 3)
                << "every edge has exactly two triangles";
            // Wound counter-clockwise from the side each normal faces, and
            // enclosing a positive volume, so the normals face out.
            float volume = 0.0f;
            for (const Triangle& t : mesh->triangles) {
                const Vector3& a = mesh->vertices[unsigned(t.v[0])].position;
                const Vector3& b = mesh->vertices[unsigned(t.v[1])].position;
                const Vector3& c = mesh->vertices[unsigned(t.v[2])].position;
                EXPECT_GT(dot(cross(b - a, c - a), t.normal), 0.0f);
                EXPECT_NEAR(t.normal.length(), 1.0f, 1e-5f);
                volume += dot(a, cross(b, c)) / 6.0f;
            }
            EXPECT_GT(volume, 0.0f);
        }

        // The buildings' file holds the plan, each building a root placed by
        // its key in plan order.
        if (path == "models\\buildings\\centre.v3d") {
            ASSERT_EQ(model.roots.size, plan.size());
            for (unsigned k = 0; k < model.roots.size; ++k) {
                const Mesh& root = model.roots[k];
                const city::Building& b = plan[k];
                EXPECT_STREQ(root.name.c_str(), b.name.c_str());
                EXPECT_EQ(root.bindKey.translation.x, b.x);
                EXPECT_EQ(root.bindKey.translation.z, b.z);
                EXPECT_EQ(root.boxMax.x - root.boxMin.x, b.width());
                EXPECT_EQ(root.boxMax.z - root.boxMin.z, b.depth());
                EXPECT_EQ(root.boxMax.y, b.totalHeight());
                EXPECT_EQ(root.children.size, 0u);
            }
            buildings += model.roots.size;
        }
    }
    EXPECT_EQ(buildings, plan.size());
    EXPECT_GE(plan.size(), 150u);
    EXPECT_TRUE(sawGround);
    EXPECT_LE(materialCount, unsigned(kMaxMaterials));
    EXPECT_LE(textureCount, unsigned(textureTableSize));

    // Every material gets the base pass 0 and a light pass 1, whose shaders
    // exist; the outskirts' only the base pass.
    std::set<std::string> shaders;
    for (const XMLElement& shader : at(config, "materialProperties/shaders")->getChildren())
        shaders.insert(attrib(shader, "name"));
    for (const XMLElement& material : at(config, "materialProperties/materials")->getChildren()) {
        if (!materials.erase(attrib(material, "name")))
            continue;
        const ArrayList<XMLElement>& passes = material.getChildren();
        if (attrib(material, "name") == city::kOutskirtMaterialName ||
            attrib(material, "name") == city::kOutskirtCarpetMaterialName) {
            ASSERT_EQ(passes.size, 1u);
            EXPECT_EQ(attrib(passes[0], "id") + ":" + attrib(passes[0], "shader"), "0:base");
            continue;
        }
        ASSERT_EQ(passes.size, 2u) << attrib(material, "name");
        EXPECT_EQ(attrib(passes[0], "id") + ":" + attrib(passes[0], "shader"), "0:base");
        EXPECT_EQ(attrib(passes[1], "id"), "1");
        EXPECT_TRUE(shaders.count(attrib(passes[1], "shader"))) << attrib(passes[1], "shader");
    }
    EXPECT_TRUE(materials.empty()) << "a material without passes: " << *materials.begin();
}

TEST_F(CityData, CollisionMapBlocksTheBuildingsAndFreesTheStreets) {
    Image map;
    ASSERT_TRUE(map.loadBMP((generatedDir + "/images/colmap.bmp").c_str()));
    ASSERT_EQ(map.channels, 1);
    ASSERT_EQ(map.width, city::kCollisionMapSize);
    ASSERT_EQ(map.height, city::kCollisionMapSize);
    for (int k = 0; k < map.size; ++k)
        ASSERT_TRUE(map.data[k] == 0 || map.data[k] == 255) << k;

    // Cell (i, j) covers x from (i - 0.5) to (i + 0.5) cells and z from
    // -(j - 0.5) to -(j + 0.5) cells under the program's lookup. A cell wholly
    // inside a footprint is blocked; a cell wholly on a street or pavement
    // (within kSidewalkEdge of a street's centre line across it) is free.
    const std::vector<city::Building> plan = city::layoutCity();
    const float cell = city::kMapSize / float(city::kCollisionMapSize);
    auto onStreet = [](float low, float high) {
        const float line = std::round((low + high) / 2 / city::kBlockPeriod) * city::kBlockPeriod;
        return low >= line - city::kSidewalkEdge && high <= line + city::kSidewalkEdge;
    };
    int underBuildings = 0, onStreets = 0;
    for (int j = 0; j < map.height; ++j)
        for (int i = 0; i < map.width; ++i) {
            const float x0 = (float(i) - 0.5f) * cell, x1 = x0 + cell;
            const float z0 = -(float(j) + 0.5f) * cell, z1 = z0 + cell;
            const bool isBlocked = *map.pixel(i, j) == 255;
            if (onStreet(x0, x1) || onStreet(-z1, -z0)) {
                ++onStreets;
                ASSERT_FALSE(isBlocked) << "street cell " << i << ", " << j;
            }
            for (const city::Building& b : plan)
                if (x0 >= b.x - b.width() / 2 && x1 <= b.x + b.width() / 2 && z0 >= b.z - b.depth() / 2 &&
                    z1 <= b.z + b.depth() / 2) {
                    ++underBuildings;
                    ASSERT_TRUE(isBlocked) << b.name << " cell " << i << ", " << j;
                }
        }
    EXPECT_GT(underBuildings, 5000);
    EXPECT_GT(onStreets, 20000);
    // Nothing is blocked beyond a cell's reach of the grown footprints.
    for (int j = 0; j < map.height; ++j)
        for (int i = 0; i < map.width; ++i) {
            if (*map.pixel(i, j) != 255)
                continue;
            const float x = float(i) * cell, z = -float(j) * cell;
            bool near = false;
            for (const city::Building& b : plan)
                near = near || (std::fabs(x - b.x) <= b.width() / 2 + city::kCollisionMargin + cell &&
                                std::fabs(z - b.z) <= b.depth() / 2 + city::kCollisionMargin + cell);
            ASSERT_TRUE(near) << "stray blocked cell " << i << ", " << j;
        }
    const XMLElement& walk = *at(config, "cameras/fpsCamera");
    EXPECT_FALSE(blocked(map, walk.getAttribFloat("x", 0), walk.getAttribFloat("z", 0)));
    EXPECT_NEAR(walk.getAttribFloat("y", 0), city::kPersonHeight, 10.0f);
    // The park in the middle of the map stays open.
    EXPECT_FALSE(blocked(map, city::kMapSize / 2, -city::kMapSize / 2));
}

TEST(CityOutskirts, BuildingsStandApartInTheLotsOfEveryRingOutsideTheMap) {
    const std::vector<city::OutskirtBuilding> plan = city::layoutOutskirts();
    ASSERT_GT(plan.size(), 1000u);
    std::set<int> rings;
    for (size_t i = 0; i < plan.size(); ++i) {
        const city::OutskirtBuilding& b = plan[i];
        SCOPED_TRACE(testing::Message() << "building " << i << " in block " << b.blockX << ", " << b.blockZ);
        const int ring = city::outskirtRing(b.blockX, b.blockZ);
        ASSERT_GE(ring, 1);
        ASSERT_LE(ring, city::kOutskirtRings);
        rings.insert(ring);
        // Inside its block's lot, clear of the streets.
        const float lotWest = float(b.blockX) * city::kBlockPeriod + city::kLotEdge;
        const float lotNorth = -(float(b.blockZ) * city::kBlockPeriod + city::kLotEdge) - city::kLotSize;
        ASSERT_GE(b.x - b.width / 2, lotWest - 1e-3f);
        ASSERT_LE(b.x + b.width / 2, lotWest + city::kLotSize + 1e-3f);
        ASSERT_GE(b.z - b.depth / 2, lotNorth - 1e-3f);
        ASSERT_LE(b.z + b.depth / 2, lotNorth + city::kLotSize + 1e-3f);
        ASSERT_GE(b.floors, 1);
        ASSERT_GE(b.style, 0);
        ASSERT_LT(b.style, city::kOutskirtStyles);
        // A block's buildings follow each other in the plan.
        for (size_t j = i + 1; j < plan.size() && plan[j].blockZ == b.blockZ && plan[j].blockX == b.blockX; ++j) {
            const city::OutskirtBuilding& o = plan[j];
            const bool apart = std::fabs(b.x - o.x) >= (b.width + o.width) / 2 - 1e-3f ||
                               std::fabs(b.z - o.z) >= (b.depth + o.depth) / 2 - 1e-3f;
            ASSERT_TRUE(apart) << "overlaps building " << j;
        }
    }
    EXPECT_EQ(rings.size(), size_t(city::kOutskirtRings)) << "buildings in every ring";
}

TEST(CityOutskirts, TheCarpetCoversTheGroundFromTheLastRingToItsEdgeAndCarriesOnItsStreets) {
    const V3DContent content = city::outskirtsModel(city::layoutOutskirts());
    const Mesh& carpet = content.roots[content.roots.size - 1];
    ASSERT_EQ(carpet.materialIndex, 1);
    ASSERT_EQ(std::string(content.materials[1].name.c_str()), city::kOutskirtCarpetMaterialName);
    // Whether the carpet covers ground point (x, z), seen from above.
    auto covers = [&](float x, float z) {
        for (const Triangle& t : carpet.triangles) {
            Vector3 p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = carpet.vertices[unsigned(t.v[k])].position + carpet.bindKey.translation;
            bool inside = true;
            for (int k = 0; k < 3; ++k) {
                const Vector3& a = p[k];
                const Vector3& b = p[(k + 1) % 3];
                // Counter-clockwise from above: the point lies left of every edge.
                inside = inside && (b.x - a.x) * (a.z - z) - (a.x - x) * (b.z - a.z) >= 0;
            }
            if (inside)
                return true;
        }
        return false;
    };
    const float rings = city::kOutskirtRings * city::kBlockPeriod, edge = city::kGroundReach;
    for (float x = -edge + 100; x < city::kMapSize + edge; x += 400)
        for (float z = edge - 100; z > -city::kMapSize - edge; z -= 400) {
            const bool inRings = x > -rings && x < city::kMapSize + rings && z < rings && z > -city::kMapSize - rings;
            ASSERT_EQ(covers(x, z), !inRings) << x << ", " << z;
        }
    // Its texture is the ground's tile where the streets run, and lots of
    // roofs with some lit windows elsewhere.
    const city::RGBImage ground = city::groundTexture();
    const Image& texture = content.textures[unsigned(content.materials[1].textures[0].textureIndex)];
    ASSERT_EQ(texture.width, ground.size);
    int lotTexels = 0, glowing = 0;
    for (int j = 0; j < ground.size; ++j)
        for (int i = 0; i < ground.size; ++i) {
            const unsigned char* t = texture.data + (std::size_t(j) * ground.size + i) * 4;
            const float x = i * city::kBlockPeriod / ground.size, y = j * city::kBlockPeriod / ground.size;
            const bool lot = x >= city::kLotEdge && y >= city::kLotEdge && x < city::kLotEdge + city::kLotSize &&
                             y < city::kLotEdge + city::kLotSize;
            if (!lot) {
                ASSERT_TRUE(std::equal(t, t + 3, ground.at(i, j)) && t[3] == 255) << i << ", " << j;
                continue;
            }
            ++lotTexels;
            glowing += t[3] < 255;
        }
    EXPECT_GT(glowing, lotTexels / 20);
    EXPECT_LT(glowing, lotTexels / 4);
}

TEST(CityGenerator, WritesTheSameBytesAgain) {
    for (const char* dir : {"again-city-1", "again-city-2"}) {
        ASSERT_EQ(std::system((std::string("rm -rf ") + dir + " && " VANTOR_CITYGEN " " + dir).c_str()), 0);
        for (const char* file : cityFiles) {
            const std::string again = readText(std::string(dir) + "/" + file);
            EXPECT_FALSE(again.empty()) << file;
            EXPECT_TRUE(again == readText(generatedDir + "/" + file)) << dir << "/" << file;
        }
    }
}
