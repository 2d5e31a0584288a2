// The manager: which windows are recognised as which kind, the hook modes,
// registration and removal, the hover timer and hover tracking.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

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
    EXPECT_EQ(CSkinManager::GetManager()->IsDialogSkinned(child), true)
        << "the nested dialog is skinned as a dialog";
    EXPECT_EQ(CSkinManager::GetManager()->IsDialogSkinned(g.strips), true);
}

// Purpose-built windows, with the maps empty at the start of every test.
class ManagerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(manager_.ControlCount() == 0) << "an earlier test left controls behind";
        ASSERT_TRUE(manager_.DialogCount() == 0);
        manager_.InstallHook(static_cast<DWORD>(-1), TRUE);
    }
    void TearDown() override {
        manager_.UninstallHook(static_cast<DWORD>(-1));
        // Whatever a failed assertion left behind must not spill into the next test.
        DestroyWindow(dialog_);
        host_.reset();
        manager_.RemoveAll();
        Pump();
    }
    // The gallery's nested dialog template, made a child of the host.
    HWND OpenDialog() {
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GALLERY_CHILD),
                                     host(), &PlainDialog, 0);
        return dialog_;
    }
    HWND host() { return host_->get(); }
    static INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    static WNDPROC ProcOf(HWND window) {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    }

    CSkinManager& manager_ = *CSkinManager::GetManager();
    std::unique_ptr<HostWindow> host_ = std::make_unique<HostWindow>();
    HWND dialog_ = nullptr;
};

TEST_F(ManagerTest, ButtonTypesFollowTheBitRulesNotTheTypeValue) {
    const std::type_info* push = &typeid(CSkinnedPushButton);
    const std::type_info* check = &typeid(CSkinnedCheckBox);
    const std::type_info* radio = &typeid(CSkinnedRadioButton);
    const std::type_info* expected[16] = {push,  push,    check, check,  radio, check,
                                          check, nullptr, push,  radio,  check, nullptr,
                                          radio, check,   check, nullptr};
    for (DWORD type = 0; type < 16; ++type) {
        const HWND button = host_->Add("Button", type, 0, 10, 10, 80, 20, "b");
        manager_.AddControl(button);
        const std::type_info* kind = KindOf(button);
        EXPECT_TRUE(kind == expected[type] || (kind && expected[type] && *kind == *expected[type]))
            << "button type " << type << ": " << Named(kind) << ", expected "
            << Named(expected[type]);
        DestroyWindow(button);
    }
    const HWND flat = host_->Add("Button", BS_PUSHBUTTON | BS_FLAT, 0, 10, 10, 80, 20, "flat");
    EXPECT_FALSE(manager_.AddControl(flat)) << "BS_FLAT buttons keep their look";
}

TEST_F(ManagerTest, DialogsOnlyModeSkinsDialogsAndChildModeSkinsChildrenAtCreation) {
    // Dialogs only: a lone child window is left alone, a dialog's controls are skinned.
    const HWND lone = host_->Add("Edit", 0, WS_EX_CLIENTEDGE, 0, 0, 80, 20);
    EXPECT_EQ(SkinOf(lone), nullptr);
    ASSERT_NE(OpenDialog(), nullptr);
    EXPECT_EQ(CSkinManager::GetManager()->IsDialogSkinned(dialog_), true);
    EXPECT_NE(SkinOf(GetDlgItem(dialog_, IDC_CHILD_EDIT)), nullptr);
    DestroyWindow(std::exchange(dialog_, nullptr));

    // Child windows: skinned at WM_CREATE, scroll bars excepted; dialogs are not subclassed.
    manager_.InstallHook(static_cast<DWORD>(-1), FALSE);
    EXPECT_FALSE(manager_.DialogsOnly());
    const HWND edit = host_->Add("Edit", 0, WS_EX_CLIENTEDGE, 0, 30, 80, 20);
    const HWND bar = host_->Add("ScrollBar", SBS_HORZ, 0, 0, 60, 80, 16);
    EXPECT_NE(SkinOf(edit), nullptr);
    EXPECT_EQ(SkinOf(bar), nullptr) << "scroll bars are not skinned at their creation";
    ASSERT_NE(OpenDialog(), nullptr);
    EXPECT_EQ(CSkinManager::GetManager()->IsDialogSkinned(dialog_), false);
    EXPECT_NE(SkinOf(GetDlgItem(dialog_, IDC_CHILD_PUSH)), nullptr);
    EXPECT_EQ(manager_.HookedThreads(), 1u) << "a second InstallHook changes only the mode";
}

