#include "CommandLine.h"

#include "Core/platform/File.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const char* const programVersion = "city 0.1.0";

// A whole decimal integer in [low, high], or false.
bool readInteger(const std::string& text, long low, long high, long& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '+'))
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == 0 && value >= low && value <= high;
}

std::string sizeError(const std::string& text) {
    return "--size: \"" + text + "\" is not WIDTHxHEIGHT between " + std::to_string(CommandLine::minWidth) + "x" +
           std::to_string(CommandLine::minHeight) + " and " + std::to_string(CommandLine::maxWidth) + "x" +
           std::to_string(CommandLine::maxHeight);
}

bool readSize(const std::string& text, CommandLine& options, std::string& error) {
    const size_t x = text.find('x');
    long width = 0, height = 0;
    if (x == std::string::npos ||
        !readInteger(text.substr(0, x), CommandLine::minWidth, CommandLine::maxWidth, width) ||
        !readInteger(text.substr(x + 1), CommandLine::minHeight, CommandLine::maxHeight, height)) {
        error = sizeError(text);
        return false;
    }
    options.width = int(width);
    options.height = int(height);
    return true;
}

bool readCapture(const std::string& text, CommandLine& options, std::string& error) {
    const size_t colon = text.find(':');
    long frame = 0;
    if (colon == std::string::npos || colon + 1 == text.size() ||
        !readInteger(text.substr(0, colon), 0, CommandLine::maxFrames - 1, frame)) {
        error = "--capture: \"" + text + "\" is not FRAME:FILE with a frame number from 0";
        return false;
    }
    options.captures.push_back({int(frame), text.substr(colon + 1)});
    return true;
}

// The path made absolute against the folder the program was started in, so
// that --data does not move the files the user named.
std::string absolute(const std::string& path) {
    return path.empty() ? path : std::string(Vantor::platform::absolutePath(path.c_str()).c_str());
}

bool checkWritable(const char* option, const std::string& path, std::string& error) {
    Vantor::String why;
    if (Vantor::platform::canWriteFile(path.c_str(), why))
        return true;
    error = std::string(option) + ": cannot write \"" + path + "\": " + why.c_str();
    return false;
}

} // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    CommandLine& o = parsed.options;
    CLI::App cli("The city scene and its benchmark. Without options it starts the interactive program, which asks "
                 "whether to run full screen; --benchmark runs the camera tour unattended and reports its figures.",
                 "city");
    cli.footer(CommandLine::exitCodeNote);
    cli.set_version_flag("--version", programVersion);
    std::string size, frames, samples;
    std::vector<std::string> captures;
    cli.add_flag("--benchmark", o.benchmark, "Run the camera tour unattended, print a summary and exit");
    cli.add_option("--size", size, "Window size WIDTHxHEIGHT (default 1024x768)")->type_name("WxH");
    cli.add_flag("--fullscreen", o.fullscreen, "Run full screen (the interactive program asks no question then)");
    cli.add_flag("--offscreen", o.offscreen, "With --benchmark: draw without a window system (EGL), into a "
                                             "framebuffer object of the size asked");
    cli.add_flag("--pass-times", o.passTimes, "With --benchmark: finish each pass of the scene before the next and "
                                              "report the milliseconds of each (slows the run: its FPS do not compare)");
    cli.add_option("--samples", samples, "Multisampled drawing with N samples: 0, 2, 4, 8 or 16 (default 0)")
        ->type_name("N");
    cli.add_option("--frames", frames, "Draw the tour in N frames spread evenly over its length (default: 60 per "
                                       "second of tour time)")
        ->type_name("N");
    cli.add_option("--results", o.results, "Write the results as JSON to FILE")->type_name("FILE");
    cli.add_option("--frame-log", o.frameLog, "Write one CSV line per timed frame to FILE")->type_name("FILE");
    cli.add_option("--capture", captures, "Save frame N of the tour (from 0) as a PNG file; may be repeated")
        ->type_name("N:FILE")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cli.add_option("--config", o.config, "Scene configuration to read instead of \"config files/init.xml\"; the "
                                         "tour is \"tour.xml\" beside it")
        ->type_name("FILE");
    cli.add_option("--data", o.data, "Folder to run in (default: the working folder)")->type_name("DIR");

    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        parsed.output = cli.help();
        return parsed;
    } catch (const CLI::CallForVersion&) {
        parsed.output = std::string(programVersion) + "\n";
        return parsed;
    } catch (const CLI::ParseError& e) {
        parsed.exitCode = 2;
        parsed.error = e.what();
        return parsed;
    }
    parsed.exitCode = 2;
    if (!size.empty() && !readSize(size, o, parsed.error))
        return parsed;
    if (!samples.empty()) {
        long n = -1;
        if (!readInteger(samples, 0, 16, n) || (n != 0 && n != 2 && n != 4 && n != 8 && n != 16)) {
            parsed.error = "--samples: \"" + samples + "\" is not 0, 2, 4, 8 or 16";
            return parsed;
        }
        o.samples = int(n);
    }
    if (!frames.empty()) {
        long n = 0;
        if (!readInteger(frames, 1, CommandLine::maxFrames, n)) {
            parsed.error = "--frames: \"" + frames + "\" is not a whole number from 1 to " +
                           std::to_string(CommandLine::maxFrames);
            return parsed;
        }
        o.frames = int(n);
    }
    for (const std::string& capture : captures)
        if (!readCapture(capture, o, parsed.error))
            return parsed;
    if (!o.benchmark) {
        const char* needsBenchmark = o.offscreen           ? "--offscreen"
                                     : o.passTimes         ? "--pass-times"
                                     : !frames.empty()     ? "--frames"
                                     : !o.results.empty()  ? "--results"
                                     : !o.frameLog.empty() ? "--frame-log"
                                     : !captures.empty()   ? "--capture"
                                                           : nullptr;
        if (needsBenchmark) {
            parsed.error = std::string(needsBenchmark) + " needs --benchmark";
            return parsed;
        }
    }
    parsed.exitCode = 0;
    parsed.run = true;
    return parsed;
}

