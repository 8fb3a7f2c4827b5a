#include "Core/String.h"

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Vantor {

String::String() {
    chars.reserve(initialReserve);
    chars.resize(1);
    chars[0] = 0;
}

String::String(const char* text) : String() { assign(text); }

String::String(const String& other) : Object(), chars(other.chars), length(other.length) {}

String::String(String&& other) noexcept : Object(), chars(std::move(other.chars)), length(other.length) {
    other.chars.resize(1);
    other.chars[0] = 0;
    other.length = 0;
}

String& String::operator=(const String& other) {
    if (this != &other) {
        chars = other.chars;
        length = other.length;
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        chars = std::move(other.chars);
        length = other.length;
        other.chars.resize(1);
        other.chars[0] = 0;
        other.length = 0;
    }
    return *this;
}

void String::setLength(int n) {
    chars.resize(unsigned(n) + 1);
    chars[unsigned(n)] = 0;
    length = n;
}

String& String::assign(const char* text) { return assign(text, text ? int(std::strlen(text)) : 0); }

String& String::assign(const char* text, int count) {
    if (text >= chars.data && text < chars.data + chars.size) {
        // Assigning part of ourselves: take a copy before the storage moves.
        String copy;
        copy.assign(text, count);
        return *this = std::move(copy);
    }
    setLength(count);
    if (count > 0)
        std::memcpy(chars.data, text, size_t(count));
    return *this;
}

String& String::append(const String& other) {
    if (&other == this) {
        String copy(other);
        return append(copy.chars.data, copy.length);
    }
    return append(other.chars.data, other.length);
}

String& String::append(const char* text) { return append(text, text ? int(std::strlen(text)) : 0); }

String& String::append(const char* text, int count) {
    if (count <= 0)
        return *this;
    if (text >= chars.data && text < chars.data + chars.size) {
        String copy;
        copy.assign(text, count);
        return append(copy.chars.data, copy.length);
    }
    int start = length;
    setLength(length + count);
    std::memcpy(chars.data + start, text, size_t(count));
    return *this;
}

String& String::append(char c) {
    setLength(length + 1);
    chars[unsigned(length - 1)] = c;
    return *this;
}

String& String::appendFormat(const char* format, ...) {
    char buffer[formatBufferSize];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written < 0)
        return *this;
    return append(buffer, written < formatBufferSize ? written : formatBufferSize - 1);
}

String String::operator+(const String& other) const {
    String result(*this);
    result.append(other);
    return result;
}

String String::substring(int from, int to) const {
    if (from < 0)
        from = 0;
    if (to > length)
        to = length;
    String result;
    if (to > from)
        result.assign(chars.data + from, to - from);
    return result;
}

String& String::insert(int position, const String& other) {
    if (position < 0)
        position = 0;
    if (position > length)
        position = length;
    if (&other == this) {
        String copy(other);
        return insert(position, copy);
    }
    int oldLength = length;
    setLength(length + other.length);
    std::memmove(chars.data + position + other.length, chars.data + position, size_t(oldLength - position));
    std::memcpy(chars.data + position, other.chars.data, size_t(other.length));
    return *this;
}

bool String::operator==(const String& other) const {
    return length == other.length && std::memcmp(chars.data, other.chars.data, size_t(length)) == 0;
}

bool String::operator==(const char* text) const {
    if (!text)
        return length == 0;
    return std::strlen(text) == size_t(length) && std::memcmp(chars.data, text, size_t(length)) == 0;
}

int String::find(int start, const String& pattern) const {
    if (start < 0)
        start = 0;
    if (start >= length || start + pattern.length > length || pattern.length == 0)
        return -1;
    // Every start position is tried, so a match that begins inside a
    // partial match is found.
    for (int p = start; p + pattern.length <= length; ++p) {
        if (std::memcmp(chars.data + p, pattern.chars.data, size_t(pattern.length)) == 0)
            return p;
    }
    return -1;
}

namespace {

// The number conversions return 0 only for text that really starts with a
// digit; anything else that converts to 0 gives the caller's default.
bool startsWithDigit(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    return std::isdigit(static_cast<unsigned char>(*text)) != 0;
}

} // namespace

int String::toInt(int def) const {
    int r = std::atoi(chars.data);
    if (r != 0)
        return r;
    return startsWithDigit(chars.data) ? 0 : def;
}

float String::toFloat(float def) const {
    float r = float(std::atof(chars.data));
    if (r != 0)
        return r;
    return startsWithDigit(chars.data) ? 0.0f : def;
}

bool String::write(FILE* file) const {
    if (length == 0)
        return true;
    return std::fwrite(chars.data, 1, size_t(length), file) == size_t(length);
}

bool String::readCounted(FILE* file) {
    unsigned char word[4];
    if (std::fread(word, 1, 4, file) != 4)
        return false;
    int32_t count = int32_t(uint32_t(word[0]) | uint32_t(word[1]) << 8 | uint32_t(word[2]) << 16 |
                            uint32_t(word[3]) << 24);
    if (count < 0)
        return false;
    // Read in pieces, so that a corrupt length cannot make us allocate more
    // than the file actually holds.
    String text;
    char buffer[4096];
    int remaining = count;
    while (remaining > 0) {
        size_t want = remaining < int(sizeof buffer) ? size_t(remaining) : sizeof buffer;
        size_t got = std::fread(buffer, 1, want, file);
        text.append(buffer, int(got));
        if (got != want)
            return false;
        remaining -= int(got);
    }
    *this = std::move(text);
    return true;
}

void String::readAll(FILE* file) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        append(buffer, int(got));
}

} // namespace Vantor
