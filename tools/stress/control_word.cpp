// Reading and writing the control words: the SSE intrinsics for MXCSR, and
// fnstcw/fldcw for the x87 word in the 32-bit build.
#include "tools/stress/control_word.h"

#include <immintrin.h>

namespace {

// Under their own target: the 32-bit build compiles for processors without SSE.
__attribute__((target("sse"))) unsigned GetCsr() {
    return _mm_getcsr();
}
__attribute__((target("sse"))) void SetCsr(unsigned value) {
    _mm_setcsr(value);
}

struct Setting {
    unsigned mask;
    const char* name;  // what the bits mean when they differ from the default
};

// MXCSR: exception masks (set means masked), denormals, rounding, flush.
const Setting kMxcsrSettings[] = {
    {0x0040, "denormals-are-zero"}, {0x0080, "invalid-operation mask"},
    {0x0100, "denormal mask"},      {0x0200, "divide-by-zero mask"},
    {0x0400, "overflow mask"},      {0x0800, "underflow mask"},
    {0x1000, "precision mask"},     {0x6000, "rounding"},
    {0x8000, "flush-to-zero"},
};

// x87: the same masks in bits 0-5, then precision and rounding.
const Setting kX87Settings[] = {
    {0x0001, "invalid-operation mask"},
    {0x0002, "denormal mask"},
    {0x0004, "divide-by-zero mask"},
    {0x0008, "overflow mask"},
    {0x0010, "underflow mask"},
    {0x0020, "precision mask"},
    {0x0300, "precision"},
    {0x0c00, "rounding"},
};

const char* RoundingName(unsigned field) {  // the two bits, shifted down
    static const char* const names[] = {"to nearest", "down", "up", "toward zero"};
    return names[field & 3];
}

const char* PrecisionName(unsigned field) {
    static const char* const names[] = {"24-bit", "reserved", "53-bit", "64-bit"};
    return names[field & 3];
}

std::string Hex(unsigned value, int digits) {
    static const char* const hex = "0123456789abcdef";
    std::string text = "0x";
    for (int d = digits - 1; d >= 0; --d) text += hex[(value >> (4 * d)) & 0xf];
    return text;
}

template <std::size_t N>
std::string Describe(const char* word, unsigned value, unsigned expected, unsigned controlBits,
                     const Setting (&settings)[N], int digits) {
    if ((value & controlBits) == (expected & controlBits)) return {};
    std::string text = std::string(word) + " " + Hex(value & controlBits, digits) + ", expected " +
                       Hex(expected, digits) + ":";
    const char* separator = " ";
    for (const Setting& s : settings) {
        const unsigned now = value & s.mask, then = expected & s.mask;
        if (now == then) continue;
        text += separator;
        separator = ", ";
        const unsigned shift = static_cast<unsigned>(__builtin_ctz(s.mask));
        const std::string name = s.name;
        if (name == "rounding")
            text += std::string("rounding ") + RoundingName(now >> shift);
        else if (name == "precision")
            text += std::string("precision ") + PrecisionName(now >> shift);
        else if (name.size() > 5 && name.compare(name.size() - 5, 5, " mask") == 0)
            text += name.substr(0, name.size() - 5) + (now ? " masked" : " unmasked");
        else
            text += name + (now ? " on" : " off");
    }
    return text;
}

}  // namespace

bool HasMxcsr() {
#if defined(__x86_64__)
    return true;
#else
    return __builtin_cpu_supports("sse");
#endif
}

bool ChecksX87() {
#if defined(__i386__)
    return true;
#else
    return false;
#endif
}

void SetDefaultControlWords() {
    if (HasMxcsr()) SetCsr(kMxcsrDefault);
#if defined(__i386__)
    const std::uint16_t word = kX87Default;
    __asm__ volatile("fldcw %0" : : "m"(word));
#endif
}

ControlWords ReadControlWords() {
    ControlWords words;
    if (HasMxcsr()) words.mxcsr = GetCsr();
#if defined(__i386__)
    __asm__ volatile("fnstcw %0" : "=m"(words.x87));
#endif
    return words;
}

std::string ControlWordChange(const ControlWords& words) {
    std::string text;
    if (HasMxcsr())
        text = Describe("MXCSR", words.mxcsr, kMxcsrDefault, kMxcsrControlBits, kMxcsrSettings, 4);
    if (ChecksX87()) {
        const std::string x87 =
            Describe("x87 control word", words.x87, kX87Default, kX87ControlBits, kX87Settings, 4);
        if (!x87.empty()) text += (text.empty() ? "" : "; ") + x87;
    }
    return text;
}
