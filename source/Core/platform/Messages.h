// The message queue of the platform layer, in the shape of the Win32 one.
//
// Window-system events arrive as MSG records with Win32 message numbers,
// Windows virtual-key codes and Win32 packing of wParam and lParam, so that
// the application's window procedure reads them exactly as on Windows:
//   WM_ACTIVATE     LOWORD(wParam) WA_ACTIVE or WA_INACTIVE, HIWORD(wParam) non-zero when minimised
//   WM_KEYDOWN/UP   wParam virtual-key code; lParam repeat count (bits 0-15), scan code (16-23),
//                   previous key state (bit 30, set on auto-repeat), transition (bit 31, set on up)
//   WM_CHAR         wParam the character (also 8, 9, 13 and 27 for Backspace, Tab, Return, Escape)
//   mouse buttons   wParam MK_* flags, lParam MAKELPARAM(client x, client y) from the top-left
//   WM_MOUSEWHEEL   HIWORD(wParam) signed delta in WHEEL_DELTA units, LOWORD(wParam) MK_* flags,
//                   lParam MAKELPARAM(screen x, screen y)
//   WM_CLOSE        the window's close button (a WM_DELETE_WINDOW request), or SIGINT or SIGTERM
//                   once video is running (addressed to the newest window)
//   WM_QUIT         wParam the exit code given to postQuitMessage
#pragma once

#include <cstdint>

namespace Vantor::platform {

class Window;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

enum : unsigned {
    WM_NULL = 0x0000,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
};

enum : unsigned { WA_INACTIVE = 0, WA_ACTIVE = 1 };
enum : unsigned { MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08, MK_MBUTTON = 0x10 };
constexpr int WHEEL_DELTA = 120;

// Windows virtual-key codes. Letters and digits are their upper-case ASCII codes ('A', '0').
enum : unsigned {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_NUMPAD0 = 0x60,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F12 = 0x7B,
    VK_OEM_1 = 0xBA,      // ;:
    VK_OEM_PLUS = 0xBB,   // =+
    VK_OEM_COMMA = 0xBC,  // ,<
    VK_OEM_MINUS = 0xBD,  // -_
    VK_OEM_PERIOD = 0xBE, // .>
    VK_OEM_2 = 0xBF,      // /?
    VK_OEM_3 = 0xC0,      // `~ (the key left of 1)
    VK_OEM_4 = 0xDB,      // [{
    VK_OEM_5 = 0xDC,      // \|
    VK_OEM_6 = 0xDD,      // ]}
    VK_OEM_7 = 0xDE,      // '"
};

constexpr unsigned LOWORD(WPARAM w) { return unsigned(w & 0xFFFF); }
constexpr unsigned HIWORD(WPARAM w) { return unsigned((w >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int low, int high) {
    return LPARAM(std::uint32_t((unsigned(low) & 0xFFFF) | ((unsigned(high) & 0xFFFF) << 16)));
}

struct POINT {
    int x = 0, y = 0;
};

struct MSG {
    Window* hwnd = nullptr;
    unsigned message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    unsigned time = 0;
    POINT pt;
};

// The application's window procedure; dispatchMessage hands every message to it.
using WindowProcedure = LRESULT (*)(Window* window, unsigned message, WPARAM wParam, LPARAM lParam);
void setWindowProcedure(WindowProcedure procedure);

// Takes the next message off the queue, reading pending window-system events
// first. False when none is waiting. WM_QUIT arrives this way after postQuitMessage.
bool peekMessage(MSG& msg);

// Character messages are queued as the events arrive, so this has nothing to
// add; it exists so that the loop keeps its Win32 shape.
void translateMessage(const MSG& msg);

// Calls the window procedure with the message and returns its result.
LRESULT dispatchMessage(const MSG& msg);

// Queues WM_QUIT with the exit code, behind the messages already waiting.
void postQuitMessage(int exitCode);

// Queues a message as if the window system had sent it (tests use this).
void postMessage(Window* window, unsigned message, WPARAM wParam, LPARAM lParam);

} // namespace Vantor::platform
