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

using namespace Scheme;

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

// Check boxes and radio buttons of our own, each alone in a scratch dialog.
TEST_F(ButtonPainters, BoxesAndCirclesSitWhereStyleAndHeightPutThemInTheLooksColours) {
    const DWORD kBox3 = BS_3STATE;
    const int kMixed = BST_INDETERMINATE;
    const int kLitArcs[] = {SHADOW, DKSHADOW, FACE, WINDOW};
    struct Row {
        DWORD style;
        int height, check;
        Look look;
        std::vector<Pixel> pixels;  // of the box or the circle's cell at its top-left
    };
    const Row rows[] = {
        {BS_CHECKBOX, 12, 0, Look::Normal, RingsAt(0, 0, 13, 13, kBox)},
        {BS_CHECKBOX, 13, 0, Look::Hot, RingsAt(0, 0, 13, 13, kBoxLit)},
        {BS_CHECKBOX, 14, 0, Look::Disabled, RingsAt(0, 0, 13, 13, kBoxDisabled)},
        {BS_CHECKBOX, 20, 0, Look::Focused, RingsAt(0, 3, 13, 13, kBox)},
        {BS_CHECKBOX | BS_VCENTER, 12, 0, Look::Normal, RingsAt(0, 0, 13, 13, kBox)},
        {BS_CHECKBOX | BS_VCENTER, 17, 0, Look::Normal, RingsAt(0, 2, 13, 13, kBox)},
        {BS_CHECKBOX | BS_TOP, 12, 0, Look::Normal, RingsAt(0, 1, 13, 13, kBox)},
        {BS_CHECKBOX | BS_TOP, 20, 0, Look::Normal, RingsAt(0, 1, 13, 13, kBox)},
        {BS_CHECKBOX | BS_BOTTOM, 15, 0, Look::Normal, RingsAt(0, -15, 13, 13, kBox)},
        {BS_CHECKBOX | BS_BOTTOM, 20, 0, Look::Normal, RingsAt(0, -15, 13, 13, kBox)},
        {BS_CHECKBOX | BS_LEFTTEXT, 14, 0, Look::Hot, RingsAt(-13, 0, 13, 13, kBoxLit)},
        {kBox3, 14, kMixed, Look::Normal, RingsAt(0, 0, 13, 13, kBoxGrey)},
        {kBox3, 14, kMixed, Look::Hot, RingsAt(0, 0, 13, 13, kBoxLit)},
        {kBox3, 14, kMixed, Look::Disabled, RingsAt(0, 0, 13, 13, kBoxDisabled)},
        {BS_RADIOBUTTON, 16, 0, Look::Normal, Circle(1, 1, {SHADOW, WINDOW, FACE, WINDOW})},
        {BS_RADIOBUTTON, 16, 1, Look::Hot, Circle(1, 1, kLitArcs)},
        {BS_RADIOBUTTON, 16, 0, Look::Disabled, Circle(1, 1, {SHADOW, FACE, FACE, HIGHLIGHT})},
        {BS_RADIOBUTTON, 14, 0, Look::Focused, Circle(1, 0, {SHADOW, WINDOW, FACE, WINDOW})},
        {BS_RADIOBUTTON | BS_TOP, 20, 1, Look::Normal,
         Circle(1, 1, {SHADOW, WINDOW, FACE, WINDOW})},
        {BS_RADIOBUTTON | BS_LEFTTEXT | BS_BOTTOM, 20, 0, Look::Hot, Circle(-12, -15, kLitArcs)},
    };
    ScratchDialog scratch;
    for (const Row& row : rows) {
        const HWND button = scratch.Add("Button", row.style, 10, 10, 90, row.height);
        ::SendMessageA(button, BM_SETCHECK, row.check, 0);
        Enter(button, row.look);
        EXPECT_TRUE(row.look != Look::Focused || ::GetFocus() == button) << "no focus";
        // A box taller than its button loses its lowest row to the window's edge.
        std::vector<Pixel> pixels = row.pixels;
        pixels.erase(std::remove_if(pixels.begin(), pixels.end(),
                                    [&](const Pixel& p) { return p.y >= row.height; }),
                     pixels.end());
        EXPECT_EQ(CheckPixels(button, pixels), "")
            << "style " << std::hex << row.style << std::dec << ", " << row.height << " high, "
            << LookName(row.look);
        ::DestroyWindow(button);
    }
}

// The control repaints in 3D on its own here, without WM_PAINT; the caller
// still gets the control's own answer.
TEST_F(ButtonPainters, SettingTextOrCheckRepaintsAtOnceAndAnswersAsTheControlDoes) {
    struct Row {
        int id;
        UINT message;
        WPARAM wParam;
        const char* text;
        std::vector<Pixel> pixels;
        LRESULT answer;
    };
    const HWND dialog = gallery_.buttons;
    const int boxTop = (SizeOf(Item(dialog, IDC_CHECK)).cy - 13) / 2;
    const Row rows[] = {
        {IDC_PUSHLIKE, BM_SETCHECK, BST_CHECKED, nullptr, Rings(kPressed), 0},
        {IDC_PUSHLIKE, BM_SETCHECK, BST_UNCHECKED, nullptr, Rings(kOrdinary), 0},
        {IDC_PUSH, WM_SETTEXT, 0, "Push", Rings(kOrdinary), TRUE},
        {IDC_CHECK, WM_SETTEXT, 0, "Check box", RingsAt(0, boxTop, 13, 13, kBox), TRUE},
    };
    for (const Row& row : rows) {
        const HWND button = Item(dialog, row.id);
        Enter(button, Look::Normal);
        Scribble(button, DKSHADOW);  // no scheme here uses it
        EXPECT_EQ(
            ::SendMessageA(button, row.message, row.wParam, reinterpret_cast<LPARAM>(row.text)),
            row.answer);
        EXPECT_EQ(CheckPixels(button, row.pixels), "")
            << row.id << " after message " << row.message;
    }
}

}  // namespace
