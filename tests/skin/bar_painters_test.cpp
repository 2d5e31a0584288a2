// The scroll bar control, spin and trackbar painters on the gallery's bars and
// a few purpose-built spins: one table per painter.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "skin/handles.h"
#include "tests/skin/painter_pixels.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;

namespace {

using BarPainters = GalleryTest;

void SetBar(HWND bar, int page, int position) {
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 99, static_cast<UINT>(page), position, 0};
    ::SendMessageA(bar, SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&info));
}

// Wine's scroll bar sets a position by sending itself SBM_SETSCROLLINFO with the
// redraw flag, which the painter would take for its own trigger; Windows sends
// nothing. Above the painter, this routes that inner message to the control.
WNDPROC skinProc = nullptr, controlProc = nullptr;
int settingPosition = 0;
LRESULT CALLBACK AsWindowsRoutes(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SBM_SETSCROLLINFO && settingPosition > 0) {
        return ::CallWindowProcA(controlProc, w, message, wParam, lParam);
    }
    settingPosition += message == SBM_SETPOS;
    const LRESULT result = ::CallWindowProcA(skinProc, w, message, wParam, lParam);
    settingPosition -= message == SBM_SETPOS;
    return result;
}

TEST_F(BarPainters, ScrollBarRepaintsFlatAfterTheRedrawingMessagesOnly) {
    const HWND bar = Item(gallery_.bars, IDC_HSCROLL);
    controlProc = SkinOf(bar)->savedProc;
    skinProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AsWindowsRoutes)));
    // Its unskinned twin gives the control's own answers.
    const Window owned = Child(gallery_.bars, "ScrollBar", 0, {0, 0, 0, 0}, WS_EX_NOPARENTNOTIFY);
    const HWND twin = owned.get();
    SCROLLINFO moved{sizeof(moved), SIF_POS, 0, 0, 0, 40, 0};
    const LPARAM info = reinterpret_cast<LPARAM>(&moved);
    constexpr LRESULT kOwn = -1;
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT answer;  // kOwn: the twin's
        int inside;      // (1,1): FACE when flat, WINDOW when nobody repainted
    } rows[] = {
        // clang-format off
        {"SBM_SETPOS 5, redraw",         SBM_SETPOS,         5,     TRUE,  kOwn, F},
        {"SBM_SETPOS 0, redraw",         SBM_SETPOS,         0,     TRUE,  kOwn, Not(F)},
        {"SBM_SETPOS 5, no redraw",      SBM_SETPOS,         5,     FALSE, kOwn, W},
        {"SBM_SETSCROLLINFO, redraw",    SBM_SETSCROLLINFO,  TRUE,  info,  kOwn, F},
        {"SBM_SETSCROLLINFO, no redraw", SBM_SETSCROLLINFO,  FALSE, info,  kOwn, W},
        {"SBM_SETRANGEREDRAW",           SBM_SETRANGEREDRAW, 0,     99,    kOwn, F},
        // clang-format on
    };
    for (const auto& row : rows) {
        SetBar(bar, 20, 30);
        SetBar(twin, 20, 30);
        const HDC dc = ::GetDC(bar);  // blotted: a pixel nobody repaints stays WINDOW
        FillSolid(dc, 0, 0, 400, 40, ::GetSysColor(W));
        ::ReleaseDC(bar, dc);
        const LRESULT own = ::SendMessageA(twin, row.message, row.wParam, row.lParam);
        EXPECT_EQ(::SendMessageA(bar, row.message, row.wParam, row.lParam),
                  row.answer == kOwn ? own : row.answer)
            << row.what;
        EXPECT_EQ(CheckClientPixels(bar, {{1, 1, row.inside}}), "") << row.what;
    }
    ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(skinProc));
    SetBar(bar, 20, 30);
}

TEST_F(BarPainters, ScrollBarThumbFollowsTheControlsStateAndPage) {
    const HWND bar = Item(gallery_.bars, IDC_HSCROLL);
    RECT r{};
    ::GetClientRect(bar, &r);
    const int a = ::GetSystemMetrics(SM_CXHSCROLL), track = r.right - 2 * a;
    const int thumb = std::max(::MulDiv(20, track, 100), 8);
    const auto with = [bar](bool enabled, int page) {
        return [=] {
            ::EnableWindow(bar, enabled);
            SetBar(bar, page, 0);
            Repaint(bar);
        };
    };
    const auto restore = [bar] {
        ::EnableWindow(bar, TRUE);
        SetBar(bar, 20, 30);
    };
    // clang-format off
    RunCases({
        {"at 0", bar, with(true, 20), restore,
         {{a, 0, H}, {a + 1, 1, F}, {a + thumb - 1, 1, S}, {a + thumb, 1, Not(S)}}},
        {"disabled: no thumb", bar, with(false, 20), restore,
         {{0, 0, H}, {-1, -1, S}, {a, 0, Not(H)}, {a + 1, 1, Not(F)}}},
        {"full page: one pixel short", bar, with(true, 100), restore,
         {{a, 0, H}, {a + track - 2, -1, S}, {a + track - 1, 0, Not(S)}}},
    });
    // clang-format on
}

