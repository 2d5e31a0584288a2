// The platform-neutral part of the launcher: the count of live workers and the
// entry every worker thread runs through.
#include "engine/thread_launcher.h"

#include <chrono>
#include <thread>

#include "engine/thread_launcher_platform.h"

namespace {

std::atomic<int> g_liveWorkers{0};

}  // namespace

int LiveWorkerCount() { return g_liveWorkers.load(std::memory_order_acquire); }

void WaitForEarlierWorkers() {
    while (LiveWorkerCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

unsigned RunLaunchedWorker(std::unique_ptr<LaunchRequest> request) {
    const unsigned code = request->routine(request->parameter);
    request.reset();
    // Release: the worker's last flag store is ordered before a waiter's clear.
    g_liveWorkers.fetch_sub(1, std::memory_order_release);
    return code;
}

bool LaunchWorkerThread(WorkerRoutine routine, void* parameter, int priority) {
    auto request = std::make_unique<LaunchRequest>(LaunchRequest{routine, parameter, priority});
    g_liveWorkers.fetch_add(1, std::memory_order_relaxed);
    if (StartPlatformThread(std::move(request))) return true;
    g_liveWorkers.fetch_sub(1, std::memory_order_release);
    return false;
}
