// A worker's effective clock, sampled about once a second between its cycles
// (never inside one), so a clock that falls during a run shows as throttling;
// a sample that lost the processor is counted and left out.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

class ClockSampler {
public:
    using Clock = std::chrono::steady_clock;
    using Measure = std::function<double()>;  // the calling thread's clock in Hz

    explicit ClockSampler(Measure measure = DefaultMeasure(),
                          std::chrono::milliseconds every = std::chrono::milliseconds(1000));

    // Between cycles: measures when a sample is due (the first call always),
    // and answers whether it did.
    bool Poll(Clock::time_point now);

    const std::vector<double>& SamplesHz() const { return samples_; }
    // Measurements that gave no sample: they lost the processor, or failed.
    unsigned Discarded() const { return discarded_; }
    // The latest sample, for the live line; readable from any thread. 0: none yet.
    double LastHz() const { return last_.load(std::memory_order_relaxed); }

    static Measure DefaultMeasure();

private:
    Measure measure_;
    std::chrono::milliseconds every_;
    bool sampled_ = false;
    Clock::time_point next_{};
    std::vector<double> samples_;
    unsigned discarded_ = 0;
    std::atomic<double> last_{0};
};
