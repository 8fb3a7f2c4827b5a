// The city scene: start-up from the configuration, camera control with walk
// collision, the option keys, the benchmark and the frame's rendering.
#include "MainGM.h"

#include "AppOptions.h"

#include "Core/TextOverlay.h"
#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/DebugLog.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/FPSCounter.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/WinAppFramework/Time.h"
#include "Core/platform/Messages.h"
#include "Core/textures/TextureManager.h"
#include "modules/Material/MaterialManager.h"
#include "modules/Profiler/Profiler.h"
#include "modules/ShaderManager/ShaderManager.h"
#include "modules/gui/Console.h"
#include "modules/gui/GUI.h"
#include "modules/scene/Light.h"
#include "modules/xml/XMLFile.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

using namespace Vantor;

namespace {

const char* const sourceFile = ".\\MainGM";
const char* const capsName = "MainGM::checkCaps";
const char* const initName = "MainGM::init";
constexpr int lineNoBufferObjects = 890;
constexpr int lineNoFragmentPrograms = 891;
constexpr int lineNoVertexPrograms = 892;
constexpr int lineNoCollisionMap = 43;
constexpr int lineBadConfiguration = 49;

// Function keys of the option toggles (virtual-key codes follow F1 in order).
constexpr int keyF5 = platform::VK_F1 + 4;
constexpr int keyF6 = platform::VK_F1 + 5;
constexpr int keyF7 = platform::VK_F1 + 6;
constexpr int keyF8 = platform::VK_F1 + 7;

// The mouse is kept at the middle of the first window while it steers.
constexpr int mouseCentreX = 320;
constexpr int mouseCentreY = 240;
// Degrees of turn per pixel of mouse movement.
constexpr float walkTurnPerPixel = 0.15f;
constexpr float orbitTurnPerPixel = 0.2f;
// Units per second of the arrow keys, and of A and Z on the orbit distance.
constexpr float moveSpeed = 1000.0f;
constexpr float zoomSpeed = 500.0f;
constexpr float wheelStep = 50.0f;
// Share of the gap to targetDistance the orbit distance closes each frame.
constexpr float distanceEasing = 0.3f;
// The collision map covers world x 0..mapExtent and z 0..-mapExtent.
constexpr float mapScale = 0.00025f;
constexpr float mapExtent = 4000.0f;
constexpr unsigned char blockedCell = 255;
constexpr int walkSteps = 100;
// The benchmark's orbit camera.
constexpr float benchmarkDistance = 1999.0f;
const Vector3 benchmarkTarget(-50.0f, 200.0f, 100.0f);
// Fog of the city.
const float fogColour[4] = {0.8f, 0.8f, 0.83f, 1.0f};
constexpr float fogDensity = 0.00004f;
constexpr float skyHalfSize = 200.0f;
// The occlusion buffer and its viewport scale.
constexpr int occlusionWidth = 600;
constexpr int occlusionHeight = 300;
constexpr float occlusionMinBox = 64.0f;
// Help texts are printed smaller than the font's own cells.
constexpr float helpTextSize = 24.0f;
constexpr float fontSize = 32.0f;

// The benchmark: the frame clock from the first update, and per update of a
// run the seconds since the previous one.
Timer* benchmarkTimer = nullptr;
bool benchmarkRunning = false;
int benchmarkFrames = 0;
Timer* frameTimer = nullptr;
double benchmarkFrameTimes[MainGM::benchmarkLength];

// The profiler's sections of a frame, made on the first render (the profiler
// is a singleton, which must not be made during static initialisation).
struct FrameSections {
    ProfileObject frame{"MainGM::render", "source\\app\\MainGM", __LINE__, "frame"};
    ProfileObject sky{"Vantor::SkyBox::render", "source\\app\\MainGM", __LINE__, "sky box"};
    ProfileObject scene{"Vantor::Scene::renderScene", "source\\app\\MainGM", __LINE__, "scene"};
    ProfileObject texts{"Vantor::TextOverlay::print", "source\\app\\MainGM", __LINE__, "help texts"};
};

FrameSections& sections() {
    static FrameSections made;
    return made;
}

[[noreturn]] void missingCapability(const char* requirement, int line) {
    String message("Your graphics card/driver does not have support a required capability:\n\n  ");
    message.append(requirement);
    message.append("\n\nPlease see readme.html for more information");
    throw Exception(message, capsName, sourceFile, line);
}

// Runs the load of a file the scene can do without (font, cursor, sky box,
// ground texture): a loader's error is logged and shown, and the start-up
// goes on without the file.
template <class Load>
void loadOptional(const Load& load) {
    try {
        load();
    } catch (const Exception& e) {
        if (DebugLog* log = App::currentLog()) {
            log->printString(e.message);
            log->flush();
        }
        showMessageText(e.message.c_str());
    }
}

// Makes a colour map (24 or 32 bits) a map of its first channel; false for
// an image without pixels.
bool keepFirstChannel(Image& map) {
    if (map.channels < 1 || map.width <= 0 || map.height <= 0)
        return false;
    if (map.channels == 1)
        return true;
    Image first;
    if (!first.allocate(1, map.width, map.height))
        return false;
    for (int i = 0; i < first.size; ++i)
        first.data[i] = map.data[size_t(i) * size_t(map.channels)];
    map = first;
    return true;
}

// The horizontal forward and left unit vectors of a view matrix.
void horizontalAxes(const Matrix4& view, Vector3& forward, Vector3& left) {
    forward = Vector3(-view.m[2], 0.0f, -view.m[10]);
    left = Vector3(-view.m[0], 0.0f, -view.m[8]);
    forward.normalize();
    left.normalize();
}

// The arrow keys' movement this frame along forward and left.
Vector3 arrowMovement(const Matrix4& view) {
    Keys* keys = Keys::getInstance();
    Vector3 forward, left;
    horizontalAxes(view, forward, left);
    const float step = float(frameDelta) * moveSpeed;
    Vector3 move;
    if (keys->down[platform::VK_UP])
        move += forward * step;
    if (keys->down[platform::VK_DOWN])
        move -= forward * step;
    if (keys->down[platform::VK_LEFT])
        move += left * step;
    if (keys->down[platform::VK_RIGHT])
        move -= left * step;
    return move;
}

float clampDistance(const OrbitalCamera& camera, float distance) {
    return std::max(camera.minRadius, std::min(camera.maxRadius, distance));
}

} // namespace

