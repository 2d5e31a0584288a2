// The manager's inside, on top of skin/: the hook procedure, recognition and
// registration of controls and dialogs, and removal. The skinned dialog and the
// tests use it; programs use skin/skin.h.
#pragma once

#include <windows.h>

#include <memory>

#include "skin/skin.h"
#include "skin/skinned_control.h"
#include "skin/subclassed_window.h"

// Subclasses a dialog so that controls created in it later are skinned too.
class CSkinnedDialog : public CSubclassedWindow {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    Unregister Unregisterer() const override;
};

// Every hooked thread has its own controls, dialogs, hot window and hover
// timer, touched only on that thread. A window is registered only on the
// thread that owns it.
struct Skinning {
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);

    static void AddDialog(HWND dialog);
    // className may be null: it is then read from the window. Only windows of
    // the calling thread are skinned.
    static BOOL AddControl(HWND window, const char* className = nullptr);
    // Subclasses the window with `object` and registers it: AddControl's last
    // step. FALSE (and the object gone) for a null, registered or foreign
    // window, or when the window refuses the subclass.
    static BOOL Register(HWND window, std::unique_ptr<CSkinnedControl> object);
    static void SubclassDialog(HWND dialog);
    static BOOL RemoveControl(HWND window);
    static void RemoveControls(HWND parent);
    static void RemoveDialog(HWND dialog);

    // The calling thread's registered object of a window (or null), and the
    // window it draws hot.
    static CSkinnedControl* FindControl(HWND window) { return CSkinnedControl::Find(window); }
    static HWND HotWindow();
};
