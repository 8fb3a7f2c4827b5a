#include "Core/WinAppFramework/FPSCounter.h"

#include "Core/TextOverlay.h"

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
    TextOverlay::getInstance()->print(textX, textY, "%s", lastText);
    ++frames;
}

} // namespace Vantor
