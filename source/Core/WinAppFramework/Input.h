// Keys and Mouse: the keyboard and mouse state that every frame reads.
//
// The window procedure writes the held and went-down/went-up flags as
// messages arrive between frames; update, after SwapBuffers, closes the frame.
// So during a frame's phases the per-frame flags describe exactly the
// messages received since the previous frame ended, and all plug-ins see the
// same state.
//
// A key, frame by frame (messages arrive in the gap before each frame):
//
//   messages before the frame   down  prev  pressed  wentDown
//   key down                    1     0     1        1
//   (auto-repeat)               1     1     1        0
//   (none)                      1     1     0        0
//   key up                      0     1     0        0
//   key down and up             0     0     1        0
//
// Mouse positions are window pixels with the origin at the bottom-left and y
// growing upwards; originX/originY place the window on the screen.
#pragma once

#include "Core/Singleton.h"
#include "Core/platform/Window.h"

namespace Vantor {

class GLWindow;

class Keys : public Singleton<Keys> {
public:
    // Indexed by Windows virtual-key code.
    static constexpr int keyCount = 256;

    bool down[keyCount] = {};
    bool prev[keyCount] = {};
    bool pressed[keyCount] = {};

    virtual ~Keys() = default;

    // Held now but not at the end of the previous frame; false for codes out of range.
    bool wentDown(int key) const { return key >= 0 && key < keyCount && down[key] && !prev[key]; }

    // Ends a frame: prev takes down, pressed is cleared.
    void update();
};

class Mouse : public Singleton<Mouse> {
public:
    static constexpr int systemCursor = 0;
    static constexpr int imageCursor = 1;
    // The image cursor is a square of this many pixels centred on the position.
    static constexpr int cursorSize = 32;

    int x = 0;
    int y = 0;
    int prevX = 0;
    int prevY = 0;
    bool leftDown = false;
    bool leftPressed = false;
    bool leftReleased = false;
    bool rightDown = false;
    bool rightPressed = false;
    bool rightReleased = false;
    bool middleDown = false;
    bool middlePressed = false;
    bool middleReleased = false;
    // +1 or -1 when the wheel turned since the previous frame, else 0.
    int wheel = 0;
    int cursorMode = systemCursor;
    bool visible = true;
    // GL texture name of the image cursor; 0 until textures can be loaded.
    unsigned cursorImage = 0;
    int originX = 0;
    int originY = 0;

    virtual ~Mouse() = default;

    // Ends a frame: reads the window's place (when a window is given) and the
    // screen cursor, then applies updateFrom.
    void update(GLWindow* window);
    // The arithmetic of update on values already read: clears the per-frame
    // flags, recomputes the origin from the window's outer rectangle when
    // windowRect is not null, and converts the screen cursor position.
    void updateFrom(const platform::RECT* windowRect, int cursorX, int cursorY, int glWidth, int glHeight);
    // The screen position of window position (wx, wy).
    void windowToScreen(int wx, int wy, int glHeight, int& screenX, int& screenY) const;

    // Moves the screen cursor to window position (x, y); prevX/prevY are kept.
    void setPosition(int x, int y);
    void show();
    void hide();
    // Switches to the image cursor, hiding the system cursor.
    void setCursorImage(const char* fileName);
    // Draws the image cursor when it is visible and in use.
    void draw();

private:
    void setVisible(bool show);
};

} // namespace Vantor
