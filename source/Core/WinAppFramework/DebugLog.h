// DebugLog: a text log file, rewritten at every start.
//
// The file starts with a three-line header (the date day/month/two-digit
// year). Every print is one line. A log whose file cannot be created is off
// for good: nothing is written and no error is reported, so the program runs
// the same without it.
#pragma once

#include "Core/String.h"

#include <cstdio>

namespace Vantor {

class DebugLog {
public:
    // print formats at most one less than this many characters per line.
    static constexpr int printBufferSize = 2048;
    static constexpr int dateBufferSize = 10;
    static constexpr int timeBufferSize = 9;

    bool enabled = false;
    bool open = false;
    FILE* file = nullptr;
    String fileName;
    // Flush after every line, so a crash loses nothing.
    bool autoFlush = false;

    // Creates (or empties) the file and writes the header.
    DebugLog(const char* name, bool autoFlush);
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    // printf-style text, cut at printBufferSize - 1 characters, then a newline.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The characters of s as they are (no formatting), then a newline.
    void printString(const String& s);
    // Writes out what is buffered, for a caller about to block or crash.
    void flush();
};

} // namespace Vantor