TEST_F(ManagerTest, DialogInitialisedTwiceIsProcessedOnceAndLaterControlsAreSkinned) {
    ASSERT_NE(OpenDialog(), nullptr);
    const std::size_t controls = manager_.ControlCount();
    const std::size_t dialogs = manager_.DialogCount();
    SendMessageA(dialog_, WM_INITDIALOG, 0, 0);
    EXPECT_EQ(manager_.ControlCount(), controls);
    EXPECT_EQ(manager_.DialogCount(), dialogs);
    EXPECT_EQ(ProcOf(dialog_), &CSkinManager::DialogWindowProc);

    // Created after initialisation: skinned through WM_PARENTNOTIFY.
    const HWND later = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "", WS_CHILD | WS_VISIBLE, 0, 0,
                                       50, 50, dialog_, nullptr, nullptr, nullptr);
    EXPECT_NE(SkinOf(later), nullptr);
}

TEST_F(ManagerTest, RegistrationSubclassesAndRemovalRestoresWithOneHoverTimer) {
    const HWND first = host_->Add("ListBox", 0, WS_EX_CLIENTEDGE, 0, 0, 60, 60);
    const HWND second = host_->Add("ListBox", 0, WS_EX_CLIENTEDGE, 70, 0, 60, 60);
    const WNDPROC original = ProcOf(first);
    EXPECT_EQ(manager_.TimerId(), 0u);
    EXPECT_FALSE(manager_.AddControl(nullptr));

    ASSERT_TRUE(manager_.AddControl(first));
    EXPECT_EQ(ProcOf(first), &CSkinnedControl::ControlWindowProc);
    const UINT_PTR timer = manager_.TimerId();
    EXPECT_NE(timer, 0u);
    EXPECT_FALSE(manager_.AddControl(first)) << "registered twice";
    ASSERT_TRUE(manager_.AddControl(second));
    EXPECT_EQ(manager_.TimerId(), timer) << "one timer for all controls";

    EXPECT_TRUE(manager_.RemoveControl(first));
    EXPECT_EQ(ProcOf(first), original);
    EXPECT_FALSE(manager_.RemoveControl(first));
    EXPECT_NE(manager_.TimerId(), 0u);

    // WM_NCDESTROY of the last control: gone from the map, timer stopped.
    DestroyWindow(second);
    EXPECT_TRUE(manager_.ControlCount() == 0);
    EXPECT_EQ(manager_.TimerId(), 0u);
    ASSERT_TRUE(manager_.AddControl(first));
    EXPECT_NE(manager_.TimerId(), 0u) << "a later registration starts a new timer";
}

TEST_F(ManagerTest, HookWithoutThreadEntryDoesNothing) {
    manager_.UninstallHook(static_cast<DWORD>(-1));
    ASSERT_NE(OpenDialog(), nullptr);
    EXPECT_TRUE(manager_.DialogCount() == 0) << "no hook, no skinning";
    CWPSTRUCT message{0, WM_INITDIALOG, 0, dialog_};
    EXPECT_EQ(CSkinManager::HookProc(HC_ACTION, 0, reinterpret_cast<LPARAM>(&message)), 0);
    EXPECT_TRUE(manager_.DialogCount() == 0);

    manager_.InstallHook(static_cast<DWORD>(-1), TRUE);
    EXPECT_TRUE(manager_.IsHooked(GetCurrentThreadId()));
}

