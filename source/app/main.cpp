// The program's entry point: asks whether to run full screen, starts the App
// with the city scene and returns the App's exit code.
#include "MainGM.h"

#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/FPSCounter.h"
#include "Core/WinAppFramework/GameMode.h"
#include "Core/platform/MessageBox.h"

#include <chrono>

namespace {

constexpr int windowWidth = 1024;
constexpr int windowHeight = 768;
constexpr int colourBits = 32;
constexpr int requestedBits = 32;

// Lives for the whole run; the game-mode manager never deletes modes.
MainGM cityScene;

} // namespace

int main(int, char**) {
    using namespace Vantor;
    cityScene.startedAt = std::chrono::steady_clock::now();
    int answer = platform::messageBox(nullptr,
                                      "Would you like to run fullscreen?\nnote: this may not work on some displays",
                                      "Run Fullscreen?", platform::MB_YESNO | platform::MB_ICONQUESTION);
    bool fullscreen = answer != platform::IDNO;
    cityScene.answeredAt = std::chrono::steady_clock::now();

    App* app = App::getInstance();
    FPSCounter::getInstance();
    GameModeManager::getInstance()->setNext(&cityScene);
    app->run(nullptr, nullptr, nullptr, 0, windowWidth, windowHeight, colourBits, requestedBits, fullscreen);
    return app->shutdown();
}
