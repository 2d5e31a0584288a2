// What the skin tests share: distinct system colours, so every painted pixel
// names its colour; pixel checks that read like "pixel (0,5) is SHADOW,
// expected HIGHLIGHT"; the hot state moved with SetCursorPos and one tick; and
// the gallery as a fixture.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "skin/drawing.h"
#include "skin/skin_manager.h"
#include "skin/skin_testing.h"
#include "tools/skin-gallery/gallery.h"

namespace skin_test {

// The six colours the painters use, set to six colours no control mixes up,
// for as long as the object lives.
class DistinctSysColors {
public:
    DistinctSysColors() {
        for (int i = 0; i < kCount; ++i) saved_[i] = ::GetSysColor(kIndex[i]);
        const COLORREF vivid[kCount] = {RGB(250, 250, 250), RGB(200, 200, 160), RGB(120, 60, 60),
                                        RGB(255, 255, 120), RGB(20, 20, 70),    RGB(160, 220, 160)};
        ::SetSysColors(kCount, kIndex, vivid);
    }
    ~DistinctSysColors() { ::SetSysColors(kCount, kIndex, saved_); }
    DistinctSysColors(const DistinctSysColors&) = delete;
    DistinctSysColors& operator=(const DistinctSysColors&) = delete;

private:
    static constexpr int kCount = 6;
    static constexpr INT kIndex[kCount] = {Sys::WINDOW,    Sys::FACE,     Sys::SHADOW,
                                           Sys::HIGHLIGHT, Sys::DKSHADOW, Sys::LIGHT};
    COLORREF saved_[kCount] = {};
};

inline const char* ColourName(int index) {
    switch (index) {
        case Sys::WINDOW:
            return "WINDOW";
        case Sys::FACE:
            return "FACE";
        case Sys::SHADOW:
            return "SHADOW";
        case Sys::HIGHLIGHT:
            return "HIGHLIGHT";
        case Sys::DKSHADOW:
            return "DKSHADOW";
        case Sys::LIGHT:
            return "LIGHT";
        default:
            return "?";
    }
}

// The name of the system colour a pixel has, or its RGB value.
inline std::string NameOf(COLORREF pixel) {
    for (const int index :
         {Sys::WINDOW, Sys::FACE, Sys::SHADOW, Sys::HIGHLIGHT, Sys::DKSHADOW, Sys::LIGHT}) {
        if (::GetSysColor(index) == pixel) return ColourName(index);
    }
    char text[32];
    std::snprintf(text, sizeof(text), "rgb(%d,%d,%d)", GetRValue(pixel), GetGValue(pixel),
                  GetBValue(pixel));
    return text;
}

struct Pixel {
    int x, y;    // window coordinates (the window DC), negative from the right/bottom edge
    int colour;  // system colour index
};

// The pixels of one ring, `inset` pixels inside the window rectangle: both ends
// and the middle of each side, as DrawRing colours them.
inline std::vector<Pixel> Ring(int inset, int topLeft, int bottomRight) {
    const int i = inset, e = -1 - inset;  // e: from the right or bottom edge
    return {{i, i, topLeft},     {i + 1, i, topLeft},     {i, i + 1, topLeft},
            {e, i, bottomRight}, {e, i + 1, bottomRight}, {i, e, bottomRight},
            {e, e, bottomRight}, {e - 1, e, bottomRight}, {e, e - 1, bottomRight}};
}

inline std::vector<Pixel> Rings(const Rings2& s) {
    std::vector<Pixel> all = Ring(0, s.outerTopLeft, s.outerBottomRight);
    const std::vector<Pixel> inner = Ring(1, s.innerTopLeft, s.innerBottomRight);
    all.insert(all.end(), inner.begin(), inner.end());
    return all;
}

inline std::vector<Pixel> Rings(const Rings3& s) {
    std::vector<Pixel> all =
        Rings(Rings2{s.outerTopLeft, s.outerBottomRight, s.middleTopLeft, s.middleBottomRight});
    const std::vector<Pixel> inner = Ring(2, s.innerTopLeft, s.innerBottomRight);
    all.insert(all.end(), inner.begin(), inner.end());
    return all;
}

// The pixels of a ring scheme drawn on a cx-by-cy part at (x, y) of the window;
// a negative x or y counts from the right or bottom edge, as in Pixel.
inline std::vector<Pixel> RingsAt(int x, int y, int cx, int cy, const Rings2& s) {
    std::vector<Pixel> all = Rings(s);
    for (Pixel& p : all) {
        p.x = p.x < 0 ? x + cx + p.x : x + p.x;
        p.y = p.y < 0 ? y + cy + p.y : y + p.y;
    }
    return all;
}

// "" when every pixel of the window DC has its colour, else one line per miss.
inline std::string CheckPixels(HWND window, const std::vector<Pixel>& pixels) {
    RECT r{};
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const HDC dc = ::GetWindowDC(window);
    std::string misses;
    for (const Pixel& p : pixels) {
        const int x = p.x < 0 ? width + p.x : p.x;
        const int y = p.y < 0 ? height + p.y : p.y;
        const COLORREF actual = ::GetPixel(dc, x, y);
        if (actual != ::GetSysColor(p.colour)) {
            char line[128];
            std::snprintf(line, sizeof(line), "pixel (%d,%d) is %s, expected %s\n", x, y,
                          NameOf(actual).c_str(), ColourName(p.colour));
            misses += line;
        }
    }
    ::ReleaseDC(window, dc);
    return misses;
}

// Lets pending paint and timer messages of this thread run.
inline void Pump() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// The control repaints itself (frame included) and the painter overdraws it.
inline void Repaint(HWND window) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
}

