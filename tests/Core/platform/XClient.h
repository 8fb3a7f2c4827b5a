// Xlib helpers for tests that act as the user's window manager would: finding
// a top-level window by its name and asking it to close. They open their own
// connection to the display; no X11 type leaks into the tests.
#pragma once

namespace xclient {

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false; // mapped (and its parents too)
};

// The screen geometry of the top-level window named title, shown or not;
// false when there is none.
bool findWindow(const char* title, Geometry& geometry);
// Sends the window named title a WM_DELETE_WINDOW request, as a close button does.
bool requestClose(const char* title);
// The size of the default screen.
bool screenSize(int& width, int& height);

} // namespace xclient