void MainGM::checkCaps() {
    if (!GLEW_ARB_vertex_buffer_object)
        missingCapability("ARB_vertex_buffer_object extension required", lineNoBufferObjects);
    if (!GLEW_ARB_fragment_program)
        missingCapability("ARB_fragment_program extension required", lineNoFragmentPrograms);
    if (!GLEW_ARB_vertex_program)
        missingCapability("ARB_vertex_program extension required", lineNoVertexPrograms);
}

void MainGM::init() {
    checkCaps();
    if (!collisionMap.loadBMP("images\\colmap.bmp") || !keepFirstChannel(collisionMap))
        throw Exception("Collision map not found", initName, sourceFile, lineNoCollisionMap);

    XMLFile config;
    config.load(configFile.c_str());
    if (config.getName() != "init")
        throw Exception("init.xml is invalid", initName, sourceFile, lineBadConfiguration);

    XMLElement& font = config.getChild("defaultFont");
    const String fontImage = font.getAttrib("imageFilename");
    const String fontData = font.getAttrib("dataFilename");
    const String cursor = config.getChild("cursor").getAttrib("filename");
    const String sky = config.getChild("skybox").getAttrib("filename");
    const String ground = config.getChild("groundTexture").getAttrib("filename");
    loadOptional([&] { TextOverlay::getInstance()->loadFont(fontImage.c_str(), fontData.c_str(), false); });
    loadOptional([&] { Mouse::getInstance()->setCursorImage(cursor.c_str()); });
    loadOptional([&] { skyBox.load(sky.c_str()); });
    loadOptional([&] {
        groundTexture =
            TextureManager::getInstance()->loadNewTexture(ground.c_str(), GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
    });

    AppOptions* options = AppOptions::getInstance();
    options->read(config.getChild("appOptions"));
    FPSCounter::getInstance()->enabled = options->displayFPS;

    mainMenu = new MainMenu;
    GUI::getInstance()->show(mainMenu);
    optionsMenu->updateAntialiasingLabel();

    readCameras(config.getChild("cameras"));
    if (tour)
        startTour();
    skyBox.halfSize = skyHalfSize;

    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    // The additive light passes redraw surfaces at the depth the base pass left.
    glDepthFunc(GL_LEQUAL);
    detail::drainGLErrors();

    XMLElement& skin = config.getChild("skinShader");
    const int language = skin.getAttrib("language") == "GLSL" ? kProgramGLSL : kProgramAsm;
    skinShader = ShaderManager::getInstance()->loadVertexProgram(skin.getAttrib("filename").c_str(), language);

    if (XMLElement* sceneElement = config.findChild("scene"))
        scene.readScene(*sceneElement);
    // Everything the city lights is one of the scene's models.
    scene.floorCuts = true;
    for (const String& file : scene.modelFiles)
        modelGroups.add(modelGroupOf(file.c_str()));
    if (XMLElement* materials = config.findChild("materialProperties"))
        MaterialManager::getInstance()->loadMaterialProperties(*materials);

    setUpCulling();

    // A window without a multisample buffer has nothing to switch.
    if (windowHasMultisampling()) {
        options->antialiasing = true;
        glEnable(GL_MULTISAMPLE_ARB);
    } else {
        options->antialiasing = false;
        optionsMenu->setAntialiasingLabel("Antialiasing unsupported");
    }
}

void MainGM::readCameras(XMLElement& cameras) {
    const AppOptions* options = AppOptions::getInstance();
    XMLElement& orbit = cameras.getChild("orbitalCamera");
    orbitCamera.minRadius = orbit.getAttribFloat("minRadius", 0.0f);
    orbitCamera.maxRadius = orbit.getAttribFloat("maxRadius", 0.0f);
    orbitCamera.hemisphere = orbit.getAttribInt("hemisphere", 0) != 0;
    orbitCamera.setDistance(orbit.getAttribFloat("radius", 1000.0f));
    orbitCamera.target = Vector3(orbit.getAttribFloat("x", 0.0f), orbit.getAttribFloat("y", 0.0f),
                                 orbit.getAttribFloat("z", 0.0f));

    XMLElement& walk = cameras.getChild("fpsCamera");
    walkCamera.position =
        Vector3(walk.getAttribFloat("x", 0.0f), walk.getAttribFloat("y", 0.0f), walk.getAttribFloat("z", 0.0f));
    previousWalkPosition = walkCamera.position;

    currentCamera = &walkCamera;
    walkCamera.applyProjection();
    walkMode = true;
    Mouse* mouse = Mouse::getInstance();
    mouse->setPosition(mouseCentreX, mouseCentreY);
    mouse->hide();
    const GLWindow* window = GLWindow::getInstance();
    for (Camera* camera : {static_cast<Camera*>(&walkCamera), static_cast<Camera*>(&orbitCamera)}) {
        // The view keeps its shape at every window size.
        if (window->width > 0 && window->height > 0)
            camera->aspect = double(window->width) / double(window->height);
        camera->farClip = options->farClip;
        camera->applyProjection();
        camera->nearClip = options->nearClip;
        camera->applyProjection();
    }
    currentCamera->applyProjection();
}

void MainGM::startTour() {
    const AppOptions* options = AppOptions::getInstance();
    tourCamera.tour = tour;
    tourCamera.time = tourTime;
    tourCamera.nearClip = options->nearClip;
    tourCamera.farClip = options->farClip;
    const GLWindow* window = GLWindow::getInstance();
    tourCamera.aspect = double(window->width) / double(window->height);
    currentCamera = &tourCamera;
    currentCamera->applyProjection();
    inputEnabled = false;
    // Its figure follows the wall clock: a capture would differ from run to run.
    FPSCounter::getInstance()->enabled = false;
}

void MainGM::setUpCulling() {
    occlusion.setSize(occlusionWidth, occlusionHeight);
    occlusion.scaleX = occlusionWidth / 2.0f;
    occlusion.scaleY = occlusionHeight / 2.0f;
    occlusion.minBoxSize = occlusionMinBox;
    occlusion.boxPadding = 0.0f;
    occlusion.enabled = AppOptions::getInstance()->occlusionCulling;
    // Every model is tested against the culler, and solid shadow casters
    // (the buildings) hide what stands behind them.
    ModelManager* cache = ModelManager::getInstance();
    for (const ModelRef& ref : scene.models) {
        Model* model = cache->resolve(ref);
        if (!model)
            continue;
        if (ModelInstance* record = model->instance()) {
            record->flags = kInstanceCullTest;
            record->occlusion = &occlusion;
        }
        for (Mesh* mesh : model->meshes)
            if (MeshInstance* meshRecord = mesh->currentInstance())
                meshRecord->occluder = (mesh->flags & kMeshCastsShadows) && !(mesh->flags & kMeshSkinned);
    }
}

bool MainGM::cellOf(float x, float z, int& column, int& row) const {
    column = int(float(collisionMap.width) * x * mapScale + 0.5f);
    row = int(0.5f - float(collisionMap.height) * z * mapScale);
    return column >= 0 && column < collisionMap.width && row >= 0 && row < collisionMap.height;
}

bool MainGM::cellBlocked(int column, int row) const {
    return collisionMap.data[size_t(row) * size_t(collisionMap.width) + size_t(column)] == blockedCell;
}

bool MainGM::isBlocked(float x, float z) const {
    int column = 0, row = 0;
    return cellOf(x, z, column, row) && cellBlocked(column, row);
}

void MainGM::collideWalk() {
    Vector3& p = walkCamera.position;
    const Vector3 t = p;
    const Vector3 o = previousWalkPosition;
    if (!isBlocked(t.x, t.z)) {
        p.x = std::max(walkMinX, std::min(walkMaxX, p.x));
        p.z = std::max(walkMinZ, std::min(walkMaxZ, p.z));
        if (walkBlocked) {
            walkBlocked = false;
            if (DebugLog* log = App::currentLog()) {
                log->print("Walk left the wall at (%.1f, %.1f)", p.x, p.z);
                log->flush();
            }
        }
        return;
    }
    TextOverlay::getInstance()->clear();
    Vector3 s = o;
    for (int k = 1; k <= walkSteps; ++k) {
        const Vector3 step = o + (t - o) * (float(k) / walkSteps);
        if (isBlocked(step.x, step.z))
            break;
        s = step;
    }
    int column = 0, row = 0;
    cellOf(s.x, s.z, column, row);
    const float cellWidth = mapExtent / float(collisionMap.width);
    const float cellDepth = mapExtent / float(collisionMap.height);
    auto corner = [&](int i, int j) { return Vector3(float(i) * cellWidth, 0.0f, -float(j) * cellDepth); };
    auto distance = [&t](const Vector3& c) { return std::hypot(c.x - t.x, c.z - t.z); };
    Vector3 best = corner(column, row);
    bool moved = false;
    for (;;) {
        int bestColumn = column, bestRow = row;
        float bestDistance = distance(best);
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di) {
                const int i = column + di, j = row + dj;
                if ((di == 0 && dj == 0) || i < 0 || j < 0 || i >= collisionMap.width || j >= collisionMap.height ||
                    cellBlocked(i, j))
                    continue;
                const float d = distance(corner(i, j));
                if (d < bestDistance) {
                    bestDistance = d;
                    bestColumn = i;
                    bestRow = j;
                }
            }
        if (bestColumn == column && bestRow == row)
            break;
        column = bestColumn;
        row = bestRow;
        best = corner(column, row);
        moved = true;
    }
    p = moved ? Vector3(best.x, t.y, best.z) : o;
    if (walkBlocked)
        return;
    walkBlocked = true;
    if (DebugLog* log = App::currentLog()) {
        log->print("Walk blocked at (%.1f, %.1f): camera at (%.1f, %.1f)", t.x, t.z, p.x, p.z);
        log->flush();
    }
}

