// Edit, combo box, date-time and IP address painters, pixel by pixel: frames,
// drop-down buttons, the frame joined to a spin, and focus held by child fields.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/skin/skin_test_support.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;
using namespace Sys;

namespace {

using namespace Scheme;

std::vector<Pixel> Both(std::vector<Pixel> frame, const std::vector<Pixel>& more) {
    frame.insert(frame.end(), more.begin(), more.end());
    return frame;
}

// The drop-down button: inside the frame's two rings, a scroll-bar width wide.
std::vector<Pixel> Button(HWND combo, const Rings2& s) {
    const int width = ::GetSystemMetrics(SM_CXHSCROLL);
    return RingsAt(-2 - width, 2, width, SizeOf(combo).cy - 4, s);
}

// A frame laid out wider than the window on one side: that side is not drawn,
// and the rows run through to the window's edge there.
std::vector<Pixel> OpenFrame(bool openRight, const Rings2& s) {
    const int closed = openRight ? 0 : -1, open = openRight ? -1 : 0;
    const int inward = openRight ? 1 : -1;
    return {{closed, 0, openRight ? s.outerTopLeft : s.outerBottomRight},
            {closed, 1, openRight ? s.outerTopLeft : s.outerBottomRight},
            {closed + inward, 1, openRight ? s.innerTopLeft : s.innerBottomRight},
            {closed, -1, s.outerBottomRight},
            {closed + inward, -2, s.innerBottomRight},
            {open, 0, s.outerTopLeft},
            {open, 1, s.innerTopLeft},
            {open, -1, s.outerBottomRight},
            {open, -2, s.innerBottomRight}};
}

// Row 1 of an attached spin, and column 1 too when it sits on the left.
std::vector<Pixel> SpinLine(bool onTheLeft, int colour) {
    const int e = ::GetSystemMetrics(SM_CXEDGE);
    std::vector<Pixel> line{{1, 1, colour}, {-1 - e, 1, colour}};
    if (onTheLeft) line.push_back({1, -1 - e, colour});
    return line;
}

using EditPainters = GalleryTest;

TEST_F(EditPainters, TextEntryFramesTakeTheSchemeOfTheirLook) {
    const HWND dialog = gallery_.buttons;
    const HWND edit = Item(dialog, IDC_EDIT);
    const HWND readOnly = Item(dialog, IDC_EDIT_READONLY);
    const HWND dropDown = Item(dialog, IDC_COMBO_DROPDOWN);
    const HWND dropList = Item(dialog, IDC_COMBO_DROPLIST);
    const HWND picker = Item(dialog, IDC_DATETIME);
    const HWND address = Item(dialog, IDC_IPADDRESS);
    const HWND simple = Item(dialog, IDC_COMBO_SIMPLE);
    const HWND simpleEdit = ::FindWindowExA(simple, nullptr, "Edit", nullptr);
    const SIZE inner = SizeOf(simpleEdit);
    struct Row {
        const char* what;
        HWND control;
        Look look;
        Rings2 frame;
        const Rings2* button;  // the drop-down button's rings, if it has one
    };
    const Row rows[] = {
        {"edit", edit, Look::Normal, kSmall, nullptr},
        {"edit", edit, Look::Hot, kLit, nullptr},
        {"edit", edit, Look::Focused, kLit, nullptr},
        {"edit", edit, Look::Disabled, kGrey, nullptr},
        {"read-only edit", readOnly, Look::Normal, kGrey, nullptr},
        {"read-only edit", readOnly, Look::Hot, kLit, nullptr},
        {"read-only edit", readOnly, Look::Focused, kLit, nullptr},
        {"drop-down combo", dropDown, Look::Normal, kSmall, &kButton},
        {"drop-down combo", dropDown, Look::Hot, kLit, &kButtonLit},
        {"drop-down combo", dropDown, Look::Focused, kLit, &kButtonLit},
        {"drop-down combo", dropDown, Look::Disabled, kGrey, &kButtonDisabled},
        {"drop-list combo", dropList, Look::Focused, kLit, &kButtonLit},
        {"date-time", picker, Look::Normal, kSmall, &kButton},
        {"date-time", picker, Look::Hot, kLit, &kButtonLit},
        {"IP address", address, Look::Normal, kSmall, nullptr},
        {"IP address", address, Look::Focused, kLit, nullptr},
        {"simple combo's edit", simpleEdit, Look::Normal, kSmall, nullptr},
        {"simple combo's edit", simpleEdit, Look::Hot, kLit, nullptr},
    };
    for (const Row& row : rows) {
        ASSERT_NE(SkinOf(row.control), nullptr) << row.what;
        // The simple combo's edit is framed in the combo box: three pixels around
        // the edit, anchored at the combo box's corner.
        const bool inCombo = row.control == simpleEdit;
        const HWND shownIn = inCombo ? simple : row.control;
        std::vector<Pixel> pixels =
            inCombo ? RingsAt(0, 0, inner.cx + 6, inner.cy + 6, row.frame) : Rings(row.frame);
        if (row.button) pixels = Both(pixels, Button(row.control, *row.button));
        Enter(row.control, row.look, shownIn);
        EXPECT_EQ(CheckPixels(shownIn, pixels), "") << row.what << ", " << LookName(row.look);
        Leave(row.control);
    }
}

TEST_F(EditPainters, AnAttachedSpinContinuesTheEditsFrame) {
    const HWND dialog = gallery_.buttons;
    struct Row {
        int editId, spinId;
        bool onTheLeft;
        Look look;
        Rings2 frame;
        int line;  // colour of the spin's row 1 (and column 1)
    };
    const Row rows[] = {
        {IDC_EDIT_SPIN_RIGHT, IDC_SPIN_RIGHT, false, Look::Normal, kSmall, HIGHLIGHT},
        {IDC_EDIT_SPIN_RIGHT, IDC_SPIN_RIGHT, false, Look::Hot, kLit, DKSHADOW},
        {IDC_EDIT_SPIN_RIGHT, IDC_SPIN_RIGHT, false, Look::Disabled, kGrey, FACE},
        {IDC_EDIT_SPIN_LEFT, IDC_SPIN_LEFT, true, Look::Normal, kSmall, HIGHLIGHT},
        {IDC_EDIT_SPIN_LEFT, IDC_SPIN_LEFT, true, Look::Hot, kLit, DKSHADOW},
        {IDC_EDIT_SPIN_LEFT, IDC_SPIN_LEFT, true, Look::Disabled, kGrey, FACE},
    };
    for (const Row& row : rows) {
        const HWND edit = Item(dialog, row.editId);
        const HWND spin = Item(dialog, row.spinId);
        Enter(edit, row.look);
        const char* side = row.onTheLeft ? "spin on the left, " : "spin on the right, ";
        EXPECT_EQ(CheckPixels(edit, OpenFrame(!row.onTheLeft, row.frame)), "")
            << side << LookName(row.look);
        EXPECT_EQ(CheckPixels(spin, SpinLine(row.onTheLeft, row.line)), "")
            << side << LookName(row.look);
        Leave(edit);
    }
}

TEST_F(EditPainters, OnlyTheNextSiblingNamingTheEditAsBuddyOpensItsFrame) {
    struct Row {
        const char* what;
        bool spinFirst;   // the spin comes before the edit in Z-order
        bool otherBuddy;  // the spin names another edit
        bool open;
    };
    const Row rows[] = {
        {"spin after the edit, its buddy", false, false, true},
        {"spin before the edit", true, false, false},
        {"spin after the edit, buddy of another", false, true, false},
    };
    for (const Row& row : rows) {
        ScratchDialog scratch;
        const auto add = [&](const char* windowClass, DWORD style, int y, DWORD exStyle) {
            return scratch.Add(windowClass, style, 10, y, 120, 21, exStyle);
        };
        const HWND before = row.spinFirst ? add(UPDOWN_CLASSA, UDS_ALIGNRIGHT, 10, 0) : nullptr;
        const HWND edit = add("Edit", 0, 40, WS_EX_CLIENTEDGE);
        const HWND spin = row.spinFirst ? before : add(UPDOWN_CLASSA, UDS_ALIGNRIGHT, 70, 0);
        const HWND other = add("Edit", 0, 100, WS_EX_CLIENTEDGE);
        ::SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(row.otherBuddy ? other : edit),
                       0);
        ASSERT_NE(SkinOf(edit), nullptr) << row.what;
        Enter(edit, Look::Normal);
        EXPECT_EQ(CheckPixels(edit, row.open ? OpenFrame(true, kSmall) : Rings(kSmall)), "")
            << row.what;
    }
}

