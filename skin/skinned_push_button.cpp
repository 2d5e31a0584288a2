// The push button painter, the button messages that repaint, and the vertical
// placement of the box or circle that check boxes and radio buttons share.
#include "skin/skinned_push_button.h"

#include "skin/drawing.h"

LRESULT CSkinnedPushButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
        case BM_SETCHECK:
            // The control repaints itself in 3D without a WM_PAINT; flatten it again.
            return PassOnThenDraw(message, wParam, lParam);
        default:
            return CSkinnedControl::WindowProc(message, wParam, lParam);
    }
}

void CSkinnedPushButton::DrawControl(HDC dc, RECT& rect) {
    using namespace Sys;
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    // A disabled default button cannot be pressed by Enter: no heavy outline then.
    const bool isDefault = (style & 0x000B) == BS_DEFPUSHBUTTON && ::IsWindowEnabled(window);
    const bool isChecked = ::SendMessageA(window, BM_GETCHECK, 0, 0) != 0;
    const bool lit = IsHighlighted();
    if (isDefault) {
        DrawRings3(dc, rect,
                   lit ? Rings3{DKSHADOW, DKSHADOW, HIGHLIGHT, DKSHADOW, LIGHT, SHADOW}
                       : Rings3{DKSHADOW, DKSHADOW, HIGHLIGHT, SHADOW, FACE, FACE});
    } else if (isChecked) {
        DrawRings2(dc, rect,
                   lit ? Rings2{DKSHADOW, HIGHLIGHT, SHADOW, LIGHT}
                       : Rings2{SHADOW, HIGHLIGHT, FACE, FACE});
    } else {
        DrawRings3(dc, rect,
                   lit ? Rings3{HIGHLIGHT, DKSHADOW, LIGHT, SHADOW, FACE, FACE}
                       : Rings3{HIGHLIGHT, SHADOW, FACE, FACE, FACE, FACE});
    }
}

int CSkinnedPushButton::MarkTop(LONG style, const RECT& rect) {
    const int height = rect.bottom - rect.top;
    const bool top = style & BS_TOP;
    const bool bottom = style & BS_BOTTOM;
    // BS_VCENTER is both bits; the halving truncates toward zero.
    if (top && !bottom) return rect.top + 1;
    if (bottom && !top) return rect.bottom - 15;
    return rect.top + (height - 13) / 2;
}
