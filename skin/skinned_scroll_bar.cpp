// The scroll bar control: its own redraws after a position or range change are
// followed by the flat bar, with the geometry a window's own scroll bars use.
#include "skin/skinned_scroll_bar.h"

LRESULT CSkinnedScrollBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case SBM_SETPOS:
            // Moving to position 0 is left to the control's own drawing.
            // Either way the bar's own answer (the previous position) goes back.
            if (lParam != 0 && wParam != 0) return PassOnThenDraw(message, wParam, lParam);
            return PassOn(message, wParam, lParam);
        case SBM_SETSCROLLINFO:
            if (wParam != 0) return PassOnThenDraw(message, wParam, lParam);
            return PassOn(message, wParam, lParam);
        case SBM_SETRANGEREDRAW:
            return PassOnThenDraw(message, wParam, lParam);
        default:
            return CSkinnedControl::WindowProc(message, wParam, lParam);
    }
}

void CSkinnedScrollBar::DrawControl(HDC dc, RECT& rect) {
    const bool vertical = (::GetWindowLongA(window, GWL_STYLE) & SBS_VERT) != 0;
    PaintScrollBar(dc, rect, vertical ? 1 : 0, 1);
}
