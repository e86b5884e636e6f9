// Timing for the Windows benchmark programs: a clock, medians, and two
// programs launched in turn so that a spell of load on a shared machine
// falls on both alike.
#ifndef BRISVANE_BENCH_ALTERNATE_H
#define BRISVANE_BENCH_ALTERNATE_H

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

inline double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Launch {
    const char *label;             // as printed, padded to one width
    std::function<double()> time;  // seconds, or negative when it failed
};

// One warm-up launch each (the first launches of a session also pay for
// Wine's own start-up), then `runs` rounds in alternating order; prints the
// medians and the ratio against its goal. Returns 2 when a launch failed.
inline int Alternate(const Launch &target, const Launch &baseline, int runs, const char *ratioLabel, double goal)
{
    if (target.time() < 0 || baseline.time() < 0) {
        std::printf("  a warm-up launch failed\n");
        return 2;
    }
    std::vector<double> t, b, ratios;
    for (int run = 0; run < runs; run++) {
        bool targetFirst = run % 2 == 0;
        double first = targetFirst ? target.time() : baseline.time();
        double second = targetFirst ? baseline.time() : target.time();
        if (first < 0 || second < 0) {
            std::printf("  run %d: a launch failed\n", run + 1);
            return 2;
        }
        t.push_back(targetFirst ? first : second);
        b.push_back(targetFirst ? second : first);
        ratios.push_back(t.back() / b.back());
    }
    std::printf("  runs: %d, alternating, after one warm-up launch each\n", runs);
    for (const auto &[label, values] : { std::pair{ target.label, &t }, { baseline.label, &b } })
        std::printf("  %-33s median %7.1f ms  (min %.1f, max %.1f)\n", label, Median(*values) * 1e3,
                    *std::min_element(values->begin(), values->end()) * 1e3,
                    *std::max_element(values->begin(), values->end()) * 1e3);
    double r = Median(ratios);
    std::printf("  %-33s median %7.3f     goal <= %.2f  %s\n", ratioLabel, r, goal, r <= goal ? "ok" : "OVER");
    return 0;
}

#endif
