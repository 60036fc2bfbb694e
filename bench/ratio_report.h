// Benchmarks that judge themselves: each measured case is run in repetitions
// next to its floor, and after the run the ratio of the medians of their CPU
// times (this thread's) is printed with its bound.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tolvar::bench {

struct Ratio {
    std::string measured;  // benchmark names, as printed
    std::string floor;
    double bound;  // 0: measured only, not judged
};

// A console reporter that also keeps every repetition's CPU time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            std::string name = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
            double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Iteration) seconds_[name].push_back(seconds);
            else if (run.aggregate_name == "median") medians_[name] = seconds;
        }
    }

    // The median CPU time per iteration, in seconds; 0 when the case did not run.
    double median(const std::string &name) const {
        if (auto m = medians_.find(name); m != medians_.end()) return m->second;
        auto it = seconds_.find(name);
        if (it == seconds_.end() || it->second.empty()) return 0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }

    // Prints each ratio; false when one is beyond its bound or missing.
    bool print_ratios(const std::vector<Ratio> &ratios) const {
        bool all_within = true;
        std::printf("\n%-44s %12s %12s %7s %7s\n", "ratio (median CPU time)", "measured", "floor", "ratio", "bound");
        for (const Ratio &r : ratios) {
            double m = median(r.measured), f = median(r.floor);
            if (m == 0 || f == 0) {
                std::printf("%-44s not run\n", r.measured.c_str());
                continue;
            }
            double ratio = m / f;
            std::string name = r.measured + " / " + r.floor;
            if (r.bound <= 0) {
                std::printf("%-44s %10.3f ms %10.3f ms %7.3f       -\n", name.c_str(), m * 1e3, f * 1e3, ratio);
                continue;
            }
            bool within = ratio <= r.bound;
            all_within &= within;
            std::printf("%-44s %10.3f ms %10.3f ms %7.3f %7.2f %s\n", name.c_str(), m * 1e3, f * 1e3, ratio, r.bound,
                        within ? "ok" : "BEYOND THE BOUND");
        }
        return all_within;
    }

private:
    std::map<std::string, std::vector<double>> seconds_;  // each repetition's
    std::map<std::string, double> medians_;                // as the library aggregated them
};

// Initialises the library with this program's defaults in front of the
// caller's flags (a later flag wins): repetitions interleaved at random, so
// that a change in the machine's load falls on a case and its floor alike,
// and only the aggregates shown.
inline void initialize(int &argc, char **&argv, std::vector<char *> &storage) {
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    storage.assign(argv, argv + argc);
    storage.insert(storage.begin() + 1, {interleave, aggregates});
    storage.push_back(nullptr);
    argc = static_cast<int>(storage.size()) - 1;
    argv = storage.data();
    benchmark::Initialize(&argc, argv);
}

}  // namespace tolvar::bench
