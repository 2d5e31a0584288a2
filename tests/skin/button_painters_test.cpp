// Push button, check box and radio button painters, pixel by pixel on the
// gallery and on purpose-made buttons, in the normal, hot and disabled looks.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/skin/skin_test_support.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;
using namespace Sys;

namespace {

int Height(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r.bottom - r.top;
}

const Rings3 kOrdinary{HIGHLIGHT, SHADOW, FACE, FACE, FACE, FACE};
const Rings3 kOrdinaryLit{HIGHLIGHT, DKSHADOW, LIGHT, SHADOW, FACE, FACE};
const Rings3 kDefault{DKSHADOW, DKSHADOW, HIGHLIGHT, SHADOW, FACE, FACE};
const Rings3 kDefaultLit{DKSHADOW, DKSHADOW, HIGHLIGHT, DKSHADOW, LIGHT, SHADOW};
const Rings2 kPressed{SHADOW, HIGHLIGHT, FACE, FACE};
const Rings2 kPressedLit{DKSHADOW, HIGHLIGHT, SHADOW, LIGHT};

const Rings2 kBox{SHADOW, HIGHLIGHT, WINDOW, WINDOW};
const Rings2 kBoxLit{DKSHADOW, HIGHLIGHT, SHADOW, FACE};
const Rings2 kBoxDisabled{SHADOW, HIGHLIGHT, FACE, FACE};
const Rings2 kBoxGrey{SHADOW, HIGHLIGHT, HIGHLIGHT, HIGHLIGHT};

// The 12-by-12 radio cell: the arcs A to D as the painter plots them.
const char* const kCircle[12] = {
    "....AAAA....",  //
    "..AABBBBAA..",  //
    ".ABB....BBD.",  //
    ".AB......CD.",  //
    "AB........CD",  //
    "AB........CD",  //
    "AB........CD",  //
    "AB........CD",  //
    ".AB......CD.",  //
    ".ACC....CCD.",  //
    "..DDCCCCDD..",  //
    "....DDDD....",  //
};

std::vector<Pixel> Circle(int x, int y, const int (&arcColours)[4]) {
    std::vector<Pixel> pixels;
    for (int row = 0; row < 12; ++row) {
        for (int column = 0; column < 12; ++column) {
            const char arc = kCircle[row][column];
            if (arc != '.') pixels.push_back({x + column, y + row, arcColours[arc - 'A']});
        }
    }
    return pixels;
}

using ButtonPainters = GalleryTest;

TEST_F(ButtonPainters, PushButtonsTakeTheRingsOfTheirKindAndLook) {
    const int kKeep = -1;
    struct Row {
        const char* what;
        int id;
        int check;  // BM_SETCHECK first, unless kKeep
        Look look;
        std::vector<Pixel> pixels;
    };
    const Row rows[] = {
        {"push", IDC_PUSH, kKeep, Look::Normal, Rings(kOrdinary)},
        {"push", IDC_PUSH, kKeep, Look::Hot, Rings(kOrdinaryLit)},
        {"push", IDC_PUSH, kKeep, Look::Disabled, Rings(kOrdinary)},
        {"default", IDC_DEFAULT_PUSH, kKeep, Look::Normal, Rings(kDefault)},
        {"default", IDC_DEFAULT_PUSH, kKeep, Look::Hot, Rings(kDefaultLit)},
        {"default", IDC_DEFAULT_PUSH, kKeep, Look::Disabled, Rings(kOrdinary)},
        {"push-like, checked", IDC_PUSHLIKE, BST_CHECKED, Look::Normal, Rings(kPressed)},
        {"push-like, checked", IDC_PUSHLIKE, BST_CHECKED, Look::Hot, Rings(kPressedLit)},
        {"push-like, checked", IDC_PUSHLIKE, BST_CHECKED, Look::Disabled, Rings(kPressed)},
        {"push-like, unchecked", IDC_PUSHLIKE, BST_UNCHECKED, Look::Normal, Rings(kOrdinary)},
        {"push-like, unchecked", IDC_PUSHLIKE, BST_UNCHECKED, Look::Hot, Rings(kOrdinaryLit)},
        {"push-like radio", IDC_RADIO_PUSHLIKE, BST_UNCHECKED, Look::Normal, Rings(kOrdinary)},
        {"push-like radio", IDC_RADIO_PUSHLIKE, BST_CHECKED, Look::Hot, Rings(kPressedLit)},
    };
    for (const Row& row : rows) {
        const HWND button = Item(gallery_.buttons, row.id);
        if (row.check != kKeep) ::SendMessageA(button, BM_SETCHECK, row.check, 0);
        Enter(button, row.look);
        EXPECT_EQ(CheckPixels(button, row.pixels), "") << row.what << ", " << LookName(row.look);
        Leave(button);
    }
    for (const int id : {IDC_PUSHLIKE, IDC_RADIO_PUSHLIKE}) {
        ::SendMessageA(Item(gallery_.buttons, id), BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

TEST_F(ButtonPainters, CheckBoxesRedrawTheirBoxOnlyWhileTheMouseLightsThemUp) {
    struct Row {
        int id;
        Look look;
        Rings2 scheme;
    };
    const Row rows[] = {
        {IDC_CHECK, Look::Normal, kBox},
        {IDC_CHECK, Look::Hot, kBoxLit},
        {IDC_CHECK, Look::Disabled, kBoxDisabled},
        {IDC_CHECK, Look::Focused, kBox},
        {IDC_THREE_STATE, Look::Normal, kBoxGrey},
        {IDC_THREE_STATE, Look::Hot, kBoxLit},
        {IDC_THREE_STATE, Look::Disabled, kBoxDisabled},
        {IDC_LEFT_TEXT_CHECK, Look::Normal, kBox},
        {IDC_LEFT_TEXT_CHECK, Look::Hot, kBoxLit},
    };
    for (const Row& row : rows) {
        const HWND box = Item(gallery_.buttons, row.id);
        const bool leftText = ::GetWindowLongA(box, GWL_STYLE) & BS_LEFTTEXT;
        Enter(box, row.look);
        if (row.look == Look::Focused) {
            ASSERT_EQ(::GetFocus(), box);
        }
        const std::vector<Pixel> pixels =
            RingsAt(leftText ? -13 : 0, (Height(box) - 13) / 2, 13, 13, row.scheme);
        EXPECT_EQ(CheckPixels(box, pixels), "")
            << "check box " << row.id << ", " << LookName(row.look);
        Leave(box);
    }
}

TEST_F(ButtonPainters, TheBoxSitsWhereTheAlignmentStyleAndHeightPutIt) {
    struct Row {
        DWORD style;
        int height;
        int x, y;  // the box's top-left; negative from the right or bottom
    };
    const Row rows[] = {
        {0, 12, 0, 0},
        {0, 13, 0, 0},
        {0, 14, 0, 0},
        {0, 20, 0, 3},
        {BS_VCENTER, 12, 0, 0},
        {BS_VCENTER, 14, 0, 0},
        {BS_VCENTER, 17, 0, 2},
        {BS_TOP, 12, 0, 1},
        {BS_TOP, 14, 0, 1},
        {BS_TOP, 20, 0, 1},
        {BS_BOTTOM, 15, 0, -15},
        {BS_BOTTOM, 20, 0, -15},
        {BS_LEFTTEXT, 14, -13, 0},
        {BS_LEFTTEXT | BS_BOTTOM, 20, -13, -15},
    };
    ScratchDialog scratch;
    for (const Row& row : rows) {
        const HWND box = scratch.Add("Button", BS_CHECKBOX | row.style, 10, 10, 90, row.height);
        ASSERT_NE(SkinOf(box), nullptr);
        Enter(box, Look::Normal);
        std::vector<Pixel> pixels = RingsAt(row.x, row.y, 13, 13, kBox);
        // A box taller than its button loses its lowest row to the window's edge.
        pixels.erase(std::remove_if(pixels.begin(), pixels.end(),
                                    [&](const Pixel& p) { return p.y >= row.height; }),
                     pixels.end());
        EXPECT_EQ(CheckPixels(box, pixels), "")
            << "style " << std::hex << row.style << std::dec << ", " << row.height << " high";
        ::DestroyWindow(box);
    }
}

TEST_F(ButtonPainters, RadioCirclesArePlottedInTheColoursOfTheLook) {
    ScratchDialog scratch;
    const HWND rightText = Item(gallery_.buttons, IDC_RADIO_TWO);
    const HWND checked = Item(gallery_.buttons, IDC_RADIO_ONE);
    const HWND leftText = scratch.Add("Button", BS_RADIOBUTTON | BS_LEFTTEXT, 10, 10, 90, 16);
    struct Row {
        HWND button;
        Look look;
        int arcs[4];  // A, B, C, D
    };
    const Row rows[] = {
        {rightText, Look::Normal, {SHADOW, WINDOW, FACE, WINDOW}},
        {rightText, Look::Hot, {SHADOW, DKSHADOW, FACE, WINDOW}},
        {rightText, Look::Disabled, {SHADOW, FACE, FACE, HIGHLIGHT}},
        {rightText, Look::Focused, {SHADOW, WINDOW, FACE, WINDOW}},
        {checked, Look::Normal, {SHADOW, WINDOW, FACE, WINDOW}},
        {checked, Look::Hot, {SHADOW, DKSHADOW, FACE, WINDOW}},
        {leftText, Look::Normal, {SHADOW, WINDOW, FACE, WINDOW}},
        {leftText, Look::Hot, {SHADOW, DKSHADOW, FACE, WINDOW}},
        {leftText, Look::Disabled, {SHADOW, FACE, FACE, HIGHLIGHT}},
    };
    for (const Row& row : rows) {
        const bool onTheRight = ::GetWindowLongA(row.button, GWL_STYLE) & BS_LEFTTEXT;
        Enter(row.button, row.look);
        const std::vector<Pixel> pixels =
            Circle(onTheRight ? -12 : 1, (Height(row.button) - 13) / 2, row.arcs);
        EXPECT_EQ(CheckPixels(row.button, pixels), "")
            << (onTheRight ? "left-text radio, " : "radio, ") << LookName(row.look);
        Leave(row.button);
    }
}

// The control repaints in 3D on its own here, without WM_PAINT.
TEST_F(ButtonPainters, SettingTextOrCheckRepaintsAtOnceAndAnswersZero) {
    const HWND push = Item(gallery_.buttons, IDC_PUSH);
    const HWND pushLike = Item(gallery_.buttons, IDC_PUSHLIKE);
    const HWND box = Item(gallery_.buttons, IDC_CHECK);
    auto scribble = [](HWND window) {
        RECT r{};
        ::GetWindowRect(window, &r);
        const HDC dc = ::GetWindowDC(window);
        FillSolid(dc, 0, 0, r.right - r.left, r.bottom - r.top, ::GetSysColor(DKSHADOW));
        ::ReleaseDC(window, dc);
    };
    for (const HWND window : {push, pushLike, box}) Enter(window, Look::Normal);

    scribble(pushLike);
    EXPECT_EQ(::SendMessageA(pushLike, BM_SETCHECK, BST_CHECKED, 0), 0);
    EXPECT_EQ(CheckPixels(pushLike, Rings(kPressed)), "") << "after BM_SETCHECK";
    scribble(push);
    EXPECT_EQ(::SendMessageA(push, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Pushed")), 0);
    EXPECT_EQ(CheckPixels(push, Rings(kOrdinary)), "") << "after WM_SETTEXT";
    scribble(box);
    EXPECT_EQ(::SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Checked")), 0);
    EXPECT_EQ(CheckPixels(box, RingsAt(0, (Height(box) - 13) / 2, 13, 13, kBox)), "")
        << "check box after WM_SETTEXT";

    ::SendMessageA(pushLike, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SetWindowTextA(push, "Push");
    ::SetWindowTextA(box, "Check box");
    Pump();
}

}  // namespace
