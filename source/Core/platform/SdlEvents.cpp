#include "Core/platform/SdlEvents.h"

#include <algorithm>

namespace Vantor::platform {

namespace {

// Keys are identified by their position (SDL scancode), so that a keyboard
// layout moves no key the engine binds: the key left of 1 is VK_OEM_3 on every
// layout. scan is the PC (set 1) scan code Windows reports in lParam; extended
// keys carry the E0 prefix there (bit 24).
struct KeyEntry {
    SDL_Scancode scancode;
    unsigned vk;
    unsigned char scan;
    bool extended;
};

constexpr KeyEntry keyTable[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false},
    {SDL_SCANCODE_B, 'B', 0x30, false},
    {SDL_SCANCODE_C, 'C', 0x2E, false},
    {SDL_SCANCODE_D, 'D', 0x20, false},
    {SDL_SCANCODE_E, 'E', 0x12, false},
    {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false},
    {SDL_SCANCODE_H, 'H', 0x23, false},
    {SDL_SCANCODE_I, 'I', 0x17, false},
    {SDL_SCANCODE_J, 'J', 0x24, false},
    {SDL_SCANCODE_K, 'K', 0x25, false},
    {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false},
    {SDL_SCANCODE_N, 'N', 0x31, false},
    {SDL_SCANCODE_O, 'O', 0x18, false},
    {SDL_SCANCODE_P, 'P', 0x19, false},
    {SDL_SCANCODE_Q, 'Q', 0x10, false},
    {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false},
    {SDL_SCANCODE_T, 'T', 0x14, false},
    {SDL_SCANCODE_U, 'U', 0x16, false},
    {SDL_SCANCODE_V, 'V', 0x2F, false},
    {SDL_SCANCODE_W, 'W', 0x11, false},
    {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false},
    {SDL_SCANCODE_Z, 'Z', 0x2C, false},
    {SDL_SCANCODE_1, '1', 0x02, false},
    {SDL_SCANCODE_2, '2', 0x03, false},
    {SDL_SCANCODE_3, '3', 0x04, false},
    {SDL_SCANCODE_4, '4', 0x05, false},
    {SDL_SCANCODE_5, '5', 0x06, false},
    {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false},
    {SDL_SCANCODE_8, '8', 0x09, false},
    {SDL_SCANCODE_9, '9', 0x0A, false},
    {SDL_SCANCODE_0, '0', 0x0B, false},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29, false},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C, false},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D, false},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B, false},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B, false},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28, false},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33, false},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34, false},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35, false},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, false},
    {SDL_SCANCODE_F1, VK_F1 + 0, 0x3B, false},
    {SDL_SCANCODE_F2, VK_F1 + 1, 0x3C, false},
    {SDL_SCANCODE_F3, VK_F1 + 2, 0x3D, false},
    {SDL_SCANCODE_F4, VK_F1 + 3, 0x3E, false},
    {SDL_SCANCODE_F5, VK_F1 + 4, 0x3F, false},
    {SDL_SCANCODE_F6, VK_F1 + 5, 0x40, false},
    {SDL_SCANCODE_F7, VK_F1 + 6, 0x41, false},
    {SDL_SCANCODE_F8, VK_F1 + 7, 0x42, false},
    {SDL_SCANCODE_F9, VK_F1 + 8, 0x43, false},
    {SDL_SCANCODE_F10, VK_F1 + 9, 0x44, false},
    {SDL_SCANCODE_F11, VK_F1 + 10, 0x57, false},
    {SDL_SCANCODE_F12, VK_F12, 0x58, false},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, false},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47, true},
    {SDL_SCANCODE_END, VK_END, 0x4F, true},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, 0x52, false},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, 0x4F, false},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, 0x50, false},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, 0x51, false},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, 0x4B, false},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 0x4C, false},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, 0x4D, false},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47, false},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, 0x48, false},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, 0x49, false},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, false},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, false},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, false},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, false},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38, false},
    {SDL_SCANCODE_RALT, VK_MENU, 0x38, true},
};

const KeyEntry* findKey(SDL_Scancode scancode) {
    for (const KeyEntry& entry : keyTable)
        if (entry.scancode == scancode)
            return &entry;
    return nullptr;
}

// The WM_CHAR that Windows sends after the key-down of Backspace, Tab, Return
// and Escape (SDL has no text event for control characters); 0 for other keys.
unsigned controlCharacter(unsigned vk) {
    switch (vk) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
        return vk; // the virtual-key codes of these four are their characters
    default:
        return 0;
    }
}

void push(std::deque<MSG>& out, Window* window, unsigned message, WPARAM wParam, LPARAM lParam, unsigned time,
          POINT pt) {
    MSG msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = time;
    msg.pt = pt;
    out.push_back(msg);
}

} // namespace

unsigned virtualKey(SDL_Scancode scancode) {
    const KeyEntry* entry = findKey(scancode);
    return entry ? entry->vk : 0;
}

LPARAM keyLParam(SDL_Scancode scancode, bool repeat, bool release) {
    const KeyEntry* entry = findKey(scancode);
    std::uint32_t bits = 1;
    if (entry) {
        bits |= std::uint32_t(entry->scan) << 16;
        if (entry->extended)
            bits |= 1u << 24;
    }
    if (repeat || release)
        bits |= 1u << 30;
    if (release)
        bits |= 1u << 31;
    return LPARAM(bits);
}

unsigned EventTranslator::mouseFlags() const {
    return buttons | (shift ? MK_SHIFT : 0u) | (control ? MK_CONTROL : 0u);
}

