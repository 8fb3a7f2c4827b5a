// TourBenchmark: the unattended benchmark run of `city --benchmark`.
//
// It drives the city scene's tour camera through the tour in a fixed number
// of frames and times them at the main loop's buffer swaps. Simulated time
// moves by a fixed step per frame (the tour's length over the frames), so
// every run draws the same frames; the wall clock only measures. The tour's
// first frame is drawn warmupFrames times untimed first (the first of them
// also loads the scene); the CPU may then run at most maxFramesAhead frames
// ahead of the GPU, and the run's time ends when the GPU has finished the
// last frame.
#pragma once

#include "BenchmarkResults.h"
#include "CommandLine.h"
#include "Tour.h"

#include "Core/WinAppFramework/App.h"
#include "modules/scene/Scene.h"

#include <GL/glew.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class MainGM;

class TourBenchmark : public Vantor::FrameListener, public Vantor::PassObserver {
public:
    static constexpr int warmupFrames = 4;
    static constexpr int maxFramesAhead = 2;
    // The seed of the C library's generator for the run, which picks the
    // models' animation phases and the shadow volumes' rebuild turns.
    static constexpr unsigned randomSeed = 1;

    TourBenchmark(const CommandLine& options, const Tour& tour, std::string tourFile, MainGM& scene);

    // Call once the App exists and before it runs: fixes the clock, tells
    // the scene about the tour and listens to the main loop.
    void start();
    void frameDrawn() override;
    void frameSwapped() override;
    // With --pass-times: finishes each pass and adds its time to its total.
    void passEnded(const char* pass, int light) override;

    // After the run: prints the summary and writes the files asked for.
    // Returns the program's exit code given the App's own.
    int report(int appExitCode);

private:
    const CommandLine& options;
    const Tour& tour;
    std::string tourFile;
    MainGM& scene;
    double step = 0.0;
    std::vector<std::string> segmentNames;

    int loopFrame = 0; // frames the main loop has swapped
    bool completed = false;
    bool samplesRefused = false; // the window has another sample count than asked
    RunInfo info;
    std::vector<FrameSample> samples;
    std::deque<GLsync> fences;
    bool useFences = false;
    // Counter ticks and CPU seconds at the previous swap, the run's start,
    // and the part of this frame spent capturing it (left out of its time).
    std::int64_t previousTick = 0, startTick = 0;
    double previousCpu = 0.0;
    double captureSeconds = 0.0, captureCpu = 0.0, excludedSeconds = 0.0;
    double seconds = 0.0;
    long frameTriangles = 0;
    std::string captureError;
    // Pass names ("base", "light 0", ...) with their total seconds over the
    // timed frames, in the order they first ran, and the tick of the last end.
    std::vector<std::pair<std::string, double>> passSeconds;
    std::int64_t passTick = 0;

    int timedFrame() const { return loopFrame - warmupFrames; }
    double tourTimeOf(int frame) const { return frame < 0 ? 0.0 : frame * step; }
    void readRunInfo();
    void paceGPU();
    void capture(const std::string& file);
};
