#include "Core/platform/File.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
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

bool isRegularFile(const char* path) {
    struct stat status;
    return path && stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

bool isDirectory(const char* path) {
    struct stat status;
    return path && stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

String absolutePath(const char* path) {
    if (!path || !*path)
        return String();
    if (path[0] == '/')
        return String(path);
    char folder[PATH_MAX];
    if (!getcwd(folder, sizeof folder))
        return String();
    String joined(folder);
    joined.append("/");
    joined.append(path);
    return joined;
}

String parentPath(const char* path) {
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    if (!slash)
        return String(".");
    if (slash == path)
        return String("/");
    String folder;
    folder.assign(path, int(slash - path));
    return folder;
}

bool changeDirectory(const char* path) { return path && chdir(path) == 0; }

bool canWriteFile(const char* path, String& message) {
    if (!path || !*path) {
        message = "no file name";
        return false;
    }
    if (isDirectory(path)) {
        message = "it is a folder";
        return false;
    }
    const bool existed = access(path, F_OK) == 0;
    const int fd = open(path, O_WRONLY | O_CREAT, 0644);
    if (fd < 0) {
        message = std::strerror(errno);
        return false;
    }
    close(fd);
    if (!existed)
        unlink(path);
    return true;
}

} // namespace Vantor::platform
