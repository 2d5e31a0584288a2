// The toolbar painter: every button but the separators; a disabled button under
// the mouse is not raised, yet counts as the hot one, so moving onto it repaints.
#include "skin/skinned_toolbar.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/registry.h"

namespace {

struct Button {
    TBBUTTON data;
    RECT rect;
};

Button ButtonAt(HWND toolbar, int index) {
    Button b{};
    ::SendMessageA(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b.data));
    ::SendMessageA(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&b.rect));
    return b;
}

bool IsSeparator(const Button& b) {
    return (b.data.fsStyle & TBSTYLE_SEP) != 0;
}

POINT CursorIn(HWND window) {
    POINT p{};
    ::GetCursorPos(&p);
    ::ScreenToClient(window, &p);
    return p;
}

int ButtonCount(HWND toolbar) {
    return static_cast<int>(::SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
}

}  // namespace

LRESULT CSkinnedToolbar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT || message == WM_NCPAINT) hotItem = -1;
    return CSkinnedControl::WindowProc(message, wParam, lParam);
}

BOOL CSkinnedToolbar::NeedsHotUpdate(POINT cursor) {
    const Survival alive(*this);
    const HWND self = window;
    ::ScreenToClient(self, &cursor);
    int found = -1;
    const int count = ButtonCount(self);
    for (int i = 0; i < count; ++i) {
        const Button b = ButtonAt(self, i);
        if (!IsSeparator(b) && ::PtInRect(&b.rect, cursor)) {
            found = i;
            break;
        }
    }
    if (!alive()) return FALSE;
    return self != skin_registry::HotWindow() || found != hotItem;
}

void CSkinnedToolbar::DrawControl(HDC, RECT&) {
    const Survival alive(*this);
    const HWND self = window;
    if (::GetWindowLongA(self, GWL_STYLE) & TBSTYLE_FLAT) return;
    const int count = ButtonCount(self);
    const WindowDc dc = WindowDc::Client(self);
    const POINT p = CursorIn(self);
    if (!alive()) return;
    hotItem = -1;
    for (int i = 0; i < count; ++i) {
        const Button b = ButtonAt(self, i);
        if (!alive()) return;
        if (IsSeparator(b)) continue;
        int look = (b.data.fsState & TBSTATE_CHECKED) ? kLookChecked : 0;
        if (::PtInRect(&b.rect, p)) {
            if (b.data.fsState & TBSTATE_ENABLED) look |= kLookHot;
            hotItem = i;
        }
        PaintToolbarButton(dc.get(), b.rect, look);
    }
}

void CSkinnedToolbar::PaintToolbarButton(HDC dc, const RECT& rect, int look) {
    using namespace Scheme;
    switch (look) {
        case kLookChecked | kLookHot:
            DrawRings2(dc, rect, kCheckedLit);
            break;
        case kLookChecked:
            DrawRings2(dc, rect, kChecked);
            break;
        case kLookHot:
            DrawRings2(dc, rect, kRaisedLit);
            break;
        default:
            DrawRings2(dc, rect, kButton);
            break;
    }
}
