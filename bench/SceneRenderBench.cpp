// The lit scene's frame, timed: the test scene of the scene's GL tests (a
// floor, two boxes, a skinned figure, two shadow-casting lights) rendered
// with Scene::renderScene into a hidden window, from the tests' camera.
//
// For each of two cases, the figure animated (1/30 s of frame time per frame)
// and everything still (frame time 0, which holds every player at its
// frame), it prints the main thread's CPU time per frame, and the wall time
// (which includes the driver's rasterising threads through glFinish), of:
//   total           one renderScene call and a glFinish, so the GL work is counted
//   animation       Scene::animate
//   shadow volumes  Scene::updateShadowVolumes for each shadowed light
//   GL submission   the rest: total - animation - shadow volumes
// The steps cannot be timed inside renderScene, so the same frames are
// replayed from the same state with the steps called on their own; the
// replay also gives the volume geometry builds per frame.
// Then it counts shadow-volume geometry builds: in the first frame, over 100
// still frames (must be 0: nothing moved) and over 100 animated frames (the
// figure's hand moves, so its volume is rebuilt for each light).
//
// --small renders fewer, smaller frames (the CTest smoke run uses it).
#include "../tests/modules/scene/SceneSample.h"
#include "../tests/support/SceneFrame.h"

#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/platform/Window.h"
#include "modules/model/ShadowVolume.h"
#include "modules/scene/Light.h"
#include "modules/scene/Scene.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

using namespace Vantor;

