// Linux: sched affinity, SIGINT/SIGTERM, isatty, the host name.
#include "tools/stress/platform.h"

#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> g_interrupts{0};
void (*g_onFirst)() = nullptr;
int g_secondStatus = 3;

void OnSignal(int) {
    if (g_interrupts.fetch_add(1) == 0) {
        if (g_onFirst) g_onFirst();
    } else {
        _exit(g_secondStatus);
    }
}

}  // namespace

std::vector<int> UsableProcessors() {
    std::vector<int> processors;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &set)) processors.push_back(cpu);
    }
    if (processors.empty()) processors.push_back(0);
    return processors;
}

bool PinCurrentThread(int processor) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(processor, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

int CurrentProcessor() {
    return sched_getcpu();
}

void InstallInterruptHandler(void (*onFirst)(), int exitStatusOnSecond) {
    g_onFirst = onFirst;
    g_secondStatus = exitStatusOnSecond;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool SyncToDisk(std::FILE* stream) {
    return std::fflush(stream) == 0 && fsync(fileno(stream)) == 0;
}
