#include "XClient.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace xclient {

namespace {

// The top-level window named title, or 0. Without a window manager SDL's
// windows are children of the root; under one they would be inside frames.
::Window topLevel(Display* display, const char* title) {
    ::Window root = DefaultRootWindow(display), rootReturn, parent, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return 0;
    for (unsigned i = count; i-- > 0 && !found;) { // topmost first
        // The name's bytes as stored: SDL writes message-box names as UTF8_STRING,
        // which XFetchName refuses.
        XTextProperty name;
        if (XGetWMName(display, children[i], &name) && name.value) {
            if (name.format == 8 && name.nitems == std::strlen(title) &&
                std::memcmp(name.value, title, name.nitems) == 0)
                found = children[i];
            XFree(name.value);
        }
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

bool findWindow(const char* title, Geometry& geometry) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    ::Window window = topLevel(display, title);
    XWindowAttributes attributes;
    bool ok = window && XGetWindowAttributes(display, window, &attributes);
    if (ok) {
        geometry.viewable = attributes.map_state == IsViewable;
        ::Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &geometry.x, &geometry.y,
                              &child);
        geometry.width = attributes.width;
        geometry.height = attributes.height;
    }
    XCloseDisplay(display);
    return ok;
}

bool requestClose(const char* title) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    ::Window window = topLevel(display, title);
    if (window) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }
    XCloseDisplay(display);
    return window != 0;
}

bool screenSize(int& width, int& height) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    width = DisplayWidth(display, DefaultScreen(display));
    height = DisplayHeight(display, DefaultScreen(display));
    XCloseDisplay(display);
    return true;
}

} // namespace xclient
