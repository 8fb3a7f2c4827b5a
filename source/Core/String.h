// String: the engine's text type, built on ArrayList<char>.
//
// The characters are kept zero-terminated at all times (chars.size is always
// length + 1), so c_str() can go to C, OpenGL and system calls without a copy.
// Strings are reference-counted Objects so that SPtr<String> can share them.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Object.h"

#include <cstdio>

namespace Vantor {

class String : public Object {
public:
    // Read-only for callers; the member functions keep them consistent.
    ArrayList<char> chars;
    int length = 0;

    static constexpr unsigned initialReserve = 16;
    // appendFormat formats into a buffer of this size, so appends at most one less.
    static constexpr int formatBufferSize = 1024;

    String();
    String(const char* text);
    String(const String& other);
    String(String&& other) noexcept;
    ~String() override = default;

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text) { return assign(text); }
    String& assign(const char* text);
    String& assign(const char* text, int count);

    String& append(const String& other);
    String& append(const char* text);
    String& append(const char* text, int count);
    String& append(char c);
    // printf-style; output past formatBufferSize - 1 characters is cut off.
    String& appendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

    String operator+(const String& other) const;

    // The characters from index from up to, not including, to (clamped to the text).
    String substring(int from, int to) const;
    // Moves the characters from position on right and copies other in there.
    String& insert(int position, const String& other);

    bool operator==(const String& other) const;
    bool operator!=(const String& other) const { return !(*this == other); }
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }

    // Index of the first occurrence of pattern at or after start, or -1.
    int find(int start, const String& pattern) const;

    // The decimal value of the text, or def when the text is not a number.
    // 0 is returned only when the text, after leading white space, starts
    // with a digit, so "", "abc" and "-0" give def.
    int toInt(int def) const;
    float toFloat(float def) const;

    // Writes the characters without terminator or length; true when all were written.
    bool write(FILE* file) const;
    // Reads a 32-bit little-endian length, then that many characters.
    // False (and the string unchanged) when the length is negative or the file ends early.
    bool readCounted(FILE* file);
    // Appends every remaining character of the file.
    void readAll(FILE* file);

    const char* c_str() const { return chars.data; }
    char operator[](int i) const { return chars.data[i]; }
    bool empty() const { return length == 0; }

private:
    void setLength(int n);
};

} // namespace Vantor
