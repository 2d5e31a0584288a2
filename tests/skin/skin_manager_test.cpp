// The manager: which windows are recognised as which kind, the hook modes,
// registration and removal, the hover timer and hover tracking.
#include <windows.h>

#include <commctrl.h>

#include <typeinfo>

#include "skin/skinned_check_box.h"
#include "skin/skinned_combo_box.h"
#include "skin/skinned_combo_edit.h"
#include "skin/skinned_date_time.h"
#include "skin/skinned_edit.h"
#include "skin/skinned_header.h"
#include "skin/skinned_ip_address.h"
#include "skin/skinned_push_button.h"
#include "skin/skinned_radio_button.h"
#include "skin/skinned_scroll_bar.h"
#include "skin/skinned_spin.h"
#include "skin/skinned_tab.h"
#include "skin/skinned_toolbar.h"
#include "skin/skinned_trackbar.h"
#include "tests/skin/skin_test_support.h"
#include "tools/skin-gallery/gallery_ids.h"

using namespace skin_test;

namespace {

const std::type_info* KindOf(HWND window) {
    const CSkinnedControl* control = SkinOf(window);
    return control != nullptr ? &typeid(*control) : nullptr;
}

const char* Named(const std::type_info* kind) {
    return kind != nullptr ? kind->name() : "not skinned";
}

using GalleryRecognition = GalleryTest;

TEST_F(GalleryRecognition, EveryGalleryControlGetsTheKindItsClassAndStyleCallFor) {
    const Gallery& g = gallery_;
    const HWND simple = Item(g.buttons, IDC_COMBO_SIMPLE);
    const HWND simpleEdit = FindWindowExA(simple, nullptr, "Edit", nullptr);
    const HWND simpleList = FindWindowExA(simple, nullptr, "ComboLBox", nullptr);
    const bool listEdge = GetWindowLongA(simpleList, GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
    const HWND header = GetTopWindow(Item(g.lists, IDC_LISTVIEW));
    const HWND bareHeader = GetTopWindow(Item(g.lists, IDC_LISTVIEW_NO_EDGE));
    const HWND child = g.child;
    struct Row {
        const char* what;
        HWND window;
        const std::type_info* kind;
    };
    const Row rows[] = {
        {"push button", Item(g.buttons, IDC_PUSH), &typeid(CSkinnedPushButton)},
        {"default push button", Item(g.buttons, IDC_DEFAULT_PUSH), &typeid(CSkinnedPushButton)},
        {"push-like check box", Item(g.buttons, IDC_PUSHLIKE), &typeid(CSkinnedCheckBox)},
        {"check box", Item(g.buttons, IDC_CHECK), &typeid(CSkinnedCheckBox)},
        {"three-state", Item(g.buttons, IDC_THREE_STATE), &typeid(CSkinnedCheckBox)},
        {"radio button", Item(g.buttons, IDC_RADIO_ONE), &typeid(CSkinnedRadioButton)},
        {"push-like radio", Item(g.buttons, IDC_RADIO_PUSHLIKE), &typeid(CSkinnedRadioButton)},
        {"owner-drawn button", Item(g.buttons, IDC_OWNER_DRAWN), nullptr},
        {"flat button", Item(g.buttons, IDC_FLAT_BUTTON), nullptr},
        {"group box", Item(g.buttons, IDC_GROUP_BOX), nullptr},
        {"static text", Item(g.buttons, IDC_STATIC_TEXT), nullptr},
        {"progress bar", Item(g.buttons, IDC_PROGRESS), nullptr},
        {"edit", Item(g.buttons, IDC_EDIT), &typeid(CSkinnedEdit)},
        {"edit without client edge", Item(g.buttons, IDC_EDIT_NO_EDGE), nullptr},
        {"read-only edit", Item(g.buttons, IDC_EDIT_READONLY), &typeid(CSkinnedEdit)},
        {"disabled edit", Item(g.buttons, IDC_EDIT_DISABLED), &typeid(CSkinnedEdit)},
        {"spin", Item(g.buttons, IDC_SPIN_RIGHT), &typeid(CSkinnedSpin)},
        {"hot key", Item(g.buttons, IDC_HOTKEY), &typeid(CSkinnedControl)},
        {"IP address", Item(g.buttons, IDC_IPADDRESS), &typeid(CSkinnedIPAddress)},
        {"date-time", Item(g.buttons, IDC_DATETIME), &typeid(CSkinnedDateTime)},
        {"date-time's up-down", GetTopWindow(Item(g.buttons, IDC_DATETIME_UPDOWN)),
         &typeid(CSkinnedSpin)},
        {"simple combo box", simple, nullptr},
        {"simple combo's edit", simpleEdit, &typeid(CSkinnedComboEdit)},
        {"simple combo's list", simpleList, listEdge ? &typeid(CSkinnedControl) : nullptr},
        {"drop-down combo box", Item(g.buttons, IDC_COMBO_DROPDOWN), &typeid(CSkinnedComboBox)},
        {"drop-down combo's edit", GetTopWindow(Item(g.buttons, IDC_COMBO_DROPDOWN)), nullptr},
        {"drop-list combo box", Item(g.buttons, IDC_COMBO_DROPLIST), &typeid(CSkinnedComboBox)},
        {"list box", Item(g.lists, IDC_LISTBOX), &typeid(CSkinnedControl)},
        {"list view", Item(g.lists, IDC_LISTVIEW), &typeid(CSkinnedControl)},
        {"list view's button header", header, &typeid(CSkinnedHeader)},
        {"list view without client edge", Item(g.lists, IDC_LISTVIEW_NO_EDGE), nullptr},
        {"its header, never visited", bareHeader, nullptr},
        {"tree view", Item(g.lists, IDC_TREEVIEW), &typeid(CSkinnedControl)},
        {"month calendar", Item(g.lists, IDC_MONTHCAL), &typeid(CSkinnedControl)},
        {"rich edit", Item(g.lists, IDC_RICHEDIT), &typeid(CSkinnedControl)},
        {"horizontal scroll bar", Item(g.bars, IDC_HSCROLL), &typeid(CSkinnedScrollBar)},
        {"vertical scroll bar", Item(g.bars, IDC_VSCROLL), &typeid(CSkinnedScrollBar)},
        {"size grip", Item(g.bars, IDC_SIZEGRIP), nullptr},
        {"trackbar", Item(g.bars, IDC_TRACK_BOTTOM), &typeid(CSkinnedTrackbar)},
        {"vertical trackbar", Item(g.bars, IDC_TRACK_VBOTH), &typeid(CSkinnedTrackbar)},
        {"toolbar", Item(g.strips, IDC_TOOLBAR), &typeid(CSkinnedToolbar)},
        {"flat toolbar", Item(g.strips, IDC_TOOLBAR_FLAT), nullptr},
        {"tab control", Item(g.strips, IDC_TAB_TOP), &typeid(CSkinnedTab)},
        {"nested dialog", child, nullptr},
        {"nested dialog's button", Item(child, IDC_CHILD_PUSH), &typeid(CSkinnedPushButton)},
        {"nested dialog's edit", Item(child, IDC_CHILD_EDIT), &typeid(CSkinnedEdit)},
    };
    for (const Row& row : rows) {
        ASSERT_NE(row.window, nullptr) << row.what << " is missing from the gallery";
        const std::type_info* kind = KindOf(row.window);
        EXPECT_TRUE(kind == row.kind || (kind && row.kind && *kind == *row.kind))
            << row.what << ": " << Named(kind) << ", expected " << Named(row.kind);
    }
    EXPECT_EQ(CSkinManager::dialogMap.count(child), 1u)
        << "the nested dialog is skinned as a dialog";
    EXPECT_EQ(CSkinManager::dialogMap.count(g.strips), 1u);
}

}  // namespace
