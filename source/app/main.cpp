// The program's entry point. Without arguments it asks whether to run full
// screen, starts the App with the city scene and returns the App's exit code.
// With a command line (CommandLine.h) it can also run the camera tour
// unattended (`city --benchmark`) and report its figures.
#include "CommandLine.h"
#include "MainGM.h"
#include "TourBenchmark.h"

#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/FPSCounter.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/GameMode.h"
#include "Core/platform/MessageBox.h"
#include "Core/platform/Window.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr int windowWidth = 1024;
constexpr int windowHeight = 768;
constexpr int colourBits = 32;
constexpr int requestedBits = 32;

// Lives for the whole run; the game-mode manager never deletes modes.
MainGM cityScene;

bool askFullscreen() {
    using namespace Vantor;
    int answer = platform::messageBox(nullptr,
                                      "Would you like to run fullscreen?\nnote: this may not work on some displays",
                                      "Run Fullscreen?", platform::MB_YESNO | platform::MB_ICONQUESTION);
    return answer != platform::IDNO;
}

int runCity(int width, int height, bool fullscreen, TourBenchmark* benchmark) {
    using namespace Vantor;
    App* app = App::getInstance();
    if (!GLWindow::getInstance()->created && benchmark) {
        // The box has said that the window could not be made; this says why.
        // A sample count the driver cannot give is the user's to change.
        if (App::startSamples > 0) {
            std::fprintf(stderr, "city: --samples %d: %s\n", App::startSamples, platform::lastError());
            app->shutdown();
            return 2;
        }
        std::fprintf(stderr, "city: %s\n", platform::lastError());
    }
    FPSCounter::getInstance();
    GameModeManager::getInstance()->setNext(&cityScene);
    if (benchmark)
        benchmark->start();
    app->run(nullptr, nullptr, nullptr, 0, width, height, colourBits, requestedBits, fullscreen);
    const int code = app->shutdown();
    return benchmark ? benchmark->report(code) : code;
}

// An unattended run shows no box: its text goes to standard error, and the
// box is answered as a user who only reads it would answer.
void messagesToStandardError() {
    Vantor::platform::setMessageBoxResponder([](const char* text, const char* caption, unsigned type) {
        if (caption && *caption)
            std::fprintf(stderr, "city: %s: %s\n", caption, text);
        else
            std::fprintf(stderr, "city: %s\n", text);
        return (type & 0x0F) == Vantor::platform::MB_YESNO ? Vantor::platform::IDNO : Vantor::platform::IDOK;
    });
}

} // namespace

int main(int argc, char** argv) {
    cityScene.startedAt = std::chrono::steady_clock::now();
    if (argc <= 1) {
        const bool fullscreen = askFullscreen();
        cityScene.answeredAt = std::chrono::steady_clock::now();
        return runCity(windowWidth, windowHeight, fullscreen, nullptr);
    }

    ParsedCommandLine parsed = parseCommandLine(argc, argv);
    std::fputs(parsed.output.c_str(), stdout);
    if (!parsed.error.empty())
        std::fprintf(stderr, "city: %s\n", parsed.error.c_str());
    if (!parsed.run)
        return parsed.exitCode;
    CommandLine& options = parsed.options;
    Tour tour;
    std::string tourFile, error;
    if (!prepareRun(options, tour, tourFile, error)) {
        std::fprintf(stderr, "city: %s\n", error.c_str());
        return 2;
    }
    if (!options.config.empty())
        cityScene.configFile = options.config.c_str();
    Vantor::App::startSamples = options.samples;

    if (!options.benchmark) {
        const bool fullscreen = options.fullscreen || askFullscreen();
        cityScene.answeredAt = std::chrono::steady_clock::now();
        return runCity(options.width, options.height, fullscreen, nullptr);
    }
    messagesToStandardError();
    if (options.offscreen && !Vantor::platform::setOffscreenDrawing()) {
        std::fprintf(stderr, "city: --offscreen: the video system already runs on a display\n");
        return 1;
    }
    TourBenchmark benchmark(options, tour, tourFile, cityScene);
    return runCity(options.width, options.height, options.fullscreen, &benchmark);
}
