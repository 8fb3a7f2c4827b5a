// Message boxes of the platform layer, in the Win32 shape: MB_* flags in,
// ID* answers out. Tests install a responder that answers every box without
// showing it and sees what was asked.
#pragma once

#include <functional>

namespace Vantor::platform {

class Window;

enum : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNO = 0x04,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Shows a modal box (owned by window when it is not null) and returns the answer.
int messageBox(Window* owner, const char* text, const char* caption, unsigned type);

using MessageBoxResponder = std::function<int(const char* text, const char* caption, unsigned type)>;
// Every following box is answered by responder instead of being shown; an
// empty responder shows boxes again.
void setMessageBoxResponder(MessageBoxResponder responder);

} // namespace Vantor::platform
