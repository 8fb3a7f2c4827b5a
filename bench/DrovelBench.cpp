// The script virtual machine against Lua 5.4 on the same programs, in one run:
// an int loop summing 0 to 9,999,999, the same loop on floats, a recursive
// fib(27), and a loop of Vector arithmetic (four-element tables in Lua, since
// a Drovel Vector is a value of its own too). Each iteration runs the whole
// program; compiling is outside the timing. After the table the run prints
// the ratio Drovel time / Lua time (processor time) of each program.
//
// --small shrinks every program (the CTest smoke run uses it). Each program's
// result is checked once, so a broken machine cannot report a fast time.
//
// ObjectShader/<script> times one run of each of the city's object shaders,
// as the material code runs them before a lit pass (there is no GL context,
// so getModelview gives the identity).
#include <benchmark/benchmark.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/DSCompiler.h"
#include "modules/DrovelScript/Program.h"
#include "modules/DrovelScript/ShaderDialect.h"
#include "modules/DrovelScript/StandardDialect.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/gui/Console.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Sizes {
    int loopCount = 10000000;
    int fibArgument = 27;
    int vectorLoopCount = 1000000;
};

constexpr Sizes kSmallSizes{10000, 12, 1000};

Sizes sizes;

std::string format(const char* pattern, int n) {
    char buffer[4096];
    std::snprintf(buffer, sizeof buffer, pattern, n);
    return buffer;
}

// The Drovel and the Lua text of one program, each with one %d for its size.
struct Workload {
    const char* name;
    const char* drovel;
    const char* lua;
};

const Workload intLoop{"IntLoop",
                       "void main(Array args) {\n"
                       "    int s = 0;\n"
                       "    int i = 0;\n"
                       "    while (i < %d) {\n"
                       "        s = s + i;\n"
                       "        i = i + 1;\n"
                       "    }\n"
                       "    print(s);\n"
                       "}\n",
                       "local s = 0\n"
                       "local i = 0\n"
                       "while i < %d do\n"
                       "    s = s + i\n"
                       "    i = i + 1\n"
                       "end\n"
                       "return s\n"};

const Workload floatLoop{"FloatLoop",
                         "void main(Array args) {\n"
                         "    float s = 0.0;\n"
                         "    float i = 0.0;\n"
                         "    while (i < %d.0) {\n"
                         "        s = s + i;\n"
                         "        i = i + 1.0;\n"
                         "    }\n"
                         "    print(s);\n"
                         "}\n",
                         "local s = 0.0\n"
                         "local i = 0.0\n"
                         "while i < %d.0 do\n"
                         "    s = s + i\n"
                         "    i = i + 1.0\n"
                         "end\n"
                         "return s\n"};

const Workload fib{"Fib",
                   "int fib(int n) {\n"
                   "    if (n < 2) return n;\n"
                   "    return fib(n - 1) + fib(n - 2);\n"
                   "}\n"
                   "void main(Array args) {\n"
                   "    print(fib(%d));\n"
                   "}\n",
                   "local function fib(n)\n"
                   "    if n < 2 then return n end\n"
                   "    return fib(n - 1) + fib(n - 2)\n"
                   "end\n"
                   "return fib(%d)\n"};

const Workload vectorLoop{"VectorLoop",
                          "void main(Array args) {\n"
                          "    Vector a = Vector(1.0, 2.0, 3.0, 1.0);\n"
                          "    Vector v = Vector(0.0, 0.0, 0.0, 1.0);\n"
                          "    int i = 0;\n"
                          "    while (i < %d) {\n"
                          "        v = v + a * 0.5;\n"
                          "        v = v - a * 0.25;\n"
                          "        i = i + 1;\n"
                          "    }\n"
                          "    print(v);\n"
                          "}\n",
                          "local a = {1.0, 2.0, 3.0, 1.0}\n"
                          "local v = {0.0, 0.0, 0.0, 1.0}\n"
                          "local i = 0\n"
                          "while i < %d do\n"
                          "    local t = {a[1] * 0.5, a[2] * 0.5, a[3] * 0.5, a[4]}\n"
                          "    v = {v[1] + t[1], v[2] + t[2], v[3] + t[3], v[4]}\n"
                          "    t = {a[1] * 0.25, a[2] * 0.25, a[3] * 0.25, a[4]}\n"
                          "    v = {v[1] - t[1], v[2] - t[2], v[3] - t[3], v[4]}\n"
                          "    i = i + 1\n"
                          "end\n"
                          "return v[1] + v[2] + v[3]\n"};

int sizeOf(const Workload& w) {
    if (&w == &fib)
        return sizes.fibArgument;
    if (&w == &vectorLoop)
        return sizes.vectorLoopCount;
    return sizes.loopCount;
}

int fibOf(int n) { return n < 2 ? n : fibOf(n - 1) + fibOf(n - 2); }

std::string floatText(float f) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", double(f));
    return buffer;
}

