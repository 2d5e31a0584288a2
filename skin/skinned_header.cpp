// The header painter: items by display order plus the empty area as one more
// flat item; an item is raised only while the cursor is inside the parent.
#include "skin/skinned_header.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/skin_manager.h"

namespace {

POINT CursorIn(HWND window) {
    POINT p{};
    ::GetCursorPos(&p);
    ::ScreenToClient(window, &p);
    return p;
}

int ItemField(HWND header, int index, UINT mask) {
    HDITEMA item{};
    item.mask = mask;
    ::SendMessageA(header, HDM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
    return mask == HDI_ORDER ? item.iOrder : item.cxy;
}

int ItemCount(HWND header) {
    return static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

}  // namespace

BOOL CSkinnedHeader::NeedsHotUpdate(POINT cursor) {
    RECT r{};
    ::GetClientRect(window, &r);
    r.right = 0;
    ::ScreenToClient(window, &cursor);
    int found = -1;
    const int count = ItemCount(window);
    for (int i = 0; i < count; ++i) {
        r.left = r.right;
        r.right += ItemField(window, i, HDI_WIDTH);
        if (::PtInRect(&r, cursor)) {
            found = i;
            break;
        }
    }
    return window != CSkinManager::hotWindow || found != hotItem;
}

void CSkinnedHeader::DrawControl(HDC, RECT&) {
    const int old = hotItem;
    hotItem = -1;
    const HWND parent = ::GetParent(window);
    RECT parentArea{};
    ::GetClientRect(parent, &parentArea);
    // An item scrolled out of the parent's view is never raised.
    const bool inParent = ::PtInRect(&parentArea, CursorIn(parent)) != 0;

    RECT r{};
    ::GetClientRect(window, &r);
    r.right = 0;
    const POINT p = CursorIn(window);
    const WindowDc dc(::GetDC(window));
    const int count = ItemCount(window);
    for (int i = 0; i < count; ++i) {
        const int order = ItemField(window, i, HDI_ORDER);
        ::SendMessageA(window, HDM_GETITEMRECT, order, reinterpret_cast<LPARAM>(&r));
        const bool hot = inParent && ::PtInRect(&r, p);
        if (hot) hotItem = order;
        PaintHeaderItem(dc.get(), r, hot);
    }
    const int x = r.right;
    ::GetClientRect(window, &r);
    r.left = x;
    PaintHeaderItem(dc.get(), r, FALSE);

    if (CSkinnedControl* owner = CSkinManager::FindControl(parent)) {
        if (hotItem >= 0) {
            owner->ModifyState(0, kHot, TRUE);
        } else if (old >= 0) {
            owner->ModifyState(kHot, 0, TRUE);
        }
    }
}

void CSkinnedHeader::PaintHeaderItem(HDC dc, const RECT& rect, BOOL hot) {
    using namespace Sys;
    if (hot) {
        DrawRings2(dc, rect, HIGHLIGHT, DKSHADOW, LIGHT, SHADOW);
    } else {
        DrawRings2(dc, rect, HIGHLIGHT, SHADOW, FACE, FACE);
    }
}