void MainGM::controlWalkCamera() {
    Mouse* mouse = Mouse::getInstance();
    previousWalkPosition = walkCamera.position;
    if (mouse->visible) {
        mouse->setPosition(mouseCentreX, mouseCentreY);
        mouse->hide();
    }
    const int mx = mouse->x, my = mouse->y;
    mouse->setPosition(mouseCentreX, mouseCentreY);
    walkCamera.rotate(Vector3(float(mouseCentreY - my) * walkTurnPerPixel, float(mx - mouseCentreX) * walkTurnPerPixel,
                              0.0f));
    walkCamera.update();
    walkCamera.position += arrowMovement(walkCamera.viewMatrix);
}

void MainGM::controlOrbitCamera() {
    Mouse* mouse = Mouse::getInstance();
    static int heldX = mouseCentreX, heldY = mouseCentreY;
    if (mouse->rightPressed) {
        heldX = mouse->x;
        heldY = mouse->y;
        mouse->setPosition(mouseCentreX, mouseCentreY);
        mouse->hide();
    } else if (mouse->rightDown) {
        const int mx = mouse->x, my = mouse->y;
        mouse->setPosition(mouseCentreX, mouseCentreY);
        orbitCamera.rotate(Vector3(float(my - mouseCentreY) * orbitTurnPerPixel,
                                   float(mouseCentreX - mx) * orbitTurnPerPixel, 0.0f));
        if (orbitCamera.hemisphere && orbitCamera.rotation.x < 0.0f)
            orbitCamera.setRotation(Vector3(0.0f, orbitCamera.rotation.y, orbitCamera.rotation.z));
    }
    if (mouse->rightReleased) {
        mouse->setPosition(heldX, heldY);
        mouse->show();
    }
    if (mouse->wheel != 0)
        targetDistance = clampDistance(orbitCamera, targetDistance - wheelStep * float(mouse->wheel));
    Keys* keys = Keys::getInstance();
    if (keys->down['A']) {
        orbitCamera.zoom(-zoomSpeed * float(frameDelta));
        targetDistance = orbitCamera.distance;
    }
    if (keys->down['Z']) {
        orbitCamera.zoom(zoomSpeed * float(frameDelta));
        targetDistance = orbitCamera.distance;
    }
    orbitCamera.update();
    orbitCamera.target += arrowMovement(orbitCamera.viewMatrix);
    orbitCamera.setDistance(orbitCamera.distance + (targetDistance - orbitCamera.distance) * distanceEasing);
}

