// The starter city the build generated: the configuration names everything
// the program reads and only files that exist, the models parse with closed,
// outward-facing shadow meshes where the plan puts its buildings, every
// material has its passes, the collision map blocks the buildings and
// nothing near the streets under the program's lookup, and a second run
// writes the same bytes.
#include "city/CityLayout.h"

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
const char* const cityFiles[] = {"config files/init.xml", "models/ground.v3d", "models/buildings.v3d",
                                 "images/colmap.bmp",     "images/ground.bmp", "images/cursor.bmp"};

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
    EXPECT_EQ(scripts, 1) << "the lit shader's object shader";
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

TEST_F(CityData, LightsAreHighAboveTheCityAndCastShadows) {
    std::vector<const XMLElement*> lights;
    for (const XMLElement& child : at(config, "scene")->getChildren())
        if (child.getName() == "light")
            lights.push_back(&child);
    ASSERT_EQ(lights.size(), 2u);
    for (const XMLElement* light : lights) {
        EXPECT_NE(light->getAttribInt("castShadows", 1), 0);
        const XMLElement& p = light->getChild("position");
        const float x = p.getAttribFloat("x", 0), y = p.getAttribFloat("y", 0), z = p.getAttribFloat("z", 0);
        EXPECT_FLOAT_EQ(p.getAttribFloat("w", 0), 1.0f);
        EXPECT_GE(y, 3 * city::kMaxFloors * city::kFloorHeight);
        // A light with a range reaches every corner of the map.
        const float range = light->getAttribFloat("range", 0);
        for (float cx : {0.0f, city::kMapSize})
            for (float cz : {0.0f, -city::kMapSize})
                EXPECT_TRUE(range == 0 || std::hypot(x - cx, y, z - cz) < range) << cx << ", " << cz;
    }
    const XMLElement& warm = lights[0]->getChild("diffuse");
    const float warmth = warm.getAttribFloat("r", 0) - warm.getAttribFloat("b", 0);
    const XMLElement& cool = lights[1]->getChild("diffuse");
    const float coolness = cool.getAttribFloat("b", 0) - cool.getAttribFloat("r", 0);
    EXPECT_GT(warmth, 0.1f);
    EXPECT_GT(coolness, 0.1f);
}

