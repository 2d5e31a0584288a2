// The IP address control: focus lives in its four field edits, so the frame
// follows their focus notifications.
#include "skin/skinned_ip_address.h"

LRESULT CSkinnedIPAddress::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND) return CSkinnedControl::WindowProc(message, wParam, lParam);
    const WORD code = HIWORD(wParam);
    const bool fromField = ::GetParent(reinterpret_cast<HWND>(lParam)) == window;
    // Focus moving between fields, or in or out of the control, changes the look.
    if (fromField && (code == EN_SETFOCUS || code == EN_KILLFOCUS)) {
        return DrawThenPassOn(message, wParam, lParam);
    }
    return PassOn(message, wParam, lParam);
}

BOOL CSkinnedIPAddress::IsFocused() {
    const HWND focus = ::GetFocus();
    for (HWND field = ::GetTopWindow(window); field != nullptr;
         field = ::GetWindow(field, GW_HWNDNEXT)) {
        if (field == focus) return TRUE;
    }
    return FALSE;  // the control itself passes the focus on to a field at once
}