void MainGM::startBenchmark() {
    TextOverlay::getInstance()->clear();
    orbitCamera.setDistance(benchmarkDistance);
    orbitCamera.target = benchmarkTarget;
    benchmarkTimer->restart();
    frameTimer->restart();
    inputEnabled = false;
    benchmarkRunning = true;
    benchmarkFrames = 0;
}

void MainGM::finishBenchmark() {
    const double fps = benchmarkLength / benchmarkTimer->elapsed();
    benchmarkFrames = 0;
    inputEnabled = true;
    benchmarkRunning = false;
    TextOverlay::getInstance()->append("\n\nBenchmark result: %f FPS", fps);
    if (DebugLog* log = App::currentLog()) {
        double sorted[benchmarkLength];
        std::copy(benchmarkFrameTimes, benchmarkFrameTimes + benchmarkLength, sorted);
        std::sort(sorted, sorted + benchmarkLength);
        const double median = (sorted[benchmarkLength / 2 - 1] + sorted[benchmarkLength / 2]) / 2;
        log->print("Benchmark result: %f FPS", fps);
        log->print("Benchmark frame times: min %.2f ms, median %.2f ms, p99 %.2f ms, max %.2f ms", sorted[0] * 1000,
                   median * 1000, sorted[benchmarkLength - 2] * 1000, sorted[benchmarkLength - 1] * 1000);
        // The counters still hold the last drawn frame's polygons.
        log->print("Benchmark polygons: %d drawn of %d", Model::drawnTriangles, Model::totalTriangles);
        log->flush();
    }
}

