#include "Core/WinAppFramework/App.h"

#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/DebugLog.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/WinAppFramework/Plugin.h"
#include "Core/TextOverlay.h"
#include "Core/textures/TextureManager.h"
#include "Core/platform/Window.h"

#include <GL/glew.h>

#include <cstdlib>
#include <ctime>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\Core\\WinAppFramework\\winApp";
const char* const mainLoopName = "Vantor::App::mainLoop";
constexpr int lineBeforeFirstFrame = 214;
constexpr int lineAfterFrame = 248;

// The window procedure the platform layer calls; messages that arrive before
// the App exists go nowhere.
platform::LRESULT windowProcedure(platform::Window* window, unsigned message, platform::WPARAM wParam,
                                  platform::LPARAM lParam) {
    if (!Singleton<App>::exists())
        return 0;
    return App::getInstance()->handleMessage(window, message, wParam, lParam);
}

} // namespace

App::App() {
    platform::setWindowProcedure(windowProcedure);
    log = new DebugLog(logFileName, false);
    initGL(startWidth, startHeight, startDepthBits, startColourBits, false);
    initialised = false;
    frameCount = 0;
}

App::~App() {
    if (currentCamera == defaultCamera.get())
        currentCamera = nullptr;
    delete log;
    for (Object* object : ownedObjects)
        delete object;
}

void App::initGL(int width, int height, int depthBits, int colourBits, bool fullscreen) {
    GLWindow* glWindow = GLWindow::getInstance();
    quit = !glWindow->create(windowName, width, height, colourBits, depthBits, fullscreen, true, startSamples);
    if (quit)
        exitCode = exitFailure; // the window's own box has told why

    // Without a window there is no context to load extensions from or set state in.
    if (!quit) {
        GLenum loaded = glewInit();
        // On an EGL context GLEW loads every GL entry point and flag, then
        // finds no GLX display: that part is not needed there.
        if (loaded == GLEW_ERROR_NO_GLX_DISPLAY && platform::drawingOffscreen())
            loaded = GLEW_OK;
        if (loaded != GLEW_OK)
            showMessage("Extension loading failed\nGLeeInit error: %s",
                        reinterpret_cast<const char*>(glewGetErrorString(loaded)));
    }

    Overlay2D::getInstance()->setSize(width, height);
    defaultCamera = std::make_unique<OrbitalCamera>();
    currentCamera = defaultCamera.get();

    if (!quit) {
        glEnable(GL_TEXTURE_2D);
        std::srand(unsigned(std::time(nullptr)));
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClearDepth(1.0);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glEnable(GL_CULL_FACE);
        glDepthFunc(GL_LEQUAL);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
        glEnable(GL_TEXTURE_2D);
        glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
        glEnable(GL_LIGHT0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    timer.restart();
}

void App::run(void* hInstance, void* hPrevInstance, char* cmdLine, int cmdShow, int width, int height,
              int colourBits, int requestedBits, bool fullscreen) {
    instance = hInstance;
    previousInstance = hPrevInstance;
    commandLine = cmdLine;
    showCommand = cmdShow;
    GLWindow* glWindow = GLWindow::getInstance();
    // Plug-ins, the scratch texture and the frame all need a GL context: with
    // no window the program only shuts down.
    if (!glWindow->created)
        return;
    try {
        glWindow->resize(width, height, colourBits, requestedBits, fullscreen);
        Overlay2D::getInstance()->setSize(width, height);
        PluginManager::getInstance()->initAll();
        initialised = true;
        mainLoop();
    } catch (const Exception& e) {
        fatalError(e);
    }
}

void App::mainLoop() {
    GLWindow* glWindow = GLWindow::getInstance();
    TextureManager::getInstance()->createScratchTexture();
    Mouse* mouse = Mouse::getInstance();
    Keys* keys = Keys::getInstance();
    TextOverlay* text = TextOverlay::getInstance();
    PluginManager* plugins = PluginManager::getInstance();

    checkGLError(mainLoopName, sourceFile, lineBeforeFirstFrame);

    while (!quit) {
        if (platform::peekMessage(msg)) {
            if (msg.message == platform::WM_QUIT) {
                quit = true;
                exitCode = int(msg.wParam);
            } else {
                platform::translateMessage(msg);
                platform::dispatchMessage(msg);
            }
            continue;
        }
        if (!windowActive && !frameListener)
            continue;

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        plugins->runFrame();
        frameDelta = Time::getInstance()->update();
        text->drawBuffer();
        mouse->draw();
        Overlay2D::getInstance()->drawFade();
        if (frameListener)
            frameListener->frameDrawn();
        platform::swapBuffers(glWindow->window);
        if (frameListener)
            frameListener->frameSwapped();
        mouse->update(glWindow);
        keys->update();
        typedChars.resize(0);
        checkGLError(mainLoopName, sourceFile, lineAfterFrame);
        ++frameCount;
    }
}

int App::shutdown() {
    GLWindow* glWindow = GLWindow::getInstance();
    // Without a window run started no plug-in and made no texture.
    if (glWindow->created) {
        PluginManager::getInstance()->shutdownAll();
        TextureManager::getInstance()->deleteAll();
    }
    glWindow->destroy();
    return exitCode;
}

String App::fatalErrorText(const Exception& e) {
    String text("FATAL ERROR : \n");
    text.append(e.message);
    text.appendFormat("\n\nFunction : %s\nFile :      %s\nLine :      %d", e.function.c_str(), e.file.c_str(),
                      e.line);
    return text;
}

void App::fatalError(const Exception& e) {
    String text = fatalErrorText(e);
    quit = true;
    exitCode = exitFailure;
    // Logged and flushed before the box, so the text survives a process
    // killed while the box is open.
    log->printString(text);
    log->flush();
    showMessageText(text.c_str());
}

platform::LRESULT App::handleMessage(platform::Window*, unsigned message, platform::WPARAM wParam,
                                     platform::LPARAM) {
    using namespace platform;
    Keys* keys = Keys::getInstance();
    Mouse* mouse = Mouse::getInstance();
    switch (message) {
    case WM_ACTIVATE:
        windowActive = HIWORD(wParam) == 0;
        return 0;
    case WM_CLOSE:
        postQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam < Keys::keyCount) {
            keys->down[wParam] = true;
            keys->pressed[wParam] = true;
        }
        return 0;
    case WM_KEYUP:
        if (wParam < Keys::keyCount)
            keys->down[wParam] = false;
        return 0;
    case WM_CHAR:
        typedChars.add(char(wParam & 0xFF));
        return 0;
    case WM_LBUTTONDOWN:
        mouse->leftDown = mouse->leftPressed = true;
        return 0;
    case WM_LBUTTONUP:
        mouse->leftDown = false;
        mouse->leftReleased = true;
        return 0;
    case WM_RBUTTONDOWN:
        mouse->rightDown = mouse->rightPressed = true;
        return 0;
    case WM_RBUTTONUP:
        mouse->rightDown = false;
        mouse->rightReleased = true;
        return 0;
    case WM_MBUTTONDOWN:
        mouse->middleDown = mouse->middlePressed = true;
        return 0;
    case WM_MBUTTONUP:
        mouse->middleDown = false;
        mouse->middleReleased = true;
        return 0;
    case WM_MOUSEWHEEL:
        mouse->wheel = int16_t(HIWORD(wParam)) > 0 ? 1 : -1;
        return 0;
    default:
        return 0;
    }
}

} // namespace Vantor
