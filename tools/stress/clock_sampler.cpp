// The next sample is due a whole interval after the last one was taken, so a
// worker whose cycles are longer than the interval samples once per cycle.
#include "tools/stress/clock_sampler.h"

#include <utility>

#include "tools/stress/cycle_clock.h"

ClockSampler::ClockSampler(Measure measure, std::chrono::milliseconds every)
    : measure_(std::move(measure)), every_(every) {}

bool ClockSampler::Poll(Clock::time_point now) {
    if (sampled_ && now < next_) return false;
    const double hz = measure_();
    sampled_ = true;
    next_ = now + every_;
    if (hz <= 0) return false;
    samples_.push_back(hz);
    last_.store(hz, std::memory_order_relaxed);
    return true;
}

ClockSampler::Measure ClockSampler::DefaultMeasure() {
    // Three tries of 2 ms: about 6 ms of a second, and a preempted try is outvoted.
    return [] { return MeasureClockHz(); };
}
