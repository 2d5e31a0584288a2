// The simple combo box's edit: its frame goes into the combo box's window DC,
// three pixels around the edit, anchored at the combo box's top-left corner.
#include "skin/skinned_combo_edit.h"

void CSkinnedComboEdit::GetBorderDC(HDC& dc, RECT& rect) {
    ::GetWindowRect(window, &rect);
    ::InflateRect(&rect, 3, 3);
    ::OffsetRect(&rect, -rect.left, -rect.top);
    dc = ::GetWindowDC(::GetParent(window));  // released by DrawBorder through its window
}
