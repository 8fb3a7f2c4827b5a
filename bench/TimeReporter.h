// The console table of a benchmark run, keeping each benchmark's processor
// time per iteration so that a run can print ratios after the table.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace Vantor::bench {

class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // The time of the named benchmark (its name without settings such as
    // "/iterations:1"), or a negative number when it did not run.
    double time(const std::string& name) const {
        const auto found = times.find(name);
        return found == times.end() ? -1.0 : found->second;
    }

private:
    std::map<std::string, double> times;
};

} // namespace Vantor::bench
