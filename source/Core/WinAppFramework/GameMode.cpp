#include "Core/WinAppFramework/GameMode.h"

#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Globals.h"

#include <GL/glew.h>

namespace Vantor {

GameModeManager::GameModeManager() {
    setPhases(kAllPhases);
    setPriority(kAllPhases, 0);
    registerPlugin();
}

void GameModeManager::shutdown() {
    // shutdownAll calls this once per phase list; the mode stops being current
    // at the first call, so it is released once.
    if (!current)
        return;
    GameMode* released = current;
    current = nullptr;
    released->release();
}

void GameModeManager::frameStart() {
    if (!next)
        return;
    if (current)
        current->release();
    current = next;
    next = nullptr;
    current->init();
}

void GameModeManager::update() {
    if (current)
        current->update();
}

void GameModeManager::animate() {
    if (current)
        current->animate();
}

void GameModeManager::render() {
    // Without a current context (unit tests) the GL calls are no-ops of the
    // GL dispatch; the camera is still brought up to date.
    glLoadIdentity();
    if (currentCamera) {
        currentCamera->update();
        glLoadMatrixf(currentCamera->viewMatrix.m);
    }
    if (current)
        current->render();
}

void GameModeManager::renderOverlay() {
    if (current)
        current->renderOverlay();
}

} // namespace Vantor
