#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/Exception.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

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
