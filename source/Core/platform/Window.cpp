// Windows and their GL contexts on SDL, and the display mode.
//
// Outer rectangles are the client area plus the frame that SDL reports
// (SDL_GetWindowBordersSize: the window manager's frame extents; none on a
// bare X server, and none until a window manager has framed the window).
//
// SDL changes the display mode only for a window in its fullscreen state, so
// a mode other than the desktop's is held by one window (modeWindow) in that
// state and given back by restoreDisplayMode. The desktop's own mode never
// puts a window into SDL's fullscreen state: there is nothing to change, and
// without a window manager that state would only make SDL believe the window
// covers the display while the X window keeps its place and size.
#include "Core/platform/Window.h"

#include "Core/platform/SdlPlatform.h"

#include <SDL_opengl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace Vantor::platform {

namespace {

const char* const windowDataKey = "Vantor.Window";

std::string error;
std::vector<Window*> windows; // oldest first
bool offscreenMode = false;
bool modePending = false;
SDL_DisplayMode pendingMode;
Window* modeWindow = nullptr;

bool fail(const char* call) {
    error = std::string(call) + ": " + SDL_GetError();
    return false;
}

void setContextAttributes(const WindowDescription& description) {
    SDL_GL_ResetAttributes();
    bool trueColour = description.colourBits >= 24;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, trueColour ? 8 : 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, trueColour ? 8 : 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, trueColour ? 8 : 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, description.colourBits >= 32 ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, description.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, description.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The engine draws with the fixed-function pipeline.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    bool multisample = description.samples > 1;
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, multisample ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, multisample ? description.samples : 0);
}

// The frame sizes; false (and zeros) when SDL cannot tell them.
bool frame(Window* window, int& top, int& left, int& bottom, int& right) {
    top = left = bottom = right = 0;
    if (SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right) == 0)
        return true;
    top = left = bottom = right = 0;
    return false;
}

// Puts the window into SDL's fullscreen state with the pending mode.
bool takeDisplayMode(Window* window) {
    if (SDL_SetWindowDisplayMode(window->sdl, &pendingMode) != 0)
        return fail("SDL_SetWindowDisplayMode");
    if (SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN) != 0)
        return fail("SDL_SetWindowFullscreen");
    modeWindow = window;
    return true;
}

int displayOfNewestWindow() {
    if (windows.empty())
        return 0;
    return std::max(0, SDL_GetWindowDisplayIndex(windows.back()->sdl));
}

} // namespace

Window* windowForEvent(Uint32 windowId) {
    if (windowId == 0)
        return windows.empty() ? nullptr : windows.back();
    SDL_Window* sdl = SDL_GetWindowFromID(windowId);
    return sdl ? static_cast<Window*>(SDL_GetWindowData(sdl, windowDataKey)) : nullptr;
}

void clientOrigin(Window* window, int& x, int& y) {
    x = y = 0;
    if (window)
        SDL_GetWindowPosition(window->sdl, &x, &y);
}