TEST_F(ManagerTest, HoverFollowsTheCursorOverControlsAndTheirDirectChildrenOnly) {
    const HWND list = host_->Add("ListBox", LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 0, 0, 150, 150);
    const HWND other =
        host_->Add("ListBox", LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 200, 0, 100, 100);
    const HWND bare = host_->Add("Edit", 0, 0, 200, 150, 100, 30);  // not skinned
    const HWND child = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, list,
                                       nullptr, nullptr, nullptr);
    const HWND grandchild = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 20, 20, 50, 50,
                                            child, nullptr, nullptr, nullptr);
    ASSERT_TRUE(manager_.AddControl(list));
    ASSERT_TRUE(manager_.AddControl(other));
    auto hot = [](HWND w) { return (SkinOf(w)->GetState() & CSkinnedControl::kHot) != 0; };

    HoverOver(other);
    EXPECT_EQ(CSkinManager::HotWindow(), other);
    EXPECT_TRUE(hot(other));
    HoverOver(list, 5, 5);
    EXPECT_EQ(CSkinManager::HotWindow(), list);
    EXPECT_TRUE(hot(list));
    EXPECT_FALSE(hot(other)) << "the hot state moves, it is not shared";
    HoverOver(child, 5, 5);
    EXPECT_EQ(CSkinManager::HotWindow(), list) << "a direct child keeps its skinned parent hot";

    // Captured mouse: frozen wherever the cursor goes.
    SetCapture(host());
    HoverOver(other);
    EXPECT_EQ(CSkinManager::HotWindow(), list);
    ReleaseCapture();

    HoverOver(grandchild);
    EXPECT_EQ(CSkinManager::HotWindow(), nullptr)
        << "a grandchild is outside every skinned control";
    EXPECT_FALSE(hot(list));
    HoverOver(other);
    HoverOver(bare);
    EXPECT_EQ(CSkinManager::HotWindow(), nullptr);
    EXPECT_FALSE(hot(other));
}

HWND doomed = nullptr;
void CALLBACK DestroyThenTick(HWND, UINT, UINT_PTR, DWORD) {
    DestroyWindow(doomed);
    CSkinManager::GetManager()->TrackMouse();
}

TEST_F(ManagerTest, ControlOrDialogDestroyedWhileHotLeavesNothingForTheNextTick) {
    ASSERT_NE(OpenDialog(), nullptr);
    const HWND edit = GetDlgItem(dialog_, IDC_CHILD_EDIT);
    HoverOver(edit);
    ASSERT_EQ(CSkinManager::HotWindow(), edit);
    DestroyWindow(edit);
    EXPECT_EQ(CSkinManager::HotWindow(), nullptr) << "a dead window never stays hot";
    HoverAway();

    // The whole dialog goes from inside a timer message, the hover tick right after.
    HoverOver(GetDlgItem(dialog_, IDC_CHILD_PUSH));
    doomed = std::exchange(dialog_, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, &DestroyThenTick);
    for (int i = 0; i < 200 && IsWindow(doomed); ++i) {
        Sleep(5);
        Pump();
    }
    KillTimer(nullptr, timer);
    EXPECT_FALSE(IsWindow(doomed));
    EXPECT_TRUE(manager_.DialogCount() == 0);
    EXPECT_TRUE(manager_.ControlCount() == 0);
    EXPECT_EQ(CSkinManager::HotWindow(), nullptr);
    EXPECT_EQ(manager_.TimerId(), 0u);
}

// Another subclasser that stacks on top of whatever the window has.
struct OtherSubclasser {
    static inline WNDPROC saved = nullptr;
    static inline int messages = 0;
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        ++messages;
        return CallWindowProcA(saved, w, m, wp, lp);
    }
    static void Attach(HWND w) {
        saved = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    static void Detach(HWND w) {
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
    }
};

TEST_F(ManagerTest, AnotherSubclasserOnTopSurvivesEitherOrderOfTearDown) {
    for (const bool oursFirst : {false, true}) {
        const HWND edit = host_->Add("Edit", 0, WS_EX_CLIENTEDGE, 0, 0, 100, 20);
        const WNDPROC original = ProcOf(edit);
        ASSERT_TRUE(manager_.AddControl(edit));
        OtherSubclasser::Attach(edit);
        if (oursFirst) {
            EXPECT_TRUE(manager_.RemoveControl(edit));
            EXPECT_EQ(ProcOf(edit), &OtherSubclasser::Proc) << "their subclass is not cut off";
            OtherSubclasser::Detach(edit);
        } else {
            OtherSubclasser::Detach(edit);
            EXPECT_TRUE(manager_.RemoveControl(edit));
            EXPECT_EQ(ProcOf(edit), original);
        }
        // Whatever is left of the chain still reaches the edit itself, not DefWindowProc.
        SendMessageA(edit, EM_SETLIMITTEXT, 7, 0);
        EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 7)
            << (oursFirst ? "ours first" : "theirs first");
        DestroyWindow(edit);
    }
}

