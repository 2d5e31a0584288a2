// What identifies the machine and the build in a fleet's records: the
// processor's brand string and signature, the compiler and the C runtime.
#pragma once

#include <string>
#include <vector>

#include "cpu/cpuid_source.h"

// The brand string from the extended leaves, trimmed; empty when absent.
std::string BrandString(CpuidSource& cpuid);

// "family 6 model 85 stepping 7", with the extended fields folded in.
std::string Signature(CpuidSource& cpuid);

// Brand string (when known), signature, compiler and C runtime, one line each.
std::vector<std::string> PlatformInfos(CpuidSource& cpuid);
