// closewindow WINDOW-ID: asks an X11 window to close, as a window manager's
// close button does, by sending it a WM_DELETE_WINDOW client message.
// Used to end the program under a virtual display, where no window manager runs.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: closewindow WINDOW-ID\n");
        return 2;
    }
    char* end = nullptr;
    unsigned long id = std::strtoul(argv[1], &end, 0);
    if (!end || *end || id == 0) {
        std::fprintf(stderr, "closewindow: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "closewindow: cannot open the display\n");
        return 1;
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(id);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, Window(id), False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
