#include "TourBenchmark.h"

#include "FrameCapture.h"
#include "MainGM.h"

#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Time.h"
#include "Core/platform/Clock.h"
#include "Core/platform/File.h"
#include "Core/platform/Window.h"
#include "modules/model/Model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Vantor;

namespace {

double ticksToSeconds(std::int64_t ticks) { return double(ticks) / double(platform::queryPerformanceFrequency()); }

const char* glString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

bool writeText(const std::string& path, const std::string& text) {
    FILE* file = platform::openFile(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

TourBenchmark::TourBenchmark(const CommandLine& o, const Tour& t, std::string file, MainGM& city)
    : options(o), tour(t), tourFile(std::move(file)), scene(city) {
    step = tour.length() / double(options.frames);
    for (const TourSegment& segment : tour.segments)
        segmentNames.push_back(segment.name);
}

void TourBenchmark::start() {
    info.swapIntervalSet = platform::setSwapInterval(0);
    // After the App's own seeding, before the scene's models are made.
    std::srand(randomSeed);
    // Nothing moves until the first timed frame has been drawn.
    Time::getInstance()->setFixedStep(0.0);
    frameDelta = 0.0;
    scene.tour = &tour;
    scene.tourTime = 0.0;
    if (options.passTimes)
        scene.scene.passObserver = this;
    App::getInstance()->frameListener = this;
}

void TourBenchmark::readRunInfo() {
    info.vendor = glString(GL_VENDOR);
    info.renderer = glString(GL_RENDERER);
    info.version = glString(GL_VERSION);
    GLWindow* window = GLWindow::getInstance();
    platform::getClientSize(window->window, info.width, info.height);
    GLint sampleCount = 0;
    glGetIntegerv(GL_SAMPLES, &sampleCount);
    info.samples = sampleCount;
    if (options.samples > 0 && info.samples != options.samples) {
        samplesRefused = true;
        App::getInstance()->quit = true;
    }
    info.fullscreen = window->fullscreen;
    info.offscreen = platform::drawingOffscreen();
    info.warmupFrames = warmupFrames;
    info.tourSeconds = tour.length();
    info.tourFile = tourFile;
    // Fences keep the CPU near the GPU without draining it every frame.
    useFences = GLEW_ARB_sync || GLEW_VERSION_3_2;
}

void TourBenchmark::frameDrawn() {
    const int frame = timedFrame();
    if (frame < 0)
        return;
    frameTriangles = Model::drawnTriangles;
    captureSeconds = captureCpu = 0.0;
    for (const Capture& wanted : options.captures)
        if (wanted.frame == frame)
            capture(wanted.file);
}

void TourBenchmark::capture(const std::string& file) {
    // Drawing the frame counts; reading it back and writing the file do not.
    glFinish();
    const std::int64_t before = platform::queryPerformanceCounter();
    const double cpuBefore = platform::processCpuSeconds();
    platform::Window* window = GLWindow::getInstance()->window;
    platform::beginFrameRead(window);
    const std::vector<std::uint8_t> pixels = readFramePixels(info.width, info.height);
    platform::endFrameRead(window);
    std::string error;
    if (!writePNG(file, info.width, info.height, pixels, error) && captureError.empty())
        captureError = error;
    captureSeconds += ticksToSeconds(platform::queryPerformanceCounter() - before);
    captureCpu += platform::processCpuSeconds() - cpuBefore;
}

void TourBenchmark::passEnded(const char* pass, int light) {
    if (timedFrame() < 0)
        return;
    glFinish();
    const std::int64_t now = platform::queryPerformanceCounter();
    const std::int64_t since = now - passTick;
    passTick = now;
    if (std::string(pass) == "start")
        return;
    const std::string name = light >= 0 ? std::string(pass) + " " + std::to_string(light) : std::string(pass);
    auto known = std::find_if(passSeconds.begin(), passSeconds.end(),
                              [&name](const std::pair<std::string, double>& p) { return p.first == name; });
    if (known == passSeconds.end()) {
        passSeconds.emplace_back(name, 0.0);
        known = passSeconds.end() - 1;
    }
    known->second += ticksToSeconds(since);
}

void TourBenchmark::paceGPU() {
    if (!useFences) {
        glFinish();
        return;
    }
    fences.push_back(glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0));
    while (int(fences.size()) > maxFramesAhead) {
        glClientWaitSync(fences.front(), GL_SYNC_FLUSH_COMMANDS_BIT, GLuint64(10) * 1000000000);
        glDeleteSync(fences.front());
        fences.pop_front();
    }
}

void TourBenchmark::frameSwapped() {
    const int frame = timedFrame();
    if (loopFrame == 0)
        readRunInfo();
    if (frame < 0) {
        if (frame == -1) {
            // The last untimed frame: start the clocks on an idle GPU, and let
            // simulated time run from the first timed frame on.
            glFinish();
            Time::getInstance()->setFixedStep(step);
            startTick = previousTick = platform::queryPerformanceCounter();
            previousCpu = platform::processCpuSeconds();
        }
    } else {
        paceGPU();
        const std::int64_t now = platform::queryPerformanceCounter();
        const double cpu = platform::processCpuSeconds();
        FrameSample sample;
        sample.segment = tour.segmentAt(tourTimeOf(frame));
        sample.frameMs = (ticksToSeconds(now - previousTick) - captureSeconds) * 1000.0;
        sample.cpuMs = (cpu - previousCpu - captureCpu) * 1000.0;
        sample.triangles = frameTriangles;
        samples.push_back(sample);
        excludedSeconds += captureSeconds;
        previousTick = now;
        previousCpu = cpu;
        if (frame + 1 == options.frames) {
            glFinish();
            for (GLsync fence : fences)
                glDeleteSync(fence);
            fences.clear();
            seconds = ticksToSeconds(platform::queryPerformanceCounter() - startTick) - excludedSeconds;
            completed = true;
            App::getInstance()->quit = true;
        }
    }
    ++loopFrame;
    scene.tourTime = tourTimeOf(timedFrame());
}

int TourBenchmark::report(int appExitCode) {
    if (samplesRefused) {
        std::fprintf(stderr, "city: --samples %d: the driver gave %d samples instead\n", options.samples,
                     info.samples);
        return 2;
    }
    if (appExitCode != 0)
        return appExitCode;
    if (!completed) {
        std::fprintf(stderr, "city: the benchmark was stopped after %d of its %d frames; nothing written\n",
                     int(samples.size()), options.frames);
        return App::exitFailure;
    }
    BenchmarkResults results = summarise(info, segmentNames, samples, seconds);
    for (const auto& pass : passSeconds)
        results.passMs.emplace_back(pass.first, pass.second * 1000.0 / double(samples.size()));
    std::fputs(summaryText(results).c_str(), stdout);
    int code = 0;
    auto failed = [&code](const char* what) {
        std::fprintf(stderr, "city: %s\n", what);
        code = App::exitFailure;
    };
    if (!captureError.empty())
        failed(captureError.c_str());
    if (!options.results.empty()) {
        if (writeText(options.results, resultsJSON(results).dump(2) + "\n"))
            std::printf("results: %s\n", options.results.c_str());
        else
            failed(("cannot write the results to \"" + options.results + "\"").c_str());
    }
    if (!options.frameLog.empty()) {
        if (writeText(options.frameLog, frameLogCSV(segmentNames, samples)))
            std::printf("frame log: %s\n", options.frameLog.c_str());
        else
            failed(("cannot write the frame log to \"" + options.frameLog + "\"").c_str());
    }
    for (const Capture& c : options.captures)
        std::printf("frame %d: %s\n", c.frame, c.file.c_str());
    std::fflush(stdout);
    return code;
}
