#include "modules/gui/Console.h"

#include "Core/TextOverlay.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Overlay2D.h"

namespace Vantor {

Console::Console() {
    blockMask = kPhaseUpdate;
    enabled = false;
    setPhases(kPhaseOverlay);
    setPriority(kPhaseOverlay, overlayPriority);
    registerPlugin();
}

void Console::update() {
    Keys* keys = Keys::getInstance();
    if (keys->wentDown(closeKey)) {
        enabled = false;
        keys->down[closeKey] = false;
        return;
    }
    // A NUL would end the text for everything that reads it as C text, hiding
    // all typed after it; it is the one character left out.
    for (char c : typedChars)
        if (c != '\0')
            text.append(c);
}

void Console::renderOverlay() {
    update();
    Overlay2D::getInstance()->drawShadedRect(shade, paneLeft, paneBottom, paneRight, paneTop);
    TextOverlay::getInstance()->printBox(textLeft, textBottom, textRight, textTop, text.c_str(), true);
}

} // namespace Vantor
