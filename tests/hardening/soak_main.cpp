// Not a unit test: the soak driver. Starts quarrion.exe, presses Start, and
// once a second reads the error line, the handle and thread counts and the
// private bytes of the program; after the given time it stops the run, ends the
// program and prints a one-line verdict. Exit status 0 only when no error line
// appeared and nothing grew.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/unique_resource.h"
#include "tests/process_objects.h"

namespace {

using Handle = UniqueResource<HANDLE, CloseHandle>;

// Committed private memory (Wine fills PagefileUsage, not PrivateUsage).
double PrivateMiB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    const SIZE_T bytes =
        counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

struct Sample {
    int handles, threads;
    double privateMiB;
};

struct Finder {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchProgramDialog(HWND hwnd, LPARAM lParam) {
    auto* finder = reinterpret_cast<Finder*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof(title));
    if (owner != finder->processId || std::string(title) != "Quarrion BETA v.92") return TRUE;
    finder->found = hwnd;
    return FALSE;
}

HWND WaitForDialog(DWORD processId) {
    for (int i = 0; i < 300; ++i) {
        Finder finder{processId, nullptr};
        EnumWindows(MatchProgramDialog, reinterpret_cast<LPARAM>(&finder));
        if (finder.found != nullptr) return finder.found;
        Sleep(100);
    }
    return nullptr;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string ErrorLine(HWND dialog) {
    char text[128] = {};
    GetDlgItemTextA(dialog, IDC_ERROR_TEXT, text, sizeof(text));
    return text;
}

// The median of the samples in [from, to).
template <typename Field>
double Median(const std::vector<Sample>& samples, std::size_t from, std::size_t to, Field field) {
    std::vector<double> values;
    for (std::size_t i = from; i < to && i < samples.size(); ++i)
        values.push_back(field(samples[i]));
    if (values.empty()) return 0;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak QUARRION_EXE SECONDS\n");
        return 2;
    }
    const int seconds = std::max(10, std::atoi(argv[2]));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string command = std::string("\"") + argv[1] + "\"";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        std::printf("soak: FAIL, %s did not start\n", argv[1]);
        return 1;
    }
    const Handle process(info.hProcess), thread(info.hThread);
    const HWND dialog = WaitForDialog(info.dwProcessId);
    if (dialog == nullptr) {
        TerminateProcess(process.get(), 1);
        std::printf("soak: FAIL, the main dialog did not appear\n");
        return 1;
    }
    Sleep(500);
    const int idleThreads = ThreadsOf(info.dwProcessId);
    Press(dialog, IDC_START_STOP);
    Sleep(1000);
    const int workers = ThreadsOf(info.dwProcessId) - idleThreads;

    std::vector<Sample> samples;
    std::string falseError;
    for (int second = 0; second < seconds; ++second) {
        const std::string line = ErrorLine(dialog);
        if (line != "No Error(s) detected yet!" && falseError.empty()) {
            falseError = "\"" + line + "\" after " + std::to_string(second) + " s";
        }
        samples.push_back(
            {HandlesOf(info.dwProcessId), ThreadsOf(info.dwProcessId), PrivateMiB(process.get())});
        if (second % 60 == 59) {
            const Sample& s = samples.back();
            std::printf("soak: %d s, %d handles, %d threads, %.1f MiB private\n", second + 1,
                        s.handles, s.threads, s.privateMiB);
            std::fflush(stdout);
        }
        Sleep(1000);
    }
    Press(dialog, IDC_START_STOP);
    Sleep(500);
    Press(dialog, IDOK);
    DWORD exitCode = 1;
    const bool ended = WaitForSingleObject(process.get(), 15000) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.get(), &exitCode) && exitCode == 0;
    if (!ended) TerminateProcess(process.get(), 1);

    // Warm-up is the first tenth (at least 5 s); growth compares its medians with the last tenth's.
    const std::size_t n = samples.size(), tenth = std::max<std::size_t>(5, n / 10);
    auto handles = [](const Sample& s) { return static_cast<double>(s.handles); };
    auto threads = [](const Sample& s) { return static_cast<double>(s.threads); };
    auto memory = [](const Sample& s) { return s.privateMiB; };
    const double handlesStart = Median(samples, 0, tenth, handles);
    const double handlesEnd = Median(samples, n - tenth, n, handles);
    const double threadsStart = Median(samples, 0, tenth, threads);
    const double threadsEnd = Median(samples, n - tenth, n, threads);
    const double memoryStart = Median(samples, 0, tenth, memory);
    const double memoryEnd = Median(samples, n - tenth, n, memory);

    std::string verdict;
    if (!falseError.empty()) verdict += "; error line " + falseError;
    if (workers < 3 || workers > 5) verdict += "; " + std::to_string(workers) + " workers started";
    if (handlesEnd > handlesStart + 8) verdict += "; handles grew";
    if (threadsEnd > threadsStart) verdict += "; threads grew";
    if (memoryEnd > memoryStart + 2.0) verdict += "; private memory grew";
    if (!ended) verdict += "; the program did not end with exit code 0";
    std::printf(
        "soak: %s, %d s with %d workers; handles %.0f -> %.0f, threads %.0f -> %.0f, "
        "private %.1f -> %.1f MiB%s\n",
        verdict.empty() ? "PASS" : "FAIL", seconds, workers, handlesStart, handlesEnd, threadsStart,
        threadsEnd, memoryStart, memoryEnd, verdict.c_str());
    return verdict.empty() ? 0 : 1;
}
