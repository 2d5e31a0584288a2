// The tab painter: two one-pixel lines per side of each tab; without a selected
// tab there is no opening, no grown tab and no strip to paint.
#include "skin/skinned_tab.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/registry.h"

namespace {

// One side of a tab: the outer line, and the inner one moved by (dx, dy).
struct Edge {
    int x, y, cx, cy;
    int dx, dy;
};

// The three sides drawn for a tab, in painting order, and their corners.
struct Outline {
    Edge leading, outer, trailing;
    POINT leadingCorner, trailingCorner;
    bool outerLit;
};

Outline OutlineOf(CSkinnedTab::Side side, const RECT& r) {
    const int L = r.left, T = r.top, R = r.right, B = r.bottom;
    const int across = R - L, along = B - T;  // widths of the rows and columns
    switch (side) {
        case CSkinnedTab::kLeft:
            return {{L + 2, T, across - 2, 1, 0, 1},
                    {L, T + 2, 1, along - 4, 1, 0},
                    {L + 2, B - 1, across - 2, 1, 0, -1},
                    {L + 1, T + 1},
                    {L + 1, B - 2},
                    true};
        case CSkinnedTab::kRight:
            return {{L, T, across - 2, 1, 0, 1},
                    {R - 1, T + 2, 1, along - 4, -1, 0},
                    {L, B - 1, across - 2, 1, 0, -1},
                    {R - 2, T + 1},
                    {R - 2, B - 2},
                    false};
        case CSkinnedTab::kBottom:
            return {{L, T, 1, along - 2, 1, 0},
                    {L + 2, B - 1, across - 4, 1, 0, -1},
                    {R - 1, T, 1, along - 2, -1, 0},
                    {L + 1, B - 2},
                    {R - 2, B - 2},
                    false};
        case CSkinnedTab::kTop:
        default:
            return {{L, T + 2, 1, along - 2, 1, 0},
                    {L + 2, T, across - 4, 1, 0, 1},
                    {R - 1, T + 2, 1, along - 2, -1, 0},
                    {L + 1, T + 1},
                    {R - 2, T + 1},
                    true};
    }
}

void PaintEdge(HDC dc, const Edge& e, COLORREF outer, COLORREF inner) {
    FillSolid(dc, e.x, e.y, e.cx, e.cy, outer);
    FillSolid(dc, e.x + e.dx, e.y + e.dy, e.cx, e.cy, inner);
}

// The selected tab stands out over the display area and its neighbours.
RECT Grown(CSkinnedTab::Side side, RECT r) {
    switch (side) {
        case CSkinnedTab::kTop:
            return {r.left - 2, r.top - 2, r.right + 2, r.bottom + 1};
        case CSkinnedTab::kLeft:
            return {r.left - 2, r.top - 2, r.right + 1, r.bottom + 2};
        case CSkinnedTab::kRight:
            return {r.left - 1, r.top - 2, r.right + 2, r.bottom + 2};
        case CSkinnedTab::kBottom:
        default:
            return {r.left - 2, r.top - 1, r.right + 2, r.bottom + 2};
    }
}

int Selection(HWND tab) {
    return static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0));
}

RECT ItemRect(HWND tab, int index) {
    RECT r{};
    ::SendMessageA(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    return r;
}

}  // namespace

LRESULT CSkinnedTab::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT || message == WM_NCPAINT) hotItem = -1;
    return CSkinnedControl::WindowProc(message, wParam, lParam);
}

