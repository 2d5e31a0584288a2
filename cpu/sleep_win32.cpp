// The estimate's one-second wait on Windows: the kernel's Sleep.
#include "cpu/tsc_stopwatch.h"

#include <windows.h>

void SleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}
