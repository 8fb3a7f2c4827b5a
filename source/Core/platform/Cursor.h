// The mouse cursor of the platform layer: visibility with Win32's display
// counter, and the position in screen coordinates.
#pragma once

namespace Vantor::platform {

// ShowCursor: raises or lowers the display counter and returns its new value;
// the system cursor is visible while the counter is 0 or more.
int showCursor(bool show);
bool getCursorPos(int& x, int& y);
bool setCursorPos(int x, int y);

} // namespace Vantor::platform
