#include "Core/WinAppFramework/Exception.h"

#include "Core/ArrayList.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/platform/MessageBox.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Vantor {

namespace {

constexpr int maxGLErrorsPerCheck = 255;
const char* const glErrorIndent = "        ";

// Error codes read by the last checkGLError that found any.
ArrayList<int> pendingGLErrors;

} // namespace

Exception::Exception(const String& msg, const char* func, const char* sourceFile, int sourceLine)
    : message(msg), file(sourceFile), function(func), line(sourceLine) {}

Exception::Exception(const char* msg, const char* func, const char* sourceFile, int sourceLine)
    : message(msg), file(sourceFile), function(func), line(sourceLine) {}

void showMessageText(const char* text) {
    String shown;
    shown.assign(text, int(strnlen(text, messageTextLimit)));
    platform::messageBox(GLWindow::getInstance()->window, shown.c_str(), "", platform::MB_OK);
}

void showMessage(const char* format, ...) {
    char text[messageTextLimit + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    platform::messageBox(GLWindow::getInstance()->window, text, "", platform::MB_OK);
}

void checkGLError(const char* function, const char* file, int line) {
    for (int i = 0; i < maxGLErrorsPerCheck; ++i) {
        GLenum code = glGetError();
        if (code == GL_NO_ERROR)
            break;
        pendingGLErrors.add(int(code));
    }
    if (pendingGLErrors.size == 0)
        return;
    String text = describeGLErrors(pendingGLErrors);
    pendingGLErrors.resize(0);
    throw Exception(text, function, file, line);
}

String describeGLErrors(const ArrayList<int>& codes) {
    String text("GL Error\n");
    for (int code : codes) {
        const GLubyte* description = gluErrorString(GLenum(code));
        text.append(glErrorIndent);
        if (description)
            text.append(reinterpret_cast<const char*>(description));
        else
            text.appendFormat("GL error 0x%04X", unsigned(code));
        text.append('\n');
    }
    return text;
}

} // namespace Vantor
