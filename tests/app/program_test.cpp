// quarrion.exe itself: it starts, shows the dialog with this machine's processor
// name and clock estimate, starts a run, and Close during the run ends the
// process at once, its workers with it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "cpu/cpu_probe.h"
#include "res/resource.h"
#include "support/unique_resource.h"
#include "tests/app/dialog_checks.h"

namespace {

using Handle = UniqueResource<HANDLE, ::CloseHandle>;

// The program started for the test; ended by force if the test could not end it.
struct Program {
    Handle process;
    Handle thread;
    DWORD id = 0;
    ~Program() {
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
    }
};

std::string ProgramPath() {
    std::string path = QUARRION_EXE;
    if (!path.empty() && path[0] == '/') {  // a Unix path: Wine sees it on drive Z:
        for (char& c : path) c = c == '/' ? '\\' : c;
        path = "Z:" + path;
    }
    return path;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

HWND FindProgramDialog(DWORD processId) {
    for (HWND hwnd = FindWindowA("#32770", "Quarrion BETA v.92"); hwnd != nullptr;
         hwnd = FindWindowExA(nullptr, hwnd, "#32770", "Quarrion BETA v.92")) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == processId) return hwnd;
    }
    return nullptr;
}

TEST(Program, StartsRunsAndEndsWithItsWorkersOnClose) {
    std::string commandLine = "\"" + ProgramPath() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info))
        << commandLine;
    Program program{Handle(info.hProcess), Handle(info.hThread), info.dwProcessId};

    HWND dialog = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (dialog = FindProgramDialog(program.id)) != nullptr; }, 30000));
    // The texts are in place once the dialog has initialised; wait for the bars' ranges.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return SendDlgItemMessageA(dialog, IDC_BAR_COMPLEX_MATRIX, PBM_GETRANGE, FALSE, 0) ==
                   90;
        },
        10000));
    const char* name = CCpuProbe().NameProcessor();
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CPU_NAME)), name != nullptr ? name : "");
    EXPECT_TRUE(std::regex_match(WindowText(GetDlgItem(dialog, IDC_CLOCK_TEXT)),
                                 std::regex("[1-9][0-9]*\\.[0-9][0-9]   MHZ   estimate ")));

    const int idleThreads = ThreadsOf(program.id);
    ASSERT_GT(idleThreads, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_START_STOP, BN_CLICKED), 0);
    // An option is checked for each unit this processor has: three to five workers.
    const CCpuProbe probe;
    const int workers = 3 + probe.HasMMX() + probe.HasSSE();
    EXPECT_TRUE(WaitUntil([&] { return ThreadsOf(program.id) == idleThreads + workers; }, 10000))
        << ThreadsOf(program.id) << " threads, " << idleThreads << " before Start";
    EXPECT_TRUE(WaitUntil(
        [&] {
            return WindowText(GetDlgItem(dialog, IDC_ERROR_TEXT)) == "No Error(s) detected yet!";
        },
        5000));

    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForSingleObject(program.process.get(), 3000), WAIT_OBJECT_0)
        << "Close during a run ends the process, workers and all";
    DWORD exitCode = 1;
    GetExitCodeProcess(program.process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ThreadsOf(program.id), 0);
}

}  // namespace
