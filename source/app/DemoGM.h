// DemoGM: the game mode the program starts with until the city scene exists.
//
// A lit block of coloured towers on a ground plate, seen through the current
// orbiting camera, which turns slowly by itself. Arrow keys turn it further,
// Page Up and Page Down zoom, and C switches the towers' colour scheme.
// Escape opens the GUI with a small dialog whose buttons switch the colours
// or close it again; the key left of 1 opens the console. While either is
// open the scene's update does not run, so its keys do nothing.
#pragma once

#include "Core/Object.h"
#include "Core/WinAppFramework/GameMode.h"
#include "modules/gui/Component.h"

class DemoGM;

// The dialog Escape opens: "Colours" switches the colour scheme, "Close"
// closes the GUI. Both react to either mouse button's press.
class DemoDialog : public Vantor::Dialog {
public:
    static constexpr int coloursCommand = 1;
    static constexpr int closeCommand = 2;
    static constexpr float dialogWidth = 400;
    static constexpr float dialogHeight = 240;

    explicit DemoDialog(DemoGM* mode);

    void onCommand(int id, const Vantor::SPtr<Vantor::Event>& event,
                   const Vantor::SPtr<Vantor::Component>& source) override;

private:
    DemoGM* owner;
};

class DemoGM : public Vantor::GameMode {
public:
    static constexpr double turnSpeed = 10.0;   // degrees per second of the automatic orbit
    static constexpr double keyTurnSpeed = 90.0; // degrees per second under the arrow keys
    static constexpr double zoomSpeed = 150.0;   // units per second

    void init() override;
    void release() override;
    void update() override;
    void animate() override;
    void render() override;
    void renderOverlay() override;

    int colourScheme = 0;
    // Shown in the GUI from init to release.
    Vantor::SPtr<DemoDialog> menu;
};
