// The header, toolbar and tab control painters on the gallery's strips and a
// few purpose-built controls: one table per painter, read by one loop each.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "skin/skinned_header.h"
#include "skin/skinned_tab.h"
#include "skin/skinned_toolbar.h"
#include "tests/skin/painter_pixels.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;
using namespace Sys;

namespace {

using StripPainters = GalleryTest;

RECT ItemRect(HWND control, UINT message, int index) {
    RECT r{};
    ::SendMessageA(control, message, index, reinterpret_cast<LPARAM>(&r));
    return r;
}

// The mouse on the middle of item `index` of a control.
void HoverItem(HWND control, UINT rectMessage, int index) {
    RECT r = ItemRect(control, rectMessage, index);
    ::MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
    HoverAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

bool IsHot(HWND window) {
    return (SkinOf(window)->GetState() & CSkinnedControl::kHot) != 0;
}

// Both sides and the bottom of a ring on `r`, taken near its bottom edge, so a
// control partly hidden at its top shows them too.
std::vector<Pixel> LowerRings(const RECT& r, const Rings2& s) {
    const int y = r.bottom - 4, mx = (r.left + r.right) / 2;
    return {{r.left, y, s.outerTopLeft},
            {r.left + 1, y, s.innerTopLeft},
            {r.right - 2, y, s.innerBottomRight},
            {r.right - 1, y, s.outerBottomRight},
            {mx, r.bottom - 2, s.innerBottomRight},
            {mx, r.bottom - 1, s.outerBottomRight}};
}

// Every item flat but `hot`, and the empty area right of them flat.
std::vector<Pixel> HeaderLook(HWND header, int hot) {
    const int count = static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    std::vector<Pixel> pixels;
    RECT r{};
    for (int i = 0; i < count; ++i) {
        r = ItemRect(header, HDM_GETITEMRECT, i);
        const Rings2 look = i == hot ? Rings2{HIGHLIGHT, DKSHADOW, LIGHT, SHADOW}
                                     : Rings2{HIGHLIGHT, SHADOW, FACE, FACE};
        Append(pixels, LowerRings(r, look));
    }
    RECT rest{};
    ::GetClientRect(header, &rest);
    rest.left = r.right;
    Append(pixels, LowerRings(rest, {HIGHLIGHT, SHADOW, FACE, FACE}));
    return pixels;
}

// A button header of the tests' own in a gallery window (a dialog: no skinned
// parent), its top rows hidden above the dialog's client area.
class OwnHeader {
public:
    explicit OwnHeader(HWND parent)
        : window_(::CreateWindowExA(0, WC_HEADERA, "", WS_CHILD | WS_VISIBLE | HDS_BUTTONS, 200,
                                    -kHidden, 120, 18, parent, nullptr, nullptr, nullptr)) {
        for (int i = 0; i < 2; ++i) {
            HDITEMA item{};
            item.mask = HDI_WIDTH | HDI_TEXT;
            item.cxy = 50;
            item.pszText = const_cast<char*>("Column");
            ::SendMessageA(window_, HDM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
    }
    ~OwnHeader() { ::DestroyWindow(window_); }
    OwnHeader(const OwnHeader&) = delete;
    OwnHeader& operator=(const OwnHeader&) = delete;
    HWND get() const { return window_; }

    static constexpr int kHidden = 8;

private:
    HWND window_;
};

TEST_F(StripPainters, HeaderRaisesTheItemUnderTheMouseInsideItsParent) {
    const HWND list = Item(gallery_.lists, IDC_LISTVIEW);
    const HWND header = ::GetTopWindow(list);
    const OwnHeader own(gallery_.lists);
    ASSERT_NE(SkinOf(own.get()), nullptr);
    const auto hiddenTop = [&] {
        RECT r{};
        ::GetWindowRect(own.get(), &r);
        HoverAway();
        ::SetCursorPos(r.left + 10, r.top + 2);  // on item 0, above the dialog's client area
        Repaint(own.get());
    };
    struct Row {
        const char* what;
        HWND header;
        std::function<void()> act;
        int hotItem;
        bool listHot;  // for the list view's header
    };
    const Row rows[] = {
        {"second column", header, [&] { HoverItem(header, HDM_GETITEMRECT, 1); }, 1, true},
        {"third column", header, [&] { HoverItem(header, HDM_GETITEMRECT, 2); }, 2, true},
        {"mouse gone to an unskinned window", header, [] { HoverAway(); }, -1, false},
        {"parent not skinned", own.get(), [&] { HoverItem(own.get(), HDM_GETITEMRECT, 0); }, 0,
         false},
        {"item outside the parent's client area", own.get(), hiddenTop, -1, false},
    };
    for (const Row& row : rows) {
        row.act();
        EXPECT_EQ(static_cast<CSkinnedHeader*>(SkinOf(row.header))->hotItem, row.hotItem)
            << row.what;
        EXPECT_EQ(CheckClientPixels(row.header, HeaderLook(row.header, row.hotItem)), "")
            << row.what;
        EXPECT_EQ(IsHot(list), row.listHot) << row.what;
    }
}

// Every button in its look: checked pressed, hot raised if enabled; separators untouched.
std::vector<Pixel> ToolbarLook(HWND toolbar, int hot) {
    const int count = static_cast<int>(::SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    std::vector<Pixel> pixels;
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        ::SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        const RECT r = ItemRect(toolbar, TB_GETITEMRECT, i);
        if (button.fsStyle & TBSTYLE_SEP) {
            Append(pixels,
                   {{r.left, r.top, kNot | HIGHLIGHT}, {r.right - 1, r.bottom - 1, kNot | SHADOW}});
            continue;
        }
        const bool raised = i == hot && (button.fsState & TBSTATE_ENABLED);
        Rings2 look{HIGHLIGHT, SHADOW, FACE, FACE};
        if (button.fsState & TBSTATE_CHECKED) {
            look = i == hot ? Rings2{DKSHADOW, HIGHLIGHT, SHADOW, SHADOW}
                            : Rings2{SHADOW, HIGHLIGHT, FACE, FACE};
        } else if (raised) {
            look = {HIGHLIGHT, DKSHADOW, LIGHT, SHADOW};
        }
        Append(pixels, RingsOn(r, look));
    }
    return pixels;
}

TEST_F(StripPainters, ToolbarButtonsTakeTheirLookFromStateAndMouse) {
    const HWND toolbar = Item(gallery_.strips, IDC_TOOLBAR);
    const auto hover = [&](int index) {
        return [=] { HoverItem(toolbar, TB_GETITEMRECT, index); };
    };
    // The gallery's buttons: New, Open, a separator, Save (checked), Print (disabled).
    struct Row {
        const char* what;
        std::function<void()> act;
        int hotItem;
    };
    const Row rows[] = {
        {"over Open", hover(1), 1},
        {"over the disabled Print: flat, yet the hot item", hover(4), 4},
        {"over the checked Save: pressed and hot", hover(3), 3},
        {"over the separator: no hot item", hover(2), -1},
        {"away", [] { HoverAway(); }, -1},
    };
    for (const Row& row : rows) {
        row.act();
        EXPECT_EQ(static_cast<CSkinnedToolbar*>(SkinOf(toolbar))->hotItem, row.hotItem) << row.what;
        EXPECT_EQ(CheckClientPixels(toolbar, ToolbarLook(toolbar, row.hotItem)), "") << row.what;
    }
    // The control's own repaint forgets the hot button, so the next tick paints it again.
    HoverItem(toolbar, TB_GETITEMRECT, 1);
    ::RedrawWindow(toolbar, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    EXPECT_EQ(static_cast<CSkinnedToolbar*>(SkinOf(toolbar))->hotItem, -1);
    HoverItem(toolbar, TB_GETITEMRECT, 1);
    EXPECT_EQ(static_cast<CSkinnedToolbar*>(SkinOf(toolbar))->hotItem, 1);
    EXPECT_EQ(CheckClientPixels(toolbar, ToolbarLook(toolbar, 1)), "");
    HoverAway();
}

RECT TabRect(HWND tab, int index) {
    return ItemRect(tab, TCM_GETITEMRECT, index);
}

// The display area as the control places it, in client coordinates.
RECT DisplayArea(HWND tab) {
    RECT a{};
    ::GetClientRect(tab, &a);
    ::SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&a));
    return a;
}

void Select(HWND tab, int index) {
    ::SendMessageA(tab, TCM_SETCURSEL, index, 0);
    Repaint(tab);
}

// The right-hand tab control runs past a 1024-pixel screen's edge: move its
// window left, on top of the others, while it is looked at.
void ShiftWindow(HWND control, int dx) {
    const HWND window = ::GetParent(control);
    RECT r{};
    ::GetWindowRect(window, &r);
    ::SetWindowPos(window, HWND_TOP, r.left + dx, r.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    Repaint(control);
}

struct TabRow {
    const char* what;
    int id;
    std::function<void(HWND)> set, undo;
    int hotItem;
    std::function<std::vector<Pixel>(HWND)> pixels;
};

TEST_F(StripPainters, TabControlInEveryPlacement) {
    const auto none = [](HWND) {};
    const auto reselect = [](HWND t) { Select(t, 1); };
    const TabRow rows[] = {
        {"top, second selected, mouse over the third", IDC_TAB_TOP,
         [](HWND t) { HoverItem(t, TCM_GETITEMRECT, 2); }, [](HWND) { HoverAway(); }, 2,
         [](HWND t) {
             const RECT r0 = TabRect(t, 0), s = TabRect(t, 1), r2 = TabRect(t, 2);
             return std::vector<Pixel>{
                 // the first, flat; its right side is under the grown selected tab
                 {r0.left, r0.top + 5, HIGHLIGHT},
                 {r0.left + 1, r0.top + 5, FACE},
                 {r0.left + 1, r0.top + 1, HIGHLIGHT},
                 {r0.left + 5, r0.top, HIGHLIGHT},
                 {r0.left + 5, r0.top + 1, FACE},
                 // the selected one, grown by 2 to the left, top and right
                 {s.left - 2, s.top + 5, HIGHLIGHT},
                 {s.left - 1, s.top + 5, FACE},
                 {s.left + 5, s.top - 2, HIGHLIGHT},
                 {s.left + 5, s.top - 1, FACE},
                 {s.right + 1, s.top + 5, SHADOW},
                 {s.right, s.top + 5, FACE},
                 // the third, hot
                 {r2.left + 5, r2.top, HIGHLIGHT},
                 {r2.left + 5, r2.top + 1, LIGHT},
                 {r2.right - 1, r2.top + 5, DKSHADOW},
                 {r2.right - 2, r2.top + 5, SHADOW},
                 {r2.right - 2, r2.top + 1, DKSHADOW},
                 // the strip, as high as the tab row and two more
                 {0, s.top + 5, FACE},
                 {1, s.top + 5, FACE},
                 {0, s.bottom - s.top + 2, kNot | FACE},
                 // the display area: shadow lines, face-coloured inner ring
                 {5, -1, SHADOW},
                 {-1, 40, SHADOW},
                 {5, -2, FACE},
                 {-2, 40, FACE},
                 {1, 40, FACE}};
         }},
        {"top, mouse moved to the first", IDC_TAB_TOP,
         [](HWND t) {
             HoverItem(t, TCM_GETITEMRECT, 2);
             HoverItem(t, TCM_GETITEMRECT, 0);
         },
         [](HWND) { HoverAway(); }, 0,
         [](HWND t) {
             const RECT r0 = TabRect(t, 0), r2 = TabRect(t, 2);
             return std::vector<Pixel>{{r0.left + 1, r0.top + 5, LIGHT},
                                       {r0.left + 5, r0.top + 1, LIGHT},
                                       {r2.left + 5, r2.top + 1, FACE},
                                       {r2.right - 1, r2.top + 5, SHADOW}};
         }},
        {"top, first selected: no strip", IDC_TAB_TOP, [](HWND t) { Select(t, 0); }, reselect, -1,
         [](HWND t) {
             const RECT s = TabRect(t, 0);
             return std::vector<Pixel>{{0, s.top + 5, HIGHLIGHT}, {1, s.top + 5, FACE}};
         }},
        {"top, keyboard focus changes nothing", IDC_TAB_TOP,
         [](HWND t) {
             ::SetFocus(t);
             EXPECT_EQ(::GetFocus(), t);
         },
         [](HWND) { ::SetFocus(nullptr); }, -1,
         [](HWND t) {
             const RECT r2 = TabRect(t, 2);
             return std::vector<Pixel>{{r2.left + 5, r2.top + 1, FACE},
                                       {r2.right - 1, r2.top + 5, SHADOW}};
         }},
        {"bottom: the shadow line open exactly under the selected tab", IDC_TAB_BOTTOM, none, none,
         -1,
         [](HWND t) {
             const RECT r0 = TabRect(t, 0), s = TabRect(t, 1), r2 = TabRect(t, 2);
             const int y = DisplayArea(t).bottom + 1;
             return std::vector<Pixel>{{s.left - 3, y, SHADOW},
                                       {s.left + 5, y, kNot | SHADOW},
                                       {s.right - 3, y, kNot | SHADOW},
                                       {s.right + 2, y, SHADOW},
                                       {0, -5, FACE},
                                       {r0.left, r0.top + 5, HIGHLIGHT},
                                       {r0.left + 5, r0.bottom - 1, SHADOW},
                                       {r0.left + 5, r0.bottom - 2, FACE},
                                       {r2.right - 1, r2.top + 5, SHADOW},
                                       {r2.right - 2, r2.top + 5, FACE}};
         }},
        {"bottom, no selection: whole lines, every side", IDC_TAB_BOTTOM,
         [](HWND t) { Select(t, -1); }, reselect, -1,
         [](HWND t) {
             const RECT r0 = TabRect(t, 0), r1 = TabRect(t, 1);
             const int y = DisplayArea(t).bottom + 1;
             return std::vector<Pixel>{
                 {r1.left + 5, y, SHADOW},         {r1.right - 3, y, SHADOW},
                 {r0.left, r0.top + 5, HIGHLIGHT}, {r0.left + 1, r0.top + 5, FACE},
                 {r1.left, r1.top + 5, HIGHLIGHT}, {r1.right - 1, r1.top + 5, SHADOW}};
         }},
        {"right: the shadow line open exactly beside the selected tab", IDC_TAB_RIGHT,
         [](HWND t) { ShiftWindow(t, -300); }, [](HWND t) { ShiftWindow(t, 300); }, -1,
         [](HWND t) {
             const RECT r0 = TabRect(t, 0), s = TabRect(t, 1);
             const int x = DisplayArea(t).right + 1;
             return std::vector<Pixel>{
                 {x, s.top + 20, kNot | SHADOW},   {x, -1, SHADOW},
                 {r0.left + 5, r0.top, HIGHLIGHT}, {r0.left + 5, r0.top + 1, FACE},
                 {r0.right - 1, 50, SHADOW},       {r0.right - 2, 50, FACE},
                 {s.right + 1, 50, SHADOW},        {s.left + 5, s.top - 2, HIGHLIGHT}};
         }},
        {"left: whole shadow lines", IDC_TAB_LEFT, none, none, -1,
         [](HWND t) {
             const RECT r0 = TabRect(t, 0), r2 = TabRect(t, 2);
             return std::vector<Pixel>{{100, -1, SHADOW},
                                       {-1, 50, SHADOW},
                                       {r0.left + 5, r0.top, HIGHLIGHT},
                                       {r0.left, 50, HIGHLIGHT},
                                       {r0.left + 1, 50, FACE},
                                       // the sides left out show the control's own drawing
                                       {r0.left + 5, r0.bottom - 1, kNot | SHADOW},
                                       {r2.left + 5, r2.top + 1, kNot | FACE},
                                       {r2.left, 50, HIGHLIGHT},
                                       {r2.left + 5, r2.bottom - 1, SHADOW}};
         }},
    };
    for (const TabRow& row : rows) {
        const HWND tab = Item(gallery_.strips, row.id);
        Repaint(tab);
        row.set(tab);
        EXPECT_EQ(static_cast<CSkinnedTab*>(SkinOf(tab))->hotItem, row.hotItem) << row.what;
        EXPECT_FALSE(SkinOf(tab)->GetState() & CSkinnedControl::kFocused) << row.what;
        EXPECT_EQ(CheckClientPixels(tab, row.pixels(tab)), "") << row.what;
        row.undo(tab);
    }
}

// How many client pixels two equally sized windows do not share.
int PixelsDiffering(HWND a, HWND b) {
    RECT r{};
    ::GetClientRect(a, &r);
    const HDC da = ::GetDC(a), db = ::GetDC(b);
    int differing = 0;
    for (int y = 0; y < r.bottom; ++y) {
        for (int x = 0; x < r.right; ++x) differing += ::GetPixel(da, x, y) != ::GetPixel(db, x, y);
    }
    ::ReleaseDC(b, db);
    ::ReleaseDC(a, da);
    return differing;
}

TEST_F(StripPainters, ButtonStyleTabControlIsLeftAsItDrawsItself) {
    HWND twins[2] = {};
    for (int i = 0; i < 2; ++i) {
        // The second one sends no WM_PARENTNOTIFY, so the gallery does not skin it.
        twins[i] = ::CreateWindowExA(i == 0 ? 0 : WS_EX_NOPARENTNOTIFY, WC_TABCONTROLA, "",
                                     WS_CHILD | WS_VISIBLE | TCS_BUTTONS, 290, 255 + 45 * i, 150,
                                     40, gallery_.strips, nullptr, nullptr, nullptr);
        for (const char* name : {"One", "Two"}) {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(name);
            ::SendMessageA(twins[i], TCM_INSERTITEMA, 9, reinterpret_cast<LPARAM>(&item));
        }
    }
    ASSERT_NE(SkinOf(twins[0]), nullptr);
    ASSERT_EQ(SkinOf(twins[1]), nullptr);
    HoverOver(twins[0], 10, 10);
    Repaint(twins[0]);
    Repaint(twins[1]);
    EXPECT_EQ(PixelsDiffering(twins[0], twins[1]), 0);
    HoverAway();
    for (const HWND twin : twins) ::DestroyWindow(twin);
}

}  // namespace