// One hover tick with the mouse resting at a screen point.
inline void HoverAt(POINT screen) {
    ::SetCursorPos(screen.x, screen.y);
    CSkinManager::GetManager()->TrackMouse();
}

// One hover tick with the mouse on the middle of a window, or at (dx, dy) in it.
inline void HoverOver(HWND window, int dx = -1, int dy = -1) {
    RECT r{};
    ::GetWindowRect(window, &r);
    HoverAt({dx < 0 ? (r.left + r.right) / 2 : r.left + dx,
             dy < 0 ? (r.top + r.bottom) / 2 : r.top + dy});
}

// One hover tick with the mouse far from every window of the tests.
inline void HoverAway() {
    HoverAt({::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1});
}

inline SIZE SizeOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// Paints the whole window one system colour, so a missing repaint shows.
inline void Scribble(HWND window, int colour) {
    const SIZE size = SizeOf(window);
    const HDC dc = ::GetWindowDC(window);
    FillSolid(dc, 0, 0, size.cx, size.cy, ::GetSysColor(colour));
    ::ReleaseDC(window, dc);
}

// The looks a painter is tested in.
enum class Look { Normal, Hot, Disabled, Focused };

inline const char* LookName(Look look) {
    switch (look) {
        case Look::Normal:
            return "normal";
        case Look::Hot:
            return "hot";
        case Look::Disabled:
            return "disabled";
        default:
            return "focused";
    }
}

// Puts a control into a look: the control and its painter draw it normal, then
// the painter alone draws the hot or focused look as the control takes it (a
// repaint while highlighted leaves the look to the control). `shown` is the
// window whose repaint shows the control, when not the control itself.
inline void Enter(HWND control, Look look, HWND shown = nullptr) {
    ::EnableWindow(control, look != Look::Disabled);
    ::SetFocus(nullptr);
    HoverAway();
    Repaint(shown != nullptr ? shown : control);
    if (look == Look::Hot) HoverOver(control);
    if (look == Look::Focused) ::SetFocus(control);
}

inline void Leave(HWND control) {
    ::EnableWindow(control, TRUE);
    ::SetFocus(nullptr);
    HoverAway();
    Repaint(control);
}

// An empty dialog of our own for variants the gallery lacks, on top of it and
// clear of HoverAway's corner; controls added to it are skinned as it hears of them.
class ScratchDialog {
public:
    explicit ScratchDialog(int x = 560, int y = 400, int cx = 400, int cy = 300) {
        struct alignas(4) {
            DLGTEMPLATE dialog;
            WORD menu, windowClass, title;
        } empty{};
        empty.dialog.style = WS_POPUP | WS_VISIBLE;
        empty.dialog.dwExtendedStyle = WS_EX_TOPMOST | WS_EX_NOACTIVATE;
        window_ = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), &empty.dialog, nullptr,
                                               Procedure, 0);
        ::SetWindowPos(window_, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
    }
    ~ScratchDialog() {
        if (::IsWindow(window_)) ::DestroyWindow(window_);
        Pump();
    }
    ScratchDialog(const ScratchDialog&) = delete;
    ScratchDialog& operator=(const ScratchDialog&) = delete;

    HWND get() const { return window_; }
    // A child control at (x, y) in client pixels, in Z-order after the ones before it.
    HWND Add(const char* windowClass, DWORD style, int x, int y, int cx, int cy, DWORD exStyle = 0,
             const char* text = "") const {
        const HWND child =
            ::CreateWindowExA(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, cx,
                              cy, window_, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        Pump();
        return child;
    }

private:
    static INT_PTR CALLBACK Procedure(HWND, UINT message, WPARAM, LPARAM) {
        return message == WM_INITDIALOG;
    }
    HWND window_ = nullptr;  // destroyed with the object
};

inline CSkinnedControl* SkinOf(HWND window) {
    return Skinning::FindControl(window);
}

// The gallery, skinned as the program skins its dialogs, shared by a suite.
class GalleryTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);
        gallery_ = CreateGallery(::GetModuleHandleA(nullptr));
        Pump();
    }
    static void TearDownTestSuite() {
        DestroyGallery(gallery_);
        Pump();
        CSkinManager::GetManager()->UninstallHook(static_cast<DWORD>(-1));
    }
    void SetUp() override {
        ASSERT_NE(gallery_.buttons, nullptr) << "the gallery did not open";
        HoverAway();
    }
    static HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

    static Gallery gallery_;
    DistinctSysColors colours_;
};

inline Gallery GalleryTest::gallery_;

}  // namespace skin_test

namespace skin_test {

// A plain top-level window to hang purpose-built controls on.
class HostWindow {
public:
    HostWindow() {
        static const ATOM registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
            wc.lpszClassName = "QuarrionSkinTestHost";
            return ::RegisterClassA(&wc);
        }();
        (void)registered;
        hwnd_ = ::CreateWindowExA(0, "QuarrionSkinTestHost", "host",
                                  WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 400, 300,
                                  nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }
    ~HostWindow() {
        if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
        Pump();
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND get() const { return hwnd_; }
    // A child control; the caller may destroy it, else it goes with the host.
    HWND Add(const char* className, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
             const char* text = "") const {
        return ::CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, cx,
                                 cy, hwnd_, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace skin_test
