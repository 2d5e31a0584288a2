// Windows: thread affinity masks, console control events, _isatty, the computer name.
#include "tools/stress/platform.h"

#include <windows.h>
#include <io.h>

#include <atomic>

namespace {

std::atomic<int> g_interrupts{0};
void (*g_onFirst)() = nullptr;
int g_secondStatus = 3;

BOOL WINAPI OnConsoleEvent(DWORD) {
    if (g_interrupts.fetch_add(1) == 0) {
        if (g_onFirst) g_onFirst();
    } else {
        ExitProcess(static_cast<UINT>(g_secondStatus));
    }
    return TRUE;
}

}  // namespace

std::vector<int> UsableProcessors() {
    std::vector<int> processors;
    DWORD_PTR processMask = 0, systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) {
        for (int cpu = 0; cpu < static_cast<int>(8 * sizeof processMask); ++cpu)
            if (processMask & (DWORD_PTR{1} << cpu)) processors.push_back(cpu);
    }
    if (processors.empty()) processors.push_back(0);
    return processors;
}

bool PinCurrentThread(int processor) {
    return SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR{1} << processor) != 0;
}

int CurrentProcessor() {
    return static_cast<int>(GetCurrentProcessorNumber());
}

void InstallInterruptHandler(void (*onFirst)(), int exitStatusOnSecond) {
    g_onFirst = onFirst;
    g_secondStatus = exitStatusOnSecond;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return {};
    return std::string(name, size);
}

bool SyncToDisk(std::FILE* stream) {
    return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0;
}
