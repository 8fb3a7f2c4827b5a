// Message boxes on SDL's message box, with the buttons, keys and answers of
// their Win32 counterparts:
//
//   type         buttons, left to right   Return   Escape / closed box
//   MB_OK        OK                       IDOK     IDOK
//   MB_OKCANCEL  OK, Cancel               IDOK     IDCANCEL
//   MB_YESNO     Yes, No                  IDYES    (no key) / IDNO
//
// SDL shows a box without its video subsystem running, so a box can come
// before any window. On X11 the box needs the server's core fonts; where no
// box can be shown at all (no display, no fonts), the text goes to stderr
// and the box answers IDNO for Yes/No and IDOK otherwise, so that a headless
// run takes the cautious path and goes on.
#include "Core/platform/MessageBox.h"

#include "Core/platform/SdlPlatform.h"

#include <cstdio>
#include <utility>

namespace Vantor::platform {

namespace {

// Further attempts at a message box that SDL could not show.
constexpr int kMessageBoxRetries = 2;

MessageBoxResponder responder;

constexpr unsigned buttonsMask = 0x0F;
constexpr unsigned iconMask = 0xF0;

Uint32 iconFlag(unsigned type) {
    switch (type & iconMask) {
    case MB_ICONERROR:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING:
        return SDL_MESSAGEBOX_WARNING;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:
        return SDL_MESSAGEBOX_INFORMATION;
    default:
        return 0;
    }
}

} // namespace

int messageBox(Window* owner, const char* text, const char* caption, unsigned type) {
    if (!text)
        text = "";
    if (!caption)
        caption = "";
    if (responder)
        return responder(text, caption, type);

    constexpr Uint32 returnKey = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    constexpr Uint32 escapeKey = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    const SDL_MessageBoxButtonData okButtons[] = {{returnKey | escapeKey, IDOK, "OK"}};
    const SDL_MessageBoxButtonData okCancelButtons[] = {{returnKey, IDOK, "OK"},
                                                        {escapeKey, IDCANCEL, "Cancel"}};
    const SDL_MessageBoxButtonData yesNoButtons[] = {{returnKey, IDYES, "Yes"}, {0, IDNO, "No"}};

    SDL_MessageBoxData box = {};
    int closedAnswer;
    switch (type & buttonsMask) {
    case MB_OKCANCEL:
        box.buttons = okCancelButtons;
        box.numbuttons = 2;
        closedAnswer = IDCANCEL;
        break;
    case MB_YESNO:
        box.buttons = yesNoButtons;
        box.numbuttons = 2;
        closedAnswer = IDNO;
        break;
    default:
        box.buttons = okButtons;
        box.numbuttons = 1;
        closedAnswer = IDOK;
        break;
    }
    box.flags = iconFlag(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = owner ? owner->sdl : nullptr;
    box.title = caption;
    box.message = text;

    int answer = -1;
    setCloseSignalsDefault(true);
    int shown = SDL_ShowMessageBox(&box, &answer);
    // SDL tries its helper-program boxes before the X11 one, and now and then
    // comes back with neither shown; a second try shows the X11 box.
    for (int retry = 0; shown != 0 && retry < kMessageBoxRetries; ++retry)
        shown = SDL_ShowMessageBox(&box, &answer);
    setCloseSignalsDefault(false);
    if (shown != 0) {
        int fallback = (type & buttonsMask) == MB_YESNO ? IDNO : IDOK;
        std::fprintf(stderr, "%s: %s\n(no message box could be shown: %s; answered %s)\n", caption, text,
                     SDL_GetError(), fallback == IDNO ? "No" : "OK");
        return fallback;
    }
    return answer < 0 ? closedAnswer : answer;
}

void setMessageBoxResponder(MessageBoxResponder newResponder) { responder = std::move(newResponder); }

} // namespace Vantor::platform
