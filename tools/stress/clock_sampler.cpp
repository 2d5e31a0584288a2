// The next sample is due a whole interval after the last one was taken, so a
// worker whose cycles are longer than the interval samples once per cycle; a
// tenth of it after one that gave nothing, so a discard leaves no long gap.
#include "tools/stress/clock_sampler.h"

#include <utility>

#include "tools/stress/cycle_clock.h"

ClockSampler::ClockSampler(Measure measure, std::chrono::milliseconds every)
    : measure_(std::move(measure)), every_(every) {}

bool ClockSampler::Poll(Clock::time_point now) {
    if (sampled_ && now < next_) return false;
    const double hz = measure_();
    sampled_ = true;
    if (hz <= 0) {
        ++discarded_;
        next_ = now + every_ / 10;
        return false;
    }
    next_ = now + every_;
    samples_.push_back(hz);
    last_.store(hz, std::memory_order_relaxed);
    return true;
}

ClockSampler::Measure ClockSampler::DefaultMeasure() {
    // One sample of about 2 ms a second; one that lost the processor is no
    // sample, rather than the fastest of several tries (which reads high where
    // the paused load's clock recovers during the tries).
    return [] {
        const ClockSample sample = MeasureClock();
        return sample.lostProcessor ? 0.0 : sample.hz;
    };
}
