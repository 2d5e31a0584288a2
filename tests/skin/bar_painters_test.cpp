// The scroll bar control, spin and trackbar painters on the gallery's bars and
// a few purpose-built spins: one table per painter, read by one loop each.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "skin/handles.h"
#include "skin/skinned_spin.h"
#include "tests/skin/painter_pixels.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;
using namespace Sys;

namespace {

using BarPainters = GalleryTest;

// Covers the window with WINDOW, so a pixel nobody repaints keeps that colour.
void Blot(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    const HDC dc = ::GetWindowDC(window);
    FillSolid(dc, 0, 0, r.right - r.left, r.bottom - r.top, ::GetSysColor(WINDOW));
    ::ReleaseDC(window, dc);
}

void SetBar(HWND bar, int page, int position) {
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 99, static_cast<UINT>(page), position, 0};
    ::SendMessageA(bar, SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&info));
}

// Wine's scroll bar sets a position by sending itself SBM_SETSCROLLINFO with
// the redraw flag, which the painter would take for its own trigger; Windows
// sends nothing. Sitting above the painter, this routes that inner message
// straight to the control, as on Windows.
WNDPROC skinProc = nullptr, controlProc = nullptr;
int settingPosition = 0;
LRESULT CALLBACK AsWindowsRoutes(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SBM_SETSCROLLINFO && settingPosition > 0) {
        return ::CallWindowProcA(controlProc, w, message, wParam, lParam);
    }
    if (message != SBM_SETPOS) return ::CallWindowProcA(skinProc, w, message, wParam, lParam);
    ++settingPosition;
    const LRESULT result = ::CallWindowProcA(skinProc, w, message, wParam, lParam);
    --settingPosition;
    return result;
}

TEST_F(BarPainters, ScrollBarRepaintsFlatAfterTheRedrawingMessagesOnly) {
    const HWND bar = Item(gallery_.bars, IDC_HSCROLL);
    controlProc = SkinOf(bar)->savedProc;
    skinProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AsWindowsRoutes)));
    // Its unskinned twin gives the control's own answers.
    RECT r{};
    ::GetWindowRect(bar, &r);
    const HWND twin = ::CreateWindowExA(WS_EX_NOPARENTNOTIFY, "ScrollBar", "", WS_CHILD | SBS_HORZ,
                                        0, 0, r.right - r.left, r.bottom - r.top, gallery_.bars,
                                        nullptr, nullptr, nullptr);
    ASSERT_EQ(SkinOf(twin), nullptr);
    SCROLLINFO moved{sizeof(moved), SIF_POS, 0, 0, 0, 40, 0};
    const LPARAM info = reinterpret_cast<LPARAM>(&moved);
    constexpr LRESULT kOwn = -1;
    struct Row {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT answer;  // kOwn: what the unskinned control answers
        int inside;      // (1,1): FACE flat, WINDOW when nobody repainted
    };
    const Row rows[] = {
        {"SBM_SETPOS 5, redraw", SBM_SETPOS, 5, TRUE, 0, FACE},
        {"SBM_SETPOS 0, redraw", SBM_SETPOS, 0, TRUE, kOwn, kNot | FACE},
        {"SBM_SETPOS 5, no redraw", SBM_SETPOS, 5, FALSE, kOwn, WINDOW},
        {"SBM_SETSCROLLINFO, redraw", SBM_SETSCROLLINFO, TRUE, info, 0, FACE},
        {"SBM_SETSCROLLINFO, no redraw", SBM_SETSCROLLINFO, FALSE, info, kOwn, WINDOW},
        {"SBM_SETRANGEREDRAW", SBM_SETRANGEREDRAW, 0, 99, 0, FACE},
    };
    for (const Row& row : rows) {
        SetBar(bar, 20, 30);
        SetBar(twin, 20, 30);
        Blot(bar);
        const LRESULT own = ::SendMessageA(twin, row.message, row.wParam, row.lParam);
        const LRESULT answer = ::SendMessageA(bar, row.message, row.wParam, row.lParam);
        EXPECT_EQ(answer, row.answer == kOwn ? own : row.answer) << row.what;
        EXPECT_EQ(CheckWindowPixels(bar, {{1, 1, row.inside}}), "") << row.what;
    }
    ::DestroyWindow(twin);
    ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(skinProc));
    SetBar(bar, 20, 30);
    Repaint(bar);
}

