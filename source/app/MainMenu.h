// The city scene's two dialogs: the main menu ("Options", "Quit") that
// Escape opens, and the options menu (full screen, antialiasing, "Back") it
// swaps in. Each button reacts to a left or right press, not to releases.
#pragma once

#include "Core/Object.h"
#include "modules/gui/Component.h"

// True when antialiasing can be switched: the driver has multisampling and
// the window was made with a multisample buffer. Needs the GL context.
bool windowHasMultisampling();

class OptionsMenu : public Vantor::Dialog {
public:
    static constexpr float menuWidth = 400;
    static constexpr float menuHeight = 400;
    static constexpr float wideButtonWidth = 300;
    static constexpr int backCommand = 1;
    static constexpr int fullscreenCommand = 2;
    static constexpr int antialiasingCommand = 7;
    static constexpr int buttonSlots = 6;
    static constexpr int fullscreenSlot = 0;
    static constexpr int antialiasingSlot = 5;

    // "Fullscreen" in the first slot, the antialiasing button in the last.
    Vantor::SPtr<Vantor::Button> buttons[buttonSlots];

    OptionsMenu();
    void onCommand(int id, const Vantor::SPtr<Vantor::Event>& event,
                   const Vantor::SPtr<Vantor::Component>& source) override;
    // "Antialiasing Enabled" or "Antialiasing Disabled" from AppOptions, or
    // "Antialiasing unsupported" when the window has no multisample buffer.
    void updateAntialiasingLabel();
    // Replaces the antialiasing label, for drivers without multisampling.
    void setAntialiasingLabel(const char* text);
};

class MainMenu : public Vantor::Dialog {
public:
    static constexpr float menuWidth = 600;
    static constexpr float menuHeight = 600;
    static constexpr int quitCommand = 0;
    static constexpr int optionsCommand = 1;

    // Adds "Options" then "Quit" once each, and creates the options menu.
    MainMenu();
    void onCommand(int id, const Vantor::SPtr<Vantor::Event>& event,
                   const Vantor::SPtr<Vantor::Component>& source) override;
};

// The options menu of the last main menu made.
extern Vantor::SPtr<OptionsMenu> optionsMenu;
