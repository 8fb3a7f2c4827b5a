// The exit code of the program for each way its main loop can end, with the
// App run as the entry point runs it, each time in a child process of its own.
#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Plugin.h"
#include "Core/platform/MessageBox.h"
#include "Core/platform/Messages.h"

#include "AppProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

using namespace Vantor;

namespace {

constexpr int windowSide = 96;
constexpr int postedQuitCode = 7;

enum class Ending { quitSet, windowClosed, quitPosted, terminated, errorInFrame, errorInInit };

// Presses a key in the first frame, so that the last message is a key press
// with a non-zero wParam, and ends the loop in the second frame.
class Ender : public Plugin {
public:
    explicit Ender(Ending how) : ending(how) {
        setPhases(kPhaseUpdate);
        registerPlugin();
    }

    void init() override {
        if (ending == Ending::errorInInit)
            throw Exception("the data is missing", "Ender::init", "AppExitTest", __LINE__);
    }

    void update() override {
        ++frame;
        if (frame == 1) {
            platform::postMessage(nullptr, platform::WM_KEYDOWN, 'A', 1);
            return;
        }
        if (frame != 2)
            return;
        switch (ending) {
        case Ending::quitSet: // as the main menu's quit entry does
            App::getInstance()->quit = true;
            break;
        case Ending::windowClosed:
            platform::postMessage(nullptr, platform::WM_CLOSE, 0, 0);
            break;
        case Ending::quitPosted:
            platform::postQuitMessage(postedQuitCode);
            break;
        case Ending::terminated:
            std::raise(SIGTERM);
            break;
        case Ending::errorInFrame:
            throw Exception("the frame failed", "Ender::update", "AppExitTest", __LINE__);
        case Ending::errorInInit:
            break;
        }
    }

private:
    Ending ending;
    int frame = 0;
};

[[noreturn]] void runUntil(Ending ending) {
    platform::setMessageBoxResponder([](const char* text, const char* caption, unsigned) {
        std::fprintf(stderr, "box \"%s\": %s\n", caption, text);
        return platform::IDOK;
    });
    static Ender ender(ending);
    test::runAppAndExit(windowSide);
}

TEST(AppExit, IsZeroForAnOrderlyEndAndFailureAfterAFatalError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* what;
        Ending ending;
        int code;
        const char* stderrPattern;
    } cases[] = {
        {"quit set", Ending::quitSet, 0, ""},
        {"window closed", Ending::windowClosed, 0, ""},
        {"quit posted with a code", Ending::quitPosted, postedQuitCode, ""},
        {"SIGTERM", Ending::terminated, 0, ""},
        {"error in a frame", Ending::errorInFrame, App::exitFailure, "FATAL ERROR : \nthe frame failed"},
        {"error in a plug-in's init", Ending::errorInInit, App::exitFailure, "FATAL ERROR : \nthe data is missing"},
    };
    for (const auto& c : cases)
        EXPECT_EXIT(runUntil(c.ending), testing::ExitedWithCode(c.code), c.stderrPattern) << c.what;
}

} // namespace
