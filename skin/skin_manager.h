// The skinning manager: a WH_CALLWNDPROC hook per thread that recognises
// controls by class name, the registry of their skinning objects, and the
// hover timer. One process-wide instance, reached through GetManager.
#pragma once

#include <windows.h>

#include <memory>
#include <unordered_map>

#include "skin/skinned_control.h"
#include "skin/subclassed_window.h"
#include "support/unique_resource.h"

// Subclasses a dialog so that controls created in it later are skinned too.
class CSkinnedDialog : public CSubclassedWindow {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CSkinManager {
public:
    using HookHandle = UniqueResource<HHOOK, ::UnhookWindowsHookEx>;

    virtual ~CSkinManager();
    CSkinManager(const CSkinManager&) = delete;
    CSkinManager& operator=(const CSkinManager&) = delete;

    static CSkinManager* GetManager();

    // Thread id -1 is the calling thread. dialogsOnly TRUE: skin dialogs at
    // WM_INITDIALOG; otherwise every child window at its WM_CREATE.
    void InstallHook(DWORD threadId, BOOL dialogsOnly);
    void UninstallHook(DWORD threadId);
    // All threads, through the module's export "SKM_CallWndProc".
    void InstallGlobalHook(HINSTANCE module, BOOL dialogsOnly);
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);

    void AddDialog(HWND dialog);
    // className may be null: it is then read from the window.
    BOOL AddControl(HWND window, const char* className = nullptr);
    void SubclassDialog(HWND dialog);
    BOOL RemoveControl(HWND window);
    void RemoveControls(HWND parent);
    void RemoveDialog(HWND dialog);
    // Unhooks every thread and gives every skinned window its procedure back;
    // the destructor's work, at process exit.
    void RemoveAll();
    // One tick of hover tracking.
    void TrackMouse();
    static LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The registered object of a window, or null.
    static CSkinnedControl* FindControl(HWND window);
    // A message for a window we no longer handle: to the procedure it had before
    // us when we could not step out of its chain, else to DefWindowProc.
    static LRESULT PassOnUnregistered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    BOOL dialogsOnly = FALSE;
    HHOOK globalHook = nullptr;  // not owned: its module is the host's
    UINT_PTR timerId = 0;

    // Process-wide, touched only by the hooked user-interface thread.
    static std::unordered_map<HWND, std::unique_ptr<CSkinnedControl>> controlMap;
    static std::unordered_map<HWND, std::unique_ptr<CSkinnedDialog>> dialogMap;
    static std::unordered_map<DWORD, HookHandle> threadMap;
    static HWND hotWindow;  // not owned

private:
    friend struct ManagerInstance;
    CSkinManager();

    // Unsubclasses and forgets a window's object; whether the object goes or not
    // is the caller's business.
    static void Release(CSubclassedWindow& object);
    void StopTimerIfIdle();
    void ClearHotWindow();
};