TEST_F(CityData, ModelsParseWithClosedOutwardShadowMeshesWhereThePlanPutsThem) {
    const std::vector<city::Building> plan = city::layoutCity();
    std::set<std::string> materials;
    size_t materialCount = 0, textureCount = 0;
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

        for (const Mesh* mesh : model.meshes) {
            SCOPED_TRACE(mesh->name.c_str());
            EXPECT_TRUE(mesh->flags & kMeshHasTexCoords);
            EXPECT_TRUE(mesh->flags & kMeshLitPerLight);
            ASSERT_GE(mesh->materialIndex, 0);
            ASSERT_LT(unsigned(mesh->materialIndex), content.materials.size);
            if (!(mesh->flags & kMeshCastsShadows)) {
                // The ground: flat at y = 0, under every place the walking camera may go.
                sawGround = true;
                EXPECT_EQ(mesh->boxMin.y, 0.0f);
                EXPECT_EQ(mesh->boxMax.y, 0.0f);
                EXPECT_LE(mesh->boxMin.x, -1100.0f);
                EXPECT_GE(mesh->boxMax.x, 5057.0f);
                EXPECT_LE(mesh->boxMin.z, -5975.0f);
                EXPECT_GE(mesh->boxMax.z, 215.0f);
                continue;
            }
            const ShadowMesh& shadow = mesh->shadowMesh;
            EXPECT_EQ(shadow.triangles.size, mesh->triangles.size);
            for (const Edge& edge : shadow.edges)
                ASSERT_NE(edge.tri1, -1) << "an open edge";
            EXPECT_EQ(shadow.edges.size * 2, shadow.triangles.size * 3)
                << "every edge has exactly two triangles";
            const Vector3 centre = (mesh->boxMin + mesh->boxMax) * 0.5f;
            for (const Triangle& t : mesh->triangles) {
                const Vector3& a = mesh->vertices[unsigned(t.v[0])].position;
                const Vector3& b = mesh->vertices[unsigned(t.v[1])].position;
                const Vector3& c = mesh->vertices[unsigned(t.v[2])].position;
                const Vector3 wound = cross(b - a, c - a);
                const Vector3 outwards = (a + b + c) * (1.0f / 3) - centre;
                EXPECT_GT(dot(wound, t.normal), 0.0f) << "counter-clockwise from the side the normal faces";
                EXPECT_GT(dot(outwards, t.normal), 0.0f) << "the normal faces out";
                EXPECT_NEAR(t.normal.length(), 1.0f, 1e-5f);
            }
        }

        // The buildings file holds the plan: building k is root k, placed by its key.
        if (path.find("buildings") != std::string::npos) {
            ASSERT_EQ(model.roots.size, plan.size());
            for (unsigned k = 0; k < model.roots.size; ++k) {
                const Mesh& root = model.roots[k];
                const city::Building& b = plan[k];
                EXPECT_STREQ(root.name.c_str(), b.name.c_str());
                EXPECT_EQ(root.bindKey.translation.x, b.x);
                EXPECT_EQ(root.bindKey.translation.z, b.z);
                EXPECT_EQ(root.boxMax.x - root.boxMin.x, b.width);
                EXPECT_EQ(root.boxMax.z - root.boxMin.z, b.depth);
                EXPECT_EQ(root.boxMax.y, b.height());
                EXPECT_EQ(root.children.size, b.topFloors > 0 ? 1u : 0u);
                EXPECT_LE(b.totalHeight(), 900.0f);
                EXPECT_GE(b.height(), 300.0f);
            }
        }
    }
    EXPECT_TRUE(sawGround);
    EXPECT_LE(materialCount, unsigned(kMaxMaterials));
    EXPECT_LE(textureCount, unsigned(textureTableSize));

    // Every material gets the base pass 0 and the lit pass 1, both of which exist.
    std::set<std::string> shaders;
    for (const XMLElement& shader : at(config, "materialProperties/shaders")->getChildren())
        shaders.insert(attrib(shader, "name"));
    EXPECT_TRUE(shaders.count("base") && shaders.count("lit"));
    for (const XMLElement& material : at(config, "materialProperties/materials")->getChildren()) {
        if (!materials.erase(attrib(material, "name")))
            continue;
        std::string passes;
        for (const XMLElement& pass : material.getChildren())
            passes += attrib(pass, "id") + ":" + attrib(pass, "shader") + " ";
        EXPECT_EQ(passes, "0:base 1:lit ") << attrib(material, "name");
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

    const std::vector<city::Building> plan = city::layoutCity();
    for (const city::Building& b : plan) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(blocked(map, b.x, b.z));
        for (float sx : {-1.0f, 1.0f})
            for (float sz : {-1.0f, 1.0f})
                EXPECT_TRUE(blocked(map, b.x + sx * (b.width / 2 - 1), b.z + sz * (b.depth / 2 - 1)))
                    << "corner";
    }
    // Every point of the map, in steps of 10 units: inside a footprint it is
    // blocked; further from all footprints than the grown footprints' corners
    // and a cell's diagonal (the farthest its cell can reach) it is free.
    const float cell = city::kMapSize / float(city::kCollisionMapSize);
    const float clear = (city::kCollisionMargin + cell) * 1.5f;
    for (float z = -5; z > -city::kMapSize; z -= 10)
        for (float x = 5; x < city::kMapSize; x += 10) {
            float distance = 1e9f;
            for (const city::Building& b : plan) {
                const float dx = std::max(0.0f, std::fabs(x - b.x) - b.width / 2);
                const float dz = std::max(0.0f, std::fabs(z - b.z) - b.depth / 2);
                distance = std::min(distance, std::hypot(dx, dz));
            }
            if (distance == 0) {
                ASSERT_TRUE(blocked(map, x, z)) << x << ", " << z;
            } else if (distance > clear) {
                ASSERT_FALSE(blocked(map, x, z)) << x << ", " << z;
            }
        }
    // Along every street, and where the walking camera starts.
    for (int line = 0; line <= city::kBlocksPerSide; ++line)
        for (float along = 0; along <= city::kMapSize; along += 25) {
            EXPECT_FALSE(blocked(map, float(line) * city::kBlockPeriod, -along));
            EXPECT_FALSE(blocked(map, along, -float(line) * city::kBlockPeriod));
        }
    const XMLElement& walk = *at(config, "cameras/fpsCamera");
    EXPECT_FALSE(blocked(map, walk.getAttribFloat("x", 0), walk.getAttribFloat("z", 0)));
    EXPECT_NEAR(walk.getAttribFloat("y", 0), 170.0f, 30.0f);
    // The park in the middle of the map stays open.
    EXPECT_FALSE(blocked(map, city::kMapSize / 2, -city::kMapSize / 2));
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
