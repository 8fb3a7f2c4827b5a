// SDL's video subsystem is started on the first call that needs a display
// (a window, the cursor position) and shut down at process exit; nothing in
// this layer ever ends the process itself.
#include "Core/platform/SdlPlatform.h"

#include <cstdlib>

namespace Vantor::platform {

namespace {

void shutdownVideo() { SDL_Quit(); }

} // namespace

bool initVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    // Signals keep their default effect: SDL would turn SIGINT and SIGTERM
    // into a quit event that nobody reads while a message box is up.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A closing window is reported once, as WM_CLOSE; the application decides.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    static bool exitHandlerSet = false;
    if (!exitHandlerSet) {
        std::atexit(shutdownVideo);
        exitHandlerSet = true;
    }
    SDL_StartTextInput();
    applyCursorVisibility();
    return true;
}

bool videoRunning() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

} // namespace Vantor::platform
