// Pixel checks for painters that draw in the client DC or around an item
// rectangle rather than on the window's outline, and "anything but" pixels
// for what a painter must leave as the control drew it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/skin/skin_test_support.h"

namespace skin_test {

// A colour index with this bit means "any colour but this one".
constexpr int kNot = 0x100;

// In the client DC (client coordinates) or the window DC; negative coordinates
// count from the right or bottom edge.
inline std::string CheckPixelsIn(HWND window, bool client, const std::vector<Pixel>& pixels) {
    RECT r{};
    if (client) {
        ::GetClientRect(window, &r);
    } else {
        ::GetWindowRect(window, &r);
        ::OffsetRect(&r, -r.left, -r.top);
    }
    const HDC dc = client ? ::GetDC(window) : ::GetWindowDC(window);
    std::string misses;
    for (const Pixel& p : pixels) {
        const int x = p.x < 0 ? r.right + p.x : p.x;
        const int y = p.y < 0 ? r.bottom + p.y : p.y;
        const COLORREF actual = ::GetPixel(dc, x, y);
        const bool negated = (p.colour & kNot) != 0;
        const int index = p.colour & ~kNot;
        if ((actual == ::GetSysColor(index)) != negated) continue;
        char line[160];
        std::snprintf(line, sizeof(line), "pixel (%d,%d) is %s, expected %s%s\n", x, y,
                      NameOf(actual).c_str(), negated ? "anything but " : "", ColourName(index));
        misses += line;
    }
    ::ReleaseDC(window, dc);
    return misses;
}

inline std::string CheckClientPixels(HWND window, const std::vector<Pixel>& pixels) {
    return CheckPixelsIn(window, true, pixels);
}
inline std::string CheckWindowPixels(HWND window, const std::vector<Pixel>& pixels) {
    return CheckPixelsIn(window, false, pixels);
}

// Corners and middles of a one-pixel ring drawn on `r`, inset by `inset`.
inline std::vector<Pixel> RingOn(const RECT& r, int inset, int topLeft, int bottomRight) {
    const int l = r.left + inset, t = r.top + inset, x = r.right - 1 - inset,
              y = r.bottom - 1 - inset;
    const int mx = (l + x) / 2, my = (t + y) / 2;
    return {{l, t, topLeft},      {mx, t, topLeft},    {l, my, topLeft},     {x, t, bottomRight},
            {x, my, bottomRight}, {l, y, bottomRight}, {mx, y, bottomRight}, {x, y, bottomRight}};
}

inline std::vector<Pixel> RingsOn(const RECT& r, const Rings2& s) {
    std::vector<Pixel> all = RingOn(r, 0, s.outerTopLeft, s.outerBottomRight);
    const std::vector<Pixel> inner = RingOn(r, 1, s.innerTopLeft, s.innerBottomRight);
    all.insert(all.end(), inner.begin(), inner.end());
    return all;
}

inline void Append(std::vector<Pixel>& to, const std::vector<Pixel>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

}  // namespace skin_test
