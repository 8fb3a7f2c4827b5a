#include "modules/gui/Component.h"

#include "Core/TextOverlay.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Overlay2D.h"

#include <GL/glew.h>

#include <utility>

namespace Vantor {

Component::~Component() = default;

void Component::setX(float newX) {
    x = newX;
    updatePosition();
}

void Component::setY(float newY) {
    y = newY;
    updatePosition();
}

void Component::setPosition(float newX, float newY) {
    x = newX;
    y = newY;
    updatePosition();
}

void Component::setSize(float newWidth, float newHeight) {
    width = newWidth;
    height = newHeight;
}

void Component::setWidth(float newWidth) { width = newWidth; }

void Component::setHeight(float newHeight) { height = newHeight; }

void Component::focus() { focused = true; }

void Component::unfocus() { focused = false; }

SPtr<Component> Component::hitTest(float px, float py) {
    if (px >= absX && px <= absX + width && py >= absY && py <= absY + height)
        return SPtr<Component>(this);
    return SPtr<Component>();
}

void Component::onKeyEvent(const SPtr<Event>&) {}

void Component::onMouseEvent(const SPtr<Event>&) {}

void Component::setCentreX(bool centre) {
    centreX = centre;
    updatePosition();
}

void Component::setCentreY(bool centre) {
    centreY = centre;
    updatePosition();
}

void Component::updatePosition() {
    if (centreX || centreY) {
        float areaWidth, areaHeight;
        if (parent) {
            areaWidth = parent->width;
            areaHeight = parent->height;
        } else {
            const GLWindow* window = GLWindow::getInstance();
            areaWidth = float(window->width);
            areaHeight = float(window->height);
        }
        if (centreX)
            x = (areaWidth - width) / 2;
        // Taller than its area (a menu in a small window), it keeps its top
        // in view, where its first entries are.
        if (centreY)
            y = height > areaHeight ? areaHeight - height : (areaHeight - height) / 2;
    }
    absX = originX + x;
    absY = originY + y;
    positionChanged();
}

void Component::addHandler(const SPtr<GUIEventHandler>& handler) {
    if (handler)
        handlers.add(handler);
}

void Component::dispatchKeyEvent(const SPtr<Event>& event) {
    onKeyEvent(event);
    notifyHandlers(event);
}

void Component::dispatchMouseEvent(const SPtr<Event>& event) {
    onMouseEvent(event);
    notifyHandlers(event);
}

void Component::notifyHandlers(const SPtr<Event>& event) {
    if (!event)
        return;
    // A command may add or drop handlers, or release the last outside
    // reference to this widget: the walk runs over a copy, with the widget held.
    const SPtr<Component> self(this);
    const ArrayList<SPtr<GUIEventHandler>> listening = handlers;
    for (const SPtr<GUIEventHandler>& handler : listening)
        if (handler->reactsTo(event->type))
            handler->handle(event, self);
}

Container::~Container() {
    for (SPtr<Component>& child : children)
        if (child->parent == this)
            child->parent = nullptr;
}

void Container::draw() {
    for (SPtr<Component>& child : children)
        child->draw();
}

void Container::unfocus() {
    Component::unfocus();
    for (SPtr<Component>& child : children)
        child->unfocus();
}

SPtr<Component> Container::hitTest(float px, float py) {
    if (!Component::hitTest(px, py))
        return SPtr<Component>();
    for (unsigned i = children.size; i-- > 0;) {
        SPtr<Component> hit = children[i]->hitTest(px, py);
        if (hit)
            return hit;
    }
    return SPtr<Component>(this);
}

void Container::place(Component& child) const {
    child.originX = absX;
    child.originY = absY;
    child.updatePosition();
}

void Container::positionChanged() {
    for (SPtr<Component>& child : children)
        place(*child);
}

void Container::add(const SPtr<Component>& child) {
    if (!child)
        return;
    // A container inside itself would draw and hit-test for ever.
    for (const Component* ancestor = this; ancestor; ancestor = ancestor->parent)
        if (ancestor == child.get())
            return;
    child->parent = this;
    place(*child);
    onAdd(child);
    children.add(child);
}

void Container::remove(const SPtr<Component>& child) {
    if (!child)
        return;
    // Rebuilt rather than shifted in place: the list's spare slots would keep
    // references to what was removed.
    ArrayList<SPtr<Component>> kept;
    for (const SPtr<Component>& entry : children)
        if (entry != child)
            kept.add(entry);
    if (kept.size == children.size)
        return;
    children = std::move(kept);
    if (child->parent == this)
        child->parent = nullptr;
}

void Container::onAdd(const SPtr<Component>&) {}

void Frame::onCommand(int, const SPtr<Event>&, const SPtr<Component>&) {}

Dialog::Dialog() {
    const GLWindow* window = GLWindow::getInstance();
    setSize(float(window->width / 2), float(window->height / 2));
    setPosition(startX, startY);
}

void Dialog::draw() {
    Overlay2D::getInstance()->drawRoundedRect(shade, absX, absY, absX + width, absY + height, cornerRadius);
    Container::draw();
}

void Dialog::onAdd(const SPtr<Component>& child) {
    child->setY(height - topMargin - float(layoutCursor));
    child->setCentreX(true);
    layoutCursor += int(child->height) + gap;
}

Button::Button() { setSize(defaultWidth, defaultHeight); }

Button::Button(const char* text) : Button() { label = new String(text ? text : ""); }

void Button::draw() {
    Overlay2D* overlay = Overlay2D::getInstance();
    const float right = absX + width, top = absY + height;
    overlay->drawRoundedRect(hovered ? hoverShade : restShade, absX, absY, right, top, cornerRadius);

    // glScissor refuses negative sizes, and an empty body has no room for a label.
    if (label && !label->empty() && width > 0 && height > 0) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(GLint(absX - 1), GLint(absY), GLsizei(width), GLsizei(height));
        TextOverlay::getInstance()->printCentred(absX + width / 2, absY + height / 2, label->c_str());
        glDisable(GL_SCISSOR_TEST);
    }

    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    overlay->drawRoundedRectOutline(absX, absY, right, top, cornerRadius);
    glEnable(GL_TEXTURE_2D);
}

void Button::onMouseEvent(const SPtr<Event>& event) {
    if (!event)
        return;
    if (event->type == kEventMouseEnter)
        hovered = true;
    else if (event->type == kEventMouseLeave)
        hovered = false;
}

} // namespace Vantor
