// GLWindow: the program's one window and its OpenGL context.
//
// A process-wide record created on first use. Sizes are the client size as
// last set; the window itself lives in the platform layer, which also holds
// the context (so the device and render context of the original design are
// one handle here).
#pragma once

#include "Core/Singleton.h"
#include "Core/platform/Window.h"

namespace Vantor {

class GLWindow {
public:
    static constexpr int classNameSize = 256;

    int width = 0;
    int height = 0;
    platform::Window* window = nullptr;
    bool fullscreen = false;
    bool created = false;
    char className[classNameSize] = {};
    int colourBits = 32;
    int requestedBits = 0;
    bool modeChanged = false;

    static GLWindow* getInstance() { return Singleton<GLWindow>::getInstance(); }

    // Opens the window with a context of the given buffer depths and makes the
    // context current; shows a box and returns false on failure.
    bool create(const char* name, int width, int height, int colourBits, int depthBits, bool fullscreen,
                bool stencil, int samples);
    bool destroy();
    // Stores the sizes, sets the style and places the window at (0, 0) with outer size w x h.
    bool resize(int w, int h, int colourBits, int requestedBits, bool fullscreen);
    void setFullscreen(bool fullscreen, bool changeMode, bool force);
    bool changeDisplayMode(int w, int h, int bits);
    // A centred orthographic projection one unit per pixel.
    void setProjection(int w, int h);
};

} // namespace Vantor
