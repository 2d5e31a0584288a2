// The time-stamp-counter stopwatch and the one-second clock estimate.
// Counter arithmetic wraps modulo 2^64, so a counter that jumps still gives a well-formed text.
#include "cpu/tsc_stopwatch.h"

#include <cstdio>

#include "cpu/cpu_probe.h"

std::uint64_t ReadTsc() {
    std::uint32_t low, high;
    __asm__ __volatile__("rdtsc" : "=a"(low), "=d"(high));
    return (std::uint64_t{high} << 32) | low;
}

CTscStopwatch::CTscStopwatch(TickReader read) : read_(read) {
    overhead = 0;
    Restart();
    overhead = Elapsed();  // the cost of one Restart/Elapsed pair
}

void CTscStopwatch::Restart() {
    start = read_();
}

std::uint64_t CTscStopwatch::Elapsed() const {
    return read_() - start - overhead;
}

std::string ClockText(std::uint64_t ticksPerSecond) {
    const auto q = static_cast<std::uint32_t>(ticksPerSecond / 10000);  // hundredths of a MHz
    char text[48];
    std::snprintf(text, sizeof text, "%u.%02u   MHZ   estimate ", static_cast<unsigned>(q / 100),
                  static_cast<unsigned>(q % 100));
    return text;
}

std::optional<std::string> EstimateClock(TickReader read, Sleeper sleep) {
    // RDTSC on a processor without a counter would fault, so such a processor
    // gets no estimate and the field keeps its "Not Detected!".
    if (!CCpuProbe().HasTimeStampCounter()) return std::nullopt;
    CTscStopwatch stopwatch(read);
    stopwatch.Restart();
    sleep(1000);
    return ClockText(stopwatch.Elapsed());
}