// Focus moving into or out of a control's child field repaints the control at once,
// through the field's notifications: the control itself hears nothing else.
TEST_F(EditPainters, FocusComingToOrLeavingAFieldRepaintsAtOnce) {
    const HWND dropDown = Item(gallery_.buttons, IDC_COMBO_DROPDOWN);
    const HWND address = Item(gallery_.buttons, IDC_IPADDRESS);
    std::vector<HWND> fields;
    for (HWND f = ::GetTopWindow(address); f != nullptr; f = ::GetWindow(f, GW_HWNDNEXT)) {
        fields.push_back(f);
    }
    ASSERT_EQ(fields.size(), 4u);
    struct Step {
        const char* what;
        HWND control, focus;
        std::vector<Pixel> pixels;
    };
    const Step steps[] = {
        {"drop-down combo, its edit focused", dropDown, ::GetTopWindow(dropDown),
         Both(Rings(kLit), Button(dropDown, kButtonLit))},
        {"IP address, first field focused", address, fields[0], Rings(kLit)},
        {"IP address, focus gone", address, nullptr, Rings(kSmall)},
        {"IP address, last field focused", address, fields[3], Rings(kLit)},
    };
    Enter(dropDown, Look::Normal);
    Enter(address, Look::Normal);
    for (const Step& step : steps) {
        Scribble(step.control, WINDOW);
        ::SetFocus(step.focus);
        EXPECT_EQ(CheckPixels(step.control, step.pixels), "") << step.what;
    }
    ::SetFocus(fields[1]);
    EXPECT_TRUE(SkinOf(address)->GetState() & CSkinnedControl::kFocused) << "on to another field";
    Leave(address);
}

