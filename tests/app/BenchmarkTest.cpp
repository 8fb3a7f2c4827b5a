// The unattended benchmark's plain parts: the command line (good and bad,
// with its exit codes and messages), the checks before a run (which write
// nothing), and the figures, JSON and frame log made from frame times.
#include "BenchmarkResults.h"
#include "CommandLine.h"

#include "SceneFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

ParsedCommandLine parse(std::vector<std::string> words) {
    words.insert(words.begin(), "city");
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    return parseCommandLine(int(argv.size()), argv.data());
}

TEST(CommandLineTest, GoodCommandLinesParse) {
    ParsedCommandLine p = parse({"--benchmark", "--size", "1920x1080", "--frames=300", "--results", "r.json",
                                 "--frame-log", "f.csv", "--capture", "0:a.png", "--capture", "299:b.png",
                                 "--fullscreen", "--config", "c.xml", "--data", "d", "--offscreen", "--samples", "8"});
    ASSERT_TRUE(p.run) << p.error;
    const CommandLine& o = p.options;
    EXPECT_TRUE(o.benchmark && o.fullscreen && o.offscreen);
    EXPECT_EQ(o.samples, 8);
    EXPECT_EQ(o.width, 1920);
    EXPECT_EQ(o.height, 1080);
    EXPECT_EQ(o.frames, 300);
    ASSERT_EQ(o.captures.size(), 2u);
    EXPECT_EQ(o.captures[1].frame, 299);
    EXPECT_EQ(o.captures[1].file, "b.png");
    EXPECT_EQ(o.results, "r.json");
    EXPECT_EQ(o.config, "c.xml");

    ParsedCommandLine defaults = parse({"--benchmark"});
    ASSERT_TRUE(defaults.run);
    EXPECT_EQ(defaults.options.width, 1024);
    EXPECT_EQ(defaults.options.height, 768);
    EXPECT_EQ(defaults.options.frames, 0);

    for (const char* word : {"--help", "--version"}) {
        ParsedCommandLine info = parse({word});
        EXPECT_FALSE(info.run);
        EXPECT_EQ(info.exitCode, 0);
        EXPECT_TRUE(info.error.empty());
        EXPECT_FALSE(info.output.empty());
    }
    EXPECT_NE(parse({"--help"}).output.find("--capture N:FILE"), std::string::npos);
}

TEST(CommandLineTest, BadCommandLinesAreRefusedWithExitCode2) {
    const struct {
        std::vector<std::string> words;
        const char* message;
    } cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"-x"}, "-x"},
        {{"--size", "0x768"}, "--size: \"0x768\" is not WIDTHxHEIGHT"},
        {{"--size", "1024"}, "--size: \"1024\""},
        {{"--size", "1024x"}, "--size"},
        {{"--size", "-1024x768"}, "--size"},
        {{"--size", "319x240"}, "between 320x240 and 7680x4320"},
        {{"--size", "7681x4320"}, "between 320x240 and 7680x4320"},
        {{"--size", "99999999999999x768"}, "--size"},
        {{"--size", "1024x768x2"}, "--size"},
        {{"--benchmark", "--frames", "0"}, "--frames: \"0\" is not a whole number from 1 to 1000000"},
        {{"--benchmark", "--frames", "-5"}, "--frames"},
        {{"--benchmark", "--frames", "2.5"}, "--frames: \"2.5\""},
        {{"--benchmark", "--frames", "1000001"}, "--frames"},
        {{"--benchmark", "--frames", "12abc"}, "--frames"},
        {{"--benchmark", "--capture", "5"}, "--capture: \"5\" is not FRAME:FILE"},
        {{"--benchmark", "--capture", "-1:a.png"}, "--capture"},
        {{"--benchmark", "--capture", "3:"}, "--capture"},
        {{"--frames", "10"}, "--frames needs --benchmark"},
        {{"--results", "r.json"}, "--results needs --benchmark"},
        {{"--capture", "1:a.png"}, "--capture needs --benchmark"},
        {{"--size"}, "--size"},
        {{"--benchmark", "--samples", "3"}, "--samples: \"3\" is not 0, 2, 4, 8 or 16"},
        {{"--benchmark", "--samples", "32"}, "--samples"},
        {{"--benchmark", "--samples", "-4"}, "--samples"},
        {{"--offscreen"}, "--offscreen needs --benchmark"},
        {{"--pass-times"}, "--pass-times needs --benchmark"},
    };
    for (const auto& c : cases) {
        ParsedCommandLine p = parse(c.words);
        std::string line;
        for (const std::string& w : c.words)
            line += w + " ";
        EXPECT_FALSE(p.run) << line;
        EXPECT_EQ(p.exitCode, 2) << line;
        EXPECT_NE(p.error.find(c.message), std::string::npos) << line << "gave: " << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << line << "gave more than a line: " << p.error;
    }
}

