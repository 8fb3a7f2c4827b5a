// The cursor keeps Win32's display counter here, so that it can be counted
// before SDL runs; the counter's verdict is applied to SDL when video starts
// and on every change after that.
#include "Core/platform/Cursor.h"

#include "Core/platform/SdlPlatform.h"

namespace Vantor::platform {

namespace {

int displayCounter = 0;

} // namespace

void applyCursorVisibility() { SDL_ShowCursor(displayCounter >= 0 ? SDL_ENABLE : SDL_DISABLE); }

int showCursor(bool show) {
    displayCounter += show ? 1 : -1;
    if (videoRunning())
        applyCursorVisibility();
    return displayCounter;
}

bool getCursorPos(int& x, int& y) {
    if (!initVideo())
        return false;
    SDL_GetGlobalMouseState(&x, &y);
    return true;
}

bool setCursorPos(int x, int y) { return initVideo() && SDL_WarpMouseGlobal(x, y) == 0; }

} // namespace Vantor::platform