BOOL CSkinnedTab::NeedsHotUpdate(POINT cursor) {
    const Survival alive(*this);
    const HWND self = window;
    TCHITTESTINFO hit{};
    hit.pt = cursor;
    ::ScreenToClient(self, &hit.pt);
    ::SendMessageA(self, TCM_GETITEMCOUNT, 0, 0);
    const int found =
        static_cast<int>(::SendMessageA(self, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!alive()) return FALSE;
    return self != skin_registry::HotWindow() || found != hotItem;
}

CSkinnedTab::Side CSkinnedTab::TabSide() const {
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    const bool vertical = (style & TCS_VERTICAL) != 0;
    if (style & TCS_BOTTOM) return vertical ? kRight : kBottom;
    return vertical ? kLeft : kTop;
}

void CSkinnedTab::DrawControl(HDC, RECT& rect) {
    // Every step asks the control, whose answers pass whoever sits above us and
    // who may destroy it: what the painting needs of this object is read
    // first, and the object is touched again only while it survives.
    const Survival alive(*this);
    const HWND self = window;
    if (::GetWindowLongA(self, GWL_STYLE) & TCS_BUTTONS) return;
    const Side side = TabSide();
    const RECT area = rect;
    const WindowDc dc = WindowDc::Client(self);
    const int sel = Selection(self);
    const RECT s = sel >= 0 ? ItemRect(self, sel) : RECT{};
    const RECT* selected = sel >= 0 ? &s : nullptr;
    RECT display = area;
    ::SendMessageA(self, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const int count = static_cast<int>(::SendMessageA(self, TCM_GETITEMCOUNT, 0, 0));
    if (!alive()) return;
    PaintDisplayArea(dc.get(), display, side, selected);

    POINT p{};
    ::GetCursorPos(&p);
    ::ScreenToClient(self, &p);
    int hot = -1;
    for (int i = 0; i < count; ++i) {
        if (i == sel) continue;
        const RECT r = ItemRect(self, i);
        if (!alive()) return;
        const bool over = ::PtInRect(&r, p) != 0;
        if (over) hot = i;
        PaintTab(dc.get(), r, i, sel, side, over ? kLookHot : 0);
    }
    if (selected != nullptr) {
        // Painted last: grown, it covers its neighbours' facing sides.
        const bool over = ::PtInRect(&s, p) != 0;
        if (over) hot = sel;
        PaintTab(dc.get(), s, sel, sel, side, kLookSelected | (over ? kLookHot : 0));

        // A strip of face colour over the left end of the tab row.
        const COLORREF face = ::GetSysColor(Sys::FACE);
        if (sel != 0 && side == kTop) {
            FillSolid(dc.get(), area.left, area.top, 2, s.bottom - s.top + 2, face);
        } else if (sel != 0 && side == kBottom) {
            FillSolid(dc.get(), area.left, area.bottom, 2, s.top - s.bottom - 2, face);
        }
    }
    hotItem = hot;
}

void CSkinnedTab::PaintDisplayArea(HDC dc, const RECT& adjusted, Side side, const RECT* selected) {
    RECT d = adjusted;
    ::InflateRect(&d, 4, 4);
    switch (side) {
        case kTop:
            d.top += 2;
            break;
        case kLeft:
            d.left += 2;
            break;
        case kRight:
            d.right -= 2;
            break;
        case kBottom:
            d.bottom -= 2;
            break;
    }
    // The shadow lines on the bottom and right sides (extent -1: the row or
    // column just before), open where the selected tab joins the area.
    const COLORREF shadow = ::GetSysColor(Sys::SHADOW);
    if (side == kBottom && selected != nullptr) {
        FillSolid(dc, d.left, d.bottom, selected->left - d.left, -1, shadow);
        FillSolid(dc, selected->right, d.bottom, d.right - selected->right, -1, shadow);
    } else {
        FillSolid(dc, d.left, d.bottom, d.right - d.left, -1, shadow);
    }
    if (side == kRight && selected != nullptr) {
        FillSolid(dc, d.right, d.top, -1, selected->top - d.top, shadow);
        FillSolid(dc, d.right, selected->bottom, -1, d.bottom - selected->bottom, shadow);
    } else {
        FillSolid(dc, d.right, d.top, -1, d.bottom - d.top, shadow);
    }
    const COLORREF face = ::GetSysColor(Sys::FACE);
    DrawRing(dc, d.left + 1, d.top + 1, d.right - d.left - 2, d.bottom - d.top - 2, face, face);
}

void CSkinnedTab::PaintTabItem(HDC dc, const RECT& rect, int index, int look) {
    const Side side = TabSide();
    PaintTab(dc, rect, index, Selection(window), side, look);
}

void CSkinnedTab::PaintTab(HDC dc, const RECT& rect, int index, int cur, Side side, int look) {
    if (cur == -1) cur = -2;  // no selection: no neighbour leaves a side out
    const Outline o = OutlineOf(side, (look & kLookSelected) ? Grown(side, rect) : rect);

    using namespace Sys;
    const bool hot = (look & kLookHot) != 0;
    const COLORREF lit = ::GetSysColor(HIGHLIGHT);
    const COLORREF litInner = ::GetSysColor(hot ? LIGHT : FACE);
    const COLORREF shaded = ::GetSysColor(hot ? DKSHADOW : SHADOW);
    const COLORREF shadedInner = ::GetSysColor(hot ? SHADOW : FACE);

    // The grown selected tab covers the facing side of each neighbour.
    if (index != cur + 1) {
        PaintEdge(dc, o.leading, lit, litInner);
        ::SetPixel(dc, o.leadingCorner.x, o.leadingCorner.y, lit);
    }
    if (o.outerLit) {
        PaintEdge(dc, o.outer, lit, litInner);
    } else {
        PaintEdge(dc, o.outer, shaded, shadedInner);
    }
    if (index + 1 == cur) return;
    PaintEdge(dc, o.trailing, shaded, shadedInner);
    ::SetPixel(dc, o.trailingCorner.x, o.trailingCorner.y, shaded);
}
