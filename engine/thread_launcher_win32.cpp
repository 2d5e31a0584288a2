// Win32 thread start: created suspended, priority set, resumed, handle closed.
// A thread that cannot be resumed never ran: it is ended and not counted.
#include <windows.h>
#include <process.h>

#include "engine/thread_launcher.h"
#include "engine/thread_launcher_platform.h"
#include "support/unique_resource.h"

static_assert(kPriorityAboveNormal == THREAD_PRIORITY_ABOVE_NORMAL);
static_assert(kPriorityHighest == THREAD_PRIORITY_HIGHEST);

namespace {

using ThreadHandle = UniqueResource<HANDLE, ::CloseHandle>;

ThreadResumer g_resume = &::ResumeThread;

unsigned __stdcall ThreadEntry(void* raw) {
    return RunLaunchedWorker(std::unique_ptr<LaunchRequest>(static_cast<LaunchRequest*>(raw)));
}

}  // namespace

ThreadResumer ReplaceThreadResumer(ThreadResumer resumer) {
    const ThreadResumer previous = g_resume;
    g_resume = resumer != nullptr ? resumer : &::ResumeThread;
    return previous;
}

bool StartPlatformThread(std::unique_ptr<LaunchRequest> request) {
    const ThreadHandle thread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, ThreadEntry, request.get(), CREATE_SUSPENDED, nullptr)));
    if (!thread) return false;
    ::SetThreadPriority(thread.get(), request->priority);
    if (g_resume(thread.get()) == static_cast<DWORD>(-1)) {
        // Left suspended it would never run, yet never end either. It has not
        // touched the request, which is freed here once the thread is gone.
        ::TerminateThread(thread.get(), 0);
        ::WaitForSingleObject(thread.get(), INFINITE);
        return false;
    }
    static_cast<void>(request.release());  // the thread owns it now
    return true;
}
