#include "Core/WinAppFramework/Exception.h"

namespace Vantor {

Exception::Exception(const String& msg, const char* func, const char* sourceFile, int sourceLine)
    : message(msg), file(sourceFile), function(func), line(sourceLine) {}

Exception::Exception(const char* msg, const char* func, const char* sourceFile, int sourceLine)
    : message(msg), file(sourceFile), function(func), line(sourceLine) {}

} // namespace Vantor