TEST_F(BarPainters, SpinButtonsBuddyLinesAndSharedHotLook) {
    const HWND b = gallery_.buttons, tab = Item(gallery_.strips, IDC_TAB_TOP);
    const HWND right = Item(b, IDC_SPIN_RIGHT), buddy = Item(b, IDC_EDIT_SPIN_RIGHT);
    const Window tall = Child(gallery_.bars, UPDOWN_CLASSA, 0, {280, 200, 16, 21});
    const Window wide = Child(gallery_.bars, UPDOWN_CLASSA, UDS_HORZ, {300, 200, 21, 16});
    // A tab control's own scroller has no buddy: it lends hot to the tab control.
    const Window scroller = Child(tab, UPDOWN_CLASSA, 0, {40, 40, 16, 16});
    Skinning::AddControl(scroller.get());
    const auto hover = [](HWND spin, HWND neighbour, bool lends) {
        return [=] {
            HoverOver(spin);
            EXPECT_EQ(IsHot(neighbour), lends);
        };
    };
    const auto away = [](HWND neighbour) {
        return [=] {
            HoverAway();
            EXPECT_FALSE(IsHot(neighbour));
        };
    };
    // The spin repaints after a change of its buddy's.
    const auto disabled = [=](bool on) {
        return [=] {
            ::EnableWindow(buddy, !on);
            Repaint(right);
        };
    };
    // clang-format off
    RunCases({
        {"21 high: row 10 in neither button", tall.get(), {}, {},
         {{0, 0, H}, {8, 9, S}, {8, 10, Not(S)}, {8, 10, Not(H)}, {8, 11, H}, {8, 20, S}}},
        {"21 wide", wide.get(), {}, {}, {{9, 8, S}, {10, 8, Not(S)}, {10, 8, Not(H)}, {11, 8, H}}},
        {"right of its buddy", right, {}, {}, {{5, 1, H}, {-2, 10, L}, {5, -2, L}, {5, 2, H}}},
        {"left of its buddy", Item(b, IDC_SPIN_LEFT), {}, {},
         {{5, 1, H}, {1, 10, H}, {5, -2, L}, {2, 3, H}}},
        {"buddy focused: no lines", right, [=] { ::SetFocus(buddy); Repaint(right); },
         [] { ::SetFocus(nullptr); },
         {{5, 1, Not(H)}, {5, 2, H}}},
        {"hot: raised, lent to the buddy", right, hover(right, buddy, true), away(buddy),
         {{5, 2, F}, {5, 3, H}, {-3, 9, K}}},
        {"buddy disabled: face lines, flat buttons", right, disabled(true), disabled(false),
         {{5, 1, F}, {-2, 10, F}, {5, -2, F}, {5, 2, H}}},
        {"buddy disabled, spin hot: nothing lent", right,
         [=] { disabled(true)(); hover(right, buddy, false)(); },
         [=] { away(buddy)(); disabled(false)(); }, {{5, 2, H}}},
        {"tab control's scroller, hot", scroller.get(), hover(scroller.get(), tab, true), away(tab),
         {{0, 0, F}, {1, 1, H}}},
    });
    // clang-format on
}