TEST_F(ManagerTest, RemoveAllUnhooksAndRestoresEveryWindowEvenWithSomeAlreadyGone) {
    ASSERT_NE(OpenDialog(), nullptr);
    const HWND edit = GetDlgItem(dialog_, IDC_CHILD_EDIT);
    // An entry whose window vanished without its WM_NCDESTROY reaching us: a
    // subclasser above us swallows it.
    const HWND gone = host_->Add("ListBox", 0, WS_EX_CLIENTEDGE, 0, 0, 50, 50);
    ASSERT_TRUE(manager_.AddControl(gone));
    const std::size_t registered = manager_.ControlCount();
    SetWindowLongPtrA(gone, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    DestroyWindow(gone);
    ASSERT_EQ(manager_.ControlCount(), registered) << "the dead list box is still registered";

    manager_.RemoveAll();
    EXPECT_TRUE(manager_.HookedThreads() == 0);
    EXPECT_TRUE(manager_.ControlCount() == 0);
    EXPECT_TRUE(manager_.DialogCount() == 0);
    EXPECT_EQ(manager_.TimerId(), 0u);
    EXPECT_NE(ProcOf(edit), &CSkinnedControl::ControlWindowProc);
    EXPECT_NE(ProcOf(dialog_), &CSkinManager::DialogWindowProc);
    SendMessageA(edit, EM_SETLIMITTEXT, 9, 0);
    EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 9);
}

// A subclasser above us in the usual pattern: it passes WM_NCDESTROY down and
// only then steps out of the chain, after our object has gone.
struct LateSubclasser {
    static inline WNDPROC saved = nullptr;
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        const LRESULT result = CallWindowProcA(saved, w, m, wp, lp);
        if (m == WM_NCDESTROY) {
            SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        }
        return result;
    }
};

TEST_F(ManagerTest, WindowsDestroyedUnderAnotherSubclasserAreNeverStranded) {
    for (int i = 0; i < 50; ++i) {
        const HWND edit = host_->Add("Edit", 0, WS_EX_CLIENTEDGE, 0, 0, 100, 20);
        ASSERT_TRUE(manager_.AddControl(edit));
        LateSubclasser::saved = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LateSubclasser::Proc)));
        DestroyWindow(edit);
    }
    EXPECT_EQ(manager_.StrandedCount(), 0u) << "dead handles kept: a new window with one of "
                                               "their values would never be skinned";
    EXPECT_EQ(manager_.ControlCount(), 0u);
}

// Spins lend their hot look to their buddy; a buddy that lends it back while
// we paint must not recurse until the stack runs out.
TEST_F(ManagerTest, SpinsBuddiedToThemselvesOrToEachOtherPaintOnce) {
    const HWND self = host_->Add(UPDOWN_CLASSA, 0, 0, 10, 10, 16, 30);
    const HWND first = host_->Add(UPDOWN_CLASSA, 0, 0, 60, 10, 16, 30);
    const HWND second = host_->Add(UPDOWN_CLASSA, 0, 0, 120, 10, 16, 30);
    const struct {
        HWND spin, buddy;
        LONG align;  // set afterwards: the control would move itself beside its buddy
    } pairs[] = {{self, self, UDS_ALIGNRIGHT},
                 {first, second, UDS_ALIGNRIGHT},
                 {second, first, UDS_ALIGNLEFT}};
    for (const auto& pair : pairs) {
        ASSERT_TRUE(manager_.AddControl(pair.spin));
        SendMessageA(pair.spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(pair.buddy), 0);
        SetWindowLongA(pair.spin, GWL_STYLE, GetWindowLongA(pair.spin, GWL_STYLE) | pair.align);
    }
    for (const HWND spin : {self, first, second}) {
        const int which = spin == self ? 0 : spin == first ? 1 : 2;
        ASSERT_NE(SkinOf(spin), nullptr) << which;
        HoverOver(spin);
        EXPECT_EQ(CSkinManager::HotWindow(), spin) << which;
        EXPECT_TRUE(SkinOf(spin)->GetState() & CSkinnedControl::kHot) << which;
        HoverAway();
        EXPECT_FALSE(SkinOf(spin)->GetState() & CSkinnedControl::kHot) << which;
        // Focus lights a spin too, and it lends that look on the same way.
        SetFocus(spin);
        SetFocus(nullptr);
    }
}

