// The control base: default message handling, DrawBorder's decisions, the plain
// flat border and the flat repaint of a window's own scroll bars.
#include "skin/skinned_control.h"

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/skin_manager.h"
#include "skin/trace.h"

LRESULT CSkinnedControl::PassOnThenDraw(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND self = window;
    const LRESULT result = PassOn(message, wParam, lParam);
    // The control's own handling may have destroyed it; then nothing of us is left.
    if (CSkinManager::FindControl(self) == this) DrawBorder();
    return result;
}

LRESULT CSkinnedControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            DrawBorder();
            return PassOn(message, wParam, lParam);
        case WM_ENABLE:
        case WM_PAINT:
        case WM_NCPAINT:
            PassOnThenDraw(message, wParam, lParam);
            return 0;
        case WM_NCDESTROY: {
            const HWND self = window;
            PassOn(message, wParam, lParam);
            CSkinManager::GetManager()->RemoveControl(self);  // deletes this object
            return 0;
        }
        default:
            return PassOn(message, wParam, lParam);
    }
}

BOOL CSkinnedControl::NeedsHotUpdate(POINT) {
    return window != CSkinManager::hotWindow;
}

void CSkinnedControl::GetBorderDC(HDC& dc, RECT& rect) {
    ::GetWindowRect(window, &rect);
    ::OffsetRect(&rect, -rect.left, -rect.top);
    dc = ::GetWindowDC(window);
}

BOOL CSkinnedControl::IsFocused() {
    return ::GetFocus() == window;
}

void CSkinnedControl::DrawBorder() {
    HDC hdc = nullptr;
    RECT rect{};
    GetBorderDC(hdc, rect);
    const WindowDc dc(hdc);
    SKIN_TRACE("CSkinManager::DrawBorder, handle: %X state: %d\n", SKIN_HANDLE(window), state);

    if (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
        // A client edge plus a one-pixel border: paint inside the border.
        RECT outer{};
        ::GetWindowRect(window, &outer);
        POINT origin{0, 0};
        ::ClientToScreen(window, &origin);
        if (outer.left + 3 == origin.x) ::InflateRect(&rect, -1, -1);
    }
    state = IsFocused() == 1 ? (state | kFocused) : (state & ~kFocused);
    state = rect.bottom - rect.top < 30 ? (state | kSmall) : (state & ~kSmall);

    // A control that stays highlighted for the same reason is not painted again.
    const bool stillHot = (drawnState & kHot) && (state & kHot);
    const bool stillFocused = (drawnState & kFocused) && (state & kFocused);
    if (!stillHot && !stillFocused) DrawControl(dc.get(), rect);
    drawnState = state;
}

void CSkinnedControl::ModifyState(WORD clear, WORD set, BOOL redraw) {
    state = static_cast<WORD>((state & ~clear) | set);
    if (redraw) DrawBorder();
}

void CSkinnedControl::DrawControl(HDC dc, RECT& rect) {
    using namespace Sys;
    Rings2 scheme{SHADOW, HIGHLIGHT, LIGHT, LIGHT};
    if (IsHighlighted()) {
        scheme = {SHADOW, HIGHLIGHT, DKSHADOW, LIGHT};
    } else if (!::IsWindowEnabled(window) || (state & kReadOnly)) {
        scheme = {SHADOW, HIGHLIGHT, FACE, FACE};
    } else if (state & kSmall) {
        scheme = {SHADOW, HIGHLIGHT, HIGHLIGHT, LIGHT};
    }
    DrawRings2(dc, rect, scheme);
    PaintWindowScrollBars(dc, rect);
}

void CSkinnedControl::PaintWindowScrollBars(HDC dc, const RECT& rect) {
    const int e = ::GetSystemMetrics(SM_CXEDGE);
    const int s = ::GetSystemMetrics(SM_CXHSCROLL);
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    const bool horizontal = style & WS_HSCROLL;
    const bool vertical = style & WS_VSCROLL;
    // With both bars the s-by-s corner between them belongs to neither.
    const int corner = horizontal && vertical ? s : 0;
    if (horizontal) {
        const RECT bar{rect.left + e, rect.bottom - e - s, rect.right - e - corner,
                       rect.bottom - e};
        PaintScrollBar(dc, bar, 0, 0);
    }
    if (vertical) {
        const RECT bar{rect.right - e - s, rect.top + e, rect.right - e, rect.bottom - e - corner};
        PaintScrollBar(dc, bar, 1, 0);
    }
}

void CSkinnedControl::PaintScrollBar(HDC dc, const RECT& bar, int vertical, int isControl) {
    int a = ::GetSystemMetrics(SM_CXHSCROLL);
    // Windows 95/98/Me set the high bit of the version and size the minimum thumb by the arrows.
    const int minimum = (::GetVersion() & 0x80000000u) ? a / 2 : 8;
    const int start = vertical ? bar.top : bar.left;
    const int end = vertical ? bar.bottom : bar.right;
    const int length = end - start;
    if (length < 2 * a) a = length / 2;

    auto span = [&](int from, int to) {
        RECT part = bar;
        (vertical ? part.top : part.left) = from;
        (vertical ? part.bottom : part.right) = to;
        return part;
    };
    PaintScrollButton(dc, span(start, start + a));
    PaintScrollButton(dc, span(end - a, end));

    if (isControl == 1 && !::IsWindowEnabled(window)) return;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(window, isControl ? SB_CTL : vertical, &info);
    // In unsigned arithmetic: the full int range wraps to 0 instead of overflowing.
    const int range =
        static_cast<int>(static_cast<unsigned>(info.nMax) - static_cast<unsigned>(info.nMin) + 1u);
    if (range == 0) return;

    const int track = length - 2 * a;
    int thumb = ::GetSystemMetrics(SM_CXHTHUMB);
    if (info.nPage != 0) {
        const int proportional = ::MulDiv(static_cast<int>(info.nPage), track, range);
        thumb = proportional > minimum ? proportional : minimum;
    }
    if (thumb >= track) {
        thumb = track;
        if (isControl == 0) return;  // a window's own bar shows no thumb that fills its track
    }
    int offset = 0;
    if (range == static_cast<int>(info.nPage)) {
        thumb -= 1;
    } else {
        offset =
            ::MulDiv(info.nPos - info.nMin, track - thumb, range - static_cast<int>(info.nPage));
    }
    if (thumb <= track) {
        const int from = start + a + offset;
        PaintScrollButton(dc, span(from, from + thumb));
    }
}

void CSkinnedControl::PaintScrollButton(HDC dc, const RECT& rect) {
    using namespace Sys;
    if (IsHighlighted()) {
        DrawRings2(dc, rect, FACE, DKSHADOW, HIGHLIGHT, SHADOW);
    } else {
        DrawRings2(dc, rect, HIGHLIGHT, SHADOW, FACE, FACE);
    }
}

LRESULT CALLBACK CSkinnedControl::ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    try {
        if (CSkinnedControl* control = CSkinManager::FindControl(hwnd)) {
            return control->WindowProc(message, wParam, lParam);
        }
        return CSkinManager::PassOnUnregistered(hwnd, message, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may leave a window procedure
    }
}

void CALLBACK CSkinnedControl::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
    try {
        CSkinManager::GetManager()->TrackMouse();
    } catch (...) {
        // nothing may leave a timer callback
    }
}
