// The widgets: Component, Container, Frame, Dialog and Button.
//
// Coordinates are floats in overlay pixels, origin at the bottom-left, y up
// (the space of Overlay2D and of the mouse). A widget's position (x, y) is
// relative to its parent; absX = originX + x and absY = originY + y hold after
// every position update, where the origin is the parent's position on screen.
// A centred widget recomputes x (or y) from its parent's size, or from the
// window's when it has no parent, whenever its position is updated (one
// taller than that area is placed with its top at the area's top); setSize
// alone never re-centres. A container places its children again whenever its
// own position is updated, so children always move with their parent.
//
// Widgets are reference-counted: create them with new and hold them through
// SPtr (hitTest hands out SPtrs to the widget itself). A parent holds its
// children; a child's parent pointer does not own and is cleared when the
// child is removed or the parent goes.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Object.h"
#include "Core/String.h"
#include "modules/gui/Event.h"

namespace Vantor {

class Component : public Object {
public:
    float originX = 0;
    float originY = 0;
    float absX = 0;
    float absY = 0;
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    bool focused = false;
    bool centreX = false;
    bool centreY = false;
    Component* parent = nullptr;
    ArrayList<SPtr<GUIEventHandler>> handlers;

    Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;
    ~Component() override;

    // Each sets the position, then updates it.
    virtual void setX(float newX);
    virtual void setY(float newY);
    virtual void setPosition(float newX, float newY);
    // These set the size only; centring waits for the next position update.
    virtual void setSize(float newWidth, float newHeight);
    virtual void setWidth(float newWidth);
    virtual void setHeight(float newHeight);
    virtual void draw() = 0;
    virtual void focus();
    virtual void unfocus();
    // This widget when absX <= px <= absX + width and absY <= py <= absY +
    // height (edges included), else null.
    virtual SPtr<Component> hitTest(float px, float py);
    virtual void onKeyEvent(const SPtr<Event>& event);
    virtual void onMouseEvent(const SPtr<Event>& event);

    void setCentreX(bool centre);
    void setCentreY(bool centre);
    // Applies centring against the parent (or the window), then recomputes
    // absX and absY.
    void updatePosition();
    void addHandler(const SPtr<GUIEventHandler>& handler);
    // onKeyEvent (onMouseEvent), then every handler whose mask holds the
    // event's type, in the order they were added.
    void dispatchKeyEvent(const SPtr<Event>& event);
    void dispatchMouseEvent(const SPtr<Event>& event);

protected:
    // Called at the end of every position update.
    virtual void positionChanged() {}

private:
    void notifyHandlers(const SPtr<Event>& event);
};

class Container : public Component {
public:
    // Drawn in this order, hit-tested in the reverse one.
    ArrayList<SPtr<Component>> children;

    Container() = default;
    ~Container() override;

    void draw() override;
    // Clears focused here and in the whole subtree.
    void unfocus() override;
    // Null outside the container; otherwise the hit of the last child that
    // is hit, or the container itself.
    SPtr<Component> hitTest(float px, float py) override;

    // Makes child a child of this container: parent and origin are set, its
    // position updated, onAdd called, and it is appended to children. A null
    // child, the container itself or one of its ancestors is refused.
    virtual void add(const SPtr<Component>& child);
    // Removes every entry holding child.
    virtual void remove(const SPtr<Component>& child);
    virtual void onAdd(const SPtr<Component>& child);

protected:
    void positionChanged() override;

private:
    void place(Component& child) const;
};

class Frame : public Container {
public:
    // The frame closeDialog shows again when this one closes.
    SPtr<Frame> previous;

    ~Frame() override = default;

    // A command from one of the frame's handlers.
    virtual void onCommand(int id, const SPtr<Event>& event, const SPtr<Component>& source);
};

class Dialog : public Frame {
public:
    static constexpr float startX = 100;
    static constexpr float startY = 120;
    static constexpr float cornerRadius = 50;
    static constexpr float shade = -0.2f;
    // The first child's bottom edge lies topMargin + firstGap below the top
    // edge; each further one lies lower by the previous child's height + gap.
    static constexpr float topMargin = 40;
    static constexpr int firstGap = 20;
    static constexpr int gap = 20;

    // The distance from the top at which the next child goes.
    int layoutCursor = firstGap;

    // Half the window's width and height, at (startX, startY).
    Dialog();
    ~Dialog() override = default;

    void draw() override;
    // Puts child at the layout cursor, centred horizontally, and moves the
    // cursor below it.
    void onAdd(const SPtr<Component>& child) override;
};

class Button : public Component {
public:
    static constexpr float defaultWidth = 150;
    static constexpr float defaultHeight = 32;
    static constexpr float cornerRadius = 10;
    static constexpr float hoverShade = 0.25f;
    static constexpr float restShade = -0.25f;

    SPtr<String> label;
    bool hovered = false;

    Button();
    explicit Button(const char* text);
    ~Button() override = default;

    // The rounded body, brightened while hovered, the label centred and
    // clipped to the body, and a white outline.
    void draw() override;
    // Enter sets hovered, leave clears it.
    void onMouseEvent(const SPtr<Event>& event) override;
};

} // namespace Vantor
