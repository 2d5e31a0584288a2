// The check box painter: the box found where the control puts it, four schemes;
// push-like boxes are painted as push buttons.
#include "skin/skinned_check_box.h"

#include "skin/drawing.h"

void CSkinnedCheckBox::DrawControl(HDC dc, RECT& rect) {
    using namespace Sys;
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    if (style & BS_PUSHLIKE) {
        CSkinnedPushButton::DrawControl(dc, rect);
        return;
    }
    const int x = (style & BS_LEFTTEXT) ? rect.right - 13 : rect.left;
    const int y = MarkTop(style, rect);
    const RECT box{x, y, x + 13, y + 13};

    Rings2 scheme{SHADOW, HIGHLIGHT, WINDOW, WINDOW};
    if (IsHighlighted()) {
        scheme = {DKSHADOW, HIGHLIGHT, SHADOW, FACE};
    } else if (!::IsWindowEnabled(window)) {
        scheme = {SHADOW, HIGHLIGHT, FACE, FACE};
    } else if (::SendMessageA(window, BM_GETCHECK, 0, 0) == BST_INDETERMINATE) {
        // The grey third state keeps a light inner ring, not the window colour.
        scheme = {SHADOW, HIGHLIGHT, HIGHLIGHT, HIGHLIGHT};
    }
    DrawRings2(dc, box, scheme);
}
