// The message queue: one FIFO of MSG records for the process. SDL's events are
// read into it (through the EventTranslator) when it runs dry, so messages
// come out in the order the window system produced them, with posted
// messages and WM_QUIT in their place between them.
#include "Core/platform/Messages.h"

#include "Core/platform/Clock.h"
#include "Core/platform/SdlEvents.h"
#include "Core/platform/SdlPlatform.h"

#include <algorithm>
#include <deque>

namespace Vantor::platform {

namespace {

std::deque<MSG> queue;
EventTranslator translator;
WindowProcedure procedure = nullptr;

// Moves every pending SDL event into the queue. Without a running video
// subsystem there are no events, and nothing is started here.
void readEvents() {
    if (!videoRunning())
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        Uint32 windowId = 0;
        switch (event.type) {
        case SDL_WINDOWEVENT:
            windowId = event.window.windowID;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            windowId = event.key.windowID;
            break;
        case SDL_TEXTINPUT:
            windowId = event.text.windowID;
            break;
        case SDL_MOUSEMOTION:
            windowId = event.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            windowId = event.button.windowID;
            break;
        case SDL_MOUSEWHEEL:
            windowId = event.wheel.windowID;
            break;
        default:
            break;
        }
        Window* window = windowForEvent(windowId);
        if (!window && event.type != SDL_QUIT)
            continue; // an event of a window already destroyed
        int x = 0, y = 0;
        clientOrigin(window, x, y);
        translator.translate(event, window, x, y, timeGetTime(), queue);
    }
}

} // namespace

void queueActivation(Window* window, bool active, bool minimised) {
    translator.activate(window, active, minimised, timeGetTime(), queue);
}

void discardMessages(Window* window) {
    queue.erase(
        std::remove_if(queue.begin(), queue.end(), [window](const MSG& msg) { return msg.hwnd == window; }),
        queue.end());
    translator.forget(window);
}

void setWindowProcedure(WindowProcedure newProcedure) { procedure = newProcedure; }

bool peekMessage(MSG& msg) {
    if (queue.empty())
        readEvents();
    if (queue.empty())
        return false;
    msg = queue.front();
    queue.pop_front();
    return true;
}

void translateMessage(const MSG&) {}

LRESULT dispatchMessage(const MSG& msg) {
    return procedure ? procedure(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
}

void postQuitMessage(int exitCode) { postMessage(nullptr, WM_QUIT, WPARAM(std::intptr_t(exitCode)), 0); }

void postMessage(Window* window, unsigned message, WPARAM wParam, LPARAM lParam) {
    MSG msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    queue.push_back(msg);
}

} // namespace Vantor::platform
