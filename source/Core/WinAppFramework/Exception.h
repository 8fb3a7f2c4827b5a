// Exception: the engine's one error type for unrecoverable problems.
//
// Thrown by value with the message and the place that raised it: the
// qualified function name ("Vantor::XMLFile::load"), the source file as text
// ("source\modules\xml\XMLFile") and the line. Only the application's top
// level catches it.
#pragma once

#include "Core/ArrayList.h"
#include "Core/String.h"

namespace Vantor {

struct Exception {
    String message;
    String file;
    String function;
    int line = 0;

    Exception(const String& message, const char* function, const char* file, int line);
    Exception(const char* message, const char* function, const char* file, int line);
};

// Longest text a message box shows; longer texts are cut.
constexpr int messageTextLimit = 999;

// Formats printf-style and shows the text in a box owned by the GL window, with
// an empty caption and an OK button; returns when the user has closed it.
void showMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shows text as it stands (never as a format) in the box of showMessage.
void showMessageText(const char* text);

// The message of the "GL Error" exception for these GL error codes.
String describeGLErrors(const ArrayList<int>& codes);

// Throws the "GL Error" exception, one indented line per code in the order GL
// reported them, when OpenGL has errors pending; returns normally otherwise.
void checkGLError(const char* function, const char* file, int line);

} // namespace Vantor