TEST_F(BarPainters, TrackbarChannelAndThumb) {
    const HWND down = Item(gallery_.bars, IDC_TRACK_BOTTOM),
               up = Item(gallery_.bars, IDC_TRACK_TOP);
    const HWND box = Item(gallery_.bars, IDC_TRACK_BOTH);
    const HWND bare = Item(gallery_.bars, IDC_TRACK_NOTHUMB);
    const auto channel = [](HWND w) { return ItemRect(w, TBM_GETCHANNELRECT, 0); };
    const RECT t = ItemRect(down, TBM_GETTHUMBRECT, 0), u = ItemRect(up, TBM_GETTHUMBRECT, 0);
    const RECT tb = ItemRect(box, TBM_GETTHUMBRECT, 0), tn = ItemRect(bare, TBM_GETTHUMBRECT, 0);
    const Rings2 flat = Scheme::kGrey, raised = Scheme::kLit;
    // The pointed thumb's lit left and top, and its shaded right, outer and inner.
    const auto pointed = [&](int litInner, int shaded, int shadedInner) {
        return std::vector<Pixel>{{t.left, t.top + 3, H},
                                  {t.left + 1, t.top + 3, litInner},
                                  {t.left + 3, t.top, H},
                                  {t.right - 1, t.top + 3, shaded},
                                  {t.right - 2, t.top + 3, shadedInner}};
    };
    const auto hover = [](HWND w) { return [=] { HoverOver(w, 2, 2); }; };
    // clang-format off
    RunCases({
        {"pointing down, flat", down, {}, {}, Join(RingsOn(channel(down), flat), pointed(F, S, F))},
        {"pointing down, hot", down, hover(down), HoverAway,
         Join(RingsOn(channel(down), raised), pointed(L, K, S))},
        {"pointing down, focused", down, [=] { ::SetFocus(down); }, [] { ::SetFocus(nullptr); },
         Join(RingsOn(channel(down), raised), pointed(L, K, S))},
        {"pointing up", up, {}, {}, Join(RingsOn(channel(up), flat),
         {{u.left, u.bottom - 2, H}, {u.left, u.bottom - 1, S}, {u.right - 1, u.bottom - 2, S},
          {u.left + 1, u.bottom - 3, F}})},
        {"both sides: a box", box, {}, {},
         Join(RingsOn(channel(box), flat), RingsOn(tb, {H, S, F, F}))},
        {"both sides, hot", box, hover(box), HoverAway, RingsOn(tb, {H, K, L, S})},
        {"no thumb", bare, {}, {},
         Join(RingsOn(channel(bare), flat), {{tn.left, tn.top, F}, {tn.left + 3, tn.top, F}})},
    });
    // clang-format on
}

// Answers TBM_GETCHANNELRECT as Windows does for a vertical trackbar: laid out as
// for a horizontal one. (Wine answers it already turned.)
WNDPROC trackbarProc = nullptr;
LRESULT CALLBACK AsWindowsAnswers(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = ::CallWindowProcA(trackbarProc, w, message, wParam, lParam);
    if (message == TBM_GETCHANNELRECT) {
        RECT& r = *reinterpret_cast<RECT*>(lParam);
        r = {r.top, r.left, r.bottom, r.right};
    }
    return result;
}

TEST_F(BarPainters, VerticalTrackbarChannelIsTurnedAndCentredOnTheThumb) {
    // The channel's left column against the centred one.
    const int nudges[] = {-1, 1, 0};
    const char* names[] = {"right: one pixel left of centre", "left: one pixel right of centre",
                           "both: centred"};
    for (int id = IDC_TRACK_RIGHT; id <= IDC_TRACK_VBOTH; ++id) {
        const HWND trackbar = Item(gallery_.bars, id);
        trackbarProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
            trackbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AsWindowsAnswers)));
        const RECT c = ItemRect(trackbar, TBM_GETCHANNELRECT, 0);
        const RECT t = ItemRect(trackbar, TBM_GETTHUMBRECT, 0);
        const int w = c.bottom - c.top, y = c.left + 5;  // a row above the thumb
        const int x = t.left + (t.right - t.left) / 2 - w / 2 + nudges[id - IDC_TRACK_RIGHT];
        // clang-format off
        const std::vector<Pixel> thumbs[] = {  // pointing right, pointing left, a box
            {{t.left, t.top + 3, H}, {t.left + 3, t.top, H}, {t.left + 3, t.bottom - 1, S}},
            {{t.right - 3, t.top, H}, {t.right - 1, t.top, S}, {t.right - 3, t.bottom - 1, S}},
            RingsOn(t, {H, S, F, F})};
        RunCases({{names[id - IDC_TRACK_RIGHT], trackbar, {}, {}, Join(thumbs[id - IDC_TRACK_RIGHT],
            {{x - 1, y, F}, {x, y, S}, {x + 1, y, F}, {x + w - 2, y, F}, {x + w - 1, y, H},
             {x, c.left, S}, {x + 1, c.right - 1, H}})}});
        // clang-format on
        ::SetWindowLongPtrA(trackbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trackbarProc));
    }
}

// How many more pens the process may create: what a leak uses up. (Wine's
// GetGuiResources counts nothing.)
int PensLeft() {
    std::vector<Pen> pens;
    for (Pen pen(::CreatePen(PS_SOLID, 1, 0)); pen; pen = Pen(::CreatePen(PS_SOLID, 1, 0))) {
        pens.push_back(std::move(pen));
    }
    return static_cast<int>(pens.size());
}

TEST_F(BarPainters, ThousandsOfThumbPaintsLeaveNoGdiObjectBehind) {
    CSkinnedControl* skin = SkinOf(Item(gallery_.bars, IDC_TRACK_BOTTOM));
    const int before = PensLeft();
    for (int i = 0; i < 3000; ++i) {
        skin->ModifyState(0, CSkinnedControl::kHot, TRUE);  // each change paints the thumb
        skin->ModifyState(CSkinnedControl::kHot, 0, TRUE);
    }
    EXPECT_EQ(PensLeft(), before);
}

}  // namespace
