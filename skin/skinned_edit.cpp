// The edit painter: the read-only bit, the frame joined to an attached up-down
// control, and the spin repainted when the edit is enabled or disabled.
#include "skin/skinned_edit.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/window_class.h"

namespace {

// The up-down control right after the edit in Z-order that names it as its buddy,
// or null. The class comes first: UDM_GETBUDDY means nothing to other windows.
HWND BuddySpin(HWND edit) {
    const HWND next = ::GetWindow(edit, GW_HWNDNEXT);
    if (next == nullptr || !ClassIs(next, UPDOWN_CLASSA)) return nullptr;
    return reinterpret_cast<HWND>(::SendMessageA(next, UDM_GETBUDDY, 0, 0)) == edit ? next
                                                                                    : nullptr;
}

}  // namespace

LRESULT CSkinnedEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_ENABLE) return CSkinnedControl::WindowProc(message, wParam, lParam);
    const HWND self = window;
    PassOnThenDraw(message, wParam, lParam);
    // The spin carries a line of the edit's frame, whose colour follows the edit.
    if (const HWND spin = BuddySpin(self)) ::SendMessageA(spin, WM_PAINT, 0, 0);
    return 0;
}

void CSkinnedEdit::DrawControl(HDC dc, RECT& rect) {
    RECT frame = rect;
    const Survival alive(*this);
    const HWND spin = BuddySpin(window);
    if (!alive()) return;  // the spin's answer went through whoever sits above it
    if (spin != nullptr) {
        const LONG spinStyle = ::GetWindowLongA(spin, GWL_STYLE);
        if (spinStyle & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT)) JoinSpin(spin, spinStyle, frame);
    }
    const bool readOnly = ::GetWindowLongA(window, GWL_STYLE) & ES_READONLY;
    state = readOnly ? (state | kReadOnly) : (state & ~kReadOnly);
    CSkinnedControl::DrawControl(dc, frame);
}

void CSkinnedEdit::JoinSpin(HWND spin, LONG spinStyle, RECT& frame) {
    RECT u{};
    ::GetWindowRect(spin, &u);
    const int w = u.right - u.left;
    const int h = u.bottom - u.top;
    const int e = ::GetSystemMetrics(SM_CXEDGE);
    const bool right = spinStyle & UDS_ALIGNRIGHT;
    // The frame's spin-side edge falls outside the edit's window: the DC clips it.
    if (right) {
        frame.right += w - e;
    } else {
        frame.left -= w - e;
    }
    int k = IsHighlighted() ? Sys::DKSHADOW : Sys::HIGHLIGHT;
    if (!::IsWindowEnabled(window)) k = Sys::FACE;
    const COLORREF colour = ::GetSysColor(k);
    const WindowDc spinDc = WindowDc::Client(spin);
    FillSolid(spinDc.get(), 1, 1, w - e - 1, 1, colour);
    if (!right) FillSolid(spinDc.get(), 1, 1, 1, h - e - 1, colour);
}
