#include "Core/platform/File.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace Vantor::platform {

namespace {

// A text-mode read stream is the whole file, read at open with every CR LF
// pair turned into LF, served from memory through a stdio cookie stream.
// Positions (ftell, fseek) count the characters the stream delivers, so the
// size found by seeking to the end is what a read will return.
struct TextStream {
    std::string text;
    size_t position = 0;
};

ssize_t readText(void* cookie, char* buffer, size_t size) {
    TextStream* stream = static_cast<TextStream*>(cookie);
    size_t n = std::min(size, stream->text.size() - stream->position);
    std::memcpy(buffer, stream->text.data() + stream->position, n);
    stream->position += n;
    return ssize_t(n);
}

int seekText(void* cookie, off64_t* offset, int whence) {
    TextStream* stream = static_cast<TextStream*>(cookie);
    off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off64_t(stream->position) : off64_t(stream->text.size());
    off64_t target = base + *offset;
    if (target < 0)
        return -1;
    stream->position = std::min(size_t(target), stream->text.size());
    *offset = off64_t(stream->position);
    return 0;
}

int closeText(void* cookie) {
    delete static_cast<TextStream*>(cookie);
    return 0;
}

// Reads all of file into a new TextStream, dropping the CR of each CR LF pair.
TextStream* readTextStream(FILE* file) {
    TextStream* stream = new TextStream;
    char buffer[4096];
    size_t n;
    bool pendingCr = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (size_t i = 0; i < n; ++i) {
            if (pendingCr && buffer[i] != '\n')
                stream->text.push_back('\r');
            pendingCr = buffer[i] == '\r';
            if (!pendingCr)
                stream->text.push_back(buffer[i]);
        }
    }
    if (pendingCr)
        stream->text.push_back('\r');
    return stream;
}

} // namespace

String nativePath(const char* enginePath) {
    String path(enginePath);
    for (int i = 0; i < path.length; ++i)
        if (path.chars[unsigned(i)] == '\\')
            path.chars[unsigned(i)] = '/';
    return path;
}

FILE* openFile(const char* enginePath, const char* mode) {
    if (!enginePath || !mode)
        return nullptr;
    char stdioMode[8];
    size_t n = 0;
    for (const char* m = mode; *m && n + 1 < sizeof stdioMode; ++m)
        if (*m != 't')
            stdioMode[n++] = *m;
    stdioMode[n] = 0;

    String path = nativePath(enginePath);
    FILE* file = std::fopen(path.c_str(), stdioMode);
    bool textRead = file && stdioMode[0] == 'r' && !std::strchr(stdioMode, 'b') && !std::strchr(stdioMode, '+');
    if (!textRead)
        return file;

    TextStream* stream = readTextStream(file);
    std::fclose(file);
    cookie_io_functions_t functions = {readText, nullptr, seekText, closeText};
    FILE* text = fopencookie(stream, "r", functions);
    if (!text)
        delete stream;
    return text;
}

} // namespace Vantor::platform