namespace {

constexpr int kFullWidth = 1024;
constexpr int kFullHeight = 768;
constexpr int kFullFrames = 200;
constexpr int kSmallWidth = 256;
constexpr int kSmallHeight = 192;
constexpr int kSmallFrames = 5;
constexpr int kWarmUpFrames = 3;
constexpr int kCountedFrames = 100;
constexpr double kAnimatedDelta = 1.0 / 30.0;

double seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Main-thread CPU time and wall time, accumulated.
struct Stopwatch {
    double cpu = 0, wall = 0;
    double cpuStart = 0, wallStart = 0;
    void start() {
        cpuStart = seconds(CLOCK_THREAD_CPUTIME_ID);
        wallStart = seconds(CLOCK_MONOTONIC);
    }
    void stop() {
        cpu += seconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        wall += seconds(CLOCK_MONOTONIC) - wallStart;
    }
};

struct Figures {
    Stopwatch total, animation, shadows;
    // Volume geometry builds in the replayed frames.
    unsigned long long builds = 0;
};

int width = kFullWidth, height = kFullHeight;

// Cleared buffers, the tests' GL state and camera; the clear is finished
// before any timing starts.
void startFrame() {
    test::beginSceneFrame(width, height, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double h = double(test::kNearPlane) * double(test::kFrustumTangent);
    const double aspect = double(width) / double(height);
    glFrustum(-h * aspect, h * aspect, -h, h, double(test::kNearPlane), double(test::kFarPlane));
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(test::sampleView().m);
    glFinish();
}

void resetPose(Scene& scene) {
    for (ModelRef& ref : scene.models)
        ref.player()->time = 0.0f;
}

// frames renderScene calls with dt per frame, then the same frames replayed
// step by step from the same start.
Figures measure(Scene& scene, double dt, int frames) {
    Figures f;
    frameDelta = dt;
    resetPose(scene);
    for (int i = 0; i < frames; ++i) {
        startFrame();
        f.total.start();
        scene.renderScene();
        glFinish();
        f.total.stop();
    }
    resetPose(scene);
    const Vector3 eye = scene.eyePosition();
    const unsigned long long buildsBefore = ShadowVolume::geometryBuilds;
    for (int i = 0; i < frames; ++i) {
        f.animation.start();
        scene.animate(float(dt));
        f.animation.stop();
        f.shadows.start();
        for (const Light& light : lights())
            if (light.castShadows)
                scene.updateShadowVolumes(light, eye);
        glFinish();
        f.shadows.stop();
    }
    f.builds = ShadowVolume::geometryBuilds - buildsBefore;
    return f;
}

unsigned long long buildsOver(Scene& scene, double dt, int frames) {
    frameDelta = dt;
    const unsigned long long before = ShadowVolume::geometryBuilds;
    for (int i = 0; i < frames; ++i) {
        startFrame();
        scene.renderScene();
    }
    glFinish();
    return ShadowVolume::geometryBuilds - before;
}

void printRow(const char* name, double cpuA, double wallA, double cpuS, double wallS, int frames) {
    const double us = 1e6 / frames;
    std::printf("  %-16s %8.1f (%8.1f)   %8.1f (%8.1f)\n", name, cpuA * us, wallA * us, cpuS * us, wallS * us);
}

// Writes the test scene into dir, the working directory, reads it and
// prints the figures.
int run(const std::string& dir, int frames) {
    if (!test::writeSampleScene(dir)) {
        std::fprintf(stderr, "cannot write the test scene into %s\n", dir.c_str());
        return 1;
    }
    Scene scene;
    if (!test::readSceneDescription("scene.xml", scene))
        return 1;
    if (scene.models.size != 3 || lights().size != 2) {
        std::fprintf(stderr, "the test scene did not load: %u models, %u lights\n", scene.models.size,
                     lights().size);
        return 1;
    }

    frameDelta = 0.0;
    const unsigned long long firstBuilds = buildsOver(scene, 0.0, 1);
    for (int i = 0; i < kWarmUpFrames; ++i) {
        startFrame();
        scene.renderScene();
    }

    const Figures animated = measure(scene, kAnimatedDelta, frames);
    const Figures still = measure(scene, 0.0, frames);
    std::printf("scene render, %dx%d, %d frames each; microseconds per frame, main-thread CPU (wall)\n", width, height,
                frames);
    std::printf("  %-16s %-21s   %-21s\n", "", "animated (1/30 s)", "still (0 s)");
    printRow("total", animated.total.cpu, animated.total.wall, still.total.cpu, still.total.wall, frames);
    printRow("animation", animated.animation.cpu, animated.animation.wall, still.animation.cpu,
             still.animation.wall, frames);
    printRow("shadow volumes", animated.shadows.cpu, animated.shadows.wall, still.shadows.cpu, still.shadows.wall,
             frames);
    const auto rest = [](const Figures& f, bool cpu) {
        return cpu ? f.total.cpu - f.animation.cpu - f.shadows.cpu : f.total.wall - f.animation.wall - f.shadows.wall;
    };
    printRow("GL submission", rest(animated, true), rest(animated, false), rest(still, true), rest(still, false),
             frames);
    std::printf("  %-16s %8.2f              %8.2f\n", "volume builds", double(animated.builds) / frames,
                double(still.builds) / frames);

    // Still: frame time 0 holds the figure at its frame, so no mesh and no light moves.
    resetPose(scene);
    buildsOver(scene, 0.0, 1);
    const unsigned long long stillBuilds = buildsOver(scene, 0.0, kCountedFrames);
    resetPose(scene);
    const unsigned long long animatedBuilds = buildsOver(scene, kAnimatedDelta, kCountedFrames);
    std::printf("rebuilds in the first frame: %llu\n", firstBuilds);
    std::printf("rebuilds over %d still frames: %llu\n", kCountedFrames, stillBuilds);
    std::printf("rebuilds over %d animated frames: %llu (the figure's hand casts shadows and moves)\n",
                kCountedFrames, animatedBuilds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int frames = kFullFrames;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--small") == 0) {
            frames = kSmallFrames;
            width = kSmallWidth;
            height = kSmallHeight;
        }

    platform::WindowDescription description;
    description.title = "scene render benchmark";
    description.width = width;
    description.height = height;
    description.colourBits = 32;
    description.depthBits = 24;
    description.stencilBits = 8;
    description.hidden = true;
    platform::Window* window = platform::createWindow(description);
    if (!window) {
        std::fprintf(stderr, "no GL window: %s\n", platform::lastError());
        return 1;
    }
    const GLenum loaded = glewInit();
    if (loaded != GLEW_OK) {
        std::fprintf(stderr, "glewInit: %s\n", reinterpret_cast<const char*>(glewGetErrorString(loaded)));
        platform::destroyWindow(window);
        return 1;
    }

    test::ScratchDirectory scratch;
    int result = 1;
    if (scratch.enter("vantor-scene-bench")) {
        try {
            result = run(scratch.path(), frames);
        } catch (const Exception& e) {
            std::fprintf(stderr, "%s\n", e.message.c_str());
        }
    }
    scratch.leave();
    platform::destroyWindow(window);
    return result;
}