bool setOffscreenDrawing() {
    if (videoRunning() && std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") != 0)
        return false;
    offscreenMode = true;
    return true;
}

bool drawingOffscreen() { return offscreenMode; }

Window* createWindow(const WindowDescription& description) {
    if (!initVideo()) {
        fail("SDL_InitSubSystem");
        return nullptr;
    }
    if (offscreenMode) {
        // The context's own buffers go unused: the target has what was asked.
        WindowDescription bare = description;
        bare.depthBits = bare.stencilBits = bare.samples = 0;
        setContextAttributes(bare);
    } else {
        setContextAttributes(description);
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (description.fullscreen)
        flags |= SDL_WINDOW_BORDERLESS;
    SDL_Window* sdl =
        SDL_CreateWindow(description.title, description.x, description.y, std::max(1, description.width),
                         std::max(1, description.height), flags);
    if (!sdl) {
        fail("SDL_CreateWindow");
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    if (!context) {
        fail("SDL_GL_CreateContext");
        SDL_DestroyWindow(sdl);
        return nullptr;
    }
    // Frames are drawn back to back; the benchmark measures the frame rate.
    SDL_GL_SetSwapInterval(0);

    OffscreenTarget target;
    if (offscreenMode && !allocateOffscreenTarget(target, std::max(1, description.width),
                                                  std::max(1, description.height), description.samples, error)) {
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(sdl);
        return nullptr;
    }

    Window* window = new Window;
    window->sdl = sdl;
    window->context = context;
    window->offscreen = offscreenMode;
    window->target = target;
    window->fullscreenStyle = description.fullscreen;
    SDL_SetWindowData(sdl, windowDataKey, window);
    windows.push_back(window);

    if (description.fullscreen && modePending && !modeWindow)
        takeDisplayMode(window); // a failure leaves the window as it is; lastError tells why
    if (!description.hidden)
        showWindow(window);
    return window;
}

void destroyWindow(Window* window) {
    if (!window)
        return;
    if (window == modeWindow) {
        SDL_SetWindowFullscreen(window->sdl, 0);
        modeWindow = nullptr;
    }
    if (window->offscreen && makeCurrent(window))
        releaseOffscreenTarget(window->target);
    if (SDL_GL_GetCurrentContext() == window->context)
        SDL_GL_MakeCurrent(window->sdl, nullptr);
    SDL_GL_DeleteContext(window->context);
    SDL_DestroyWindow(window->sdl);
    discardMessages(window);
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
    delete window;
}

bool makeCurrent(Window* window) {
    if (!window)
        return !videoRunning() || SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    return SDL_GL_MakeCurrent(window->sdl, window->context) == 0 || fail("SDL_GL_MakeCurrent");
}

const char* lastError() { return error.c_str(); }

bool getWindowRect(Window* window, RECT& rect) {
    if (!window)
        return false;
    int x, y, width, height, top, left, bottom, right;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &width, &height);
    frame(window, top, left, bottom, right);
    rect = {x - left, y - top, x + width + right, y + height + bottom};
    return true;
}

bool setWindowPos(Window* window, int x, int y, int outerWidth, int outerHeight) {
    if (!window)
        return false;
    if (window == modeWindow)
        return true; // SDL keeps a window that holds the display mode covering the display
    if (window->offscreen) {
        const int width = std::max(1, outerWidth), height = std::max(1, outerHeight);
        if (width == window->target.width && height == window->target.height)
            return true;
        return makeCurrent(window) &&
               allocateOffscreenTarget(window->target, width, height, window->target.samples, error);
    }
    int top, left, bottom, right;
    frame(window, top, left, bottom, right);
    SDL_SetWindowPosition(window->sdl, x + left, y + top);
    SDL_SetWindowSize(window->sdl, std::max(1, outerWidth - left - right),
                      std::max(1, outerHeight - top - bottom));
    return true;
}

bool adjustWindowRect(Window* window, RECT& rect) {
    int top, left, bottom, right;
    if (!window || !frame(window, top, left, bottom, right))
        return false;
    rect.left -= left;
    rect.top -= top;
    rect.right += right;
    rect.bottom += bottom;
    return true;
}

void setWindowStyle(Window* window, bool fullscreen) {
    if (!window)
        return;
    window->fullscreenStyle = fullscreen;
    SDL_SetWindowBordered(window->sdl, fullscreen ? SDL_FALSE : SDL_TRUE);
}

bool isFullscreenStyle(Window* window) { return window && window->fullscreenStyle; }

// Without a window manager nobody else gives the focus or reports the
// activation, so the window takes the one and queues the other itself.
void showWindow(Window* window) {
    if (!window)
        return;
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
    SDL_SetWindowInputFocus(window->sdl);
    queueActivation(window, true, false);
}

void getClientSize(Window* window, int& width, int& height) {
    width = height = 0;
    if (window && window->offscreen) {
        width = window->target.width;
        height = window->target.height;
    } else if (window) {
        SDL_GetWindowSize(window->sdl, &width, &height);
    }
}

void swapBuffers(Window* window) {
    // Off screen nothing is shown: the frame only has to reach the driver.
    if (window && window->offscreen)
        glFlush();
    else if (window)
        SDL_GL_SwapWindow(window->sdl);
}

void beginFrameRead(Window* window) {
    if (window && window->offscreen)
        selectOffscreenRead(window->target);
    else if (window)
        glReadBuffer(GL_BACK);
}

void endFrameRead(Window* window) {
    if (window && window->offscreen)
        endOffscreenRead(window->target);
}

bool setSwapInterval(int interval) { return videoRunning() && SDL_GL_SetSwapInterval(interval) == 0; }

int contextAttribute(Window* window, const char* name) {
    static const struct {
        const char* name;
        SDL_GLattr attribute;
    } names[] = {
        {"red", SDL_GL_RED_SIZE},
        {"green", SDL_GL_GREEN_SIZE},
        {"blue", SDL_GL_BLUE_SIZE},
        {"alpha", SDL_GL_ALPHA_SIZE},
        {"depth", SDL_GL_DEPTH_SIZE},
        {"stencil", SDL_GL_STENCIL_SIZE},
        {"doublebuffer", SDL_GL_DOUBLEBUFFER},
        {"samplebuffers", SDL_GL_MULTISAMPLEBUFFERS},
        {"samples", SDL_GL_MULTISAMPLESAMPLES},
    };
    if (!window || !name)
        return -1;
    if (window->offscreen) {
        // What the framebuffer object was made with.
        const int samples = window->target.samples > 1 ? window->target.samples : 0;
        const struct {
            const char* name;
            int value;
        } target[] = {{"depth", 24}, {"stencil", 8}, {"samplebuffers", samples ? 1 : 0}, {"samples", samples}};
        for (const auto& entry : target)
            if (std::strcmp(entry.name, name) == 0)
                return entry.value;
    }
    for (const auto& entry : names) {
        if (std::strcmp(entry.name, name) != 0)
            continue;
        // SDL reads these from the current context (glGetIntegerv).
        if (SDL_GL_GetCurrentContext() != window->context && !makeCurrent(window))
            return -1;
        int value = 0;
        return SDL_GL_GetAttribute(entry.attribute, &value) == 0 ? value : -1;
    }
    return -1;
}

bool changeDisplayMode(int width, int height, int /*bits*/) {
    if (!initVideo())
        return fail("SDL_InitSubSystem");
    int display = displayOfNewestWindow();
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(display, &desktop) != 0)
        return fail("SDL_GetDesktopDisplayMode");
    if (desktop.w == width && desktop.h == height) {
        restoreDisplayMode();
        return true;
    }
    SDL_DisplayMode wanted = {};
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(display, &wanted, &closest) || closest.w != width || closest.h != height) {
        error = "the display has no " + std::to_string(width) + "x" + std::to_string(height) + " mode";
        return false;
    }
    pendingMode = closest;
    modePending = true;
    if (windows.empty())
        return true;
    if (modeWindow && modeWindow != windows.back())
        restoreDisplayMode();
    modePending = takeDisplayMode(windows.back());
    return modePending;
}

void restoreDisplayMode() {
    modePending = false;
    if (modeWindow) {
        SDL_SetWindowFullscreen(modeWindow->sdl, 0);
        modeWindow = nullptr;
    }
}

} // namespace Vantor::platform