TEST_F(BarPainters, ScrollBarThumbFollowsTheControlsStateAndSize) {
    const HWND bar = Item(gallery_.bars, IDC_HSCROLL);
    RECT r{};
    ::GetWindowRect(bar, &r);
    const int width = r.right - r.left, a = ::GetSystemMetrics(SM_CXHSCROLL);
    const int track = width - 2 * a;
    const int thumb = std::max(::MulDiv(20, track, 100), 8);
    struct Row {
        const char* what;
        int page, position;
        bool enabled;
        std::vector<Pixel> pixels;
    };
    const Row rows[] = {
        {"enabled, at 0",
         20,
         0,
         true,
         {{a, 0, HIGHLIGHT},
          {a + 1, 1, FACE},
          {a + thumb - 1, 1, SHADOW},
          {a + thumb, 1, kNot | SHADOW}}},
        {"disabled: buttons only",
         20,
         0,
         false,
         {{0, 0, HIGHLIGHT}, {-1, -1, SHADOW}, {a, 0, kNot | HIGHLIGHT}, {a + 1, 1, kNot | FACE}}},
        {"full page: one pixel short",
         100,
         0,
         true,
         {{a, 0, HIGHLIGHT},
          {a + track - 2, 0, SHADOW},
          {a + track - 2, -1, SHADOW},
          {a + track - 1, 0, kNot | SHADOW}}},
    };
    for (const Row& row : rows) {
        ::EnableWindow(bar, row.enabled);
        SetBar(bar, row.page, row.position);
        Repaint(bar);
        EXPECT_EQ(CheckWindowPixels(bar, row.pixels), "") << row.what;
    }
    ::EnableWindow(bar, TRUE);
    SetBar(bar, 20, 30);
    Repaint(bar);
}

