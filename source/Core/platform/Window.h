// A top-level window with an OpenGL context, and the display mode.
//
// Sizes given to and read from a window are outer sizes (frame included),
// positions screen coordinates, as Win32 has them; the client area is what GL
// draws into. Without a window manager (a bare virtual display) the outer and
// client sizes are the same. A window takes the keyboard focus itself when it
// is shown, because no window manager may be there to give it.
#pragma once

#include "Core/String.h"

namespace Vantor::platform {

struct RECT {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct WindowDescription {
    const char* title = "";
    int x = 0;              // client area's top-left, screen coordinates
    int y = 0;
    int width = 640;        // client size
    int height = 480;
    int colourBits = 32;
    int depthBits = 24;
    int stencilBits = 0;
    int samples = 0;        // multisample count; 0 or 1 for none
    bool fullscreen = false; // borderless, covering the display
    bool hidden = false;     // not shown (tests draw into a hidden window)
};

class Window;

// Creates the window and its GL context and makes the context current.
// Null on failure, with the reason in lastError().
Window* createWindow(const WindowDescription& description);
// Releases the context and destroys the window; its waiting messages are dropped.
void destroyWindow(Window* window);
// Makes the window's context current on this thread (none for a null window).
bool makeCurrent(Window* window);
// The reason the last failing call of this file failed.
const char* lastError();

// The outer rectangle in screen coordinates.
bool getWindowRect(Window* window, RECT& rect);
// Moves to (x, y) and sets the outer size.
bool setWindowPos(Window* window, int x, int y, int outerWidth, int outerHeight);
// The outer rectangle of a window whose client area is the given rectangle;
// false when the frame sizes cannot be known.
bool adjustWindowRect(Window* window, RECT& rect);
// Fullscreen style is a borderless popup; windowed style has a frame and caption.
void setWindowStyle(Window* window, bool fullscreen);
bool isFullscreenStyle(Window* window);
// Shows the window, raises it and gives it the keyboard focus.
void showWindow(Window* window);
void getClientSize(Window* window, int& width, int& height);
void swapBuffers(Window* window);
// Asks the current context to swap every interval vertical blanks (0: at
// once); false when the driver refuses.
bool setSwapInterval(int interval);
// One of the window's context attributes as the driver granted it, read with
// the window's context made current: "red", "green", "blue", "alpha", "depth",
// "stencil" (bits), "doublebuffer" (0 or 1), "samplebuffers", "samples".
// -1 for another name or when it cannot be read.
int contextAttribute(Window* window, const char* name);

// From now on, before the first window: windows need no window system.
// SDL's offscreen video driver gives their GL contexts (EGL, with no
// display), and each window draws into a framebuffer object of its client
// size with 24-bit depth, 8-bit stencil and its samples, which stays bound,
// so the code above sees it as the window's buffer. Nothing is shown and no
// input arrives. False when video is already running on another driver.
bool setOffscreenDrawing();
// Whether the current context is EGL's without a window system (windows
// drawn off screen): its extension loader must not look for GLX.
bool drawingOffscreen();
// Binds the window's finished picture as the source of glReadPixels; then
// endFrameRead binds it back as it was. For a window on a display that is
// the back buffer; off screen it is the window's framebuffer object,
// resolved first when it is multisampled.
void beginFrameRead(Window* window);
void endFrameRead(Window* window);

// Changes the display to width x height for a fullscreen window; false when
// the display has no mode of that size. The desktop's own size needs no change
// and always succeeds. Another mode is taken by the newest window at once, or
// by the next window created with fullscreen set. The colour depth is not
// chosen: displays run at the one depth they have, and bits is accepted as it
// is.
bool changeDisplayMode(int width, int height, int bits);
// Restores the desktop display mode after changeDisplayMode.
void restoreDisplayMode();

} // namespace Vantor::platform
