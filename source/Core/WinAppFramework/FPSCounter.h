// FPSCounter: the frames-per-second display, a plug-in in the overlay phase.
//
// It counts overlay calls and, once at least interval seconds of frame clock
// have passed, shows the count divided by the exact length of that window. The
// timer reads the frame clock, so the value covers whole frames; before the
// first window ends it shows 0.
#pragma once

#include "Core/Singleton.h"
#include "Core/WinAppFramework/Plugin.h"
#include "Core/WinAppFramework/Time.h"

namespace Vantor {

class FPSCounter : public Plugin, public Singleton<FPSCounter> {
public:
    static constexpr double defaultInterval = 0.5;
    // Where the text goes in a 1024 x 768 window, in pixels from the
    // bottom-left; other windows keep it as far from their top-right corner.
    static constexpr int textX = 800;
    static constexpr int textY = 700;
    static constexpr int referenceWidth = 1024;
    static constexpr int referenceHeight = 768;
    static constexpr int textSize = 64;

    double interval = defaultInterval;
    double fps = 0;
    int frames = 0;
    Timer timer{false};
    // The text of the last overlay call, as it is printed.
    char lastText[textSize] = {};

    FPSCounter();

    void renderOverlay() override;
};

} // namespace Vantor
