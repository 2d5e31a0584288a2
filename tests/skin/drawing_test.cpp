// The drawing vocabulary and the scroll-bar geometry, painted into a memory
// bitmap so that every pixel can be read back exactly.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "skin/handles.h"
#include "tests/skin/skin_test_support.h"

using namespace skin_test;

namespace {

// A white 32-bit bitmap selected into a memory DC.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dc_.reset(CreateCompatibleDC(nullptr));
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        previous_ = SelectObject(dc_.get(), bitmap_.get());
        FillSolid(dc_.get(), 0, 0, width, height, kPaper);
    }
    ~Canvas() { SelectObject(dc_.get(), previous_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_.get(); }
    // One character per pixel: '.' paper, 'T' and 'B' the two ring colours.
    std::string Map() const {
        std::string map;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const COLORREF c = GetPixel(dc_.get(), x, y);
                map += c == kTopLeft ? 'T' : c == kBottomRight ? 'B' : c == kPaper ? '.' : '?';
            }
            map += '\n';
        }
        return map;
    }

    static constexpr COLORREF kPaper = RGB(255, 255, 255);
    static constexpr COLORREF kTopLeft = RGB(255, 0, 0);
    static constexpr COLORREF kBottomRight = RGB(0, 0, 255);

private:
    UniqueResource<HDC, DeleteDC> dc_;
    UniqueResource<HBITMAP, DeleteObject> bitmap_;
    HGDIOBJ previous_ = nullptr;
    int width_, height_;
};

TEST(Drawing, RingsAndFillsCoverExactlyTheirPixels) {
    struct Case {
        const char* what;
        void (*paint)(HDC);
        const char* map;
    };
    const Case cases[] = {
        {"ring: corners top-right and bottom-left take the bottom-right colour",
         [](HDC dc) { DrawRing(dc, 1, 1, 6, 4, Canvas::kTopLeft, Canvas::kBottomRight); },
         "........\n"
         ".TTTTTB.\n"
         ".T....B.\n"
         ".T....B.\n"
         ".BBBBBB.\n"
         "........\n"},
        {"extent -1 fills the column and the row just before the coordinate",
         [](HDC dc) {
             FillSolid(dc, 4, 1, -1, 3, Canvas::kTopLeft);
             FillSolid(dc, 1, 5, 6, -1, Canvas::kBottomRight);
         },
         "........\n"
         "...T....\n"
         "...T....\n"
         "...T....\n"
         ".BBBBBB.\n"
         "........\n"},
        {"rectangle form",
         [](HDC dc) {
             FillSolid(dc, RECT{2, 2, 5, 4}, Canvas::kTopLeft);
         },
         "........\n"
         "........\n"
         "..TTT...\n"
         "..TTT...\n"
         "........\n"
         "........\n"},
    };
    for (const Case& c : cases) {
        Canvas canvas(8, 6);
        c.paint(canvas.dc());
        EXPECT_EQ(canvas.Map(), c.map) << c.what;
    }
}

TEST(Drawing, TwoAndThreeRingSchemesUseSystemColoursInnermostLast) {
    DistinctSysColors colours;
    Canvas canvas(10, 10);
    DrawRings3(
        canvas.dc(), RECT{0, 0, 10, 10},
        Rings3{Sys::HIGHLIGHT, Sys::DKSHADOW, Sys::LIGHT, Sys::SHADOW, Sys::FACE, Sys::WINDOW});
    const std::pair<POINT, int> expected[] = {
        {{0, 0}, Sys::HIGHLIGHT}, {{9, 0}, Sys::DKSHADOW},
        {{0, 9}, Sys::DKSHADOW},  {{1, 1}, Sys::LIGHT},
        {{8, 8}, Sys::SHADOW},    {{2, 5}, Sys::FACE},
        {{7, 5}, Sys::WINDOW},    {{3, 3}, -1},
    };
    for (const auto& [p, colour] : expected) {
        const COLORREF actual = GetPixel(canvas.dc(), p.x, p.y);
        const COLORREF wanted = colour < 0 ? Canvas::kPaper : GetSysColor(colour);
        EXPECT_EQ(actual, wanted) << "pixel (" << p.x << "," << p.y << ") is " << NameOf(actual);
    }
}

// The flat buttons PaintScrollBar drew along the bar, found by their lit left
// and shaded right edges: [start, end) in bar coordinates.
std::vector<std::pair<int, int>> Buttons(HDC dc, int length, int across, bool vertical) {
    std::vector<std::pair<int, int>> found;
    int start = -1;
    for (int along = 0; along < length; ++along) {
        const COLORREF c = vertical ? GetPixel(dc, across, along) : GetPixel(dc, along, across);
        if (c == GetSysColor(Sys::HIGHLIGHT)) start = along;
        if (c == GetSysColor(Sys::SHADOW) && start >= 0) {
            found.emplace_back(start, along + 1);
            start = -1;
        }
    }
    return found;
}

