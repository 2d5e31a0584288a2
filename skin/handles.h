// Owners for the GDI handles the painters borrow, so that every path gives each
// one back exactly once.
#pragma once

#include <windows.h>

#include <utility>

#include "support/unique_resource.h"

// A DC from GetDC or GetWindowDC, released to the window it came from (a
// simple combo's edit paints in the combo box's DC). Null when there is no
// window to paint in.
class WindowDc {
public:
    WindowDc() = default;
    // The window's client area, or its whole window.
    static WindowDc Client(HWND window) {
        return window != nullptr ? WindowDc(window, ::GetDC(window)) : WindowDc();
    }
    static WindowDc Whole(HWND window) {
        return window != nullptr ? WindowDc(window, ::GetWindowDC(window)) : WindowDc();
    }
    ~WindowDc() { reset(); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc(WindowDc&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }

    HDC get() const { return dc_; }
    HWND window() const { return window_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void reset() {
        if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
        window_ = nullptr;
        dc_ = nullptr;
    }

private:
    WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}
    HWND window_ = nullptr;  // not owned
    HDC dc_ = nullptr;
};

namespace skin_detail {
inline void DeletePen(HPEN pen) {
    ::DeleteObject(pen);
}
}  // namespace skin_detail

using Pen = UniqueResource<HPEN, skin_detail::DeletePen>;

// Keeps the pen a DC has now and selects it back at scope end, whatever was
// selected meanwhile (or failed to be made), so no pen of ours stays selected
// when it is deleted.
class SavedPen {
public:
    explicit SavedPen(HDC dc) : dc_(dc), pen_(::GetCurrentObject(dc, OBJ_PEN)) {}
    ~SavedPen() {
        if (pen_ != nullptr) ::SelectObject(dc_, pen_);
    }
    SavedPen(const SavedPen&) = delete;
    SavedPen& operator=(const SavedPen&) = delete;

private:
    HDC dc_;       // not owned
    HGDIOBJ pen_;  // not owned
};
