// Solid fills and rings: four fills per ring, nothing created, nothing cached.
#include "skin/drawing.h"

void FillSolid(HDC dc, int x, int y, int cx, int cy, COLORREF color) {
    ::SetBkColor(dc, color);
    RECT rect;
    ::SetRect(&rect, x, y, x + cx, y + cy);
    ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    FillSolid(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, color);
}

void DrawRing(HDC dc, int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
    FillSolid(dc, x, y, cx - 1, 1, topLeft);
    FillSolid(dc, x, y, 1, cy - 1, topLeft);
    FillSolid(dc, x + cx - 1, y, 1, cy, bottomRight);
    FillSolid(dc, x, y + cy - 1, cx, 1, bottomRight);
}

namespace {
void RingAt(HDC dc, const RECT& rect, int inset, int topLeft, int bottomRight) {
    DrawRing(dc, rect.left + inset, rect.top + inset, rect.right - rect.left - 2 * inset,
             rect.bottom - rect.top - 2 * inset, ::GetSysColor(topLeft),
             ::GetSysColor(bottomRight));
}
}  // namespace

void DrawRings2(HDC dc, const RECT& rect, int i1, int i2, int i3, int i4) {
    RingAt(dc, rect, 0, i1, i2);
    RingAt(dc, rect, 1, i3, i4);
}

void DrawRings3(HDC dc, const RECT& rect, int i1, int i2, int i3, int i4, int i5, int i6) {
    DrawRings2(dc, rect, i1, i2, i3, i4);
    RingAt(dc, rect, 2, i5, i6);
}

void DrawRings2(HDC dc, const RECT& rect, const Rings2& s) {
    DrawRings2(dc, rect, s.outerTopLeft, s.outerBottomRight, s.innerTopLeft, s.innerBottomRight);
}

void DrawRings3(HDC dc, const RECT& rect, const Rings3& s) {
    DrawRings3(dc, rect, s.outerTopLeft, s.outerBottomRight, s.middleTopLeft, s.middleBottomRight,
               s.innerTopLeft, s.innerBottomRight);
}
