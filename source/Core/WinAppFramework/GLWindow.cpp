#include "Core/WinAppFramework/GLWindow.h"

#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/platform/MessageBox.h"

#include <GL/glew.h>

#include <cstring>

namespace Vantor {

namespace {

constexpr int fullscreenWidth = 1024;
constexpr int fullscreenHeight = 768;
constexpr int stencilBitsWhenAsked = 8;

void errorBox(const char* text, const char* caption, unsigned icon) {
    platform::messageBox(nullptr, text, caption, platform::MB_OK | icon);
}

const char* const modeRefusedText =
    "The screen mode was not supported by your display\nWindowed mode will be used instead";

} // namespace

bool GLWindow::create(const char* name, int w, int h, int bits, int depthBits, bool fs, bool stencil,
                      int samples) {
    std::strncpy(className, name, classNameSize - 1);
    className[classNameSize - 1] = 0;
    width = w;
    height = h;
    if (created) {
        errorBox("The main window already exists", "Error", platform::MB_ICONERROR);
        return false;
    }

    if (fs && !changeDisplayMode(w, h, bits)) {
        errorBox(modeRefusedText, "Error", platform::MB_ICONERROR);
        fs = false;
    }
    fullscreen = fs;

    platform::WindowDescription description;
    description.title = name;
    description.width = w;
    description.height = h;
    description.colourBits = bits;
    description.depthBits = depthBits;
    description.stencilBits = stencil ? stencilBitsWhenAsked : 0;
    description.samples = samples;
    description.fullscreen = fs;
    window = platform::createWindow(description);
    if (!window) {
        errorBox("Can't create the window", "ERROR", platform::MB_ICONWARNING);
        return false;
    }

    platform::showWindow(window);
    setProjection(w, h);
    created = true;
    return true;
}

bool GLWindow::destroy() {
    if (fullscreen || modeChanged) {
        platform::restoreDisplayMode();
        modeChanged = false;
    }
    if (window) {
        platform::destroyWindow(window);
        window = nullptr;
    }
    created = false;
    return true;
}

bool GLWindow::resize(int w, int h, int bits, int requested, bool fs) {
    width = w;
    height = h;
    colourBits = bits;
    requestedBits = requested;
    setFullscreen(fs, true, true);
    if (!platform::setWindowPos(window, 0, 0, w, h))
        return false;
    setProjection(w, h);
    glViewport(0, 0, w, h);
    return true;
}

void GLWindow::setFullscreen(bool fs, bool changeMode, bool force) {
    if (fs == fullscreen && !force)
        return;
    bool toFullscreen = fs && !fullscreen;
    if (toFullscreen && changeMode && !changeDisplayMode(width, height, colourBits)) {
        // A refused mode leaves the program windowed, as at creation.
        errorBox(modeRefusedText, "Error", platform::MB_ICONERROR);
        fs = false;
        toFullscreen = false;
    }
    if (toFullscreen) {
        platform::setWindowStyle(window, true);
        width = fullscreenWidth;
        height = fullscreenHeight;
        platform::setWindowPos(window, 0, 0, fullscreenWidth, fullscreenHeight);
        Overlay2D::getInstance()->setSize(fullscreenWidth, fullscreenHeight);
        glViewport(0, 0, fullscreenWidth, fullscreenHeight);
    } else {
        platform::setWindowStyle(window, false);
        if (modeChanged) {
            platform::restoreDisplayMode();
            modeChanged = false;
        }
    }
    fullscreen = fs;
}

bool GLWindow::changeDisplayMode(int w, int h, int bits) {
    if (!platform::changeDisplayMode(w, h, bits))
        return false;
    modeChanged = true;
    return true;
}

void GLWindow::setProjection(int w, int h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double halfWidth = (w - 1) / 2.0, halfHeight = (h - 1) / 2.0;
    glOrtho(-halfWidth, halfWidth, -halfHeight, halfHeight, 0, 2);
    glMatrixMode(GL_MODELVIEW);
}

} // namespace Vantor
