// What the platform seam's own files share and nothing above them sees: the
// window record behind the Window handle, SDL's video subsystem started on
// first need, and the hooks between windows, messages and the cursor.
#pragma once

#include "Core/platform/Messages.h"

#include <SDL.h>

#include <string>

namespace Vantor::platform {

// The framebuffer object of an off-screen window (OffscreenTarget.cpp):
// colour, depth and stencil with the window's samples, and for a
// multisampled one a plain colour buffer that captures are resolved into.
struct OffscreenTarget {
    unsigned framebuffer = 0, colour = 0, depthStencil = 0;
    unsigned resolveFramebuffer = 0, resolveColour = 0;
    int width = 0, height = 0, samples = 0;
};

class Window {
public:
    SDL_Window* sdl = nullptr;
    SDL_GLContext context = nullptr;
    bool fullscreenStyle = false;
    bool offscreen = false;
    OffscreenTarget target;
};

// (Re)allocates the target at width x height with samples (0 or 1: none)
// and binds it; the window's context must be current. False with the
// reason in error: no framebuffer objects, more samples or pixels than the
// driver gives, or an incomplete framebuffer.
bool allocateOffscreenTarget(OffscreenTarget& target, int width, int height, int samples, std::string& error);
void releaseOffscreenTarget(OffscreenTarget& target);
// Binds the finished picture for glReadPixels (resolving it first when
// multisampled), and the target again for drawing and reading afterwards.
void selectOffscreenRead(OffscreenTarget& target);
void endOffscreenRead(OffscreenTarget& target);

// Starts SDL's video subsystem if it is not running (setting the hints this
// layer relies on, and arranging SDL_Quit at exit); false with SDL's error
// when no display can be opened. Cheap once running. After
// setOffscreenDrawing it starts SDL's offscreen driver, which needs none.
bool initVideo();
// Whether the video subsystem is running, without starting it.
bool videoRunning();

// The window an SDL event belongs to: the window with that id; for id 0 (no
// window has the keyboard, or a global event) the newest window; null when
// the id names a window that is gone or none exists.
Window* windowForEvent(Uint32 windowId);
// The screen position of the client area's top-left corner.
void clientOrigin(Window* window, int& x, int& y);

// Queues a WM_ACTIVATE for the window unless the window already stands in
// that state (see EventTranslator::activate).
void queueActivation(Window* window, bool active, bool minimised);
// Drops the waiting messages addressed to a window that is being destroyed.
void discardMessages(Window* window);

// Applies the cursor display counter to SDL (called once video is running).
void applyCursorVisibility();

// From now on SIGINT and SIGTERM close the newest window: their handlers only
// note the signal, and the message queue turns it into a WM_CLOSE (see
// Messages.cpp). Signals ignored at the time keep being ignored.
void catchCloseSignals();
// While true, SIGINT and SIGTERM have their default effect again (message
// boxes set it while they wait, since nothing reads the queue then); a signal
// noted before still arrives as its WM_CLOSE.
void setCloseSignalsDefault(bool useDefault);

} // namespace Vantor::platform