void MainGM::switchWalkMode() {
    walkMode = !walkMode;
    Mouse* mouse = Mouse::getInstance();
    currentCamera = walkMode ? static_cast<Camera*>(&walkCamera) : static_cast<Camera*>(&orbitCamera);
    currentCamera->applyProjection();
    mouse->setPosition(mouseCentreX, mouseCentreY);
    if (walkMode)
        mouse->hide();
    else
        mouse->show();
}

void MainGM::update() {
    if (!benchmarkTimer) {
        // Made here, once the frame clock runs; they live until exit.
        static Timer benchmarkClock(false);
        static Timer frameClock(true);
        benchmarkTimer = &benchmarkClock;
        frameTimer = &frameClock;
    }
    if (tour) {
        tourCamera.time = tourTime;
        return;
    }
    if (inputEnabled && !GUI::getInstance()->enabled) {
        if (walkMode) {
            controlWalkCamera();
            collideWalk();
        } else {
            controlOrbitCamera();
        }
    }
    if (benchmarkRunning) {
        benchmarkFrameTimes[benchmarkFrames] = frameTimer->elapsed();
        frameTimer->restart();
        if (++benchmarkFrames == benchmarkLength)
            finishBenchmark();
    }
    handleKeys();
    if (lightTracking && lights().size > 0) {
        const Vector3 eye = currentCamera->computeEyePosition();
        lights()[0].setPosition(eye.x, eye.y, eye.z);
    }
}

