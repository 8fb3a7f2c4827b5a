// Console: the text pane of the overlay, collecting what the user types.
//
// It starts closed (enabled false) and, while open, blocks the update phase of
// every plug-in. Its own update runs from its renderOverlay, never from the
// plug-in manager: the console key closes it and is hidden from everybody
// else; otherwise the frame's typed characters are appended as typed, control
// characters included (all but NUL, which would end the text). The text survives closing and reopening; only clear
// (the script function cls) empties it, and append (print) adds to it.
#pragma once

#include "Core/Singleton.h"
#include "Core/String.h"
#include "Core/WinAppFramework/Plugin.h"

namespace Vantor {

class Console : public Plugin, public Singleton<Console> {
public:
    static constexpr int overlayPriority = 2;
    // The key left of 1 on US keyboards (VK_OEM_3).
    static constexpr int closeKey = 0xC0;
    // The shaded pane, and the box the text is wrapped into, in overlay pixels.
    static constexpr float shade = -0.5f;
    static constexpr float paneLeft = 10;
    static constexpr float paneBottom = 394;
    static constexpr float paneRight = 1000;
    static constexpr float paneTop = 728;
    static constexpr float textLeft = 10;
    static constexpr float textBottom = 404;
    static constexpr float textRight = 1000;
    static constexpr float textTop = 718;

    String text;

    Console();
    ~Console() override = default;

    // Closes on the console key (clearing its down entry), else appends the
    // frame's typed characters.
    void update() override;
    // update, then the shaded pane with the text, its end kept in view.
    void renderOverlay() override;

    void append(const char* more) { text.append(more); }
    void append(const String& more) { text.append(more); }
    void clear() { text = ""; }
};

} // namespace Vantor
