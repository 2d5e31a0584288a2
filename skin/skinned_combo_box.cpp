// The combo box painter: the flat frame and drop-down button, the messages after
// which the combo box repaints, and focus held by its edit.
#include "skin/skinned_combo_box.h"

#include "skin/drawing.h"

LRESULT CSkinnedComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONUP:
            // No cursor position (all bits set): the drop-down list closing, not a click.
            if (lParam == -1) return DrawThenPassOn(message, wParam, lParam);
            return PassOn(message, wParam, lParam);
        case WM_COMMAND:
            // The edit took the focus: the combo box is focused from now on.
            if (HIWORD(wParam) == EN_SETFOCUS) return DrawThenPassOn(message, wParam, lParam);
            return PassOn(message, wParam, lParam);
        default:
            return CSkinnedControl::WindowProc(message, wParam, lParam);
    }
}

BOOL CSkinnedComboBox::IsFocused() {
    const HWND focus = ::GetFocus();
    if ((::GetWindowLongA(window, GWL_STYLE) & 3) == CBS_DROPDOWN) {
        const HWND edit = ::GetTopWindow(window);
        if (edit != nullptr && edit == focus) return TRUE;
    }
    return focus == window;
}

void CSkinnedComboBox::DrawControl(HDC dc, RECT& rect) {
    using namespace Scheme;
    CSkinnedControl::DrawControl(dc, rect);
    RECT button = rect;
    ::InflateRect(&button, -2, -2);
    button.left = button.right - ::GetSystemMetrics(SM_CXHSCROLL);
    Rings2 scheme = kButton;
    if (!::IsWindowEnabled(window)) {
        scheme = kButtonDisabled;  // a disabled button loses its edges
    } else if (IsHighlighted()) {
        scheme = kButtonLit;
    }
    DrawRings2(dc, button, scheme);
}