TEST(Drawing, ScrollBarGeometryHalvesArrowsAndSizesTheThumbByPageAndRange) {
    DistinctSysColors colours;
    HostWindow host;
    const int a = GetSystemMetrics(SM_CXHSCROLL);
    const int system = GetSystemMetrics(SM_CXHTHUMB);
    const HWND control = host.Add("ScrollBar", SBS_HORZ, 0, 0, 0, 200, a);
    const HWND vertical = host.Add("ScrollBar", SBS_VERT, 0, 210, 0, a, 200);
    const HWND own = host.Add("QuarrionSkinTestHost", WS_HSCROLL, 0, 0, 50, 200, 80);
    struct Case {
        const char* what;
        HWND window;
        int length, min, max;
        UINT page;
        int pos;
        bool enabled;
        std::vector<std::pair<int, int>> expected;
    };
    const int L = 200, T = L - 2 * a;
    const int pageThumb = MulDiv(20, T, 100);
    const Case cases[] = {
        // The full int range is 2^32 positions: counted in 64 bits, not wrapped to 0.
        {"the full int range, at 0: mid-track",
         control,
         L,
         INT_MIN,
         INT_MAX,
         0,
         0,
         true,
         {{0, a}, {L - a, L}, {a + (T - system + 1) / 2, a + (T - system + 1) / 2 + system}}},
        {"the full int range, at its end: the thumb ends where the track does",
         control,
         L,
         INT_MIN,
         INT_MAX,
         0,
         INT_MAX,
         true,
         {{0, a}, {L - a, L}, {L - a - system, L - a}}},
        {"page fills the range of a window's own bar: no thumb",
         own,
         L,
         0,
         9,
         10,
         0,
         true,
         {{0, a}, {L - a, L}}},
        {"the same on a control: thumb one pixel short of the track",
         control,
         L,
         0,
         9,
         10,
         0,
         true,
         {{0, a}, {L - a, L}, {a, L - a - 1}}},
        {"disabled control: no thumb", control, L, 0, 99, 20, 30, false, {{0, a}, {L - a, L}}},
        {"proportional thumb at its position",
         control,
         L,
         0,
         99,
         20,
         40,
         true,
         {{0, a},
          {L - a, L},
          {a + MulDiv(40, T - pageThumb, 80), a + MulDiv(40, T - pageThumb, 80) + pageThumb}}},
        {"no page: the system's thumb size",
         vertical,
         L,
         0,
         99,
         0,
         0,
         true,
         {{0, a}, {L - a, L}, {a, a + system}}},
        {"shorter than two arrows: halved arrows, no room for a thumb",
         own,
         20,
         0,
         99,
         20,
         0,
         true,
         {{0, 10}, {10, 20}}},
    };
    for (const Case& c : cases) {
        SCROLLINFO info{
            sizeof(info), SIF_ALL | SIF_DISABLENOSCROLL, c.min, c.max, c.page, c.pos, 0};
        const bool isControl = c.window != own;
        SetScrollInfo(c.window, isControl ? SB_CTL : SB_HORZ, &info, FALSE);
        EnableWindow(c.window, c.enabled);
        CSkinnedControl probe;
        probe.window = c.window;
        const bool upright = c.window == vertical;
        Canvas canvas(upright ? a : c.length, upright ? c.length : a);
        const RECT bar{0, 0, upright ? a : c.length, upright ? c.length : a};
        probe.PaintScrollBar(canvas.dc(), bar, upright, isControl);
        auto found = Buttons(canvas.dc(), c.length, a / 2, upright);
        auto expected = c.expected;
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected) << c.what;
        EnableWindow(c.window, TRUE);
    }
}

// The trackbar selects four pens in turn, any of which may have failed to be
// made: the DC's own pen must be back before they are deleted.
TEST(Drawing, SavedPenPutsTheDcsOwnPenBackWhateverWasSelectedMeanwhile) {
    const HDC dc = CreateCompatibleDC(nullptr);
    const Pen mine(CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
    const HGDIOBJ own = GetCurrentObject(dc, OBJ_PEN);
    const struct {
        const char* what;
        HGDIOBJ first, second;
    } rows[] = {
        {"nothing selected", nullptr, nullptr},
        {"the first pen failed, a later one selected", nullptr, mine.get()},
        {"a pen selected", mine.get(), nullptr},
        {"a stock pen after ours", mine.get(), GetStockObject(WHITE_PEN)},
    };
    for (const auto& row : rows) {
        {
            const SavedPen saved(dc);
            if (row.first != nullptr) SelectObject(dc, row.first);
            if (row.second != nullptr) SelectObject(dc, row.second);
        }
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), own) << row.what;
    }
    DeleteDC(dc);
}

}  // namespace
