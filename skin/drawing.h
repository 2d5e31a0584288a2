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

// The ring schemes, named once: the painters draw them and their tests expect them.
namespace Scheme {
using namespace Sys;
// A text-entry frame: normal, under 30 pixels high, highlighted, disabled or read-only.
inline constexpr Rings2 kFlat{SHADOW, HIGHLIGHT, LIGHT, LIGHT};
inline constexpr Rings2 kSmall{SHADOW, HIGHLIGHT, HIGHLIGHT, LIGHT};
inline constexpr Rings2 kLit{SHADOW, HIGHLIGHT, DKSHADOW, LIGHT};
inline constexpr Rings2 kGrey{SHADOW, HIGHLIGHT, FACE, FACE};
// A button-like part (arrow, thumb, drop-down or spin button, header item,
// toolbar button): flat, highlighted, and the drop-down button disabled.
inline constexpr Rings2 kButton{HIGHLIGHT, SHADOW, FACE, FACE};
inline constexpr Rings2 kButtonLit{FACE, DKSHADOW, HIGHLIGHT, SHADOW};
inline constexpr Rings2 kButtonDisabled{FACE, FACE, FACE, FACE};
// A raised item under the mouse (header item, toolbar button, trackbar thumb).
inline constexpr Rings2 kRaisedLit{HIGHLIGHT, DKSHADOW, LIGHT, SHADOW};
// A pressed toolbar button, and the same under the mouse.
inline constexpr Rings2 kChecked{SHADOW, HIGHLIGHT, FACE, FACE};
inline constexpr Rings2 kCheckedLit{DKSHADOW, HIGHLIGHT, SHADOW, SHADOW};
// Push buttons: ordinary, default, and pressed (a checked push-like box).
inline constexpr Rings3 kOrdinary{HIGHLIGHT, SHADOW, FACE, FACE, FACE, FACE};
inline constexpr Rings3 kOrdinaryLit{HIGHLIGHT, DKSHADOW, LIGHT, SHADOW, FACE, FACE};
inline constexpr Rings3 kDefault{DKSHADOW, DKSHADOW, HIGHLIGHT, SHADOW, FACE, FACE};
inline constexpr Rings3 kDefaultLit{DKSHADOW, DKSHADOW, HIGHLIGHT, DKSHADOW, LIGHT, SHADOW};
inline constexpr Rings2 kPressed{SHADOW, HIGHLIGHT, FACE, FACE};
inline constexpr Rings2 kPressedLit{DKSHADOW, HIGHLIGHT, SHADOW, LIGHT};
// A check box's box: normal, highlighted, disabled, and in the third state.
inline constexpr Rings2 kBox{SHADOW, HIGHLIGHT, WINDOW, WINDOW};
inline constexpr Rings2 kBoxLit{DKSHADOW, HIGHLIGHT, SHADOW, FACE};
inline constexpr Rings2 kBoxDisabled{SHADOW, HIGHLIGHT, FACE, FACE};
inline constexpr Rings2 kBoxGrey{SHADOW, HIGHLIGHT, HIGHLIGHT, HIGHLIGHT};
}  // namespace Scheme

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