// What the Drovel program prints: computed here with the script's own
// arithmetic (32-bit ints that wrap, single-precision floats).
std::string expectedOutput(const Workload& w) {
    const int n = sizeOf(w);
    if (&w == &intLoop) {
        std::uint32_t s = 0;
        for (int i = 0; i < n; ++i)
            s += std::uint32_t(i);
        return std::to_string(std::int32_t(s));
    }
    if (&w == &floatLoop) {
        float s = 0.0f;
        for (float i = 0.0f; i < float(n); i = i + 1.0f)
            s = s + i;
        return floatText(s);
    }
    if (&w == &fib)
        return std::to_string(fibOf(n));
    float v[3] = {0.0f, 0.0f, 0.0f};
    const float a[3] = {1.0f, 2.0f, 3.0f};
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k) {
            v[k] = v[k] + 0.5f * a[k];
            v[k] = v[k] - 0.25f * a[k];
        }
    return "(" + floatText(v[0]) + "," + floatText(v[1]) + "," + floatText(v[2]) + ",1)";
}

void runDrovel(benchmark::State& state, const Workload* w) {
    Vantor::Program program;
    Vantor::Console* console = Vantor::Console::getInstance();
    try {
        Vantor::String source(format(w->drovel, sizeOf(*w)).c_str());
        Vantor::Compiler::getInstance()->compile(source, *Vantor::StandardDialect::getInstance(), program, false);
        for (auto _ : state) {
            console->clear();
            program.run();
        }
    } catch (const Vantor::Exception& e) {
        state.SkipWithError(e.message.c_str());
        return;
    }
    const std::string printed(console->text.c_str(), size_t(console->text.length));
    if (printed != expectedOutput(*w))
        state.SkipWithError(("printed " + printed + ", expected " + expectedOutput(*w)).c_str());
}

void runLua(benchmark::State& state, const Workload* w) {
    lua_State* lua = luaL_newstate();
    luaL_openlibs(lua);
    const std::string source = format(w->lua, sizeOf(*w));
    if (luaL_loadstring(lua, source.c_str()) != LUA_OK) {
        state.SkipWithError(lua_tostring(lua, -1));
        lua_close(lua);
        return;
    }
    lua_Number result = 0;
    for (auto _ : state) {
        lua_pushvalue(lua, -1);
        if (lua_pcall(lua, 0, 1, 0) != LUA_OK) {
            state.SkipWithError(lua_tostring(lua, -1));
            break;
        }
        result = lua_tonumber(lua, -1);
        lua_pop(lua, 1);
    }
    lua_close(lua);
    const int n = sizeOf(*w);
    if (w == &intLoop && result != lua_Number(n) * (n - 1) / 2)
        state.SkipWithError("wrong sum");
    if (w == &fib && result != lua_Number(fibOf(n)))
        state.SkipWithError("wrong fib");
}

// The console table, plus each run's time per iteration by benchmark name.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions the mean stands for the program; otherwise its one run.
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            Sample& sample = samples[run.run_name.str()];
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean") {
                sample.mean = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Iteration) {
                sample.total += run.GetAdjustedCPUTime();
                ++sample.count;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The mean time of the named benchmark, or a negative number when it did not run.
    double meanTime(const std::string& name) const {
        const auto found = samples.find(name);
        if (found == samples.end())
            return -1.0;
        const Sample& sample = found->second;
        if (sample.mean >= 0)
            return sample.mean;
        return sample.count > 0 ? sample.total / sample.count : -1.0;
    }

private:
    struct Sample {
        double mean = -1.0;
        double total = 0;
        int count = 0;
    };
    std::map<std::string, Sample> samples;
};

const Workload* const workloads[] = {&intLoop, &floatLoop, &fib, &vectorLoop};

const char* const objectShaders[] = {"objectLight.ds", "objectLightEye.ds"};

void runObjectShader(benchmark::State& state, const char* file) {
    std::ifstream in(std::string(VANTOR_SCRIPT_DIR) + "/" + file);
    std::stringstream text;
    text << in.rdbuf();
    Vantor::ParamDatabase* database = Vantor::ParamDatabase::getInstance();
    database->vectors.setValue("lightPosition", Vantor::Vector4(2400.0f, 900.0f, -1600.0f, 1.0f));
    database->matrices.setValue("eyeModelview", Vantor::TMatrix4<float>());
    Vantor::Program program;
    try {
        Vantor::Compiler::getInstance()->compile(Vantor::String(text.str().c_str()),
                                                 *Vantor::ShaderDialect::getInstance(), program, false);
        for (auto _ : state)
            program.run();
    } catch (const Vantor::Exception& e) {
        state.SkipWithError(e.message.c_str());
        return;
    }
    const Vantor::Vector4 light = database->vectors.getValue("objectLightPosition").value;
    if (light.x != 2400.0f || light.y != 900.0f || light.z != -1600.0f)
        state.SkipWithError("the light did not come through unchanged");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--small") == 0)
            sizes = kSmallSizes;
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    for (const Workload* w : workloads) {
        benchmark::RegisterBenchmark((std::string(w->name) + "/Drovel").c_str(), runDrovel, w)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string(w->name) + "/Lua").c_str(), runLua, w)
            ->Unit(benchmark::kMillisecond);
    }
    for (const char* file : objectShaders)
        benchmark::RegisterBenchmark((std::string("ObjectShader/") + file).c_str(), runObjectShader, file)
            ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nDrovel time / Lua time (processor time):\n");
    for (const Workload* w : workloads) {
        const double drovel = reporter.meanTime(std::string(w->name) + "/Drovel");
        const double lua = reporter.meanTime(std::string(w->name) + "/Lua");
        if (drovel > 0 && lua > 0)
            std::printf("  %-12s %8.1f\n", w->name, drovel / lua);
        else
            std::printf("  %-12s (not run)\n", w->name);
    }
    return 0;
}
