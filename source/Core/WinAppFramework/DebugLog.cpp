#include "Core/WinAppFramework/DebugLog.h"

#include "Core/platform/File.h"

#include <cstdarg>
#include <ctime>

namespace Vantor {

DebugLog::DebugLog(const char* name, bool flushEveryLine) : fileName(name), autoFlush(flushEveryLine) {
    file = platform::openFile(name, "wt");
    if (!file)
        return;
    open = true;
    enabled = true;

    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char date[dateBufferSize];
    char clock[timeBufferSize];
    std::strftime(date, sizeof date, "%d/%m/%y", &local);
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);

    print("DebugLog file\n");
    print("created: %s %s\n", date, clock);
    print("________________________________\n\n");
}

DebugLog::~DebugLog() {
    // Closed whenever it was opened, also if someone turned the log off meanwhile.
    if (open)
        std::fclose(file);
}

void DebugLog::print(const char* format, ...) {
    if (!open || !enabled)
        return;
    char buffer[printBufferSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        n = 0;
    if (n > printBufferSize - 1)
        n = printBufferSize - 1;
    std::fwrite(buffer, 1, size_t(n), file);
    std::fputc('\n', file);
    if (autoFlush)
        std::fflush(file);
}

void DebugLog::printString(const String& s) {
    if (!open || !enabled)
        return;
    s.write(file);
    std::fputc('\n', file);
    if (autoFlush)
        std::fflush(file);
}

void DebugLog::flush() {
    if (open)
        std::fflush(file);
}

} // namespace Vantor
