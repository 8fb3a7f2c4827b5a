// The message queue: one FIFO of MSG records for the process. SDL's events are
// read into it (through the EventTranslator) when it runs dry, so messages
// come out in the order the window system produced them, with posted
// messages and WM_QUIT in their place between them.
//
// SIGINT and SIGTERM end the program as a window close does, so that the
// application shuts down in order (the log flushed, the desktop's display
// mode restored). Their handlers only set a flag; the next peekMessage queues
// a WM_CLOSE for it. A handler is spent by its signal until then, so a second
// signal before the queue is read again (the program stuck) has its default
// effect and ends the process; so does any signal while a message box waits.
#include "Core/platform/Messages.h"

#include "Core/platform/Clock.h"
#include "Core/platform/SdlEvents.h"
#include "Core/platform/SdlPlatform.h"

#include <algorithm>
#include <csignal>
#include <deque>

#include <signal.h>

namespace Vantor::platform {

namespace {

std::deque<MSG> queue;
EventTranslator translator;
WindowProcedure procedure = nullptr;

constexpr int closeSignals[] = {SIGINT, SIGTERM};
constexpr int closeSignalCount = int(sizeof closeSignals / sizeof closeSignals[0]);
bool catching[closeSignalCount] = {};
volatile std::sig_atomic_t closeSignalled = 0;

// Async-signal-safe: writes the flag and nothing else.
void noteCloseSignal(int) { closeSignalled = 1; }

// One-shot (SA_RESETHAND): the signal's default returns with the first delivery.
void armCloseHandler(int signal) {
    struct sigaction action = {};
    action.sa_handler = noteCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(signal, &action, nullptr);
}

// Queues the WM_CLOSE of a signal received since the last call, and arms the
// handlers again.
void takeCloseSignal() {
    if (!closeSignalled)
        return;
    for (int i = 0; i < closeSignalCount; ++i)
        if (catching[i])
            armCloseHandler(closeSignals[i]);
    closeSignalled = 0;
    postMessage(windowForEvent(0), WM_CLOSE, 0, 0);
}

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

void catchCloseSignals() {
    for (int i = 0; i < closeSignalCount; ++i) {
        if (catching[i])
            continue;
        struct sigaction current = {};
        if (sigaction(closeSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        catching[i] = true;
        armCloseHandler(closeSignals[i]);
    }
}

void setCloseSignalsDefault(bool useDefault) {
    for (int i = 0; i < closeSignalCount; ++i) {
        if (!catching[i])
            continue;
        if (useDefault)
            std::signal(closeSignals[i], SIG_DFL);
        else if (!closeSignalled) // a noted signal leaves the handlers spent until it is read
            armCloseHandler(closeSignals[i]);
    }
}

void setWindowProcedure(WindowProcedure newProcedure) { procedure = newProcedure; }

bool peekMessage(MSG& msg) {
    takeCloseSignal();
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
