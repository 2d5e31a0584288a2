// What the bar and strip painter tests share: client-DC pixel checks, "anything
// but" pixels for what a painter leaves alone, and the loop reading each table.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/unique_resource.h"
#include "tests/skin/skin_test_support.h"

namespace skin_test {

constexpr Sys::Color H = Sys::HIGHLIGHT, S = Sys::SHADOW, F = Sys::FACE, K = Sys::DKSHADOW,
                     L = Sys::LIGHT, W = Sys::WINDOW;
constexpr int kNot = 0x100;
// Any colour but this one.
constexpr int Not(int colour) {
    return kNot | colour;
}

// In the client DC, where these painters draw (a control without a border has
// its client area on its window rectangle); negative coordinates count from the
// right or bottom.
inline std::string CheckClientPixels(HWND window, const std::vector<Pixel>& pixels) {
    RECT r{};
    ::GetClientRect(window, &r);
    const HDC dc = ::GetDC(window);
    std::string misses;
    for (const Pixel& p : pixels) {
        const int x = p.x < 0 ? r.right + p.x : p.x, y = p.y < 0 ? r.bottom + p.y : p.y;
        const COLORREF actual = ::GetPixel(dc, x, y);
        const bool negated = (p.colour & kNot) != 0;
        if ((actual == ::GetSysColor(p.colour & ~kNot)) != negated) continue;
        char line[160];
        std::snprintf(line, sizeof(line), "pixel (%d,%d) is %s, expected %s%s\n", x, y,
                      NameOf(actual).c_str(), negated ? "anything but " : "",
                      ColourName(p.colour & ~kNot));
        misses += line;
    }
    ::ReleaseDC(window, dc);
    return misses;
}

// Corners and middles of the two rings DrawRings2 paints on `r`.
inline std::vector<Pixel> RingsOn(const RECT& r, const Rings2& s) {
    std::vector<Pixel> all;
    for (const int i : {0, 1}) {
        const int tl = i ? s.innerTopLeft : s.outerTopLeft;
        const int br = i ? s.innerBottomRight : s.outerBottomRight;
        const int l = r.left + i, t = r.top + i, x = r.right - 1 - i, y = r.bottom - 1 - i;
        all.insert(all.end(), {{l, t, tl},
                               {(l + x) / 2, t, tl},
                               {l, (t + y) / 2, tl},
                               {x, t, br},
                               {x, (t + y) / 2, br},
                               {l, y, br},
                               {x, y, br}});
    }
    return all;
}

inline std::vector<Pixel> Join(std::vector<Pixel> a, const std::vector<Pixel>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One row of a painter's table: a state set up, the pixels it shows, undone.
struct Case {
    const char* what;
    HWND window;
    std::function<void()> set, undo;
    std::vector<Pixel> pixels;
};

// Each case starts from the control's repaint; a hot or focused look is
// painted by the change itself, which a repaint would not redo.
inline void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Repaint(c.window);
        if (c.set) c.set();
        EXPECT_EQ(CheckClientPixels(c.window, c.pixels), "") << c.what;
        if (c.undo) c.undo();
    }
}

inline bool IsHot(HWND window) {
    return (SkinOf(window)->GetState() & CSkinnedControl::kHot) != 0;
}

// A window of a test's own; one made in a gallery window is skinned as any
// control created there after the dialog's initialisation.
using Window = UniqueResource<HWND, ::DestroyWindow>;
inline Window Child(HWND parent, const char* kind, DWORD style, RECT at, DWORD exStyle = 0) {
    return Window(::CreateWindowExA(exStyle, kind, "", WS_CHILD | WS_VISIBLE | style, at.left,
                                    at.top, at.right, at.bottom, parent, nullptr, nullptr,
                                    nullptr));
}

inline RECT ItemRect(HWND control, UINT message, int index) {
    RECT r{};
    ::SendMessageA(control, message, index, reinterpret_cast<LPARAM>(&r));
    return r;
}

}  // namespace skin_test
