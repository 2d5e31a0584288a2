// The dialog's three routines as loads of the runner.
#pragma once

#include "tools/stress/load.h"

extern const LoadDescriptor kMatrixLoad;
extern const LoadDescriptor kMemoryLoad;
extern const LoadDescriptor kComplexMathLoad;
