// App: the program's spine.
//
// The one App (a singleton) owns the log and the window's start-up: its
// constructor opens "log.txt", the window and the GL context. run() sizes the
// window, initialises the plug-ins and runs the main loop until the window is
// closed, quit is set or an Exception escapes; shutdown() then takes
// everything down in order and gives the exit code. When the window cannot be
// created the App starts with quit set and no GL context: run then touches
// neither GL nor the plug-ins, and the exit code is exitFailure.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Object.h"
#include "Core/Singleton.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Time.h"
#include "Core/platform/Messages.h"

#include <memory>

namespace Vantor {

class Camera;
class DebugLog;

// Told of the end of every frame the main loop draws: frameDrawn when the
// frame is complete in the back buffer, frameSwapped once it has been handed
// to the window. The unattended benchmark times, paces and captures frames here.
class FrameListener {
public:
    virtual ~FrameListener() = default;
    virtual void frameDrawn() = 0;
    virtual void frameSwapped() = 0;
};

class App {
public:
    static constexpr const char* windowName = "GL Framework";
    static constexpr const char* logFileName = "log.txt";
    static constexpr int startWidth = 640;
    static constexpr int startHeight = 480;
    static constexpr int startDepthBits = 24;
    static constexpr int startColourBits = 32;
    // The exit code after a fatal error or a window that could not be created.
    static constexpr int exitFailure = 1;
    // The multisample count of the window the App opens (0: none); the entry
    // point may set it before the App exists.
    static inline int startSamples = 0;

    bool initialised = false;
    bool quit = false;
    platform::MSG msg;
    void* instance = nullptr;
    void* previousInstance = nullptr;
    char* commandLine = nullptr;
    int showCommand = 0;
    ArrayList<Object*> ownedObjects;
    Timer timer{false};
    int frameCount = 0;
    DebugLog* log = nullptr;
    // What shutdown returns: the code of the WM_QUIT that ended the loop,
    // exitFailure once a fatal error was reported or the window could not be
    // created, 0 otherwise (the loop ended by quit).
    int exitCode = 0;
    // The framework's default camera, current until a game mode sets one of
    // its own; the App keeps it for the whole run.
    std::unique_ptr<Camera> defaultCamera;
    // Not owned; while one is set, frames are also drawn when the window is
    // not active, so an unattended run never stalls on a lost focus.
    FrameListener* frameListener = nullptr;

    App();
    virtual ~App();

    static App* getInstance() { return Singleton<App>::getInstance(); }
    // The App's log, or null while there is no App (tools and tests run
    // without one) or it has no log.
    static DebugLog* currentLog() { return Singleton<App>::exists() ? getInstance()->log : nullptr; }

    // Sizes the window, initialises the plug-ins and runs the main loop; an
    // Exception from any of it is reported by fatalError and run returns.
    void run(void* hInstance, void* hPrevInstance, char* cmdLine, int cmdShow, int width, int height,
             int colourBits, int requestedBits, bool fullscreen);
    void mainLoop();
    // Shuts the plug-ins down and destroys the window; returns exitCode.
    int shutdown();
    // Ends the loop, logs the error's text, shows it in a box and makes the
    // exit code exitFailure.
    void fatalError(const Exception& e);
    // The text fatalError shows: the message, then the function, file and line.
    static String fatalErrorText(const Exception& e);
    // The window procedure: records input for the next frame.
    platform::LRESULT handleMessage(platform::Window* window, unsigned message, platform::WPARAM wParam,
                                    platform::LPARAM lParam);

private:
    void initGL(int width, int height, int depthBits, int colourBits, bool fullscreen);
};

} // namespace Vantor
