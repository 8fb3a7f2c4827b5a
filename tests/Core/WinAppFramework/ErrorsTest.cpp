// Error texts, and the program's end when its window cannot be created.
#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Plugin.h"

#include "AppProcess.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace Vantor;

TEST(Errors, GLErrorTextHasOneIndentedLinePerCodeInOrder) {
    ArrayList<int> codes;
    codes.add(GL_INVALID_VALUE);
    codes.add(GL_INVALID_ENUM);
    EXPECT_STREQ(describeGLErrors(codes).c_str(),
                 "GL Error\n"
                 "        invalid value\n"
                 "        invalid enumerant\n");
}

TEST(Errors, FatalErrorTextLinesUpFunctionFileAndLine) {
    Exception e("Disk 100% full", "Vantor::XMLFile::load", "source\\modules\\xml\\XMLFile", 36);
    EXPECT_STREQ(App::fatalErrorText(e).c_str(),
                 "FATAL ERROR : \n"
                 "Disk 100% full\n"
                 "\n"
                 "Function : Vantor::XMLFile::load\n"
                 "File :      source\\modules\\xml\\XMLFile\n"
                 "Line :      36");
}

TEST(Errors, ExceptionCarriesMessageAndPlace) {
    Exception e(String("boom"), "Vantor::App::mainLoop", "source\\Core\\WinAppFramework\\winApp", 248);
    Exception copy = e;
    EXPECT_STREQ(copy.message.c_str(), "boom");
    EXPECT_STREQ(copy.function.c_str(), "Vantor::App::mainLoop");
    EXPECT_STREQ(copy.file.c_str(), "source\\Core\\WinAppFramework\\winApp");
    EXPECT_EQ(copy.line, 248);
}

namespace {

// Plug-ins load textures and fonts: without a GL context none may start or stop.
class NeedsGL : public Plugin {
public:
    NeedsGL() { registerPlugin(); }
    void init() override { std::abort(); }
    void shutdown() override { std::abort(); }
};

} // namespace

// With no display to open (and no video driver chosen by the user) the window
// cannot be created: the program says so and ends with failure, touching no GL
// on the way, instead of drawing unseen into an offscreen driver.
TEST(Errors, WithoutADisplayTheProgramSaysSoAndExitsWithFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto runHeadless = [] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        static NeedsGL plugin;
        test::runAppAndExit(App::startWidth);
    };
    EXPECT_EXIT(runHeadless(), testing::ExitedWithCode(App::exitFailure), "Can't create the window");
}
