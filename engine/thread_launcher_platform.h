// What each platform supplies to the launcher: start one thread that applies the
// priority, then calls RunLaunchedWorker with the request it was given.
#pragma once

#include <memory>

#include "engine/worker.h"

struct LaunchRequest {
    WorkerRoutine routine;
    void* parameter;
    int priority;
};

// Runs the routine and accounts for its end; the platform's thread entry calls it.
unsigned RunLaunchedWorker(std::unique_ptr<LaunchRequest> request);

// Owns the request from here on; answers false (and frees it) when no thread started.
bool StartPlatformThread(std::unique_ptr<LaunchRequest> request);

#ifdef _WIN32
// How the Win32 launcher sets its created, suspended thread going: ResumeThread,
// which answers (DWORD)-1 when it fails. Tests put in one that fails; answers
// the one it replaces.
using ThreadResumer = unsigned long(__stdcall*)(void* thread);
ThreadResumer ReplaceThreadResumer(ThreadResumer resumer);
#endif
