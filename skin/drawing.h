// The drawing vocabulary every painter shares: solid fills and one-pixel rings
// in system colours, read at every paint so a colour-scheme change shows at once.
#pragma once

#include <windows.h>

// The system colours the painters use, by their platform indices.
namespace Sys {
enum Color : int {
    WINDOW = COLOR_WINDOW,
    FACE = COLOR_BTNFACE,
    SHADOW = COLOR_BTNSHADOW,
    HIGHLIGHT = COLOR_BTNHIGHLIGHT,
    DKSHADOW = COLOR_3DDKSHADOW,
    LIGHT = COLOR_3DLIGHT,
};
}

// A two-ring scheme [outer top-left, outer bottom-right; inner top-left, inner
// bottom-right]; a three-ring scheme adds the ring inset by two pixels.
struct Rings2 {
    Sys::Color outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
};
struct Rings3 {
    Sys::Color outerTopLeft, outerBottomRight, middleTopLeft, middleBottomRight, innerTopLeft,
        innerBottomRight;
};

// ExtTextOut with ETO_OPAQUE: the cheapest solid fill, and no brush to own. The
// background colour stays set to the last colour used. An extent of -1 fills the
// single column (row) just before x (y).
void FillSolid(HDC dc, int x, int y, int cx, int cy, COLORREF color);
void FillSolid(HDC dc, const RECT& rect, COLORREF color);

// One-pixel ring on the outline; the top-right and bottom-left corners take bottomRight.
void DrawRing(HDC dc, int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);

void DrawRings2(HDC dc, const RECT& rect, int i1, int i2, int i3, int i4);
void DrawRings3(HDC dc, const RECT& rect, int i1, int i2, int i3, int i4, int i5, int i6);
void DrawRings2(HDC dc, const RECT& rect, const Rings2& scheme);
void DrawRings3(HDC dc, const RECT& rect, const Rings3& scheme);