// A spin of the tests' own, skinned as any control created in a gallery window.
class OwnSpin {
public:
    OwnSpin(HWND parent, DWORD style, int width, int height, POINT at = {280, 200})
        : window_(::CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | WS_VISIBLE | style, at.x, at.y,
                                    width, height, parent, nullptr, nullptr, nullptr)) {}
    ~OwnSpin() { ::DestroyWindow(window_); }
    OwnSpin(const OwnSpin&) = delete;
    OwnSpin& operator=(const OwnSpin&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

TEST_F(BarPainters, SpinButtonsLeaveTheOddMiddleLineOut) {
    struct Row {
        const char* what;
        DWORD style;
        int width, height;
        std::vector<Pixel> pixels;
    };
    const Row rows[] = {
        {"vertical, 21 high",
         0,
         16,
         21,
         {{0, 0, HIGHLIGHT},
          {8, 9, SHADOW},
          {1, 8, FACE},
          {8, 10, kNot | SHADOW},
          {8, 10, kNot | HIGHLIGHT},
          {8, 11, HIGHLIGHT},
          {8, 20, SHADOW},
          {15, 15, SHADOW}}},
        {"horizontal, 21 wide",
         UDS_HORZ,
         21,
         16,
         {{0, 0, HIGHLIGHT},
          {9, 8, SHADOW},
          {10, 8, kNot | SHADOW},
          {10, 8, kNot | HIGHLIGHT},
          {11, 8, HIGHLIGHT},
          {20, 8, SHADOW}}},
    };
    for (const Row& row : rows) {
        const OwnSpin spin(gallery_.bars, row.style, row.width, row.height);
        ASSERT_NE(SkinOf(spin.get()), nullptr) << row.what;
        Repaint(spin.get());
        EXPECT_EQ(CheckWindowPixels(spin.get(), row.pixels), "") << row.what;
    }
}

TEST_F(BarPainters, AttachedSpinBlendsIntoItsBuddyUnlessTheBuddyIsHighlighted) {
    const HWND buttons = gallery_.buttons;
    struct Row {
        const char* what;
        int spin, buddy;
        std::function<void(HWND buddy)> set, undo;
        std::vector<Pixel> pixels;
    };
    const auto none = [](HWND) {};
    const Row rows[] = {
        {"right, buddy normal",
         IDC_SPIN_RIGHT,
         IDC_EDIT_SPIN_RIGHT,
         none,
         none,
         {{5, 1, HIGHLIGHT}, {-2, 10, LIGHT}, {5, -2, LIGHT}, {5, 2, HIGHLIGHT}, {5, 3, FACE}}},
        {"left, buddy normal",
         IDC_SPIN_LEFT,
         IDC_EDIT_SPIN_LEFT,
         none,
         none,
         {{5, 1, HIGHLIGHT}, {1, 10, HIGHLIGHT}, {5, -2, LIGHT}, {2, 3, HIGHLIGHT}}},
        {"right, buddy focused: no lines",
         IDC_SPIN_RIGHT,
         IDC_EDIT_SPIN_RIGHT,
         [](HWND b) { ::SetFocus(b); },
         [](HWND) { ::SetFocus(nullptr); },
         {{5, 1, kNot | HIGHLIGHT}, {5, 2, HIGHLIGHT}}},
        {"right, buddy disabled: FACE lines, flat buttons",
         IDC_SPIN_RIGHT,
         IDC_EDIT_SPIN_RIGHT,
         [](HWND b) { ::EnableWindow(b, FALSE); },
         [](HWND b) { ::EnableWindow(b, TRUE); },
         {{5, 1, FACE}, {-2, 10, FACE}, {5, -2, FACE}, {5, 2, HIGHLIGHT}}},
    };
    for (const Row& row : rows) {
        const HWND spin = Item(buttons, row.spin), buddy = Item(buttons, row.buddy);
        row.set(buddy);
        Repaint(spin);
        EXPECT_EQ(CheckWindowPixels(spin, row.pixels), "") << row.what;
        row.undo(buddy);
        Repaint(spin);
    }
}

TEST_F(BarPainters, HotSpinRaisesItsButtonsAndLendsHotToItsNeighbour) {
    const HWND spin = Item(gallery_.buttons, IDC_SPIN_RIGHT);
    const HWND buddy = Item(gallery_.buttons, IDC_EDIT_SPIN_RIGHT);
    // A tab control's own scroller has no buddy: it lends hot to the tab control.
    const HWND tab = Item(gallery_.strips, IDC_TAB_TOP);
    const OwnSpin scroller(tab, 0, 16, 16, {40, 40});
    CSkinManager::GetManager()->AddControl(scroller.get());
    struct Row {
        const char* what;
        HWND spin, neighbour;
        std::vector<Pixel> pixels;
    };
    const Row rows[] = {
        {"attached spin", spin, buddy, {{5, 2, FACE}, {5, 3, HIGHLIGHT}, {-3, 9, DKSHADOW}}},
        {"tab control's scroller", scroller.get(), tab, {{0, 0, FACE}, {1, 1, HIGHLIGHT}}},
    };
    for (const Row& row : rows) {
        ASSERT_NE(SkinOf(row.neighbour), nullptr) << row.what;
        HoverOver(row.spin);
        EXPECT_EQ(CheckWindowPixels(row.spin, row.pixels), "") << row.what;
        EXPECT_TRUE(SkinOf(row.neighbour)->GetState() & CSkinnedControl::kHot) << row.what;
        HoverAway();
        EXPECT_FALSE(SkinOf(row.neighbour)->GetState() & CSkinnedControl::kHot) << row.what;
    }
}

// Answers TBM_GETCHANNELRECT as Windows does for a vertical trackbar: laid out
// as for a horizontal one. (Wine answers it already turned.)
WNDPROC realTrackbarProc = nullptr;
LRESULT CALLBACK AsWindowsAnswers(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = ::CallWindowProcA(realTrackbarProc, w, message, wParam, lParam);
    if (message == TBM_GETCHANNELRECT) {
        RECT& r = *reinterpret_cast<RECT*>(lParam);
        r = {r.top, r.left, r.bottom, r.right};
    }
    return result;
}

struct TrackbarRow {
    const char* what;
    int id;
    std::function<void(HWND)> set, undo;
    // From the channel and thumb rectangles the trackbar answers.
    std::function<std::vector<Pixel>(const RECT& channel, const RECT& thumb)> pixels;
};

TEST_F(BarPainters, TrackbarChannelAndThumb) {
    const auto none = [](HWND) {};
    const auto hover = [](HWND w) { HoverOver(w, 2, 2); };
    const auto away = [](HWND) { HoverAway(); };
    const auto focus = [](HWND w) { ::SetFocus(w); };
    const auto unfocus = [](HWND) { ::SetFocus(nullptr); };
    const auto flatChannel = [](const RECT& c) {
        return RingsOn(c, {SHADOW, HIGHLIGHT, FACE, FACE});
    };
    const auto hotChannel = [](const RECT& c) {
        return RingsOn(c, {SHADOW, HIGHLIGHT, DKSHADOW, LIGHT});
    };
    const auto down = [](const RECT& t, int lit, int shaded) {
        return std::vector<Pixel>{{t.left, t.top + 3, HIGHLIGHT},
                                  {t.left + 1, t.top + 3, lit},
                                  {t.left + 3, t.top, HIGHLIGHT},
                                  {t.right - 2, t.top + 3, shaded},
                                  {t.right - 1, t.top + 3, shaded == FACE ? SHADOW : DKSHADOW}};
    };
    const TrackbarRow rows[] = {
        {"bottom, flat", IDC_TRACK_BOTTOM, none, none,
         [&](const RECT& c, const RECT& t) {
             auto p = flatChannel(c);
             Append(p, down(t, FACE, FACE));
             return p;
         }},
        {"bottom, hot", IDC_TRACK_BOTTOM, hover, away,
         [&](const RECT& c, const RECT& t) {
             auto p = hotChannel(c);
             Append(p, down(t, LIGHT, SHADOW));
             return p;
         }},
        {"bottom, focused", IDC_TRACK_BOTTOM, focus, unfocus,
         [&](const RECT& c, const RECT& t) {
             auto p = hotChannel(c);
             Append(p, down(t, LIGHT, SHADOW));
             return p;
         }},
        {"top: pointing up", IDC_TRACK_TOP, none, none,
         [&](const RECT& c, const RECT& t) {
             auto p = flatChannel(c);
             Append(p, {{t.left, t.bottom - 2, HIGHLIGHT},
                        {t.left, t.bottom - 1, SHADOW},
                        {t.right - 1, t.bottom - 2, SHADOW},
                        {t.left + 1, t.bottom - 3, FACE}});
             return p;
         }},
        {"both: a box", IDC_TRACK_BOTH, none, none,
         [&](const RECT& c, const RECT& t) {
             auto p = flatChannel(c);
             Append(p, RingsOn(t, {HIGHLIGHT, SHADOW, FACE, FACE}));
             return p;
         }},
        {"both, hot", IDC_TRACK_BOTH, hover, away,
         [&](const RECT&, const RECT& t) {
             return RingsOn(t, {HIGHLIGHT, DKSHADOW, LIGHT, SHADOW});
         }},
        {"no thumb", IDC_TRACK_NOTHUMB, none, none,
         [&](const RECT& c, const RECT& t) {
             auto p = flatChannel(c);
             Append(p, {{t.left, t.top, FACE}, {t.left + 3, t.top, FACE}});
             return p;
         }},
    };
    for (const TrackbarRow& row : rows) {
        const HWND trackbar = Item(gallery_.bars, row.id);
        Repaint(trackbar);
        row.set(trackbar);  // a hot or focused control is painted by the change itself
        RECT channel{}, thumb{};
        ::SendMessageA(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        ::SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        EXPECT_EQ(CheckClientPixels(trackbar, row.pixels(channel, thumb)), "") << row.what;
        row.undo(trackbar);
        Repaint(trackbar);
    }
}

TEST_F(BarPainters, VerticalTrackbarChannelIsTurnedAndCentredOnTheThumb) {
    struct Row {
        const char* what;
        int id;
        int nudge;  // the channel's left column against the centred one
        std::function<std::vector<Pixel>(const RECT& thumb)> thumbPixels;
    };
    const Row rows[] = {
        {"right: one pixel left of centre", IDC_TRACK_RIGHT, -1,
         [](const RECT& t) {
             return std::vector<Pixel>{{t.left, t.top + 3, HIGHLIGHT},
                                       {t.left + 3, t.top, HIGHLIGHT},
                                       {t.left, t.bottom - 1, SHADOW},
                                       {t.left + 3, t.bottom - 1, SHADOW},
                                       {t.left + 1, t.top + 3, FACE}};
         }},
        {"left: one pixel right of centre", IDC_TRACK_LEFT, 1,
         [](const RECT& t) {
             return std::vector<Pixel>{{t.right - 3, t.top, HIGHLIGHT},
                                       {t.right - 1, t.top, SHADOW},
                                       {t.right - 3, t.bottom - 1, SHADOW},
                                       {t.right - 3, t.top + 1, FACE}};
         }},
        {"both: centred", IDC_TRACK_VBOTH, 0,
         [](const RECT& t) {
             return RingsOn(t, {HIGHLIGHT, SHADOW, FACE, FACE});
         }},
    };
    for (const Row& row : rows) {
        const HWND trackbar = Item(gallery_.bars, row.id);
        realTrackbarProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
            trackbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AsWindowsAnswers)));
        Repaint(trackbar);
        RECT channel{}, thumb{};
        ::SendMessageA(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        ::SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const int w = channel.bottom - channel.top;
        const int x = (thumb.left + (thumb.right - thumb.left) / 2) - w / 2 + row.nudge;
        const int y = channel.left + 5;  // above the thumb
        std::vector<Pixel> pixels = {{x - 1, y, FACE},
                                     {x, y, SHADOW},
                                     {x + 1, y, FACE},
                                     {x + w - 2, y, FACE},
                                     {x + w - 1, y, HIGHLIGHT},
                                     {x, channel.left, SHADOW},
                                     {x + 1, channel.right - 1, HIGHLIGHT}};
        Append(pixels, row.thumbPixels(thumb));
        EXPECT_EQ(CheckClientPixels(trackbar, pixels), "") << row.what;
        ::SetWindowLongPtrA(trackbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(realTrackbarProc));
        Repaint(trackbar);
    }
}

// How many more pens the process may create: what a leak uses up. (Wine's
// GetGuiResources counts nothing.)
int PensLeft() {
    std::vector<Pen> pens;
    for (Pen pen(::CreatePen(PS_SOLID, 1, 0)); pen && pens.size() < 1000000;
         pen = Pen(::CreatePen(PS_SOLID, 1, 0))) {
        pens.push_back(std::move(pen));
    }
    return static_cast<int>(pens.size());
}

TEST_F(BarPainters, ThousandsOfThumbPaintsLeaveNoGdiObjectBehind) {
    const HWND trackbar = Item(gallery_.bars, IDC_TRACK_BOTTOM);
    CSkinnedControl* skin = SkinOf(trackbar);
    ASSERT_NE(skin, nullptr);
    const int before = PensLeft();
    for (int i = 0; i < 3000; ++i) {
        skin->ModifyState(0, CSkinnedControl::kHot, TRUE);  // each state change paints
        skin->ModifyState(CSkinnedControl::kHot, 0, TRUE);
    }
    EXPECT_EQ(PensLeft(), before);
}

}  // namespace
