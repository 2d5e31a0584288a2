// The skinning manager: a WH_CALLWNDPROC hook per thread that recognises
// controls by class name, the registry of their skinning objects, and the
// hover timer. One process-wide instance, reached through GetManager.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "skin/skinned_control.h"
#include "skin/subclassed_window.h"
#include "support/unique_resource.h"

// Subclasses a dialog so that controls created in it later are skinned too.
class CSkinnedDialog : public CSubclassedWindow {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    Unregister Unregisterer() const override;
};

// Every hooked thread has its own controls, dialogs, hot window and hover
// timer, touched only on that thread; the table of threads is shared and
// guarded. A window is registered only on the thread that owns it.
class CSkinManager {
public:
    // The system calls behind every hook the manager sets and releases; tests put
    // in their own, since a real SetWindowsHookEx cannot be made to fail.
    struct HookCalls {
        HHOOK(WINAPI* set)(int, HOOKPROC, HINSTANCE, DWORD);
        BOOL(WINAPI* unhook)(HHOOK);
        LRESULT(WINAPI* next)(HHOOK, int, WPARAM, LPARAM);
    };
    // Returns the calls in use before; only while no hook is being set or released.
    static HookCalls ReplaceHookCalls(HookCalls calls);
    static BOOL Unhook(HHOOK hook);
    using HookHandle = UniqueResource<HHOOK, &CSkinManager::Unhook>;

    virtual ~CSkinManager();
    CSkinManager(const CSkinManager&) = delete;
    CSkinManager& operator=(const CSkinManager&) = delete;

    static CSkinManager* GetManager();

    // Thread id -1 is the calling thread. dialogsOnly TRUE: skin dialogs at
    // WM_INITDIALOG; otherwise every child window at its WM_CREATE. A failed
    // hook is not recorded, so a later call tries again.
    void InstallHook(DWORD threadId, BOOL dialogsOnly);
    void UninstallHook(DWORD threadId);
    // All threads, through the module's export "SKM_CallWndProc"; a second call
    // releases the first hook.
    void InstallGlobalHook(HINSTANCE module, BOOL dialogsOnly);
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    // What a host's "SKM_CallWndProc" hands each message to: HookProc's work,
    // passed on along the system-wide hook's chain.
    static LRESULT CALLBACK GlobalHookProc(int code, WPARAM wParam, LPARAM lParam);

    void AddDialog(HWND dialog);
    // className may be null: it is then read from the window. Only windows of
    // the calling thread are skinned.
    BOOL AddControl(HWND window, const char* className = nullptr);
    // Subclasses the window with `object` and registers it: AddControl's last
    // step. FALSE (and the object gone) for a null, registered or foreign
    // window, or when the window refuses the subclass.
    BOOL Register(HWND window, std::unique_ptr<CSkinnedControl> object);
    void SubclassDialog(HWND dialog);
    BOOL RemoveControl(HWND window);
    void RemoveControls(HWND parent);
    void RemoveDialog(HWND dialog);
    // Unhooks every thread and gives every skinned window its procedure back;
    // the destructor's work, at process exit, when no other thread runs.
    void RemoveAll();
    // One tick of hover tracking, over the calling thread's controls.
    void TrackMouse();
    static LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // What painters use, all for the calling thread: the registered object of a
    // window (or null), the window drawn hot, and whether an object found
    // earlier still serves its window (a message may have destroyed it since).
    static CSkinnedControl* FindControl(HWND window);
    static HWND HotWindow();
    static bool Holds(HWND window, const CSkinnedControl* object, std::uint32_t serial);
    // A message for a window we no longer handle: to the procedure it had before
    // us when we could not step out of its chain, else to DefWindowProc.
    static LRESULT PassOnUnregistered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // A window being destroyed: its object goes without leaving anything behind.
    static void ForgetControl(HWND window);
    static void ForgetDialog(HWND dialog);

    // Read-only views, for the calling thread unless a thread is named.
    BOOL DialogsOnly() const { return dialogsOnly_.load(std::memory_order_relaxed); }
    bool IsHooked(DWORD threadId) const;
    std::size_t HookedThreads() const;
    // Threads with an entry, hooked or not.
    std::size_t ThreadCount() const;
    bool IsDialogSkinned(HWND dialog) const;
    std::size_t ControlCount() const;
    std::size_t DialogCount() const;
    std::size_t StrandedCount() const;
    // Every window with our procedure in its chain: controls, dialogs, stranded.
    std::vector<HWND> RegisteredWindows() const;
    UINT_PTR TimerId() const;
    HHOOK GlobalHook() const { return globalHook_.get(); }

private:
    friend struct ManagerInstance;
    CSkinManager();

    static void SkinChild(HWND child);
    // HookProc's work for the calling thread; its hook, or null when it has none.
    static HHOOK ActOnHook(int code, LPARAM lParam);
    void ClearHotWindow();

    std::atomic<BOOL> dialogsOnly_{FALSE};  // one mode for every hooked thread
    HookHandle globalHook_;                 // the hook is ours; its module is the host's
};