// A data folder with a scene configuration and a tour beside it.
class PrepareRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.enter("vantor-prepare"));
        std::filesystem::create_directories("data/config files");
        std::ofstream("data/config files/init.xml") << "<init/>";
        std::ofstream("data/config files/tour.xml")
            << "<tour><segment name=\"a\"><key time=\"0\" eye=\"0 0 0\" target=\"1 0 0\"/>"
               "<key time=\"2\" eye=\"0 0 0\" target=\"1 0 0\"/></segment></tour>";
        std::filesystem::create_directories("out");
        here = scratch.path();
    }
    void TearDown() override { scratch.leave(); }

    // Prepares the run of words from the scratch folder; returns the error.
    std::string prepare(std::vector<std::string> words, CommandLine* prepared = nullptr) {
        std::filesystem::current_path(here);
        ParsedCommandLine p = parse(std::move(words));
        EXPECT_TRUE(p.run) << p.error;
        Tour tour;
        std::string tourFile, error;
        const bool ok = prepareRun(p.options, tour, tourFile, error);
        EXPECT_EQ(ok, error.empty());
        if (prepared)
            *prepared = p.options;
        return error;
    }

    Vantor::test::ScratchDirectory scratch;
    std::string here;
};

TEST_F(PrepareRun, FindsTheTourAndKeepsTheUsersPathsWhereHeNamedThem) {
    CommandLine o;
    EXPECT_EQ(prepare({"--benchmark", "--data", "data", "--results", "out/r.json", "--capture", "119:out/a.png"}, &o),
              "");
    EXPECT_EQ(o.frames, 120); // two seconds at 60 frames a second
    EXPECT_EQ(o.results, here + "/out/r.json");
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(here) / "data");
    EXPECT_FALSE(std::filesystem::exists(here + "/out/r.json"));
    EXPECT_EQ(prepare({"--benchmark", "--config", "data/config files/init.xml", "--frames", "7"}, &o), "");
    EXPECT_EQ(o.frames, 7);
}

TEST_F(PrepareRun, RefusesWhatTheRunCouldNotUseAndWritesNothing) {
    std::filesystem::create_directories("elsewhere");
    std::ofstream("elsewhere/init.xml") << "<init/>";
    std::ofstream("elsewhere/tour.xml") << "<tour/>";
    std::ofstream("out/kept.json") << "old";
    const struct {
        std::vector<std::string> words;
        const char* message;
    } cases[] = {
        {{"--benchmark", "--data", "missing"}, "--data: \"missing\" is not a folder"},
        {{"--benchmark", "--data", "out"}, "no scene configuration \"config files/init.xml\" in the data folder"},
        {{"--benchmark", "--data", "data", "--config", "nothing.xml"}, "--config: \"" /* absolute path */},
        {{"--benchmark", "--config", "elsewhere/init.xml"}, "no segment"},
        {{"--benchmark", "--config", "out/kept.json"}, "no tour"},
        {{"--benchmark", "--data", "data", "--capture", "120:out/a.png"},
         "--capture: the tour has frames 0 to 119, not frame 120"},
        {{"--benchmark", "--data", "data", "--results", "no/such/folder/r.json"}, "--results: cannot write"},
        {{"--benchmark", "--data", "data", "--frame-log", "out"}, "--frame-log: cannot write"},
        {{"--benchmark", "--data", "data", "--results", "out/r.json", "--capture", "3:no/such/a.png"},
         "--capture: cannot write"},
    };
    for (const auto& c : cases) {
        const std::string error = prepare(c.words);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.words.back() << " gave: " << error;
    }
    std::filesystem::current_path(here);
    EXPECT_FALSE(std::filesystem::exists("out/r.json"));
    std::string kept;
    std::getline(std::ifstream("out/kept.json"), kept);
    EXPECT_EQ(kept, "old");
}

