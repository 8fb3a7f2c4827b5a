// Event and GUIEventHandler: what the GUI tells its widgets, and how a widget
// passes it on to the window that acts on it.
//
// An event is one bit of the type table below; a handler reacts to the types
// in its mask by sending its command number to its target frame. Events and
// handlers are reference-counted and held through SPtr; an event lives for
// one dispatch.
//
//   type  category  meaning                  sent to
//   1     mouse     the mouse entered        the widget now under the mouse
//   2     mouse     the mouse left           the widget under it before
//   4     mouse     left button pressed      the widget under the mouse
//   8     mouse     right button pressed     the widget under the mouse
//   16    mouse     left button released     the widget under the mouse
//   32    mouse     right button released    the widget under the mouse
//   64    keyboard  a character was typed    the focused widget (code: the character)
//   128   keyboard  a key went down          the focused widget (code: virtual-key code)
#pragma once

#include "Core/Object.h"

namespace Vantor {

class Component;
class Frame;

constexpr int kEventCategoryMouse = 0;
constexpr int kEventCategoryKeyboard = 1;

constexpr int kEventMouseEnter = 1;
constexpr int kEventMouseLeave = 2;
constexpr int kEventLeftPress = 4;
constexpr int kEventRightPress = 8;
constexpr int kEventLeftRelease = 16;
constexpr int kEventRightRelease = 32;
constexpr int kEventChar = 64;
constexpr int kEventKeyDown = 128;

class Event : public Object {
public:
    int category = kEventCategoryMouse;
    int type = 0;
    int code = 0;
    // The mouse position when the event was made, in overlay pixels.
    int mouseX = 0;
    int mouseY = 0;

    Event() = default;
    Event(int eventCategory, int eventType, int eventCode, int atX, int atY)
        : category(eventCategory), type(eventType), code(eventCode), mouseX(atX), mouseY(atY) {}
    ~Event() override = default;
};

class GUIEventHandler : public Object {
public:
    // Not owned: the frame must outlive the widgets it listens to.
    Frame* target = nullptr;
    // The event types it reacts to, as a bit set of kEvent* values.
    int mask = 0;
    // The command number sent to target.
    int id = 0;

    GUIEventHandler() = default;
    GUIEventHandler(Frame* commandTarget, int eventMask, int commandId)
        : target(commandTarget), mask(eventMask), id(commandId) {}
    ~GUIEventHandler() override = default;

    bool reactsTo(int type) const { return (mask & type) != 0; }
    // Sends id with the event and its source widget to target's onCommand;
    // nothing without a target.
    void handle(const SPtr<Event>& event, const SPtr<Component>& source);
};

} // namespace Vantor