bool prepareRun(CommandLine& o, Tour& tour, std::string& tourFile, std::string& error) {
    using namespace Vantor::platform;
    o.results = absolute(o.results);
    o.frameLog = absolute(o.frameLog);
    for (Capture& capture : o.captures)
        capture.file = absolute(capture.file);
    o.config = absolute(o.config);
    if (!o.data.empty()) {
        if (!isDirectory(o.data.c_str())) {
            error = "--data: \"" + o.data + "\" is not a folder";
            return false;
        }
        if (!changeDirectory(o.data.c_str())) {
            error = "--data: cannot work in \"" + o.data + "\": " + std::strerror(errno);
            return false;
        }
    }
    const std::string config = o.config.empty() ? std::string("config files/init.xml") : o.config;
    if (!isRegularFile(config.c_str())) {
        error = (o.config.empty() ? std::string("no scene configuration \"") + config + "\" in the data folder"
                                  : "--config: \"" + config + "\" is not a file");
        return false;
    }
    if (!o.benchmark)
        return true;

    tourFile = std::string(absolutePath(parentPath(config.c_str()).c_str()).c_str()) + "/tour.xml";
    if (!isRegularFile(tourFile.c_str())) {
        error = "no tour \"" + tourFile + "\" beside the scene configuration";
        return false;
    }
    if (!tour.load(tourFile.c_str(), error))
        return false;
    if (o.frames == 0) {
        const double frames = std::round(tour.length() * CommandLine::defaultFramesPerSecond);
        o.frames = int(std::max(1.0, std::min(frames, double(CommandLine::maxFrames))));
    }
    for (const Capture& capture : o.captures)
        if (capture.frame >= o.frames) {
            error = "--capture: the tour has frames 0 to " + std::to_string(o.frames - 1) + ", not frame " +
                    std::to_string(capture.frame);
            return false;
        }
    if (!o.results.empty() && !checkWritable("--results", o.results, error))
        return false;
    if (!o.frameLog.empty() && !checkWritable("--frame-log", o.frameLog, error))
        return false;
    for (const Capture& capture : o.captures)
        if (!checkWritable("--capture", capture.file, error))
            return false;
    return true;
}
