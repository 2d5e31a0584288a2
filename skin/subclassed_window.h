// A window whose procedure we replaced: the root of the skinning objects of
// controls and of dialogs. It owns nothing but the memory it lives in.
#pragma once

#include <windows.h>

#include <cstdint>

class CSubclassedWindow {
public:
    virtual ~CSubclassedWindow() = default;
    CSubclassedWindow();
    CSubclassedWindow(const CSubclassedWindow&) = delete;
    CSubclassedWindow& operator=(const CSubclassedWindow&) = delete;

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Keeps the window's current procedure and puts `proc` in its place;
    // false (and nothing changed) when the window refused the new procedure.
    bool Subclass(HWND hwnd, WNDPROC proc);
    // Puts the saved procedure back when ours is still the window's procedure and
    // answers true. Answers false when another subclasser sits above us: taking
    // the chain apart under it would cut it off, so the window keeps ours.
    bool Unsubclass();
    // Whether ours is the window's procedure now.
    bool OnTop() const;

    // Tells this object apart from a later one at the same address.
    std::uint32_t Serial() const { return serial_; }
    // Whether the window was subclassed, and is passed on to, through the wide calls.
    bool Unicode() const { return unicode_; }

    HWND window = nullptr;  // not owned
    WNDPROC savedProc = nullptr;

protected:
    // The message to the procedure the window had before us.
    LRESULT PassOn(UINT message, WPARAM wParam, LPARAM lParam) const;
    // WM_NCDESTROY: the window's own handling first, then the registry forgets
    // the window, which deletes this object. Nothing of it is touched after.
    LRESULT PassOnThenUnregister(WPARAM wParam, LPARAM lParam);
    // The registry's removal for a window being destroyed, taken before passing on.
    using Unregister = void (*)(HWND window);
    virtual Unregister Unregisterer() const = 0;

private:
    static LONG_PTR SetProc(HWND hwnd, bool unicode, LONG_PTR proc);

    WNDPROC installed_ = nullptr;
    bool unicode_ = false;
    std::uint32_t serial_;
};
