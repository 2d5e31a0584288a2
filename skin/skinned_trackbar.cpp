// The trackbar painter: the channel as a two-ring groove, and the thumb as a
// box (double-sided) or as a pointed outline traced with four one-pixel pens.
#include "skin/skinned_trackbar.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/handles.h"

namespace {

// A vertical trackbar answers its channel laid out as for a horizontal one:
// turn it and centre it on the thumb, nudged towards the side the ticks leave.
void TurnChannel(HWND trackbar, LONG style, RECT& channel) {
    const int thickness = channel.bottom - channel.top;
    const int top = channel.left, bottom = channel.right;
    RECT thumb{};
    ::SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const int middle = thumb.left + (thumb.right - thumb.left) / 2;
    const int x = middle - thickness / 2;
    int left = x - 1;
    if (style & TBS_LEFT) {
        left = x + 1;
    } else if (style & TBS_BOTH) {
        left = x;
    }
    ::SetRect(&channel, left, top, left + thickness, bottom);
}

// MoveToEx/LineTo through a chain of points with one of four pens; each
// LineTo leaves its end point out, as the outlines expect.
class Outline {
public:
    Outline(HDC dc, const Pen (&pens)[4]) : dc_(dc), pens_(pens), saved_(dc) {}
    Outline& With(int pen) {
        ::SelectObject(dc_, pens_[pen - 1].get());
        return *this;
    }
    Outline& Move(int x, int y) {
        ::MoveToEx(dc_, x, y, nullptr);
        return *this;
    }
    Outline& Line(int x, int y) {
        ::LineTo(dc_, x, y);
        return *this;
    }

private:
    HDC dc_;  // not owned
    const Pen (&pens_)[4];
    // The DC's own pen goes back before the pens are deleted, also when one of
    // them could not be made and nothing of ours was selected first.
    SavedPen saved_;
};

}  // namespace

void CSkinnedTrackbar::DrawControl(HDC, RECT&) {
    // The rectangles come from the control, through whoever sits above us, who
    // may destroy it while answering: the object is read first and touched
    // again only while it survives.
    const Survival alive(*this);
    const HWND self = window;
    const LONG style = ::GetWindowLongA(self, GWL_STYLE);
    const bool lit = IsHighlighted();
    const WindowDc dc = WindowDc::Client(self);
    RECT channel{};
    ::SendMessageA(self, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    if (style & TBS_VERT) TurnChannel(self, style, channel);
    if (!alive()) return;

    DrawRings2(dc.get(), channel, lit ? Scheme::kLit : Scheme::kGrey);
    if (style & TBS_NOTHUMB) return;
    RECT thumb;
    ::SetRectEmpty(&thumb);
    ::SendMessageA(self, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    if (!alive()) return;
    PaintTrackbarThumb(dc.get(), thumb);
}

void CSkinnedTrackbar::PaintTrackbarThumb(HDC dc, const RECT& r) {
    using namespace Sys;
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    const bool highlighted = IsHighlighted();
    FillSolid(dc, r, ::GetSysColor(FACE));
    if (style & TBS_BOTH) {
        DrawRings2(dc, r, highlighted ? Scheme::kRaisedLit : Scheme::kButton);
        return;
    }

    auto pen = [](int colour) { return Pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(colour))); };
    // Lit outer, lit inner, shaded outer, shaded inner.
    const Pen pens[4] = {pen(HIGHLIGHT), pen(highlighted ? LIGHT : FACE),
                         pen(highlighted ? DKSHADOW : SHADOW), pen(highlighted ? SHADOW : FACE)};
    Outline o(dc, pens);
    const int L = r.left, T = r.top, R = r.right, B = r.bottom;
    if ((style & TBS_VERT) && (style & TBS_LEFT)) {  // pointing left
        const int a = (B - T) / 2;
        o.With(1).Move(R - 2, T).Line(L + a, T).Line(L, T + a);
        o.With(3).Line(L + a, B - 1).Line(R - 1, B - 1).Line(R - 1, T - 1);
        o.With(2).Move(R - 3, T + 1).Line(L + a, T + 1).Line(L + 1, T + a);
        o.With(4).Line(L + a, B - 2).Line(R - 2, B - 2).Line(R - 2, T);
    } else if (style & TBS_VERT) {  // pointing right
        const int a = (B - T) / 2, n = a + 1;
        o.With(1).Move(L, B - 2).Line(L, T).Line(R - n, T).Line(R - 1, T + a);
        o.With(3).Move(L, B - 1).Line(R - n, B - 1).Line(R, T + a - 1);
        o.With(2).Move(L + 1, B - 3).Line(L + 1, T + 1).Line(R - n, T + 1).Line(R - 2, T + a);
        o.With(4).Move(L + 1, B - 2).Line(R - n, B - 2).Line(R - 1, T + a - 1);
    } else if (style & TBS_TOP) {  // pointing up
        const int a = (R - L) / 2;
        o.With(1).Move(L + a - 1, T + 1).Line(L, T + a).Line(L, B - 1);
        o.With(3).Line(R - 1, B - 1).Line(R - 1, T + a).Line(L + a - 1, T - 1);
        o.With(2).Move(L + a - 1, T + 2).Line(L + 1, T + a).Line(L + 1, B - 2);
        o.With(4).Line(R - 2, B - 2).Line(R - 2, T + a).Line(L + a - 1, T);
    } else {  // pointing down
        const int a = (R - L) / 2, n = a + 1;
        o.With(1).Move(L + a - 1, B - 2).Line(L, B - n).Line(L, T).Line(R - 1, T);
        o.With(3).Line(R - 1, B - n).Line(L + a - 1, B);
        o.With(2).Move(L + a - 1, B - 3).Line(L + 1, B - n).Line(L + 1, T + 1).Line(R - 2, T + 1);
        o.With(4).Line(R - 2, B - n).Line(L + a - 1, B - 1);
    }
}
