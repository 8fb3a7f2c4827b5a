#include "BenchmarkResults.h"

#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

// The nearest-rank percentile p (0 < p <= 100) of sorted values.
double nearestRank(const std::vector<double>& sorted, double p) {
    const size_t rank = size_t(std::ceil(p / 100.0 * double(sorted.size())));
    return sorted[std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1];
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

// Rounded for people and for files alike: a thousandth of a millisecond or
// of a frame per second is well below any run's noise.
double rounded(double value) { return std::round(value * 1000.0) / 1000.0; }

} // namespace

FrameTimeStats frameTimeStats(std::vector<double> values) {
    FrameTimeStats stats;
    if (values.empty())
        return stats;
    std::sort(values.begin(), values.end());
    stats.min = values.front();
    stats.median = median(values);
    stats.p95 = nearestRank(values, 95);
    stats.p99 = nearestRank(values, 99);
    stats.max = values.back();
    return stats;
}

double lowOnePercentFps(std::vector<double> frameMs) {
    if (frameMs.empty())
        return 0.0;
    const size_t count = (frameMs.size() + 99) / 100;
    std::partial_sort(frameMs.begin(), frameMs.begin() + long(count), frameMs.end(), std::greater<double>());
    const double mean = std::accumulate(frameMs.begin(), frameMs.begin() + long(count), 0.0) / double(count);
    return mean > 0 ? 1000.0 / mean : 0.0;
}

BenchmarkResults summarise(const RunInfo& info, const std::vector<std::string>& segmentNames,
                           const std::vector<FrameSample>& frames, double seconds) {
    BenchmarkResults results;
    results.info = info;
    results.frames = int(frames.size());
    results.seconds = seconds;
    results.fps = seconds > 0 ? double(frames.size()) / seconds : 0.0;
    std::vector<double> times;
    double cpu = 0.0, triangles = 0.0;
    for (const FrameSample& frame : frames) {
        times.push_back(frame.frameMs);
        cpu += frame.cpuMs;
        triangles += double(frame.triangles);
    }
    results.frameMs = frameTimeStats(times);
    results.low1PctFps = lowOnePercentFps(times);
    if (!frames.empty()) {
        results.cpuMsPerFrame = cpu / double(frames.size());
        results.trianglesPerFrame = triangles / double(frames.size());
    }
    for (size_t s = 0; s < segmentNames.size(); ++s) {
        SegmentResult segment;
        segment.name = segmentNames[s];
        std::vector<double> segmentTimes;
        for (const FrameSample& frame : frames)
            if (frame.segment == s)
                segmentTimes.push_back(frame.frameMs);
        segment.frames = int(segmentTimes.size());
        const double total = std::accumulate(segmentTimes.begin(), segmentTimes.end(), 0.0);
        segment.fps = total > 0 ? 1000.0 * double(segmentTimes.size()) / total : 0.0;
        segment.medianMs = median(segmentTimes);
        results.segments.push_back(segment);
    }
    return results;
}

nlohmann::ordered_json resultsJSON(const BenchmarkResults& r) {
    nlohmann::ordered_json json;
    json["renderer"] = {{"vendor", r.info.vendor}, {"renderer", r.info.renderer}, {"version", r.info.version}};
    json["size"] = {r.info.width, r.info.height};
    json["samples"] = r.info.samples;
    json["fullscreen"] = r.info.fullscreen;
    json["offscreen"] = r.info.offscreen;
    json["swap_interval_0"] = r.info.swapIntervalSet;
    json["tour"] = r.info.tourFile;
    json["tour_seconds"] = r.info.tourSeconds;
    json["warmup_frames"] = r.info.warmupFrames;
    json["frames"] = r.frames;
    json["seconds"] = r.seconds;
    json["fps"] = r.fps;
    json["frame_ms"] = {{"min", rounded(r.frameMs.min)},
                        {"median", rounded(r.frameMs.median)},
                        {"p95", rounded(r.frameMs.p95)},
                        {"p99", rounded(r.frameMs.p99)},
                        {"max", rounded(r.frameMs.max)}};
    json["low_1pct_fps"] = rounded(r.low1PctFps);
    json["cpu_ms_per_frame"] = rounded(r.cpuMsPerFrame);
    json["triangles_per_frame"] = rounded(r.trianglesPerFrame);
    nlohmann::ordered_json segments = nlohmann::ordered_json::array();
    for (const SegmentResult& s : r.segments)
        segments.push_back({{"name", s.name}, {"frames", s.frames}, {"fps", rounded(s.fps)},
                            {"median_ms", rounded(s.medianMs)}});
    json["segments"] = segments;
    if (!r.passMs.empty()) {
        nlohmann::ordered_json passes = nlohmann::ordered_json::object();
        for (const auto& pass : r.passMs)
            passes[pass.first] = rounded(pass.second);
        json["pass_ms"] = passes;
    }
    return json;
}

std::string summaryText(const BenchmarkResults& r) {
    const RunInfo& info = r.info;
    std::string text = format("renderer: %s (%s; OpenGL %s)\n", info.renderer.c_str(), info.vendor.c_str(),
                              info.version.c_str());
    text += format("size: %dx%d, %d samples, %s%s\n", info.width, info.height, info.samples,
                   info.offscreen ? "off screen" : info.fullscreen ? "full screen" : "windowed",
                   info.swapIntervalSet ? "" : " (the driver offers no swap interval control: its own pacing applies)");
    text += format("frames: %d over %.1f s of tour, after %d untimed frames\n", r.frames, info.tourSeconds,
                   info.warmupFrames);
    text += format("score: %.2f FPS (%d frames in %.2f s), 1%% low %.2f FPS\n", r.fps, r.frames, r.seconds,
                   r.low1PctFps);
    text += format("frame time: min %.2f, median %.2f, p95 %.2f, p99 %.2f, max %.2f ms\n", r.frameMs.min,
                   r.frameMs.median, r.frameMs.p95, r.frameMs.p99, r.frameMs.max);
    text += format("CPU time: %.2f ms per frame; polygons drawn: %.0f per frame\n", r.cpuMsPerFrame,
                   r.trianglesPerFrame);
    for (const SegmentResult& s : r.segments)
        text += format("  %-12s %5d frames %8.2f FPS   median %.2f ms\n", s.name.c_str(), s.frames, s.fps,
                       s.medianMs);
    if (!r.passMs.empty()) {
        text += "passes, ms per frame (each finished before the next, so the figures above are slower):";
        for (const auto& pass : r.passMs)
            text += format(" %s %.2f,", pass.first.c_str(), pass.second);
        text.back() = '\n';
    }
    return text;
}

std::string frameLogCSV(const std::vector<std::string>& segmentNames, const std::vector<FrameSample>& frames) {
    std::string text = "frame,segment,frame_ms,cpu_ms\n";
    for (size_t i = 0; i < frames.size(); ++i) {
        const FrameSample& f = frames[i];
        const char* name = f.segment < segmentNames.size() ? segmentNames[f.segment].c_str() : "";
        text += format("%zu,%s,%.3f,%.3f\n", i, name, f.frameMs, f.cpuMs);
    }
    return text;
}
