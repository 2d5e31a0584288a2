// Windows: processor temperatures need a kernel driver that Windows does not
// ship, so this build reports none ("not available").
#include "tools/stress/sensors.h"

std::vector<TempReading> LiveTemperatures() {
    return {};
}
