// The header painter: items by display order plus the empty area as one more
// flat item; an item is raised only while the cursor is inside the parent.
#include "skin/skinned_header.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/registry.h"

namespace {

POINT CursorIn(HWND window) {
    POINT p{};
    ::GetCursorPos(&p);
    ::ScreenToClient(window, &p);
    return p;
}

int ItemCount(HWND header) {
    return static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

// Items are walked by display position: dragged columns are drawn where they show.
int IndexAt(HWND header, int position) {
    return static_cast<int>(::SendMessageA(header, HDM_ORDERTOINDEX, position, 0));
}

RECT ItemRect(HWND header, int index) {
    RECT r{};
    ::SendMessageA(header, HDM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    return r;
}

}  // namespace

BOOL CSkinnedHeader::NeedsHotUpdate(POINT cursor) {
    const Survival alive(*this);
    const HWND self = window;
    RECT client{};
    ::GetClientRect(self, &client);
    ::ScreenToClient(self, &cursor);
    int found = -1;
    const int count = ItemCount(self);
    for (int position = 0; position < count && found < 0; ++position) {
        const int index = IndexAt(self, position);
        RECT r = ItemRect(self, index);
        r.top = client.top;
        r.bottom = client.bottom;
        if (::PtInRect(&r, cursor)) found = index;
    }
    if (!alive()) return FALSE;
    return self != skin_registry::HotWindow() || found != hotItem;
}

void CSkinnedHeader::DrawControl(HDC, RECT&) {
    const Survival alive(*this);
    const HWND self = window;
    const int old = hotItem;
    hotItem = -1;
    const HWND parent = ::GetParent(self);
    RECT parentArea{};
    ::GetClientRect(parent, &parentArea);
    // An item scrolled out of the parent's view is never raised.
    const bool inParent = ::PtInRect(&parentArea, CursorIn(parent)) != 0;

    RECT client{};
    ::GetClientRect(self, &client);
    const POINT p = CursorIn(self);
    const WindowDc dc = WindowDc::Client(self);
    int hot = -1;
    LONG rightmost = 0;  // the empty area starts right of the rightmost item
    const int count = ItemCount(self);
    for (int position = 0; position < count; ++position) {
        const int index = IndexAt(self, position);
        const RECT r = ItemRect(self, index);
        if (!alive()) return;
        const bool lit = inParent && ::PtInRect(&r, p);
        if (lit) hot = index;
        PaintHeaderItem(dc.get(), r, lit);
        if (r.right > rightmost) rightmost = r.right;
    }
    if (!alive()) return;
    hotItem = hot;
    RECT rest = client;
    rest.left = rightmost;
    PaintHeaderItem(dc.get(), rest, FALSE);

    if (CSkinnedControl* owner = CSkinnedControl::Find(parent)) {
        if (hot >= 0) {
            owner->ModifyState(0, kHot, TRUE);
        } else if (old >= 0) {
            owner->ModifyState(kHot, 0, TRUE);
        }
    }
}

void CSkinnedHeader::PaintHeaderItem(HDC dc, const RECT& rect, BOOL hot) {
    DrawRings2(dc, rect, hot ? Scheme::kRaisedLit : Scheme::kButton);
}
