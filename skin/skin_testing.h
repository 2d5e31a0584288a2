// For tests only, never linked into a program: what the registry holds, and the
// seam that puts scripted calls behind every hook the manager sets.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "skin/registry.h"

struct SkinTesting {
    using HookCalls = skin_registry::HookCalls;
    // Returns the calls in use before; only while no hook is being set or released.
    static HookCalls ReplaceHookCalls(HookCalls calls);

    // Read-only views, for the calling thread unless a thread is named.
    static BOOL DialogsOnly();
    static bool IsHooked(DWORD threadId);
    static std::size_t HookedThreads();
    // Threads with an entry, hooked or not.
    static std::size_t ThreadCount();
    static bool IsDialogSkinned(HWND dialog);
    static std::size_t ControlCount();
    static std::size_t DialogCount();
    static std::size_t StrandedCount();
    // Every window with our procedure in its chain: controls, dialogs, stranded.
    static std::vector<HWND> RegisteredWindows();
    static UINT_PTR TimerId();
    static HHOOK GlobalHook();
};
