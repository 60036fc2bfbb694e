// A case against its floor, measured in pairs: each round runs a block of
// the case and a block of the floor back to back (which goes first alternates
// from round to round), takes the CPU time of the whole process (user and
// system, every thread) for each block, and keeps the ratio of the two. A
// change in the machine's load then falls on both halves of a pair, and the
// median of the ratios is the figure; their spread says how far to trust it.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tolvar::bench {

inline double process_cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct PairedFigures {
    std::vector<double> ratios;             // one per round, sorted
    std::vector<double> measured, floor;    // CPU seconds per call, one per round, sorted
};

inline double median_of(const std::vector<double> &sorted) {
    if (sorted.empty()) return 0;
    size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

inline double quantile_of(const std::vector<double> &sorted, double q) {
    if (sorted.empty()) return 0;
    return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * static_cast<double>(sorted.size() - 1) + 0.5))];
}

// `rounds` rounds of `calls` calls of each; one round more before them warms
// caches, connections and the heap, and is not counted.
inline PairedFigures measure_pair(const std::function<void()> &measured, const std::function<void()> &floor,
                                  int rounds, int calls) {
    auto block = [calls](const std::function<void()> &f) {
        double start = process_cpu_seconds();
        for (int i = 0; i < calls; ++i) f();
        return (process_cpu_seconds() - start) / calls;
    };
    PairedFigures out;
    for (int round = -1; round < rounds; ++round) {
        double m, f;
        if (round % 2) {
            f = block(floor);
            m = block(measured);
        } else {
            m = block(measured);
            f = block(floor);
        }
        if (round < 0 || f <= 0) continue;
        out.ratios.push_back(m / f);
        out.measured.push_back(m);
        out.floor.push_back(f);
    }
    std::sort(out.ratios.begin(), out.ratios.end());
    std::sort(out.measured.begin(), out.measured.end());
    std::sort(out.floor.begin(), out.floor.end());
    return out;
}

inline void print_pair_heading() {
    std::printf("\n%-40s %10s %10s %7s %15s %13s %6s\n", "CPU time per exchange (process)", "measured", "floor",
                "ratio", "quartiles", "min-max", "bound");
}

// One line of figures; true when the median ratio is within `bound` (0: not judged).
inline bool print_pair(const std::string &name, const PairedFigures &p, double bound) {
    if (p.ratios.empty()) {
        std::printf("%-40s not run\n", name.c_str());
        return false;
    }
    double ratio = median_of(p.ratios);
    bool within = bound <= 0 || ratio <= bound;
    std::printf("%-40s %7.3f ms %7.3f ms %7.3f   %6.3f-%-6.3f %6.3f-%-6.3f", name.c_str(), median_of(p.measured) * 1e3,
                median_of(p.floor) * 1e3, ratio, quantile_of(p.ratios, 0.25), quantile_of(p.ratios, 0.75),
                p.ratios.front(), p.ratios.back());
    if (bound > 0) std::printf(" %5.2f %s", bound, within ? "ok" : "BEYOND THE BOUND");
    std::printf("\n");
    return within;
}

}  // namespace tolvar::bench