TEST(BenchmarkResultsTest, PercentilesAndOnePercentLow) {
    const struct {
        std::vector<double> times;
        FrameTimeStats stats;
        double low;
    } cases[] = {
        {{}, {0, 0, 0, 0, 0}, 0},
        {{40}, {40, 40, 40, 40, 40}, 25},
        {{30, 10, 20, 40}, {10, 25, 40, 40, 40}, 25},
        // 1..200: the slowest 1% is 199 and 200.
        {[] {
             std::vector<double> v;
             for (int i = 200; i >= 1; --i)
                 v.push_back(i);
             return v;
         }(),
         {1, 100.5, 190, 198, 200}, 1000 / 199.5},
    };
    for (const auto& c : cases) {
        const FrameTimeStats s = frameTimeStats(c.times);
        EXPECT_DOUBLE_EQ(s.min, c.stats.min);
        EXPECT_DOUBLE_EQ(s.median, c.stats.median);
        EXPECT_DOUBLE_EQ(s.p95, c.stats.p95);
        EXPECT_DOUBLE_EQ(s.p99, c.stats.p99);
        EXPECT_DOUBLE_EQ(s.max, c.stats.max);
        EXPECT_DOUBLE_EQ(lowOnePercentFps(c.times), c.low);
    }
}

TEST(BenchmarkResultsTest, JSONHoldsConsistentFiguresAndTheLogOneLinePerFrame) {
    RunInfo info;
    info.vendor = "V";
    info.renderer = "R";
    info.version = "4.5";
    info.width = 640;
    info.height = 480;
    std::vector<FrameSample> frames;
    for (int i = 0; i < 300; ++i)
        frames.push_back({size_t(i < 100 ? 0 : i < 250 ? 1 : 2), 20.0 + (i % 7), 30.0, 1000L + i});
    const std::vector<std::string> names = {"street", "rooftops", "park"};
    const BenchmarkResults results = summarise(info, names, frames, 7.5);
    const nlohmann::ordered_json json = resultsJSON(results);
    for (const char* key : {"renderer", "size", "samples", "fullscreen", "offscreen", "frames", "seconds", "fps",
                            "frame_ms", "low_1pct_fps", "cpu_ms_per_frame", "triangles_per_frame", "segments"})
        EXPECT_TRUE(json.contains(key)) << key;
    EXPECT_EQ(json["renderer"]["renderer"], "R");
    EXPECT_EQ(json["size"], nlohmann::ordered_json::array({640, 480}));
    EXPECT_EQ(json["offscreen"], false);
    EXPECT_DOUBLE_EQ(json["fps"].get<double>(), json["frames"].get<double>() / json["seconds"].get<double>());
    const auto& ms = json["frame_ms"];
    EXPECT_LE(ms["min"], ms["median"]);
    EXPECT_LE(ms["median"], ms["p95"]);
    EXPECT_LE(ms["p95"], ms["p99"]);
    EXPECT_LE(ms["p99"], ms["max"]);
    EXPECT_DOUBLE_EQ(json["cpu_ms_per_frame"].get<double>(), 30.0);
    EXPECT_DOUBLE_EQ(json["triangles_per_frame"].get<double>(), 1149.5);
    int segmentFrames = 0;
    for (const auto& s : json["segments"]) {
        segmentFrames += s["frames"].get<int>();
        EXPECT_GT(s["fps"].get<double>(), 1000.0 / 27);
        EXPECT_LT(s["fps"].get<double>(), 1000.0 / 20);
    }
    EXPECT_EQ(segmentFrames, 300);
    EXPECT_EQ(json["segments"][2]["name"], "park");
    EXPECT_EQ(json["segments"][2]["frames"], 50);

    const std::string log = frameLogCSV(names, frames);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 301);
    EXPECT_EQ(log.rfind("frame,segment,frame_ms,cpu_ms\n0,street,20.000,30.000\n", 0), 0u);
    EXPECT_NE(log.find("\n299,park,"), std::string::npos);
    EXPECT_NE(summaryText(results).find("score: 40.00 FPS (300 frames in 7.50 s)"), std::string::npos);
    EXPECT_FALSE(json.contains("pass_ms")) << "only when pass times were asked for";

    BenchmarkResults timed = results;
    timed.passMs = {{"base", 9.25}, {"volumes 0", 5.5}, {"light 0", 8.0}};
    const nlohmann::ordered_json passes = resultsJSON(timed)["pass_ms"];
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_EQ(passes.begin().key(), "base");
    EXPECT_DOUBLE_EQ(passes["light 0"].get<double>(), 8.0);
    EXPECT_NE(summaryText(timed).find(" base 9.25, volumes 0 5.50, light 0 8.00\n"), std::string::npos);
}

} // namespace
