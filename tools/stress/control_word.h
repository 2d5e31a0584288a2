// The floating-point control words every worker runs under: MXCSR (SSE and AVX
// rounding, flush-to-zero, denormals-are-zero, exception masks) and, in the
// 32-bit build, the x87 control word. Anything in the process that changed
// them would make every core miss the known answers, so each worker sets them
// when it starts and checks them after every cycle.
#pragma once

#include <cstdint>
#include <string>

struct ControlWords {
    std::uint32_t mxcsr = 0;
    std::uint16_t x87 = 0;
};

// Round to nearest, every exception masked, no flush-to-zero, no
// denormals-are-zero, no status flag.
constexpr std::uint32_t kMxcsrDefault = 0x1f80;
// The control word Windows gives every new thread, so the dialog's routines
// compute here what they compute in the dialog program's workers: 53-bit
// precision, round to nearest, every exception masked.
constexpr std::uint16_t kX87Default = 0x027f;

// The bits that are settings; the rest of each word are status flags that the
// arithmetic itself sets (MXCSR) or that do nothing (x87 bit 12 and above).
constexpr std::uint32_t kMxcsrControlBits = 0xffc0;
constexpr std::uint16_t kX87ControlBits = 0x0f3f;

// Whether this build and processor have each word: MXCSR with SSE, the x87
// word in the 32-bit build.
bool HasMxcsr();
bool ChecksX87();

// Both words in one number, as an error record keeps them, and back.
constexpr std::uint64_t PackedControlWords(const ControlWords& w) {
    return std::uint64_t{w.mxcsr} << 16 | w.x87;
}
constexpr ControlWords UnpackedControlWords(std::uint64_t packed) {
    return {static_cast<std::uint32_t>(packed >> 16), static_cast<std::uint16_t>(packed)};
}

// On the calling thread.
void SetDefaultControlWords();
ControlWords ReadControlWords();

// Empty when the settings are the defaults; else which word, its settings
// (status flags left out), the expected ones and the settings that differ:
// "MXCSR 0x9f80, expected 0x1f80: flush-to-zero on".
std::string ControlWordChange(const ControlWords& words);
