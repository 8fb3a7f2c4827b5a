// Helpers for tests and benchmarks that render whole scenes read from files:
// a scratch working directory for those files, reading a scene description,
// the GL state a frame starts from, and PPM snapshots of frames for looking
// at what a test drew.
//
// Header-only and free of GoogleTest, so that benchmarks can include it by
// relative path; its users link the scene module. The GL helpers need GLEW
// initialised and a current context.
#pragma once

#include <GL/glew.h>

#include "modules/Material/MaterialManager.h"
#include "modules/scene/Light.h"
#include "modules/scene/Scene.h"
#include "modules/xml/XMLFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace Vantor::test {

// A fresh directory under /tmp made the working directory, and the way back.
class ScratchDirectory {
public:
    // Makes /tmp/<prefix>-XXXXXX and changes into it. False, with the failed
    // step on stderr, when that cannot be done.
    bool enter(const char* prefix) {
        std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return false;
        }
        dir = pattern;
        char cwd[kPathCapacity];
        if (!::getcwd(cwd, sizeof cwd)) {
            std::perror("getcwd");
            return false;
        }
        if (::chdir(dir.c_str()) != 0) {
            std::perror("chdir");
            return false;
        }
        previous = cwd;
        return true;
    }

    // Changes back to where enter started and removes the scratch directory
    // with everything in it; whatever enter did not get to is skipped.
    void leave() {
        if (!previous.empty() && ::chdir(previous.c_str()) != 0)
            std::perror("chdir");
        previous.clear();
        if (!dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
        dir.clear();
    }

    // The scratch directory's absolute path; empty before enter.
    const std::string& path() const { return dir; }

private:
    static constexpr size_t kPathCapacity = 4096;
    std::string dir;
    std::string previous;
};

// Empties the light list, then reads the "scene" element of the description
// file at path into scene and its "materialProperties" element into the
// material manager. False, with nothing read, when the file lacks either.
inline bool readSceneDescription(const char* path, Scene& scene) {
    lights().clear();
    XMLFile description;
    description.load(path);
    XMLElement* sceneElement = description.findChild("scene");
    XMLElement* properties = description.findChild("materialProperties");
    if (!sceneElement || !properties)
        return false;
    scene.readScene(*sceneElement);
    MaterialManager::getInstance()->loadMaterialProperties(*properties);
    return true;
}

// Starts a frame as the city does: the viewport over width x height, every
// buffer writable and cleared (colour to r, g, b, opaque), the depth test
// (less or equal) on, back faces culled with counter-clockwise front faces,
// blending off. Projection and view are left to the caller.
inline void beginSceneFrame(int width, int height, float r, float g, float b) {
    glViewport(0, 0, width, height);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilMask(0xFF);
    glClearColor(r, g, b, 1);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glDisable(GL_BLEND);
}

// Writes a width x height frame as a binary PPM, top row first, named
// <name>.ppm into the directory the environment variable envVar names; does
// nothing when that is unset or empty or the file cannot be opened.
// pixelAt(x, y) gives the pixel at window coordinates (origin bottom-left)
// as anything with r, g and b bytes.
template <class PixelAt>
void saveShot(const char* envVar, const char* name, int width, int height, PixelAt pixelAt) {
    const char* dir = std::getenv(envVar);
    if (!dir || !*dir)
        return;
    FILE* file = std::fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb");
    if (!file)
        return;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const auto p = pixelAt(x, y);
            const unsigned char rgb[3] = {p.r, p.g, p.b};
            std::fwrite(rgb, 1, 3, file);
        }
    std::fclose(file);
}

} // namespace Vantor::test
