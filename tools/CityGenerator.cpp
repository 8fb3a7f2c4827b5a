// citygen DATA_DIR
//
// Writes the starter city into the program's data folder DATA_DIR: the
// configuration file "config files/init.xml", the models "models/*.v3d"
// (ground and buildings), the collision map "images/colmap.bmp", the ground
// texture "images/ground.bmp" and the cursor "images/cursor.bmp". The plan
// lives in tools/city; the output depends only on it, so every run writes the
// same bytes.
#include "BMPWriter.h"
#include "city/CityConfig.h"
#include "city/CityImages.h"
#include "city/CityLayout.h"
#include "city/CityModels.h"

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

    struct ModelFile {
        const char* path;
        Vantor::V3DContent content;
    };
    const ModelFile modelFiles[] = {
        {"models\\ground.v3d", groundModel()},
        {"models\\buildings.v3d", buildingsModel(buildings)},
    };

    std::vector<SceneModel> scene;
    for (const ModelFile& file : modelFiles) {
        Vantor::ByteWriter writer;
        Vantor::writeV3D(file.content, writer);
        if (!writeData(dataDir, file.path,
                       std::vector<std::uint8_t>(writer.bytes.begin(), writer.bytes.end())))
            return 1;
        SceneModel model;
        model.path = file.path;
        for (const Vantor::Material& material : file.content.materials)
            model.materials.push_back(material.name.c_str());
        scene.push_back(model);
    }

    const std::string xml = initXML(scene);
    const bool written =
        writeData(dataDir, kConfigPath, std::vector<std::uint8_t>(xml.begin(), xml.end())) &&
        writeData(dataDir, kCollisionMapPath,
                  encodeBMP(collisionMap(buildings), kCollisionMapSize, kCollisionMapSize, 1)) &&
        writeImage(dataDir, kGroundImagePath, groundTexture()) &&
        writeImage(dataDir, kCursorPath, cursorImage());
    return written ? 0 : 1;
}
