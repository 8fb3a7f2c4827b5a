// Overlay2D: the 2D drawing state shared by text, cursor, GUI and fade.
//
// Inside begin2D/end2D, coordinates are window pixels with the origin at the
// bottom-left; the calls nest, and only the outermost pair changes GL state.
// Shades: a negative shade darkens what is behind (alpha blending with black,
// alpha -1.5 s), a shade of 0 or more brightens it (additive grey 0.5 s).
#pragma once

#include "Core/Singleton.h"

namespace Vantor {

class Overlay2D {
public:
    static constexpr int cornerPoints = 10;

    int width = 0;
    int height = 0;
    float fade = 0;
    int depth = 0;

    static Overlay2D* getInstance() { return Singleton<Overlay2D>::getInstance(); }

    void setSize(int w, int h) {
        width = w;
        height = h;
    }

    void begin2D();
    void end2D();
    void drawShadedRect(float shade, float x1, float y1, float x2, float y2);
    void drawRoundedRect(float shade, float x1, float y1, float x2, float y2, float radius);
    void drawRoundedRectOutline(float x1, float y1, float x2, float y2, float radius);
    // Shades the whole window by fade; nothing when fade is 0.
    void drawFade();

private:
    void applyShade(float shade);
    void emitRoundedOutline(float x1, float y1, float x2, float y2, float radius);
    void restore2D();
};

} // namespace Vantor
