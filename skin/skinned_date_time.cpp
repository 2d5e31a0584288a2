// The date-time painter: a combo box's look, except that an up-down picker has
// no drop-down button to flatten.
#include "skin/skinned_date_time.h"

#include <commctrl.h>

void CSkinnedDateTime::DrawControl(HDC dc, RECT& rect) {
    if (::GetWindowLongA(window, GWL_STYLE) & DTS_UPDOWN) {
        // The plain frame on purpose: its up-down child is a skinned control of its own.
        CSkinnedControl::DrawControl(dc, rect);  // NOLINT(bugprone-parent-virtual-call)
    } else {
        CSkinnedComboBox::DrawControl(dc, rect);
    }
}
