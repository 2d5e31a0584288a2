// The control base: default message handling, DrawBorder's decisions, the plain
// flat border and the flat repaint of a window's own scroll bars.
#include "skin/skinned_control.h"

#include <climits>
#include <cstdint>

#include "skin/drawing.h"
#include "skin/handles.h"
#include "skin/registry.h"
#include "skin/trace.h"

namespace {

// value * scale / divisor rounded half away from zero, as MulDiv rounds, without
// overflow; 0 for a divisor of 0 or less, clamped to the int range.
int ScaleRounded(std::int64_t value, std::int64_t scale, std::int64_t divisor) {
    if (divisor <= 0) return 0;
    // |value| < 2^33 and |scale| < 2^31 here: the product fits in 64 bits.
    const std::int64_t product = value * scale;
    std::int64_t quotient = product / divisor;
    const std::int64_t remainder = product % divisor;
    if (2 * (remainder < 0 ? -remainder : remainder) >= divisor) quotient += product < 0 ? -1 : 1;
    if (quotient > INT_MAX) return INT_MAX;
    if (quotient < INT_MIN) return INT_MIN;
    return static_cast<int>(quotient);
}

}  // namespace

CSkinnedControl::Survival::Survival(const CSkinnedControl& control)
    : window_(control.window),
      object_(&control),
      serial_(control.Serial()),
      registered_(skin_registry::Holds(window_, object_, serial_)) {}

bool CSkinnedControl::Survival::operator()() const {
    return !registered_ || skin_registry::Holds(window_, object_, serial_);
}

LRESULT CSkinnedControl::PassOnThenDraw(UINT message, WPARAM wParam, LPARAM lParam) {
    const Survival alive(*this);
    const LRESULT result = PassOn(message, wParam, lParam);
    if (alive()) DrawBorder();
    return result;
}

LRESULT CSkinnedControl::DrawThenPassOn(UINT message, WPARAM wParam, LPARAM lParam) {
    const Survival alive(*this);
    const HWND self = window;
    const WNDPROC saved = savedProc;
    const bool unicode = Unicode();
    DrawBorder();
    if (alive()) return PassOn(message, wParam, lParam);
    // Unregistered while painting, yet the window may live on: the message is
    // still owed to the procedure below us (an edit's caret comes with its focus).
    if (!::IsWindow(self)) return 0;
    return unicode ? ::CallWindowProcW(saved, self, message, wParam, lParam)
                   : ::CallWindowProcA(saved, self, message, wParam, lParam);
}

LRESULT CSkinnedControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            return DrawThenPassOn(message, wParam, lParam);
        case WM_ENABLE:
        case WM_PAINT:
        case WM_NCPAINT:
            PassOnThenDraw(message, wParam, lParam);
            return 0;
        case WM_NCDESTROY:
            return PassOnThenUnregister(wParam, lParam);
        default:
            return PassOn(message, wParam, lParam);
    }
}

CSubclassedWindow::Unregister CSkinnedControl::Unregisterer() const {
    return &skin_registry::ForgetControl;
}

BOOL CSkinnedControl::NeedsHotUpdate(POINT) {
    return window != skin_registry::HotWindow();
}

void CSkinnedControl::GetBorderDC(WindowDc& dc, RECT& rect) {
    ::GetWindowRect(window, &rect);
    ::OffsetRect(&rect, -rect.left, -rect.top);
    dc = WindowDc::Whole(window);
}

BOOL CSkinnedControl::IsFocused() {
    return ::GetFocus() == window;
}

