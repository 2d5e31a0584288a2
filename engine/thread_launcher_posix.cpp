// POSIX thread start: a detached thread that lowers its nice value by the
// priority level before the routine runs. Raising priority needs privilege; an
// unprivileged process keeps the normal level, which is not an error.
#include <cerrno>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/thread_launcher.h"
#include "engine/thread_launcher_platform.h"

namespace {

void ApplyPriority(int priority) {
    const id_t self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, 0);
    if (errno == 0) setpriority(PRIO_PROCESS, self, base - priority);
}

void* ThreadEntry(void* raw) {
    std::unique_ptr<LaunchRequest> request(static_cast<LaunchRequest*>(raw));
    ApplyPriority(request->priority);
    RunLaunchedWorker(std::move(request));
    return nullptr;
}

}  // namespace

bool StartPlatformThread(std::unique_ptr<LaunchRequest> request) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, ThreadEntry, request.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (started) static_cast<void>(request.release());  // the thread owns it now
    return started;
}
