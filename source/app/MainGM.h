// MainGM: the city scene, the program's game mode.
//
// It checks the driver, reads "config files\init.xml", sets up the two
// cameras (walking and orbiting), the sky box, the scene's models, lights
// and materials, the occlusion culler and the main menu; each frame it turns
// keys and the mouse into camera motion, keeps the walking camera out of
// buildings with the collision map, toggles its display options, runs the
// benchmark and draws the scene with its help texts.
#pragma once

#include "AppOptions.h"
#include "MainMenu.h"
#include "Tour.h"

#include "Core/ArrayList.h"
#include "Core/SkyBox.h"
#include "Core/Vector3.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/GameMode.h"
#include "Core/textures/Image.h"
#include "modules/occlusion/OcclusionCuller.h"
#include "modules/scene/Scene.h"

#include <chrono>

namespace Vantor {
class Texture;
class XMLElement;
}

class MainGM : public Vantor::GameMode {
public:
    // Updates the benchmark times.
    static constexpr int benchmarkLength = 100;
    // Where the walking camera may go at all, whatever the collision map says.
    static constexpr float walkMinX = -1100, walkMaxX = 5057, walkMinZ = -5975, walkMaxZ = 215;

    bool inputEnabled = true;
    Vantor::Vector3 previousWalkPosition;
    Vantor::OrbitalCamera orbitCamera;
    Vantor::FPSCamera walkCamera;
    Vantor::SPtr<MainMenu> mainMenu;
    Vantor::SkyBox skyBox;
    int skinShader = 0;
    // One byte per cell, 255 where a building stands.
    Vantor::Image collisionMap;
    Vantor::OcclusionCuller occlusion;
    float targetDistance = 2000.0f;
    Vantor::Texture* groundTexture = nullptr;
    bool lightTracking = false;
    // The scene: its models, ambient colour and lights.
    Vantor::Scene scene;
    // The render-flag group of each scene model, at the model's index.
    Vantor::ArrayList<ModelGroup> modelGroups;
    bool walkMode = true;
    // The walker is against a wall: the contact is logged once when it
    // begins and once when it ends, not in every frame of it.
    bool walkBlocked = false;
    // When the program started and when its full-screen question was
    // answered; the first drawn frame logs how long start-up took from each.
    std::chrono::steady_clock::time_point startedAt = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point answeredAt = startedAt;
    bool startUpLogged = false;
    // The scene's configuration file (an engine path).
    Vantor::String configFile{"config files\\init.xml"};
    // Set for an unattended run of the tour: the tour camera is current from
    // the start, no input is read and no help text is drawn. tourTime is the
    // tour time of the frame to draw, set before each frame by the run.
    const Tour* tour = nullptr;
    double tourTime = 0.0;
    TourCamera tourCamera;

    void init() override;
    void update() override;
    void animate() override {}
    void render() override;
    void renderOverlay() override {}
    void release() override {}

    // Throws the capability exception for the first extension the driver lacks.
    void checkCaps();
    // True when the collision map marks the cell under world (x, z) as a building.
    bool isBlocked(float x, float z) const;
    // Moves the walking camera from previousWalkPosition towards its position
    // as this frame's input left it, stopping at buildings and sliding along them.
    void collideWalk();

private:
    void readCameras(Vantor::XMLElement& cameras);
    void setUpCulling();
    // Makes the tour camera current and the frame free of wall-clock figures.
    void startTour();
    void controlWalkCamera();
    void controlOrbitCamera();
    void handleKeys();
    void startBenchmark();
    void finishBenchmark();
    void switchWalkMode();
    // The cell (column, row) of world (x, z); false outside the map.
    bool cellOf(float x, float z, int& column, int& row) const;
    bool cellBlocked(int column, int row) const;
};