TEST_F(EditPainters, ADropListCountsOnlyItsOwnFocus) {
    ScratchDialog scratch;
    const HWND dropList = scratch.Add("ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 150, 100);
    const HWND child = ::CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 2, 2, 20, 10,
                                         dropList, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_EQ(::GetTopWindow(dropList), child);
    ::SetFocus(child);
    EXPECT_FALSE(SkinOf(dropList)->IsFocused()) << "its first child has the focus";
    ::SetFocus(dropList);
    EXPECT_TRUE(SkinOf(dropList)->IsFocused()) << "it has the focus itself";
    ::SetFocus(nullptr);
}

TEST_F(EditPainters, AnUpDownDateTimeShowsNoButtonFrame) {
    const HWND picker = Item(gallery_.buttons, IDC_DATETIME_UPDOWN);
    const HWND upDown = ::GetTopWindow(picker);
    ASSERT_NE(upDown, nullptr);
    ::ShowWindow(upDown, SW_HIDE);  // it would cover the place of a drop-down button
    const int width = ::GetSystemMetrics(SM_CXHSCROLL);
    for (const Look look : {Look::Normal, Look::Hot}) {
        Enter(picker, look);
        const std::vector<Pixel> noButton{{-2 - width, 2, WINDOW}, {-3, 2, WINDOW}};
        EXPECT_EQ(CheckPixels(picker, Both(Rings(look == Look::Hot ? kLit : kSmall), noButton)), "")
            << LookName(look);
        Leave(picker);
    }
    ::ShowWindow(upDown, SW_SHOWNA);
}

}  // namespace
