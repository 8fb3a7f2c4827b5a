// DemoGM: the game mode the program starts with until the city scene exists.
//
// A lit block of coloured towers on a ground plate, seen through the current
// orbiting camera, which turns slowly by itself. Arrow keys turn it further,
// Page Up and Page Down zoom, and C switches the towers' colour scheme.
#pragma once

#include "Core/WinAppFramework/GameMode.h"

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
};