// WM_PARENTNOTIFY names any window it likes: only a direct child of the dialog,
// on this thread, is skinned.
TEST_F(ManagerTest, ForgedCreationNoticesSkinNothingButTheDialogsOwnChildren) {
    ASSERT_NE(OpenDialog(), nullptr);
    const HWND holder = CreateWindowExA(WS_EX_NOPARENTNOTIFY, "Static", "", WS_CHILD, 0, 0, 90, 90,
                                        dialog_, nullptr, nullptr, nullptr);
    const HWND grandchild = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "", WS_CHILD, 0, 0, 50, 50,
                                            holder, nullptr, nullptr, nullptr);
    const HWND stranger = host_->Add("ListBox", 0, WS_EX_CLIENTEDGE, 0, 0, 50, 50);
    const HWND own = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, "ListBox", "",
                                     WS_CHILD, 100, 0, 50, 50, dialog_, nullptr, nullptr, nullptr);
    // A list box of another thread, alive until the test is done with it.
    std::atomic<HWND> foreign{nullptr};
    std::atomic<bool> release{false};
    std::thread other([&] {
        const HWND w = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "", WS_POPUP, 0, 0, 50, 50,
                                       nullptr, nullptr, nullptr, nullptr);
        foreign = w;
        while (!release) Sleep(2);
        DestroyWindow(w);
    });
    while (foreign.load() == nullptr) Sleep(2);
    const struct {
        const char* what;
        HWND named;
        bool skinned;
    } notices[] = {
        {"a grandchild", grandchild, false},
        {"a window outside the dialog", stranger, false},
        {"another thread's window", foreign.load(), false},
        {"no window at all", reinterpret_cast<HWND>(0x1234), false},
        {"the dialog's own new child", own, true},
    };
    for (const auto& notice : notices) {
        SendMessageA(dialog_, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 0),
                     reinterpret_cast<LPARAM>(notice.named));
        EXPECT_EQ(SkinOf(notice.named) != nullptr, notice.skinned) << notice.what;
    }
    EXPECT_FALSE(manager_.AddControl(foreign.load())) << "another thread's window";
    release = true;
    other.join();
}

// A simple combo box's edit paints in its parent's DC; without a parent there
// is nothing to paint in, and never the screen.
TEST_F(ManagerTest, AComboEditWithoutParentPaintsNowhere) {
    const HWND lone =
        CreateWindowExA(0, "Edit", "", WS_POPUP, 0, 0, 60, 20, nullptr, nullptr, nullptr, nullptr);
    CSkinnedComboEdit edit;
    edit.window = lone;
    WindowDc dc;
    RECT rect{};
    edit.GetBorderDC(dc, rect);
    EXPECT_FALSE(dc) << "a DC for the desktop";
    edit.DrawBorder();  // paints nothing, and does not fail
    DestroyWindow(lone);
}

