// The estimate's one-second wait elsewhere: the standard library's sleep, which
// resumes after signals until the whole time has passed.
#include "cpu/tsc_stopwatch.h"

#include <chrono>
#include <thread>

void SleepMilliseconds(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
