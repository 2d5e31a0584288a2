// A stopwatch on the time-stamp counter and the one-second clock estimate.
// All counter arithmetic is unsigned 64-bit, modulo 2^64.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Seams: how the counter is read and how the estimate sleeps.
using TickReader = std::uint64_t (*)();
using Sleeper = void (*)(unsigned milliseconds);

std::uint64_t ReadTsc();  // RDTSC
void SleepMilliseconds(unsigned milliseconds);

class CTscStopwatch {
public:
    explicit CTscStopwatch(TickReader read = ReadTsc);
    void Restart();
    std::uint64_t Elapsed() const;

    std::uint64_t start = 0;
    std::uint64_t overhead = 0;

private:
    TickReader read_;
};

// "<q/100>.<q%100, two digits>   MHZ   estimate " for q = ticks / 10000 (low 32 bits).
std::string ClockText(std::uint64_t ticksPerSecond);

// Counts ticks over Sleep(1000). No estimate (nullopt) when the processor has no
// time-stamp counter (no CPUID, or standard bit 4 clear): the field then keeps
// its "Not Detected!" text.
std::optional<std::string> EstimateClock(TickReader read = ReadTsc,
                                         Sleeper sleep = SleepMilliseconds);
