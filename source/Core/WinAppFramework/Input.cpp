#include "Core/WinAppFramework/Input.h"

#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/platform/Cursor.h"
#include "Core/textures/TextureManager.h"

namespace Vantor {

void Keys::update() {
    for (int k = 0; k < keyCount; ++k) {
        prev[k] = down[k];
        pressed[k] = false;
    }
}

void Mouse::update(GLWindow* window) {
    GLWindow* record = window ? window : GLWindow::getInstance();
    platform::RECT rect;
    const bool haveRect = window && window->window && platform::getWindowRect(window->window, rect);
    int screenX = 0, screenY = 0;
    // A cursor that cannot be read is taken as not moved on the screen.
    if (!platform::getCursorPos(screenX, screenY))
        windowToScreen(x, y, record->height, screenX, screenY);
    updateFrom(haveRect ? &rect : nullptr, screenX, screenY, record->width, record->height);
}

void Mouse::updateFrom(const platform::RECT* windowRect, int cursorX, int cursorY, int glWidth, int glHeight) {
    leftPressed = leftReleased = false;
    rightPressed = rightReleased = false;
    middlePressed = middleReleased = false;
    wheel = 0;

    if (windowRect) {
        // The frame is taken as equally thick left and right and at the
        // bottom; the caption makes up the rest of the height.
        const int border = (windowRect->right - glWidth - windowRect->left + 1) / 2;
        originX = windowRect->left + border;
        originY = windowRect->bottom - glHeight - border + 1;
    }

    prevX = x;
    prevY = y;
    x = cursorX - originX;
    y = glHeight + originY - cursorY - 1;
}

void Mouse::windowToScreen(int wx, int wy, int glHeight, int& screenX, int& screenY) const {
    screenX = wx + originX;
    screenY = originY + glHeight - wy - 1;
}

void Mouse::setPosition(int newX, int newY) {
    int screenX, screenY;
    windowToScreen(newX, newY, GLWindow::getInstance()->height, screenX, screenY);
    platform::setCursorPos(screenX, screenY);
    x = newX;
    y = newY;
}

void Mouse::show() { setVisible(true); }

void Mouse::hide() { setVisible(false); }

void Mouse::setVisible(bool show) {
    // The image cursor is drawn by draw(); only the system one has a display count.
    if (cursorMode == systemCursor)
        platform::showCursor(show);
    visible = show;
}

void Mouse::setCursorImage(const char* fileName) {
    Texture* texture = TextureManager::getInstance()->loadNewTexture(fileName, GL_NEAREST, GL_NEAREST);
    cursorImage = texture && texture->loaded ? texture->name : 0;

    // Only the switch from the system cursor lowers its display count, so a
    // second image keeps the system cursor hidden and the count balanced.
    if (cursorMode == systemCursor)
        platform::showCursor(false);
    cursorMode = imageCursor;
}

void Mouse::draw() {
    if (!visible || cursorMode != imageCursor || cursorImage == 0)
        return;
    Overlay2D* overlay = Overlay2D::getInstance();
    overlay->begin2D();
    // Texturing is switched on here, inside the enable bits begin2D saved, and
    // not through Texture::bind: end2D restores it, and the texture manager's
    // record of the enabled target stays true.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, cursorImage);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
    glColor4f(1, 1, 1, 1);
    const int half = cursorSize / 2;
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2i(x - half, y - half);
    glTexCoord2f(1, 0);
    glVertex2i(x + half, y - half);
    glTexCoord2f(1, 1);
    glVertex2i(x + half, y + half);
    glTexCoord2f(0, 1);
    glVertex2i(x - half, y + half);
    glEnd();
    glDisable(GL_BLEND);
    overlay->end2D();
}

} // namespace Vantor
