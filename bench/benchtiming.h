#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

// The median of a benchmark's runs, and the wall-clock time of one piece of
// work, for the benchmarks that time work in-process.
namespace vantelo::bench {

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F>
double millisecondsOf(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace vantelo::bench
