// GUI: the overlay plug-in that owns the widget tree, turns each frame's
// keyboard and mouse state into widget events and draws the tree.
//
// It starts closed (enabled false) and, while open, blocks the update phase
// of every plug-in, so the scene stops reading the keyboard. Open and closed
// are only the enabled flag: the shown frames stay children of the root, so
// reopening shows them as they were. Escape closes it, after the widgets have
// received that frame's events.
//
// One frame of processEvents, in order:
//   1. keyboard, when a widget has the focus: a key-down event (128) for every
//      key pressed this frame, ascending by code; then a character event (64)
//      for every typed character, in order; all to the focus
//   2. the widget under the mouse is hit-tested from the root
//   3. when it is not the one of the previous frame: leave (2) to the old one,
//      then enter (1) to the new one
//   4. to the widget under the mouse: left press (4, which also gives it the
//      focus), right press (8), left release (16), right release (32)
#pragma once

#include "Core/Singleton.h"
#include "Core/WinAppFramework/Plugin.h"
#include "modules/gui/Component.h"

namespace Vantor {

class GUI : public Plugin, public Singleton<GUI> {
public:
    static constexpr int overlayPriority = 1;
    // The key that closes the GUI (VK_ESCAPE).
    static constexpr int closeKey = 0x1B;

    // As large as the window at construction, at (0, 0); shown frames are its children.
    SPtr<Container> root;
    // Receives the keyboard events; the root at construction.
    SPtr<Component> focus;
    // The widget under the mouse in the previous frame.
    SPtr<Component> hovered;

    GUI();
    ~GUI() override = default;

    void show(const SPtr<Component>& component);
    void hide(const SPtr<Component>& component);
    // Clears focused in the whole tree, then focuses component (when not null).
    void setFocus(const SPtr<Component>& component);
    // Sends the frame's keyboard and mouse events to the widgets.
    void processEvents();
    // processEvents, the Escape check, then the tree drawn in the 2D overlay.
    void renderOverlay() override;
};

// Remembers previous in frame and shows frame.
void openFrame(const SPtr<Frame>& frame, const SPtr<Frame>& previous);
// Hides dialog and shows its previous frame, when it has one; previous stays set.
void closeDialog(const SPtr<Dialog>& dialog);

} // namespace Vantor