void CSkinnedControl::DrawBorder() {
    // A neighbour lending its hot look back to us while we paint (a spin
    // buddied to itself, two spins buddied to each other) would recurse for ever.
    if (drawing_) return;
    const Survival alive(*this);
    drawing_ = true;
    WindowDc dc;
    RECT rect{};
    GetBorderDC(dc, rect);
    SKIN_TRACE("CSkinManager::DrawBorder, handle: %X state: %d\n", SKIN_HANDLE(window), state);

    if (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
        // A client edge plus a one-pixel border: paint inside the border.
        RECT outer{};
        ::GetWindowRect(window, &outer);
        POINT origin{0, 0};
        ::ClientToScreen(window, &origin);
        if (outer.left + 3 == origin.x) ::InflateRect(&rect, -1, -1);
    }
    const BOOL focused = IsFocused();
    if (!alive()) return;  // IsFocused may ask the control, which may be gone
    state = focused == 1 ? (state | kFocused) : (state & ~kFocused);
    state = rect.bottom - rect.top < 30 ? (state | kSmall) : (state & ~kSmall);

    // A control that stays highlighted for the same reason is not painted again.
    const bool stillHot = (drawnState & kHot) && (state & kHot);
    const bool stillFocused = (drawnState & kFocused) && (state & kFocused);
    if (dc && !stillHot && !stillFocused) {
        DrawControl(dc.get(), rect);
        if (!alive()) return;  // the DC still goes back to its window
    }
    if (dc) drawnState = state;
    drawing_ = false;
}

void CSkinnedControl::ModifyState(WORD clear, WORD set, BOOL redraw) {
    state = static_cast<WORD>((state & ~clear) | set);
    if (redraw) DrawBorder();
}

void CSkinnedControl::DrawControl(HDC dc, RECT& rect) {
    Rings2 scheme = Scheme::kFlat;
    if (IsHighlighted()) {
        scheme = Scheme::kLit;
    } else if (!::IsWindowEnabled(window) || (state & kReadOnly)) {
        scheme = Scheme::kGrey;
    } else if (state & kSmall) {
        scheme = Scheme::kSmall;
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
    // A scroll bar control answers through whoever sits above us, who may
    // destroy it: what the thumb needs of this object is read first.
    const Survival alive(*this);
    const bool lit = IsHighlighted();
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(window, isControl ? SB_CTL : vertical, &info);
    if (!alive()) return;
    // In 64 bits: a range of INT_MAX or more, and the differences below, fit.
    const std::int64_t range = std::int64_t{info.nMax} - info.nMin + 1;
    if (range <= 0) return;  // nothing to place a thumb in

    const int track = length - 2 * a;
    int thumb = ::GetSystemMetrics(SM_CXHTHUMB);
    if (info.nPage != 0) {
        const int proportional = ScaleRounded(info.nPage, track, range);
        thumb = proportional > minimum ? proportional : minimum;
    }
    if (thumb >= track) {
        thumb = track;
        if (isControl == 0) return;  // a window's own bar shows no thumb that fills its track
    }
    int offset = 0;
    if (range == std::int64_t{info.nPage}) {
        thumb -= 1;
    } else {
        offset = ScaleRounded(std::int64_t{info.nPos} - info.nMin, track - thumb,
                              range - std::int64_t{info.nPage});
    }
    // However the bar's figures disagree, the thumb stays on the track.
    if (offset > track - thumb) offset = track - thumb;
    if (offset < 0) offset = 0;
    if (thumb <= track) {
        const int from = start + a + offset;
        DrawRings2(dc, span(from, from + thumb), lit ? Scheme::kButtonLit : Scheme::kButton);
    }
}

void CSkinnedControl::PaintScrollButton(HDC dc, const RECT& rect) {
    DrawRings2(dc, rect, IsHighlighted() ? Scheme::kButtonLit : Scheme::kButton);
}

LRESULT CALLBACK CSkinnedControl::ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    try {
        if (CSkinnedControl* control = Find(hwnd)) {
            return control->WindowProc(message, wParam, lParam);
        }
        return skin_registry::PassOnUnregistered(hwnd, message, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may leave a window procedure
    }
}

CSkinnedControl* CSkinnedControl::Find(HWND window) {
    // Only the manager registers controls, and only objects of this class.
    return static_cast<CSkinnedControl*>(skin_registry::FindControl(window));
}
