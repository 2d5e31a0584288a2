// Not a test: runs a console program in this process's console and delivers
// console control events to it on request, for the tests of the Windows runner.
// Started with a console of its own; its standard handles pass to the program.
// Each byte read from standard input is a request: 'i' sends Ctrl-C to every
// process of the console (this one ignores it), 'f' freezes every thread of
// the program but its main one, so a stop that waits for them cannot finish.
// Exits with the program's exit status; 98 when it could not start, 99 when it
// had to be ended after the ceiling.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <utility>

#include "support/unique_resource.h"

namespace {

using Handle = UniqueResource<HANDLE, ::CloseHandle>;

constexpr DWORD kCeilingMs = 180000;  // only a hang reaches it
// Under Wine the second of two events sent back to back never reached the
// program; a person pressing Ctrl-C twice is slower than this anyway.
constexpr DWORD kEventSpacingMs = 500;

// Every thread of the process but its first, the one that runs main().
void FreezeWorkers(DWORD processId) {
    const HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (list == INVALID_HANDLE_VALUE) return;
    const Handle snapshot(list);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    bool first = true;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        if (std::exchange(first, false)) continue;
        const Handle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
        if (thread) SuspendThread(thread.get());
    }
}

DWORD g_programId = 0;

DWORD WINAPI ServeRequests(void*) {
    char request = 0;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &request, 1, &read, nullptr) && read == 1) {
        if (request == 'i') {
            if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
                std::fprintf(stderr,
                             "console_interrupt: GenerateConsoleCtrlEvent failed, error %lu\n",
                             GetLastError());
            }
            Sleep(kEventSpacingMs);
        }
        if (request == 'f') FreezeWorkers(g_programId);
    }
    return 0;
}

}  // namespace

int main() {
    // The program's command line is this one's, less its first word.
    const char* rest = GetCommandLineA();
    for (bool quoted = false; *rest != '\0' && (quoted || (*rest != ' ' && *rest != '\t'));
         ++rest) {
        if (*rest == '"') quoted = !quoted;
    }
    while (*rest == ' ' || *rest == '\t') ++rest;
    std::string command = rest;

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        std::fprintf(stderr, "console_interrupt: cannot start %s, error %lu\n", command.c_str(),
                     GetLastError());
        return 98;
    }
    const Handle process(info.hProcess), thread(info.hThread);
    g_programId = info.dwProcessId;
    // The events are for the program. Only now: a child inherits the setting.
    SetConsoleCtrlHandler(nullptr, TRUE);
    const Handle server(CreateThread(nullptr, 0, ServeRequests, nullptr, 0, nullptr));
    if (WaitForSingleObject(process.get(), kCeilingMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 99);
        return 99;
    }
    DWORD status = 98;
    GetExitCodeProcess(process.get(), &status);
    std::fflush(nullptr);
    // The request thread may still sit in a read: leave without waiting for it.
    ExitProcess(status);
}
