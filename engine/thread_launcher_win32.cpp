// Win32 thread start: created suspended, priority set, resumed, handle closed.
#include <windows.h>
#include <process.h>

#include "engine/thread_launcher.h"
#include "engine/thread_launcher_platform.h"

static_assert(kPriorityAboveNormal == THREAD_PRIORITY_ABOVE_NORMAL);
static_assert(kPriorityHighest == THREAD_PRIORITY_HIGHEST);

namespace {

unsigned __stdcall ThreadEntry(void* raw) {
    return RunLaunchedWorker(std::unique_ptr<LaunchRequest>(static_cast<LaunchRequest*>(raw)));
}

}  // namespace

bool StartPlatformThread(std::unique_ptr<LaunchRequest> request) {
    const int priority = request->priority;
    const uintptr_t thread =
        _beginthreadex(nullptr, 0, ThreadEntry, request.get(), CREATE_SUSPENDED, nullptr);
    if (thread == 0) return false;
    request.release();  // the thread owns it now
    const HANDLE handle = reinterpret_cast<HANDLE>(thread);
    SetThreadPriority(handle, priority);
    ResumeThread(handle);
    CloseHandle(handle);
    return true;
}
