// The vector loads: floating-point and integer work held in registers and the
// caches, every work item computed twice and compared bit for bit.
#pragma once

#include "tools/stress/load.h"

extern const LoadDescriptor kFmaLoad, kFmaAddLoad, kCacheLoad, kIntLoad;
