// SDL's video subsystem is started on the first call that needs a display
// (a window, the cursor position) and shut down at process exit; nothing in
// this layer ever ends the process itself.
//
// Only drivers that put a window on a screen are used: left to itself SDL
// falls back to its offscreen or dummy driver when no display can be opened,
// and the program would then run unseen until killed. A driver the user names
// in SDL_VIDEODRIVER is used as named.
#include "Core/platform/SdlPlatform.h"
#include "Core/platform/Window.h"

#include <cstdlib>

namespace Vantor::platform {

namespace {

// Tried in this order.
const char* const displayVideoDrivers = "x11,wayland";
constexpr int videoInitTries = 4;
constexpr Uint32 videoInitRetryMs = 250;

void shutdownVideo() { SDL_Quit(); }

} // namespace

bool initVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    const char* chosen = std::getenv(SDL_HINT_VIDEODRIVER);
    if (drawingOffscreen())
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    else if (!chosen || !*chosen)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, displayVideoDrivers);
    // SDL's own handlers would turn SIGINT and SIGTERM into a quit event; the
    // message queue's handlers turn them into a close of the window instead.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A closing window is reported once, as WM_CLOSE; the application decides.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A display server that is busy can refuse a connection now and then;
    // a few more tries keep that from being taken for a missing display.
    int tries = 1;
    while (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (tries++ == videoInitTries)
            return false;
        SDL_Delay(videoInitRetryMs);
    }
    static bool exitHandlerSet = false;
    if (!exitHandlerSet) {
        std::atexit(shutdownVideo);
        exitHandlerSet = true;
    }
    SDL_StartTextInput();
    applyCursorVisibility();
    catchCloseSignals();
    return true;
}

bool videoRunning() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

} // namespace Vantor::platform
