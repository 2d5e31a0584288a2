// A window whose procedure we replaced: the root of the skinning objects of
// controls and of dialogs. It owns nothing but the memory it lives in.
#pragma once

#include <windows.h>

class CSubclassedWindow {
public:
    virtual ~CSubclassedWindow() = default;
    CSubclassedWindow() = default;
    CSubclassedWindow(const CSubclassedWindow&) = delete;
    CSubclassedWindow& operator=(const CSubclassedWindow&) = delete;

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Keeps the window's current procedure and puts `proc` in its place.
    void Subclass(HWND hwnd, WNDPROC proc);
    // Puts the saved procedure back when ours is still the window's procedure and
    // answers true. Answers false when another subclasser sits above us: taking
    // the chain apart under it would cut it off, so the window keeps ours.
    bool Unsubclass();

    HWND window = nullptr;  // not owned
    WNDPROC savedProc = nullptr;

protected:
    // The message to the procedure the window had before us.
    LRESULT PassOn(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::CallWindowProcA(savedProc, window, message, wParam, lParam);
    }

private:
    WNDPROC installed_ = nullptr;
};