void EventTranslator::translate(const SDL_Event& event, Window* window, int originX, int originY,
                                unsigned time, std::deque<MSG>& out) {
    bool wasClose = lastWasClose;
    lastWasClose = false;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const SDL_KeyboardEvent& key = event.key;
        shift = (key.keysym.mod & KMOD_SHIFT) != 0;
        control = (key.keysym.mod & KMOD_CTRL) != 0;
        unsigned vk = virtualKey(key.keysym.scancode);
        if (vk == 0)
            break;
        bool down = event.type == SDL_KEYDOWN;
        LPARAM lParam = keyLParam(key.keysym.scancode, down && key.repeat != 0, !down);
        push(out, window, down ? WM_KEYDOWN : WM_KEYUP, vk, lParam, time, cursor);
        if (down) {
            lastKeyLParam = lParam;
            if (unsigned c = controlCharacter(vk))
                push(out, window, WM_CHAR, c, lParam, time, cursor);
        }
        break;
    }
    case SDL_TEXTINPUT:
        text(event.text.text, window, time, out);
        break;
    case SDL_MOUSEMOTION: {
        const SDL_MouseMotionEvent& motion = event.motion;
        buttons = ((motion.state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0u) |
                  ((motion.state & SDL_BUTTON_RMASK) ? MK_RBUTTON : 0u) |
                  ((motion.state & SDL_BUTTON_MMASK) ? MK_MBUTTON : 0u);
        cursor = {originX + motion.x, originY + motion.y};
        push(out, window, WM_MOUSEMOVE, mouseFlags(), MAKELPARAM(motion.x, motion.y), time, cursor);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        cursor = {originX + event.button.x, originY + event.button.y};
        mouseButton(event.button, event.type == SDL_MOUSEBUTTONDOWN, window, time, out);
        break;
    case SDL_MOUSEWHEEL: {
        const SDL_MouseWheelEvent& wheel = event.wheel;
        int steps = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
        if (steps == 0)
            break; // horizontal scrolling only
#if SDL_VERSION_ATLEAST(2, 26, 0)
        cursor = {originX + wheel.mouseX, originY + wheel.mouseY};
#endif
        int delta = std::clamp(steps * WHEEL_DELTA, -32768, 32767);
        WPARAM wParam = (WPARAM(std::uint16_t(std::int16_t(delta))) << 16) | mouseFlags();
        push(out, window, WM_MOUSEWHEEL, wParam, MAKELPARAM(cursor.x, cursor.y), time, cursor);
        break;
    }
    case SDL_WINDOWEVENT:
        windowEvent(event.window, window, time, out);
        lastWasClose = event.window.event == SDL_WINDOWEVENT_CLOSE;
        break;
    case SDL_QUIT:
        // SDL follows the close of its last window with a quit; that is one close.
        if (!wasClose)
            push(out, window, WM_CLOSE, 0, 0, time, cursor);
        break;
    default:
        break;
    }
}

// SDL delivers typed text as UTF-8. ASCII characters and the Latin-1 range
// (code points below 256) become one WM_CHAR each; other characters have no
// single-byte form and are dropped.
void EventTranslator::text(const char* utf8, Window* window, unsigned time, std::deque<MSG>& out) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        unsigned lead = *p++;
        if (lead < 0x80) {
            push(out, window, WM_CHAR, lead, lastKeyLParam, time, cursor);
            continue;
        }
        int continuation = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        unsigned codePoint = lead & (0x3Fu >> continuation);
        int taken = 0;
        for (; taken < continuation && (*p & 0xC0) == 0x80; ++taken)
            codePoint = (codePoint << 6) | (*p++ & 0x3F);
        if (continuation > 0 && taken == continuation && codePoint >= 0x80 && codePoint < 0x100)
            push(out, window, WM_CHAR, codePoint, lastKeyLParam, time, cursor);
    }
}

void EventTranslator::mouseButton(const SDL_MouseButtonEvent& button, bool down, Window* window,
                                  unsigned time, std::deque<MSG>& out) {
    unsigned flag, message;
    switch (button.button) {
    case SDL_BUTTON_LEFT:
        flag = MK_LBUTTON;
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        flag = MK_RBUTTON;
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        flag = MK_MBUTTON;
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    default:
        return;
    }
    // As on Windows, wParam holds the buttons down after this change.
    buttons = down ? (buttons | flag) : (buttons & ~flag);
    push(out, window, message, mouseFlags(), MAKELPARAM(button.x, button.y), time, cursor);
}

// Activation follows Win32: minimising deactivates and sets the minimised
// flag; showing, restoring or maximising activates and clears it; focus
// changes activate or deactivate and leave it as it is.
void EventTranslator::windowEvent(const SDL_WindowEvent& event, Window* window, unsigned time,
                                  std::deque<MSG>& out) {
    switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        activate(window, true, false, time, out);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        activate(window, false, true, time, out);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST: {
        auto known = activation.find(window);
        bool minimised = known != activation.end() && known->second.minimised;
        activate(window, event.event == SDL_WINDOWEVENT_FOCUS_GAINED, minimised, time, out);
        break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        push(out, window, WM_SIZE, 0, MAKELPARAM(event.data1, event.data2), time, cursor);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        push(out, window, WM_CLOSE, 0, 0, time, cursor);
        break;
    default:
        break;
    }
}

void EventTranslator::activate(Window* window, bool active, bool minimised, unsigned time,
                               std::deque<MSG>& out) {
    auto known = activation.find(window);
    if (known != activation.end() && known->second.active == active && known->second.minimised == minimised)
        return;
    activation[window] = {active, minimised};
    WPARAM wParam = (active ? WA_ACTIVE : WA_INACTIVE) | (WPARAM(minimised ? 1 : 0) << 16);
    push(out, window, WM_ACTIVATE, wParam, 0, time, cursor);
}

void EventTranslator::forget(Window* window) { activation.erase(window); }

} // namespace Vantor::platform
