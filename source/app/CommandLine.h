// The program's command line: GNU-style long options for the unattended
// benchmark. Without arguments the program runs interactively as ever.
//
// parseCommandLine reads the words; prepareRun then checks everything the
// words name against the file system (the data folder, the configuration,
// its tour, the files to write), so that a bad command line is refused
// before any window opens: one line on standard error, exit code 2, and no
// file written.
#pragma once

#include "Tour.h"

#include <string>
#include <vector>

struct Capture {
    int frame = 0;
    std::string file;
};

struct CommandLine {
    // Bounds of --size and --frames; beyond them a value is taken as a mistake.
    static constexpr int minWidth = 320, minHeight = 240;
    static constexpr int maxWidth = 7680, maxHeight = 4320;
    static constexpr int maxFrames = 1000000;
    // Frames per second of tour time when --frames is not given.
    static constexpr int defaultFramesPerSecond = 60;
    static constexpr const char* exitCodeNote = "exit codes: 0 done, 1 a fatal error during the run, 2 a bad command line";

    bool benchmark = false;
    int width = 1024, height = 768;
    bool fullscreen = false;
    bool offscreen = false;
    bool passTimes = false;
    int samples = 0; // 0, 2, 4, 8 or 16
    int frames = 0; // 0: defaultFramesPerSecond over the whole tour
    std::string results;
    std::string frameLog;
    std::vector<Capture> captures;
    std::string config; // empty: the working folder's "config files/init.xml"
    std::string data;   // empty: the working folder
};

struct ParsedCommandLine {
    // True when the program should go on and run; otherwise it exits with
    // exitCode after printing output (help, version) or error.
    bool run = false;
    int exitCode = 0;
    std::string output; // for standard output
    std::string error;  // one line for standard error
    CommandLine options;
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv);

// Checks a parsed benchmark command line against the file system and makes
// its paths absolute; on success the data folder is the working folder, the
// tour is loaded and options.frames is set. On failure returns false with
// one line in error (nothing has been written).
bool prepareRun(CommandLine& options, Tour& tour, std::string& tourFile, std::string& error);
