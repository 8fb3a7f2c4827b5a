// citygen DATA_DIR
//
// Writes the city into the program's data folder DATA_DIR: the
// configuration file "config files/init.xml", the benchmark's camera tour
// "config files/tour.xml", the models under "models/"
// (the buildings, the outskirts, the ground, every car, pedestrian and
// bird), the collision map "images/colmap.bmp", the ground texture
// "images/ground.bmp" and the cursor "images/cursor.bmp". The plan lives in
// tools/city; the output depends only on it, so every run writes the same
// bytes.
#include "BMPWriter.h"
#include "city/CityConfig.h"
#include "city/CityImages.h"
#include "city/CityLayout.h"
#include "city/CityModels.h"
#include "city/CityMovers.h"
#include "city/CityOutskirts.h"
#include "city/CityTour.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace Vantor::tools;
using namespace Vantor::tools::city;

namespace {

// DATA_DIR joined with an engine path, its backslashes turned into slashes.
std::string filePath(const std::string& dataDir, const std::string& enginePath) {
    std::string path = enginePath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return dataDir + "/" + path;
}

// Writes bytes to the file of enginePath under dataDir, making its folder first.
bool writeData(const std::string& dataDir, const std::string& enginePath,
               const std::vector<std::uint8_t>& bytes) {
    const std::string path = filePath(dataDir, enginePath);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error) {
        std::fprintf(stderr, "citygen: cannot make the folder of %s: %s\n", path.c_str(),
                     error.message().c_str());
        return false;
    }
    return writeFile(path, bytes);
}

bool writeImage(const std::string& dataDir, const char* enginePath, const RGBImage& image) {
    return writeData(dataDir, enginePath, encodeBMP(image.pixels, image.size, image.size, 3));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: citygen DATA_DIR\n");
        return 2;
    }
    const std::string dataDir = argv[1];
    const std::vector<Building> buildings = layoutCity();

    // The scene draws its models in this order, so the big occluders come
    // first: the buildings, all in one model, whose meshes the scene sorts
    // nearest the eye first (so that the nearest, tall or low, hide the rest
    // before the rest is shaded), then what they may hide.
    std::vector<MoverModel> files;
    files.push_back({"models\\buildings\\centre.v3d", buildingsModel(buildings)});
    files.push_back({"models\\buildings\\outskirts.v3d", outskirtsModel(layoutOutskirts())});
    files.push_back({"models\\ground.v3d", groundModel()});
    auto append = [&files](std::vector<MoverModel> group) {
        for (MoverModel& model : group)
            files.push_back(std::move(model));
    };
    append(carModels());
    append(pedestrianModels());
    append(birdModels(buildings));

    std::vector<SceneModel> scene;
    for (const MoverModel& file : files) {
        Vantor::ByteWriter writer;
        Vantor::writeV3D(file.content, writer);
        if (!writeData(dataDir, file.path,
                       std::vector<std::uint8_t>(writer.bytes.begin(), writer.bytes.end())))
            return 1;
        SceneModel model;
        model.path = file.path;
        const bool moving = file.content.motions.size > 0;
        bool perLight = false;
        for (const Vantor::Mesh& root : file.content.roots)
            perLight = perLight || (root.flags & Vantor::kMeshLitPerLight) != 0;
        for (const Vantor::Material& material : file.content.materials) {
            SceneMaterial entry;
            entry.name = material.name.c_str();
            entry.lit = moving                           ? LitPass::moving
                        : !perLight                      ? LitPass::none
                        : material.textures.size > 1 ? LitPass::normalMapped
                                                         : LitPass::textured;
            model.materials.push_back(entry);
        }
        scene.push_back(model);
    }

    const std::string xml = initXML(scene);
    const std::string tour = tourXML();
    const bool written =
        writeData(dataDir, kConfigPath, std::vector<std::uint8_t>(xml.begin(), xml.end())) &&
        writeData(dataDir, kTourPath, std::vector<std::uint8_t>(tour.begin(), tour.end())) &&
        writeData(dataDir, kCollisionMapPath,
                  encodeBMP(collisionMap(buildings), kCollisionMapSize, kCollisionMapSize, 1)) &&
        writeImage(dataDir, kGroundImagePath, groundTexture()) &&
        writeImage(dataDir, kCursorPath, cursorImage());
    return written ? 0 : 1;
}
