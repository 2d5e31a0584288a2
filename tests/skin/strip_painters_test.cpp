// The header, toolbar and tab control painters on the gallery's strips and a
// few purpose-built controls: one table per painter.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <vector>

#include "skin/skinned_header.h"
#include "skin/skinned_tab.h"
#include "skin/skinned_toolbar.h"
#include "tests/skin/painter_pixels.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;

namespace {

using StripPainters = GalleryTest;

// The mouse on the middle of item `index` of a control.
void HoverItem(HWND control, UINT rectMessage, int index) {
    RECT r = ItemRect(control, rectMessage, index);
    ::MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
    HoverAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

template <typename Kind>
int HotItem(HWND window) {
    return static_cast<Kind*>(SkinOf(window))->hotItem;
}

// Every item flat but `hot`, and the empty area right of them flat; taken near
// the bottom, so a header partly hidden at its top shows them too.
std::vector<Pixel> HeaderLook(HWND header, int hot) {
    const int count = static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    std::vector<Pixel> pixels;
    RECT r{}, all{};
    ::GetClientRect(header, &all);
    for (int i = 0; i <= count; ++i) {
        const Rings2 s = i == hot ? Scheme::kRaisedLit : Scheme::kButton;
        r = i < count ? ItemRect(header, HDM_GETITEMRECT, i)
                      : RECT{r.right, 0, all.right, r.bottom};
        const int y = r.bottom - 4, x = (r.left + r.right) / 2;
        pixels = Join(pixels, {{r.left, y, s.outerTopLeft},
                               {r.left + 1, y, s.innerTopLeft},
                               {r.right - 2, y, s.innerBottomRight},
                               {r.right - 1, y, s.outerBottomRight},
                               {x, r.bottom - 2, s.innerBottomRight},
                               {x, r.bottom - 1, s.outerBottomRight}});
    }
    return pixels;
}

TEST_F(StripPainters, HeaderRaisesTheItemUnderTheMouseInsideItsParent) {
    const HWND list = Item(gallery_.lists, IDC_LISTVIEW), header = ::GetTopWindow(list);
    // One of the tests' own in a dialog (no skinned parent), its top 8 rows
    // hidden above the dialog's client area.
    const Window owned = Child(gallery_.lists, WC_HEADERA, HDS_BUTTONS, {200, -8, 120, 18});
    const HWND own = owned.get();
    for (int i = 0; i < 2; ++i) {
        HDITEMA item{};
        item.mask = HDI_WIDTH;
        item.cxy = 50;
        ::SendMessageA(own, HDM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    const auto hover = [](HWND h, int index) {
        return [=] { HoverItem(h, HDM_GETITEMRECT, index); };
    };
    const auto hiddenTop = [own] {
        RECT r{};
        ::GetWindowRect(own, &r);
        HoverAway();
        ::SetCursorPos(r.left + 10, r.top + 2);  // on item 0, above the dialog's client area
        Repaint(own);
    };
    const struct {
        const char* what;
        HWND header;
        std::function<void()> act;
        int hotItem;
        bool listHot;
    } rows[] = {
        // clang-format off
        {"second column", header, hover(header, 1), 1, true},
        {"third column", header, hover(header, 2), 2, true},
        {"mouse gone to an unskinned window", header, HoverAway, -1, false},
        {"parent not skinned", own, hover(own, 0), 0, false},
        {"item outside the parent's client area", own, hiddenTop, -1, false},
        // clang-format on
    };
    for (const auto& row : rows) {
        row.act();
        EXPECT_EQ(HotItem<CSkinnedHeader>(row.header), row.hotItem) << row.what;
        EXPECT_EQ(CheckClientPixels(row.header, HeaderLook(row.header, row.hotItem)), "")
            << row.what;
        EXPECT_EQ(IsHot(list), row.listHot) << row.what;
    }
}

// Every button in its look; separators never drawn.
std::vector<Pixel> ToolbarLook(HWND toolbar, int hot) {
    const int count = static_cast<int>(::SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    std::vector<Pixel> pixels;
    for (int i = 0; i < count; ++i) {
        TBBUTTON b{};
        ::SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        const RECT r = ItemRect(toolbar, TB_GETITEMRECT, i);
        const bool checked = b.fsState & TBSTATE_CHECKED, enabled = b.fsState & TBSTATE_ENABLED;
        Rings2 look = checked ? Scheme::kChecked : Scheme::kButton;
        if (i == hot && checked) look = Scheme::kCheckedLit;
        if (i == hot && enabled && !checked) look = Scheme::kRaisedLit;
        pixels =
            Join(pixels, (b.fsStyle & TBSTYLE_SEP) ? std::vector<Pixel>{{r.left, r.top, Not(H)}}
                                                   : RingsOn(r, look));
    }
    return pixels;
}

TEST_F(StripPainters, ToolbarButtonsTakeTheirLookFromStateAndMouse) {
    const HWND toolbar = Item(gallery_.strips, IDC_TOOLBAR);
    const auto hover = [&](int index) {
        return [=] { HoverItem(toolbar, TB_GETITEMRECT, index); };
    };
    // The gallery's buttons: New, Open, a separator, Save (checked), Print (disabled).
    const struct {
        const char* what;
        std::function<void()> act;
        int hotItem;
    } rows[] = {
        // clang-format off
        {"over Open", hover(1), 1},
        {"over the disabled Print: flat, yet the hot item", hover(4), 4},
        {"over the checked Save: pressed and hot", hover(3), 3},
        {"over the separator: no hot item", hover(2), -1},
        {"away", HoverAway, -1},
        {"back over Open", hover(1), 1},
        // The control's own repaint forgets the hot button: the next tick paints it again.
        {"repainted by the control", [=] { ::RedrawWindow(toolbar, nullptr, nullptr,
                                           RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW); }, -1},
        {"next tick", hover(1), 1},
        // clang-format on
    };
    for (const auto& row : rows) {
        row.act();
        EXPECT_EQ(HotItem<CSkinnedToolbar>(toolbar), row.hotItem) << row.what;
        if (row.hotItem >= 0) {
            EXPECT_EQ(CheckClientPixels(toolbar, ToolbarLook(toolbar, row.hotItem)), "")
                << row.what;
        }
    }
    HoverAway();
}

void Select(HWND tab, int index) {
    ::SendMessageA(tab, TCM_SETCURSEL, index, 0);
    Repaint(tab);
}

// The right-hand tab control runs past a 1024-pixel screen's edge: its window
// moves left, on top of the others, while it is looked at.
void ShiftWindow(HWND control, int dx) {
    RECT r{};
    ::GetWindowRect(::GetParent(control), &r);
    ::SetWindowPos(::GetParent(control), HWND_TOP, r.left + dx, r.top, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE);
    Repaint(control);
}

TEST_F(StripPainters, TabControlInEveryPlacement) {
    const auto tab = [&](int id) { return Item(gallery_.strips, id); };
    const HWND top = tab(IDC_TAB_TOP), bottom = tab(IDC_TAB_BOTTOM), right = tab(IDC_TAB_RIGHT);
    const HWND left = tab(IDC_TAB_LEFT);
    const auto rect = [](HWND t, int i) { return ItemRect(t, TCM_GETITEMRECT, i); };
    const RECT a = rect(top, 0), s = rect(top, 1), c = rect(top, 2);  // top: the second selected
    const RECT ba = rect(bottom, 0), bs = rect(bottom, 1), bc = rect(bottom, 2);
    const RECT rs = rect(right, 1), ra = rect(right, 0), la = rect(left, 0), lc = rect(left, 2);
    RECT area{};  // the display area's bottom and right edges, as the controls place them
    ::GetClientRect(bottom, &area);
    ::SendMessageA(bottom, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const int y = area.bottom + 1;
    ::GetClientRect(right, &area);
    ::SendMessageA(right, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const int x = area.right + 1;
    const auto hover = [](HWND t, int i, int expected) {
        return [=] {
            HoverItem(t, TCM_GETITEMRECT, i);
            EXPECT_EQ(HotItem<CSkinnedTab>(t), expected);
        };
    };
    const auto select = [](HWND t, int i) { return [=] { Select(t, i); }; };
    const auto focus = [top] {
        ::SetFocus(top);
        EXPECT_EQ(::GetFocus(), top);
        EXPECT_FALSE(SkinOf(top)->GetState() & CSkinnedControl::kFocused);
    };
    // clang-format off
    RunCases({
        {"top, second selected, mouse over the third", top, hover(top, 2, 2), HoverAway, {
            // the first flat, its right side under the selected tab
            {a.left, a.top + 5, H}, {a.left + 1, a.top + 5, F}, {a.left + 1, a.top + 1, H},
            {a.left + 5, a.top, H}, {a.left + 5, a.top + 1, F},
            // the selected one grown by 2 to the left, top and right
            {s.left - 2, s.top + 5, H}, {s.left - 1, s.top + 5, F}, {s.left + 5, s.top - 2, H},
            {s.left + 5, s.top - 1, F}, {s.right + 1, s.top + 5, S}, {s.right, s.top + 5, F},
            // the third hot
            {c.left + 5, c.top, H}, {c.left + 5, c.top + 1, L}, {c.right - 1, c.top + 5, K},
            {c.right - 2, c.top + 5, S}, {c.right - 2, c.top + 1, K},
            // the strip, two rows higher than the tabs
            {0, s.top + 5, F}, {1, s.top + 5, F}, {0, s.bottom - s.top + 2, Not(F)},
            // the display area: shadow lines and a face-coloured inner ring
            {5, -1, S}, {-1, 40, S}, {5, -2, F}, {-2, 40, F}, {1, 40, F}}},
        {"top, mouse moved to the first", top, [=] { hover(top, 2, 2)(); hover(top, 0, 0)(); },
         HoverAway,
         {{a.left + 1, a.top + 5, L}, {c.left + 5, c.top + 1, F}, {c.right - 1, c.top + 5, S}}},
        {"top, first selected: no strip", top, select(top, 0), select(top, 1),
         {{0, a.top + 5, H}, {1, a.top + 5, F}}},
        {"top, focused: no change", top, focus, [] { ::SetFocus(nullptr); },
         {{c.left + 5, c.top + 1, F}, {c.right - 1, c.top + 5, S}}},
        {"bottom: the shadow line open exactly under the selected tab", bottom, {}, {},
         {{bs.left - 3, y, S}, {bs.left + 5, y, Not(S)}, {bs.right - 3, y, Not(S)},
          {bs.right + 2, y, S}, {0, -5, F}, {ba.left, ba.top + 5, H},
          {ba.left + 5, ba.bottom - 1, S}, {ba.left + 5, ba.bottom - 2, F},
          {bc.right - 1, bc.top + 5, S}, {bc.right - 2, bc.top + 5, F}}},
        {"bottom, no selection: whole lines, every side", bottom, select(bottom, -1),
         select(bottom, 1), {{bs.left + 5, y, S}, {bs.right - 3, y, S}, {ba.left, ba.top + 5, H},
          {ba.left + 1, ba.top + 5, F}, {bs.left, bs.top + 5, H}, {bs.right - 1, bs.top + 5, S}}},
        {"right: the shadow line open exactly beside the selected tab", right,
         [=] { ShiftWindow(right, -300); }, [=] { ShiftWindow(right, 300); },
         {{x, rs.top + 20, Not(S)}, {x, -1, S}, {ra.left + 5, ra.top, H},
          {ra.left + 5, ra.top + 1, F}, {ra.right - 1, 50, S}, {ra.right - 2, 50, F},
          {rs.right + 1, 50, S}, {rs.left + 5, rs.top - 2, H}}},
        // Wine lays vertical tabs out side by side, so the sides left out show its own drawing.
        {"left: whole shadow lines", left, {}, {},
         {{100, -1, S}, {-1, 50, S}, {la.left + 5, la.top, H}, {la.left, 50, H},
          {la.left + 1, 50, F}, {la.left + 5, la.bottom - 1, Not(S)},
          {lc.left + 5, lc.top + 1, Not(F)}, {lc.left, 50, H}, {lc.left + 5, lc.bottom - 1, S}}},
    });
    // clang-format on
}

TEST_F(StripPainters, ButtonStyleTabControlIsLeftAsItDrawsItself) {
    // The twin sends no WM_PARENTNOTIFY, so the gallery does not skin it.
    const Window one = Child(gallery_.strips, WC_TABCONTROLA, TCS_BUTTONS, {290, 255, 150, 40});
    const Window twin = Child(gallery_.strips, WC_TABCONTROLA, TCS_BUTTONS, {290, 300, 150, 40},
                              WS_EX_NOPARENTNOTIFY);
    for (const HWND tab : {one.get(), twin.get()}) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>("Tab");
        for (int i = 0; i < 2; ++i) {
            ::SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        HoverOver(one.get(), 10, 10);
        Repaint(tab);
    }
    ASSERT_NE(SkinOf(one.get()), nullptr);
    ASSERT_EQ(SkinOf(twin.get()), nullptr);
    const HDC a = ::GetDC(one.get()), b = ::GetDC(twin.get());
    int differing = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 150; ++x) differing += ::GetPixel(a, x, y) != ::GetPixel(b, x, y);
    }
    ::ReleaseDC(twin.get(), b);
    ::ReleaseDC(one.get(), a);
    EXPECT_EQ(differing, 0);
    HoverAway();
}

}  // namespace
