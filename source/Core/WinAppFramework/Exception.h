// Exception: the engine's one error type for unrecoverable problems.
//
// Thrown by value with the message and the place that raised it: the
// qualified function name ("Vantor::XMLFile::load"), the source file as text
// ("source\modules\xml\XMLFile") and the line. Only the application's top
// level catches it.
#pragma once

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

} // namespace Vantor
