// The check box painter: the box found where the control puts it, four schemes;
// push-like boxes are painted as push buttons.
#include "skin/skinned_check_box.h"

#include "skin/drawing.h"

void CSkinnedCheckBox::DrawControl(HDC dc, RECT& rect) {
    using namespace Scheme;
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    if (style & BS_PUSHLIKE) {
        CSkinnedPushButton::DrawControl(dc, rect);
        return;
    }
    const int x = (style & BS_LEFTTEXT) ? rect.right - 13 : rect.left;
    const int y = MarkTop(style, rect);
    const RECT box{x, y, x + 13, y + 13};

    Rings2 scheme = kBox;
    if (IsHighlighted()) {
        scheme = kBoxLit;
    } else if (!::IsWindowEnabled(window)) {
        scheme = kBoxDisabled;
    } else if (::SendMessageA(window, BM_GETCHECK, 0, 0) == BST_INDETERMINATE) {
        // The grey third state keeps a light inner ring, not the window colour.
        scheme = kBoxGrey;
    }
    DrawRings2(dc, box, scheme);
}
