// The control base: when DrawBorder repaints, the rectangle it hands over, and
// the default flat border in each state, read back from the window DC.
#include <windows.h>

#include <memory>
#include <string>

#include "tests/skin/skin_test_support.h"

using namespace skin_test;

namespace {

class ControlBaseTest : public testing::Test {
protected:
    void TearDown() override {
        host_.reset();
        CSkinManager::GetManager()->RemoveAll();
    }

    // A list box of exactly this size, skinned with the base kind.
    HWND ListBox(int height, DWORD exStyle = WS_EX_CLIENTEDGE, DWORD style = 0) {
        const HWND box =
            host_->Add("ListBox", LBS_NOINTEGRALHEIGHT | style, exStyle, 10, 10, 120, height);
        Skinning::AddControl(box);
        return box;
    }

    DistinctSysColors colours_;
    std::unique_ptr<HostWindow> host_ = std::make_unique<HostWindow>();
};

// Counts the paints DrawBorder lets through.
struct CountingControl : CSkinnedControl {
    int paints = 0;
    RECT last{};
    void DrawControl(HDC, RECT& rect) override {
        ++paints;
        last = rect;
    }
};

TEST_F(ControlBaseTest, DrawBorderSkipsOnlyAControlThatStaysHighlightedForTheSameReason) {
    const HWND box = host_->Add("ListBox", LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 0, 0, 100, 100);
    const HWND elsewhere = host_->Add("Edit", 0, 0, 0, 150, 100, 20);
    auto object = std::make_unique<CountingControl>();
    CountingControl& counting = *object;
    ASSERT_TRUE(Skinning::Register(box, std::move(object)));

    struct Step {
        const char* what;
        void (*act)(CountingControl&, HWND box, HWND elsewhere);
        int paints;  // painted by this step
    };
    const Step steps[] = {
        {"normal look, every time", [](CountingControl& c, HWND, HWND) { c.DrawBorder(); }, 1},
        {"turning hot",
         [](CountingControl& c, HWND, HWND) { c.ModifyState(0, CSkinnedControl::kHot, TRUE); }, 1},
        {"still hot",
         [](CountingControl& c, HWND, HWND) { c.ModifyState(0, CSkinnedControl::kHot, TRUE); }, 0},
        {"its own frame repaint while hot",
         [](CountingControl&, HWND b, HWND) { SendMessageA(b, WM_NCPAINT, 1, 0); }, 0},
        {"focus on top of hot", [](CountingControl&, HWND b, HWND) { SetFocus(b); }, 0},
        {"hot gone, focus stays",
         [](CountingControl& c, HWND, HWND) { c.ModifyState(CSkinnedControl::kHot, 0, TRUE); }, 0},
        {"focus leaves, seen before the control hears of it",
         [](CountingControl&, HWND, HWND e) { SetFocus(e); }, 1},
        {"normal again", [](CountingControl& c, HWND, HWND) { c.DrawBorder(); }, 1},
    };
    for (const Step& step : steps) {
        const int before = counting.paints;
        step.act(counting, box, elsewhere);
        EXPECT_EQ(counting.paints - before, step.paints) << step.what;
    }
    EXPECT_EQ(counting.GetState() & CSkinnedControl::kFocused, 0);
    // The rectangle: the whole window at the origin.
    EXPECT_EQ(counting.last.left, 0);
    EXPECT_EQ(counting.last.right, 100);
    EXPECT_EQ(counting.last.bottom, 100);
}

TEST_F(ControlBaseTest, DefaultBorderTakesTheFirstMatchingScheme) {
    using namespace Sys;
    struct Case {
        const char* what;
        int height;
        DWORD exStyle, style;
        void (*enter)(HWND);  // brings the state about after a normal repaint
        Rings2 rings;
        int inset;  // 1 when a one-pixel border lies outside the client edge
        bool smallBit;
    };
    auto none = [](HWND) {};
    auto hot = [](HWND w) { SkinOf(w)->ModifyState(0, CSkinnedControl::kHot, TRUE); };
    auto focus = [](HWND w) { SetFocus(w); };
    auto disable = [](HWND w) { EnableWindow(w, FALSE); };
    auto readOnly = [](HWND w) { SkinOf(w)->ModifyState(0, CSkinnedControl::kReadOnly, TRUE); };
    auto readOnlyFocused = [](HWND w) {
        SkinOf(w)->ModifyState(0, CSkinnedControl::kReadOnly, FALSE);
        SetFocus(w);
    };
    const Case cases[] = {
        {"normal, 30 pixels",
         30,
         WS_EX_CLIENTEDGE,
         0,
         none,
         {SHADOW, HIGHLIGHT, LIGHT, LIGHT},
         0,
         false},
        {"normal, 29 pixels: small",
         29,
         WS_EX_CLIENTEDGE,
         0,
         none,
         {SHADOW, HIGHLIGHT, HIGHLIGHT, LIGHT},
         0,
         true},
        {"hot", 60, WS_EX_CLIENTEDGE, 0, hot, {SHADOW, HIGHLIGHT, DKSHADOW, LIGHT}, 0, false},
        {"focused", 60, WS_EX_CLIENTEDGE, 0, focus, {SHADOW, HIGHLIGHT, DKSHADOW, LIGHT}, 0, false},
        {"disabled", 60, WS_EX_CLIENTEDGE, 0, disable, {SHADOW, HIGHLIGHT, FACE, FACE}, 0, false},
        {"read-only", 60, WS_EX_CLIENTEDGE, 0, readOnly, {SHADOW, HIGHLIGHT, FACE, FACE}, 0, false},
        {"read-only and focused: highlighted wins",
         60,
         WS_EX_CLIENTEDGE,
         0,
         readOnlyFocused,
         {SHADOW, HIGHLIGHT, DKSHADOW, LIGHT},
         0,
         false},
        {"client edge plus border: one pixel inside",
         60,
         WS_EX_CLIENTEDGE,
         WS_BORDER,
         none,
         {SHADOW, HIGHLIGHT, LIGHT, LIGHT},
         1,
         false},
        {"client edge plus border, 31 pixels: 29 inside, small",
         31,
         WS_EX_CLIENTEDGE,
         WS_BORDER,
         none,
         {SHADOW, HIGHLIGHT, HIGHLIGHT, LIGHT},
         1,
         true},
    };
    for (const Case& c : cases) {
        const HWND box = ListBox(c.height, c.exStyle, c.style);
        ASSERT_NE(SkinOf(box), nullptr) << c.what;
        Repaint(box);
        c.enter(box);
        std::vector<Pixel> pixels = Ring(c.inset, c.rings.outerTopLeft, c.rings.outerBottomRight);
        const std::vector<Pixel> inner =
            Ring(c.inset + 1, c.rings.innerTopLeft, c.rings.innerBottomRight);
        pixels.insert(pixels.end(), inner.begin(), inner.end());
        EXPECT_EQ(CheckPixels(box, pixels), "") << c.what;
        EXPECT_EQ((SkinOf(box)->GetState() & CSkinnedControl::kSmall) != 0, c.smallBit) << c.what;
        DestroyWindow(box);
    }
}

TEST_F(ControlBaseTest, OwnScrollBarsAreRepaintedFlatAndTheCornerIsLeftAlone) {
    const HWND box = ListBox(120, WS_EX_CLIENTEDGE, WS_VSCROLL | WS_HSCROLL | LBS_DISABLENOSCROLL);
    for (int i = 0; i < 40; ++i)
        SendMessageA(box, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>("a fairly long item to scroll"));
    SendMessageA(box, LB_SETHORIZONTALEXTENT, 400, 0);
    Repaint(box);
    const int e = GetSystemMetrics(SM_CXEDGE), s = GetSystemMetrics(SM_CXHSCROLL);
    using namespace Sys;
    // Top arrow of the vertical bar and left arrow of the horizontal one: flat rings.
    const std::vector<Pixel> pixels = {
        {-e - s, e, HIGHLIGHT}, {-e - 1, e, SHADOW},         {-e - s + 1, e + 1, FACE},
        {e, -e - s, HIGHLIGHT}, {e + s - 1, -e - s, SHADOW}, {e + 1, -e - s + 1, FACE},
    };
    EXPECT_EQ(CheckPixels(box, pixels), "");
}

}  // namespace