// Dragged columns: the hot item and the empty area follow the display order.
TEST_F(ManagerTest, AHeaderWithReorderedColumnsRaisesTheItemUnderTheMouseOnce) {
    const DistinctSysColors colours;
    const HWND header = host_->Add(WC_HEADERA, HDS_BUTTONS, 0, 10, 100, 300, 24);
    const int widths[] = {40, 60, 80};
    for (int i = 0; i < 3; ++i) {
        HDITEMA item{};
        item.mask = HDI_WIDTH;
        item.cxy = widths[i];
        SendMessageA(header, HDM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    int order[] = {2, 0, 1};  // shown: item 2 (0-80), item 0 (80-120), item 1 (120-180)
    SendMessageA(header, HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
    ASSERT_TRUE(manager_.AddControl(header));
    auto* skinned = static_cast<CSkinnedHeader*>(SkinOf(header));
    const struct { int x, item; } hovers[] = {{20, 2}, {100, 0}, {150, 1}, {250, -1}};
    for (const auto& h : hovers) {
        HoverOver(header, h.x, 12);
        EXPECT_EQ(skinned->hotItem, h.item) << "at x " << h.x;
        POINT cursor{};
        GetCursorPos(&cursor);
        EXPECT_FALSE(skinned->NeedsHotUpdate(cursor)) << "repainted on every tick at x " << h.x;
    }
    // The empty area starts at the rightmost item's right edge.
    EXPECT_EQ(CheckPixels(header, {{180, 12, Sys::HIGHLIGHT}}), "");
}

}  // namespace

// The test program offers the export a system-wide hook is looked up by, under
// its plain name. Never called: the hook calls below set nothing.
extern "C" LRESULT CALLBACK SKM_CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
#if defined(__i386__)
// 32-bit stdcall names carry their argument bytes; the export drops them.
__asm__(".section .drectve\n.ascii \" -export:SKM_CallWndProc=SKM_CallWndProc@12\"\n.text");
#else
__asm__(".section .drectve\n.ascii \" -export:SKM_CallWndProc\"\n.text");
#endif

namespace {

// Hook calls that fail the calls named in `failing` (bit n-1 for the n-th),
// hand out handle n for the n-th otherwise, and record every release.
struct ScriptedHooks {
    static unsigned failing;
    static int sets;
    static std::vector<int> released;

    static HHOOK Handle(int n) { return reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x100 + n)); }
    static HHOOK WINAPI Set(int, HOOKPROC, HINSTANCE, DWORD) {
        ++sets;
        return (failing >> (sets - 1) & 1u) != 0 ? nullptr : Handle(sets);
    }
    static BOOL WINAPI Unhook(HHOOK hook) {
        released.push_back(static_cast<int>(reinterpret_cast<UINT_PTR>(hook) - 0x100));
        return TRUE;
    }
};
unsigned ScriptedHooks::failing = 0;
int ScriptedHooks::sets = 0;
std::vector<int> ScriptedHooks::released;

// The scripted calls for one scope; whatever they handed out goes before the
// real calls come back, so no made-up handle ever reaches the system.
class ScriptedScope {
public:
    explicit ScriptedScope(unsigned failing) {
        ScriptedHooks::failing = failing;
        ScriptedHooks::sets = 0;
        ScriptedHooks::released.clear();
        real_ = CSkinManager::ReplaceHookCalls({&ScriptedHooks::Set, &ScriptedHooks::Unhook});
    }
    ~ScriptedScope() {
        CSkinManager::GetManager()->RemoveAll();
        CSkinManager::ReplaceHookCalls(real_);
    }
    ScriptedScope(const ScriptedScope&) = delete;
    ScriptedScope& operator=(const ScriptedScope&) = delete;

private:
    CSkinManager::HookCalls real_{};
};

TEST(HookCalls, AFailedHookIsRetriedAndEveryHandleIsReleasedExactlyOnce) {
    CSkinManager& manager = *CSkinManager::GetManager();
    ASSERT_EQ(manager.HookedThreads(), 0u) << "an earlier test left a hook behind";
    ASSERT_EQ(manager.GlobalHook(), nullptr);
    enum class End { Uninstall, RemoveAll };
    const struct {
        const char* what;
        bool global;
        unsigned failing;  // bit n-1: the n-th of the two calls fails
        int sets;          // calls that reached SetWindowsHookEx
        int held;          // handle held after both calls, 0 for none
        std::vector<int> releasedBetween, releasedAtEnd;
        End end;
    } rows[] = {
        {"thread, first call fails", false, 0b01, 2, 2, {}, {2}, End::Uninstall},
        {"thread, both calls fail", false, 0b11, 2, 0, {}, {}, End::RemoveAll},
        {"thread, hooked once only", false, 0b00, 1, 1, {}, {1}, End::RemoveAll},
        {"global, second replaces first", true, 0b00, 2, 2, {1}, {1, 2}, End::RemoveAll},
        {"global, first call fails", true, 0b01, 2, 2, {}, {2}, End::RemoveAll},
        {"global, second call fails", true, 0b10, 2, 0, {1}, {1}, End::RemoveAll},
    };
    const DWORD self = GetCurrentThreadId();
    const HINSTANCE module = GetModuleHandleA(nullptr);
    for (const auto& row : rows) {
        const ScriptedScope scope(row.failing);
        for (int call = 0; call < 2; ++call) {
            if (row.global) {
                manager.InstallGlobalHook(module, TRUE);
            } else {
                manager.InstallHook(static_cast<DWORD>(-1), TRUE);
            }
        }
        const HHOOK held = row.held != 0 ? ScriptedHooks::Handle(row.held) : nullptr;
        EXPECT_EQ(ScriptedHooks::sets, row.sets) << row.what;
        EXPECT_EQ(manager.IsHooked(self), !row.global && held != nullptr) << row.what;
        EXPECT_EQ(manager.GlobalHook(), row.global ? held : nullptr) << row.what;
        EXPECT_EQ(ScriptedHooks::released, row.releasedBetween) << row.what;
        if (row.end == End::Uninstall) {
            manager.UninstallHook(static_cast<DWORD>(-1));
        } else {
            manager.RemoveAll();
        }
        EXPECT_EQ(ScriptedHooks::released, row.releasedAtEnd) << row.what;
        EXPECT_FALSE(manager.IsHooked(self)) << row.what;
        EXPECT_EQ(manager.GlobalHook(), nullptr) << row.what;
    }
}

}  // namespace