void MainGM::handleKeys() {
    Keys* keys = Keys::getInstance();
    TextOverlay* text = TextOverlay::getInstance();
    AppOptions* options = AppOptions::getInstance();
    if (keys->wentDown('B') && !benchmarkRunning)
        startBenchmark();
    if (keys->wentDown(platform::VK_OEM_3)) {
        // The console would see the press and close at once; the character
        // the key typed belongs to the scene, not to the console's text.
        keys->down[platform::VK_OEM_3] = false;
        typedChars.resize(0);
        Console* console = Console::getInstance();
        console->enabled = !console->enabled;
    }
    if (keys->wentDown('L'))
        lightTracking = !lightTracking;
    if (keys->wentDown(platform::VK_F1))
        switchWalkMode();
    if (keys->wentDown(keyF5)) {
        options->occlusionCulling = !options->occlusionCulling;
        occlusion.enabled = options->occlusionCulling;
        text->clear();
        text->append("Occlusion Culling %s", options->occlusionCulling ? "enabled" : "disabled");
    }
    if (keys->wentDown(keyF6))
        options->showOcclusionMap = !options->showOcclusionMap;
    if (keys->wentDown(keyF7))
        options->showPolyCount = !options->showPolyCount;
    if (keys->wentDown(keyF8)) {
        const String report = Profiler::getInstance()->getReport();
        text->clear();
        text->append("%s", report.c_str());
        // Also for people who read the numbers without watching the screen.
        if (DebugLog* log = App::currentLog())
            log->printString(report);
    }
    if (keys->wentDown('T'))
        text->clear();
    if (keys->wentDown('W')) {
        GLint modes[2] = {GL_FILL, GL_FILL};
        glGetIntegerv(GL_POLYGON_MODE, modes);
        glPolygonMode(GL_FRONT_AND_BACK, modes[0] == GL_LINE ? GL_FILL : GL_LINE);
    }
    if (keys->wentDown(platform::VK_ESCAPE)) {
        keys->update();
        GUI::getInstance()->enabled = true;
        Mouse* mouse = Mouse::getInstance();
        if (!mouse->visible) {
            mouse->setPosition(mouseCentreX, mouseCentreY);
            mouse->show();
        }
    }
}

