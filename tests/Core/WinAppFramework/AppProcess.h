// Runs the App in a death-test child the way the program's entry point does,
// and ends the child with shutdown's exit code, so that a test sees the exit
// code the program would end with.
#pragma once

#include "Core/WinAppFramework/App.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace Vantor::test {

constexpr int appColourBits = 32;

// Makes a fresh directory the working directory, for the App's log, and
// removes it at exit.
inline void enterScratchDirectory() {
    static std::string directory;
    char pattern[] = "/tmp/vantor_app_XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) {
        std::perror("scratch directory");
        std::_Exit(EXIT_FAILURE);
    }
    directory = pattern;
    std::atexit([] {
        unlink((directory + "/" + App::logFileName).c_str());
        if (chdir("/") == 0)
            rmdir(directory.c_str());
    });
}

// Starts the App, runs it windowed at side x side and exits with shutdown's code.
[[noreturn]] inline void runAppAndExit(int side) {
    enterScratchDirectory();
    App* app = App::getInstance();
    app->run(nullptr, nullptr, nullptr, 0, side, side, appColourBits, appColourBits, false);
    std::exit(app->shutdown());
}

} // namespace Vantor::test
