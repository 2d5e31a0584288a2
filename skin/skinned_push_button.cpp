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
    using namespace Scheme;
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    // A disabled default button cannot be pressed by Enter: no heavy outline then.
    const bool isDefault = (style & 0x000B) == BS_DEFPUSHBUTTON && ::IsWindowEnabled(window);
    // Read before asking the button: a subclasser above us may answer by destroying it.
    const bool lit = IsHighlighted();
    const bool isChecked = ::SendMessageA(window, BM_GETCHECK, 0, 0) != 0;
    if (isDefault) {
        DrawRings3(dc, rect, lit ? kDefaultLit : kDefault);
    } else if (isChecked) {
        DrawRings2(dc, rect, lit ? kPressedLit : kPressed);
    } else {
        DrawRings3(dc, rect, lit ? kOrdinaryLit : kOrdinary);
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