void MainGM::render() {
    FrameSections& profile = sections();
    profile.frame.start();
    const AppOptions* options = AppOptions::getInstance();
    if (options->fog) {
        glEnable(GL_FOG);
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogfv(GL_FOG_COLOR, fogColour);
        glFogf(GL_FOG_DENSITY, fogDensity);
    }
    Model::drawnTriangles = 0;
    Model::totalTriangles = 0;
    occlusion.beginFrameFromGL(options->nearClip, options->farClip);
    glPushMatrix();
    ShaderManager::getInstance()->unbindCurrent();
    glUseProgramObjectARB(0);
    glPopMatrix();

    // The render flags may change in the options menu at any time.
    scene.modelHidden.resize(modelGroups.size);
    for (unsigned i = 0; i < modelGroups.size; ++i)
        scene.modelHidden[i] = !options->shows(modelGroups[i]);
    profile.scene.start();
    scene.renderScene();
    profile.scene.stop();

    // The sky goes behind the scene, so it is drawn last, at the far plane's
    // depth, only where the scene left the cleared depth: the pixels the
    // scene covers are not textured for nothing. It takes the fog, which the
    // scene switches off for itself, and the first texture unit, which the
    // scene's last material may have left inactive.
    profile.sky.start();
    if (options->fog)
        glEnable(GL_FOG);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glDepthRange(1.0, 1.0);
    skyBox.render(true);
    glDepthRange(0.0, 1.0);
    profile.sky.stop();

    if (tour) {
        if (options->fog)
            glDisable(GL_FOG);
        profile.frame.stop();
        return;
    }
    profile.texts.start();
    TextOverlay* text = TextOverlay::getInstance();
    text->font.cellWidth = text->font.cellHeight = helpTextSize;
    // As far from the top as in a 1024 x 768 window, at any size.
    const int top = Overlay2D::getInstance()->height;
    text->print(10, top - 68, walkMode ? "Press F1 to switch to orbit mode" : "Press F1 to switch to walk mode");
    text->print(10, top - 88, lightTracking ? "Press L to drop the light" : "Press L to enable light tracking");
    text->font.cellWidth = text->font.cellHeight = fontSize;
    profile.texts.stop();
    if (options->fog)
        glDisable(GL_FOG);
    if (options->showPolyCount) {
        text->clear();
        text->append("\n\nPolyCount: %d / %d\n", Model::drawnTriangles, Model::totalTriangles);
    }
    if (options->showOcclusionMap) {
        Overlay2D* overlay = Overlay2D::getInstance();
        overlay->begin2D();
        // The scene leaves texturing on; a texel would tint the grey image.
        glDisable(GL_TEXTURE_2D);
        glRasterPos2i(0, 0);
        occlusion.drawBuffer();
        overlay->end2D();
    }
    profile.frame.stop();
    if (!startUpLogged) {
        startUpLogged = true;
        if (DebugLog* log = App::currentLog()) {
            glFinish();
            using Milliseconds = std::chrono::duration<double, std::milli>;
            const auto now = std::chrono::steady_clock::now();
            log->print("City drawn %.0f ms after the start (%.0f ms after the full-screen answer)",
                       Milliseconds(now - startedAt).count(), Milliseconds(now - answeredAt).count());
            log->flush();
        }
    }
}
