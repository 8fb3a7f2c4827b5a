#include "modules/gui/GUI.h"

#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Overlay2D.h"

namespace Vantor {

GUI::GUI() {
    blockMask = kPhaseUpdate;
    enabled = false;
    const GLWindow* window = GLWindow::getInstance();
    root = new Container;
    root->setSize(float(window->width), float(window->height));
    root->setPosition(0, 0);
    focus = root;
    setPhases(kPhaseOverlay);
    setPriority(kPhaseOverlay, overlayPriority);
    registerPlugin();
}

void GUI::show(const SPtr<Component>& component) { root->add(component); }

void GUI::hide(const SPtr<Component>& component) { root->remove(component); }

void GUI::setFocus(const SPtr<Component>& component) {
    focus = nullptr;
    root->unfocus();
    focus = component;
    if (focus)
        focus->focus();
}

void GUI::processEvents() {
    const Keys* keys = Keys::getInstance();
    const Mouse* mouse = Mouse::getInstance();

    // Each dispatch holds its receiver, since a command may change the focus
    // or drop the last other reference to the widget.
    for (int code = 0; code < Keys::keyCount; ++code) {
        if (!keys->pressed[code])
            continue;
        const SPtr<Component> receiver = focus;
        if (receiver)
            receiver->dispatchKeyEvent(new Event(kEventCategoryKeyboard, kEventKeyDown, code, mouse->x, mouse->y));
    }
    for (unsigned i = 0; i < typedChars.size; ++i) {
        const SPtr<Component> receiver = focus;
        const int character = static_cast<unsigned char>(typedChars[i]);
        if (receiver)
            receiver->dispatchKeyEvent(new Event(kEventCategoryKeyboard, kEventChar, character, mouse->x, mouse->y));
    }

    const SPtr<Component> hit = root->hitTest(float(mouse->x), float(mouse->y));
    auto mouseEvent = [mouse](int type) {
        return SPtr<Event>(new Event(kEventCategoryMouse, type, 0, mouse->x, mouse->y));
    };
    if (hit != hovered) {
        const SPtr<Component> left = hovered;
        if (left)
            left->dispatchMouseEvent(mouseEvent(kEventMouseLeave));
        if (hit)
            hit->dispatchMouseEvent(mouseEvent(kEventMouseEnter));
        hovered = hit;
    }
    if (!hit)
        return;
    if (mouse->leftPressed) {
        setFocus(hit);
        hit->dispatchMouseEvent(mouseEvent(kEventLeftPress));
    }
    if (mouse->rightPressed)
        hit->dispatchMouseEvent(mouseEvent(kEventRightPress));
    if (mouse->leftReleased)
        hit->dispatchMouseEvent(mouseEvent(kEventLeftRelease));
    if (mouse->rightReleased)
        hit->dispatchMouseEvent(mouseEvent(kEventRightRelease));
}

void GUI::renderOverlay() {
    processEvents();
    Overlay2D* overlay = Overlay2D::getInstance();
    overlay->begin2D();
    if (Keys::getInstance()->wentDown(closeKey))
        enabled = false;
    root->draw();
    overlay->end2D();
}

void openFrame(const SPtr<Frame>& frame, const SPtr<Frame>& previous) {
    if (!frame)
        return;
    frame->previous = previous;
    GUI::getInstance()->show(frame);
}

void closeDialog(const SPtr<Dialog>& dialog) {
    if (!dialog)
        return;
    GUI* gui = GUI::getInstance();
    gui->hide(dialog);
    if (dialog->previous)
        gui->show(dialog->previous);
}

} // namespace Vantor
