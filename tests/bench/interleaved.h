// Ratios of two timings taken in turns (A B A B ...), so that a busy machine
// slows both sides of every pair alike. One line shows the median pairwise ratio
// with its minimum and maximum: a run shows its own noise.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

struct InterleavedRatio {
    double median = 0, min = 0, max = 0;  // of time(numerator) / time(denominator), pair by pair
    double numeratorSeconds = 0;          // median time of one run of each side
    double denominatorSeconds = 0;
};

namespace interleaved {

template <typename Work>
double SecondsPerRun(Work& work, long runs) {
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < runs; ++i) work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count() / static_cast<double>(runs);
}

// How many runs make a sample of about `seconds`; the first runs warm the caches.
template <typename Work>
long RunsPerSample(Work& work, double seconds) {
    long runs = 1;
    double each = SecondsPerRun(work, runs);
    while (each * static_cast<double>(runs) < seconds / 10) {
        runs *= 10;
        each = SecondsPerRun(work, runs);
    }
    return std::max(1L, static_cast<long>(seconds / each));
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace interleaved

// Times `numerator` and `denominator` in `pairs` turns of about `sampleSeconds`
// each, numerator first in every pair.
template <typename A, typename B>
InterleavedRatio MeasureInterleaved(A&& numerator, B&& denominator, int pairs = 15,
                                    double sampleSeconds = 0.1) {
    const long numeratorRuns = interleaved::RunsPerSample(numerator, sampleSeconds);
    const long denominatorRuns = interleaved::RunsPerSample(denominator, sampleSeconds);
    std::vector<double> ratios, numeratorTimes, denominatorTimes;
    for (int pair = 0; pair < pairs; ++pair) {
        numeratorTimes.push_back(interleaved::SecondsPerRun(numerator, numeratorRuns));
        denominatorTimes.push_back(interleaved::SecondsPerRun(denominator, denominatorRuns));
        ratios.push_back(numeratorTimes.back() / denominatorTimes.back());
    }
    InterleavedRatio result;
    result.median = interleaved::Median(ratios);
    result.min = *std::min_element(ratios.begin(), ratios.end());
    result.max = *std::max_element(ratios.begin(), ratios.end());
    result.numeratorSeconds = interleaved::Median(numeratorTimes);
    result.denominatorSeconds = interleaved::Median(denominatorTimes);
    return result;
}

// "name median min max"
inline void PrintRatio(const char* name, const InterleavedRatio& ratio) {
    std::printf("%s %.3f %.3f %.3f\n", name, ratio.median, ratio.min, ratio.max);
}
