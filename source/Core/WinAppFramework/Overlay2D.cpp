#include "Core/WinAppFramework/Overlay2D.h"

#include "Core/Angle.h"
#include "Core/textures/TextureManager.h"

#include <GL/glew.h>

#include <cmath>

namespace Vantor {

void Overlay2D::begin2D() {
    if (depth++ > 0)
        return;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
}

void Overlay2D::end2D() {
    if (depth == 1)
        restore2D();
    else if (depth > 1)
        --depth;
}

// Undoes the outermost begin2D at once, whatever the nesting.
void Overlay2D::restore2D() {
    depth = 0;
    glDepthMask(GL_TRUE);
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void Overlay2D::applyShade(float shade) {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    if (shade < 0) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0, 0, 0, -1.5f * shade);
    } else {
        glBlendFunc(GL_ONE, GL_ONE);
        float grey = 0.5f * shade;
        glColor4f(grey, grey, grey, grey);
    }
}

void Overlay2D::drawShadedRect(float shade, float x1, float y1, float x2, float y2) {
    begin2D();
    glPushAttrib(GL_ENABLE_BIT);
    applyShade(shade);
    int left = int(x1), bottom = int(y1), right = int(x2), top = int(y2);
    glBegin(GL_QUADS);
    glVertex2i(left, bottom);
    glVertex2i(right, bottom);
    glVertex2i(right, top);
    glVertex2i(left, top);
    glEnd();
    glPopAttrib();
    end2D();
}

// The outline of the rectangle with each corner a quarter circle of
// cornerPoints points, walked counter-clockwise from the bottom-right corner.
void Overlay2D::emitRoundedOutline(float x1, float y1, float x2, float y2, float radius) {
    struct Corner {
        float cx, cy, from, to;
    };
    const Corner corners[4] = {
        {x2 - radius, y1 + radius, -90, 0},
        {x2 - radius, y2 - radius, 0, 90},
        {x1 + radius, y2 - radius, 90, 180},
        {x1 + radius, y1 + radius, 180, -90},
    };
    for (const Corner& c : corners) {
        float to = c.from > c.to ? c.to + 360 : c.to;
        for (int i = 0; i < cornerPoints; ++i) {
            double angle = (c.from + (to - c.from) * i / (cornerPoints - 1)) * kDegreesToRadians;
            glVertex2f(c.cx + radius * float(std::cos(angle)), c.cy + radius * float(std::sin(angle)));
        }
    }
}

void Overlay2D::drawRoundedRect(float shade, float x1, float y1, float x2, float y2, float radius) {
    begin2D();
    glPushAttrib(GL_ENABLE_BIT);
    applyShade(shade);
    glBegin(GL_POLYGON);
    emitRoundedOutline(x1, y1, x2, y2, radius);
    glEnd();
    glPopAttrib();
    end2D();
}

void Overlay2D::drawRoundedRectOutline(float x1, float y1, float x2, float y2, float radius) {
    begin2D();
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBegin(GL_LINE_STRIP);
    emitRoundedOutline(x1, y1, x2, y2, radius);
    glEnd();
    glPopAttrib();
    end2D();
}

void Overlay2D::drawFade() {
    if (fade == 0)
        return;
    begin2D();
    applyShade(fade);
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(width, 0);
    glVertex2i(width, height);
    glVertex2i(0, height);
    glEnd();
    if (Singleton<TextureManager>::exists()) {
        TextureManager* textures = TextureManager::getInstance();
        if (textures->enabledTarget != 0) {
            glDisable(GLenum(textures->enabledTarget));
            textures->enabledTarget = 0;
        }
    }
    restore2D();
}

} // namespace Vantor
