#include "Core/WinAppFramework/FPSCounter.h"

#include "Core/TextOverlay.h"
#include "Core/WinAppFramework/Overlay2D.h"

#include <cstdio>

namespace Vantor {

FPSCounter::FPSCounter() {
    setPhases(kPhaseOverlay);
    setPriority(kPhaseOverlay, 0);
    registerPlugin();
}

void FPSCounter::renderOverlay() {
    const double seconds = timer.elapsed();
    if (seconds >= interval) {
        fps = frames / seconds;
        timer.restart();
        frames = 0;
    }
    std::snprintf(lastText, sizeof lastText, "FPS: %f", fps);
    const Overlay2D* overlay = Overlay2D::getInstance();
    const bool sized = overlay->width > 0 && overlay->height > 0;
    TextOverlay::getInstance()->print(textX + (sized ? overlay->width - referenceWidth : 0),
                                      textY + (sized ? overlay->height - referenceHeight : 0), "%s", lastText);
    ++frames;
}

} // namespace Vantor
