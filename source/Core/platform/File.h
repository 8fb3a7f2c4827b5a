// Opening the engine's files on this platform.
//
// The engine names its files with backslash paths relative to the working
// directory ("config files\init.xml"). openFile turns them into slash paths
// and gives text-mode reads the line-end handling of the engine's original
// platform: a CR LF pair reads as a single LF.
#pragma once

#include "Core/String.h"

#include <cstdio>

namespace Vantor::platform {

// The path with every backslash turned into a slash.
String nativePath(const char* enginePath);

// fopen with stdio modes. A read mode without 'b' ("r", "rt") is text mode: the
// file is read whole at open and CR LF reads as LF, and positions count the
// characters delivered. 't' is accepted and dropped. Returns null when the
// file cannot be opened. Close the result with fclose.
FILE* openFile(const char* enginePath, const char* mode);

// Native paths (slashes, relative to the working directory or absolute).
bool isRegularFile(const char* path);
bool isDirectory(const char* path);
// The path made absolute against the working directory; empty on failure.
String absolutePath(const char* path);
// The folder part of a path ("a/b/c.xml" gives "a/b", "c.xml" gives ".").
String parentPath(const char* path);
// Makes path the working directory; false with errno set on failure.
bool changeDirectory(const char* path);
// True when a file could be written at path: it is opened for writing
// without being truncated, and removed again when the call created it.
// Otherwise false, with the system's reason in message.
bool canWriteFile(const char* path, String& message);

} // namespace Vantor::platform
