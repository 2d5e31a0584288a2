// The simple combo box's edit: its frame goes into the combo box's window DC,
// three pixels around the edit, anchored at the combo box's top-left corner.
#include "skin/skinned_combo_edit.h"

void CSkinnedComboEdit::GetBorderDC(WindowDc& dc, RECT& rect) {
    ::GetWindowRect(window, &rect);
    ::InflateRect(&rect, 3, 3);
    ::OffsetRect(&rect, -rect.left, -rect.top);
    // An edit without a parent has no combo box to paint in; never the screen.
    dc = WindowDc::Whole(::GetParent(window));
}
