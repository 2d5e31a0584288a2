// The registry of skinning objects, at the bottom of skin/: per hooked thread
// its hook, controls, dialogs, stranded windows, hot window and hover timer, in
// one guarded table of threads. The control base, the painters and the manager
// use it; it knows none of them, only the subclassed windows it owns.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "skin/subclassed_window.h"
#include "support/unique_resource.h"

namespace skin_registry {

// The system calls behind every hook the manager sets, releases and passes on;
// the test-only header puts in its own, since a real SetWindowsHookEx cannot be
// made to fail.
struct HookCalls {
    HHOOK(WINAPI* set)(int, HOOKPROC, HINSTANCE, DWORD);
    BOOL(WINAPI* unhook)(HHOOK);
    LRESULT(WINAPI* next)(HHOOK, int, WPARAM, LPARAM);
};
extern HookCalls hookCalls;

BOOL Unhook(HHOOK hook);
using HookHandle = UniqueResource<HHOOK, &Unhook>;
using ThreadHandle = UniqueResource<HANDLE, ::CloseHandle>;

// A window whose chain we could not step out of: its procedure before us, and
// whether it is called through the wide calls.
struct Stranded {
    WNDPROC proc;
    bool unicode;
};

// What one thread has skinned. `hook` and `stopTimer` may be touched from other
// threads, under the registry's lock; everything else only by the thread itself.
struct ThreadSkin {
    // Held open so the thread id cannot name another thread while the entry
    // lives, and so an entry outliving its thread can be told.
    ThreadHandle thread;
    HookHandle hook;
    bool stopTimer = false;  // unhooked from elsewhere: the thread's next tick stops its timer
    // Control objects (CSkinnedControl, by the manager's Register only) and dialog objects.
    std::unordered_map<HWND, std::unique_ptr<CSubclassedWindow>> controls;
    std::unordered_map<HWND, std::unique_ptr<CSubclassedWindow>> dialogs;
    // Windows we could not step out of because another subclasser sits above us:
    // our procedure stays in their chain and passes everything to the saved one.
    std::unordered_map<HWND, Stranded> stranded;
    HWND hotWindow = nullptr;  // not owned
    UINT_PTR timerId = 0;

    bool Empty() const {
        return !hook && controls.empty() && dialogs.empty() && stranded.empty() && timerId == 0;
    }
    // A thread that ended (or was terminated) without a word: its hook and its
    // windows went with it.
    bool Ended() const { return thread && ::WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }
    // What a thread that is gone leaves: nothing to unhook, no window to restore.
    void Abandon() {
        hook.release();  // its value may already name someone else's hook
        timerId = 0;
    }
};

class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) {
        ::EnterCriticalSection(&section_);
    }
    ~Lock() { ::LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// The table of threads. A thread's entry is erased only by that thread, by
// RemoveAll for the calling thread, or once its thread has ended, so a thread
// may keep its own entry while it runs code that sends no message; across a
// sent message it looks it up again.
class Registry {
public:
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    CRITICAL_SECTION& section() { return section_; }
    std::atomic<bool> live{false};         // false before construction and after destruction
    std::atomic<BOOL> dialogsOnly{FALSE};  // one mode for every hooked thread
    HookHandle globalHook;                 // the hook is ours; its module is the host's
    // Under the lock only.
    std::unordered_map<DWORD, std::unique_ptr<ThreadSkin>> threads;

    ThreadSkin* Find(DWORD thread);
    ThreadSkin* Mine() { return Find(::GetCurrentThreadId()); }
    // Throws std::bad_alloc. Under the lock, or on the calling thread's own entry.
    ThreadSkin& Of(DWORD thread);
    // Entries of threads that ended without taking their own out are as good
    // as absent: they go, with nothing unhooked or restored for them.
    void DropEnded();
    // Takes the calling thread's entry out, for it to undo.
    std::unique_ptr<ThreadSkin> TakeMine();
    // The calling thread's entry goes once nothing is left in it.
    void DropMineIfEmpty();

private:
    CRITICAL_SECTION section_;
};

// Made at first use; whoever needs it to outlive them (the manager) uses it first.
Registry& TheRegistry();

// Steps out of the window's chain; a live window whose chain we cannot leave
// keeps our procedure, which then passes everything on. A window being destroyed
// is never kept: its handle value may come back for a new window.
void Release(ThreadSkin& skin, CSubclassedWindow& object, bool dying);
void StopTimerIfIdle(ThreadSkin& skin);
// Unregisters a control or dialog of the calling thread; FALSE when it has none for it.
BOOL DropControl(HWND window, bool dying);
void DropDialog(HWND dialog, bool dying);

// What the control base, the painters and the window procedures use, all for
// the calling thread: the registered object of a window (or null), the window
// drawn hot, and whether an object found earlier still serves its window (a
// message may have destroyed it since).
CSubclassedWindow* FindControl(HWND window);
HWND HotWindow();
bool Holds(HWND window, const CSubclassedWindow* object, std::uint32_t serial);
// A message for a window we no longer handle: to the procedure it had before
// us when we could not step out of its chain, else to DefWindowProc.
LRESULT PassOnUnregistered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// A window being destroyed: its object goes without leaving anything behind.
void ForgetControl(HWND window);
void ForgetDialog(HWND dialog);

}  // namespace skin_registry
