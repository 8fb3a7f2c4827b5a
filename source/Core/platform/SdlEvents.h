// The translation of SDL events into Win32-shaped messages (see Messages.h for
// the packing). It is pure: it reads only the events and its own state, so
// tests feed it synthetic events without a display.
#pragma once

#include "Core/platform/Messages.h"

#include <SDL.h>

#include <deque>
#include <unordered_map>

namespace Vantor::platform {

// The Windows virtual-key code of a key, or 0 for keys the engine has no code for.
unsigned virtualKey(SDL_Scancode scancode);

// The lParam of a key message: repeat count 1, the PC scan code, the extended
// flag, bit 30 for a key that was already down (auto-repeat or release) and
// bit 31 for a release.
LPARAM keyLParam(SDL_Scancode scancode, bool repeat, bool release);

// Turns a stream of SDL events into messages. It remembers what Win32 packs
// into a message but SDL gives only with other events: the mouse buttons and
// Shift/Ctrl held (MK_* flags), the lParam of the last key pressed (given to
// the characters it types), each window's activation state, and whether the
// last event was a window close (SDL may follow it with a quit for the same
// click).
class EventTranslator {
public:
    // Appends to out the messages that event stands for, in order (none for
    // events the engine has no message for). window becomes their hwnd;
    // (originX, originY) is its client area's screen position; time is stamped
    // on each message.
    void translate(const SDL_Event& event, Window* window, int originX, int originY, unsigned time,
                   std::deque<MSG>& out);

    // Appends WM_ACTIVATE when (active, minimised) differs from the state last
    // reported for the window, so that SDL's several events for one change
    // (shown, focus gained) and showWindow's own report give one message.
    void activate(Window* window, bool active, bool minimised, unsigned time, std::deque<MSG>& out);
    // Forgets a destroyed window's activation state.
    void forget(Window* window);

private:
    void text(const char* utf8, Window* window, unsigned time, std::deque<MSG>& out);
    void mouseButton(const SDL_MouseButtonEvent& button, bool down, Window* window, unsigned time,
                     std::deque<MSG>& out);
    void windowEvent(const SDL_WindowEvent& event, Window* window, unsigned time, std::deque<MSG>& out);
    unsigned mouseFlags() const;

    unsigned buttons = 0; // MK_LBUTTON, MK_RBUTTON, MK_MBUTTON held
    bool shift = false;
    bool control = false;
    LPARAM lastKeyLParam = 1;
    bool lastWasClose = false;
    struct Activation {
        bool active;
        bool minimised;
    };
    std::unordered_map<Window*, Activation> activation; // last reported, per window
    POINT cursor;                                       // last known cursor position, screen coordinates
};

} // namespace Vantor::platform
