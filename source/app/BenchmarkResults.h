// The figures of an unattended benchmark run, made from its frames' times:
// the score, frame-time percentiles, the 1% low, CPU time and polygons per
// frame, and the same per tour segment; and the three ways they leave the
// program: the summary a person reads, the JSON results file and the CSV
// frame log.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// One timed frame.
struct FrameSample {
    size_t segment = 0;
    double frameMs = 0.0; // from the previous buffer swap to this frame's
    double cpuMs = 0.0;   // user and system time of the whole process in that span
    long triangles = 0;   // polygons drawn
};

// What the run ran on and how.
struct RunInfo {
    std::string vendor, renderer, version; // GL's strings
    int width = 0, height = 0;
    int samples = 0;
    bool fullscreen = false;
    bool offscreen = false;
    bool swapIntervalSet = false; // false: the driver kept its own pacing
    int warmupFrames = 0;
    double tourSeconds = 0.0;
    std::string tourFile;
};

struct FrameTimeStats {
    double min = 0, median = 0, p95 = 0, p99 = 0, max = 0;
};

struct SegmentResult {
    std::string name;
    int frames = 0;
    double fps = 0.0; // the segment's frames over the sum of their times
    double medianMs = 0.0;
};

struct BenchmarkResults {
    RunInfo info;
    int frames = 0;
    double seconds = 0.0; // from the last untimed swap until the GPU finished the last frame
    double fps = 0.0;     // frames / seconds: the score
    FrameTimeStats frameMs;
    double low1PctFps = 0.0; // 1000 over the mean of the slowest 1% of frame times
    double cpuMsPerFrame = 0.0;
    double trianglesPerFrame = 0.0;
    std::vector<SegmentResult> segments;
    // With pass times asked for: each pass of the scene and its mean
    // milliseconds per timed frame, in the order the passes run.
    std::vector<std::pair<std::string, double>> passMs;
};

// The median (of the two middle values for an even count) and the other
// percentiles by nearest rank; values need not be sorted. All zero when empty.
FrameTimeStats frameTimeStats(std::vector<double> values);
// 1000 over the mean of the slowest ceil(n / 100) frame times (ms).
double lowOnePercentFps(std::vector<double> frameMs);

// The figures of frames (whose segment indexes name segmentNames) timed
// over seconds.
BenchmarkResults summarise(const RunInfo& info, const std::vector<std::string>& segmentNames,
                           const std::vector<FrameSample>& frames, double seconds);

nlohmann::ordered_json resultsJSON(const BenchmarkResults& results);
// A few lines for standard output.
std::string summaryText(const BenchmarkResults& results);
// A header line, then "frame,segment,frame_ms,cpu_ms" for each frame.
std::string frameLogCSV(const std::vector<std::string>& segmentNames, const std::vector<FrameSample>& frames);
