// The real main dialog under Wine: its 25 items against the template table,
// creation before initialisation, the options, bars, icons, focus and the ways
// the modal run ends.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "cpu/tsc_stopwatch.h"
#include "res/resource.h"
#include "tests/app/app_fixture.h"
#include "tests/app/dialog_checks.h"
#include "tests/cpu/fake_cpuid.h"
#include "tests/framework/modal_script.h"

namespace {

struct TemplateItem {
    const char* className;
    int id;
    const char* text;  // nullptr: replaced at initialisation, checked separately
    int x, y, w, h;
    DWORD kindMask;
    DWORD kind;
    DWORD groupAndTab;  // WS_GROUP / WS_TABSTOP as the template has them
    DWORD exStyle;      // of WS_EX_STATICEDGE and WS_EX_DLGMODALFRAME
};

constexpr DWORD kButtonKind = BS_TYPEMASK;
constexpr DWORD kStaticKind = SS_TYPEMASK;
constexpr DWORD kBarKind = PBS_SMOOTH | PBS_VERTICAL;

const TemplateItem kMainItems[25] = {
    {"Button", -1, "Test Info", 4, 81, 216, 96, kButtonKind, BS_GROUPBOX, 0, WS_EX_DLGMODALFRAME},
    {"Static", -1, "CPU:", 10, 92, 18, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"Static", 1000, nullptr, 88, 92, 124, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"Button", 1, "E&xit", 116, 31, 64, 13, kButtonKind, BS_PUSHBUTTON, WS_TABSTOP, 0},
    {"Button", 1006, "Use MMX instructions", 10, 18, 85, 10, kButtonKind, BS_AUTOCHECKBOX,
     WS_TABSTOP, 0},
    {"Button", 1007, "Use SSE instructions", 10, 30, 82, 10, kButtonKind, BS_AUTOCHECKBOX,
     WS_TABSTOP, 0},
    {"Button", 1008, "&Start Test", 115, 12, 64, 14, kButtonKind, BS_PUSHBUTTON, WS_TABSTOP,
     WS_EX_STATICEDGE},
    {"Static", -1, "Fibonacci test:", 10, 122, 47, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"Static", -1, "Calculating PI:", 10, 142, 46, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"msctls_progress32", 1010, "", 88, 143, 124, 6, kBarKind, PBS_SMOOTH, 0, WS_EX_STATICEDGE},
    {"msctls_progress32", 1011, "", 88, 123, 124, 6, kBarKind, PBS_SMOOTH, 0, WS_EX_STATICEDGE},
    {"Static", -1, "Complex Matrix:", 10, 112, 50, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"msctls_progress32", 1012, "", 88, 134, 124, 6, kBarKind, PBS_SMOOTH, 0, WS_EX_STATICEDGE},
    {"Static", -1, "Chipset <-> Memory:", 10, 152, 65, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"msctls_progress32", 1013, "", 88, 153, 124, 6, kBarKind, PBS_SMOOTH, 0, WS_EX_STATICEDGE},
    {"Button", -1, "Options", 4, 8, 100, 35, kButtonKind, BS_GROUPBOX, 0, 0},
    {"Button", -1, "Errors:", 3, 47, 217, 32, kButtonKind, BS_GROUPBOX, 0, 0},
    {"Static", 1016, nullptr, 10, 60, 166, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"Static", 1001, nullptr, 88, 102, 124, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"Static", -1, "Raw Clock Frequency:", 10, 102, 73, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"Static", -1, "Prime test:", 10, 132, 34, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"msctls_progress32", 1014, "", 88, 113, 124, 6, kBarKind, PBS_SMOOTH, 0, WS_EX_STATICEDGE},
    {"Static", -1, "CPU <-> Chipset:", 10, 162, 55, 8, kStaticKind, SS_LEFT, WS_GROUP, 0},
    {"msctls_progress32", 1015, "", 88, 163, 124, 6, kBarKind, PBS_SMOOTH, 0, WS_EX_STATICEDGE},
    {"Static", -1, nullptr, 191, 13, 21, 20, kStaticKind, SS_ICON, 0, 0},
};

// Records the order in which creation and initialisation reach the dialog.
class ObservedMainDialog : public CMainDialog {
public:
    using CMainDialog::CMainDialog;
    std::vector<std::string> events;

protected:
    int OnCreate(CREATESTRUCTA* create) override {
        events.push_back(GetWindow(m_hWnd, GW_CHILD) == nullptr ? "create" : "create late");
        const int result = CMainDialog::OnCreate(create);
        events.push_back("named:" + m_cpuName);
        return result;
    }
    BOOL OnInitDialog() override {
        events.push_back("init");
        return CMainDialog::OnInitDialog();
    }
};

void CheckItems(HWND dialog) {
    const std::vector<HWND> items = ChildrenInOrder(dialog);
    ASSERT_EQ(items.size(), 25u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TemplateItem& want = kMainItems[i];
        const HWND item = items[i];
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_STRCASEEQ(ClassOf(item).c_str(), want.className);
        EXPECT_EQ(static_cast<int>(GetWindowLongPtrA(item, GWLP_ID)), want.id);
        if (want.text != nullptr) {
            EXPECT_EQ(WindowText(item), want.text);
        }
        const DWORD style = static_cast<DWORD>(GetWindowLongA(item, GWL_STYLE));
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(style & want.kindMask, want.kind);
        EXPECT_EQ(style & (WS_GROUP | WS_TABSTOP), want.groupAndTab);
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(item, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME), want.exStyle);
        const RECT expected = DialogUnits(dialog, want.x, want.y, want.w, want.h);
        const RECT actual = ClientRectOf(dialog, item);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        // An icon static sizes itself to its icon.
        if (i != 24) {
            EXPECT_EQ(actual.right, expected.right);
            EXPECT_EQ(actual.bottom, expected.bottom);
        }
    }
}

void CheckDialogWindow(HWND dialog) {
    EXPECT_EQ(WindowText(dialog), "Quarrion BETA v.92");
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT size = DialogUnits(dialog, 0, 0, 225, 183);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
}

void CheckSystemMenu(HWND dialog) {
    const HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_TRUE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    char text[64] = {};
    GetMenuStringA(menu, count - 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Quarrion...");
}

void CheckBarRanges(HWND dialog) {
    const struct {
        int id;
        int upper;
    } bars[] = {{IDC_BAR_COMPLEX_MATRIX, 90},
                {IDC_BAR_CHIPSET_MEMORY, 50},
                {IDC_BAR_CPU_CHIPSET, 45},
                {IDC_BAR_FIBONACCI, 60},
                {IDC_BAR_PI, 75},
                {IDC_BAR_PRIME, 70}};
    for (const auto& bar : bars) {
        PBRANGE range{};
        SendDlgItemMessageA(dialog, bar.id, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, 1) << bar.id;
        EXPECT_EQ(range.iHigh, bar.upper) << bar.id;
    }
}

void CheckOption(HWND dialog, int id, bool unitPresent) {
    SCOPED_TRACE("option " + std::to_string(id));
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE, unitPresent);
    EXPECT_EQ(IsDlgButtonChecked(dialog, id), unitPresent ? BST_CHECKED : BST_UNCHECKED);
}

class MainDialogTest : public AppFixture {};

struct TemplateTexts {
    std::string cpu, error, clock;
};

INT_PTR CALLBACK ReadTemplateTexts(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    if (msg != WM_INITDIALOG) return FALSE;
    auto* texts = reinterpret_cast<TemplateTexts*>(lp);
    texts->cpu = WindowText(GetDlgItem(hwnd, IDC_CPU_NAME));
    texts->error = WindowText(GetDlgItem(hwnd, IDC_ERROR_TEXT));
    texts->clock = WindowText(GetDlgItem(hwnd, IDC_CLOCK_TEXT));
    EndDialog(hwnd, IDOK);
    return TRUE;
}

// The texts that data exchange replaces, as the template itself has them.
TEST_F(MainDialogTest, TemplateHoldsTheTextsThatInitialisationReplaces) {
    TemplateTexts texts;
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_QUARRION_DIALOG),
                              nullptr, ReadTemplateTexts, reinterpret_cast<LPARAM>(&texts)),
              IDOK);
    EXPECT_EQ(texts.cpu, "Not Detected!");
    EXPECT_EQ(texts.error, "No error(s) detected yet!");
    EXPECT_EQ(texts.clock, "Not Detected!");
}

TEST_F(MainDialogTest, ShowsTheTemplateNamesTheProcessorAndInitialisesInOrder) {
    ObservedMainDialog dialog;  // the real one-second clock estimate
    ModalScript script({ModalScript::Do([&] {
        const HWND hwnd = dialog.m_hWnd;
        CheckDialogWindow(hwnd);
        CheckItems(hwnd);
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_CPU_NAME)), "Intel Penitum III");
        EXPECT_TRUE(std::regex_match(WindowText(GetDlgItem(hwnd, IDC_CLOCK_TEXT)),
                                     std::regex("[1-9][0-9]*\\.[0-9][0-9]   MHZ   estimate ")))
            << WindowText(GetDlgItem(hwnd, IDC_CLOCK_TEXT));
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_ERROR_TEXT)), "");
        CheckOption(hwnd, IDC_USE_MMX, true);
        CheckOption(hwnd, IDC_USE_SSE, true);
        EXPECT_TRUE(dialog.m_hasMmx);
        EXPECT_TRUE(dialog.m_hasSse);
        CheckBarRanges(hwnd);
        CheckSystemMenu(hwnd);

        const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(dialog.m_appIcon, icon);
        EXPECT_EQ(SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
        EXPECT_EQ(SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(icon));
        EXPECT_EQ(SendMessageA(hwnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(icon));
        EXPECT_NE(SendMessageA(ChildrenInOrder(hwnd).back(), STM_GETICON, 0, 0), 0);

        EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDOK)) << "focus on E&xit, the first tab stop";
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_ABOVE_NORMAL);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        // Enter on the focused E&xit ends the dialog through OnOK.
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    })});
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDOK);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    const std::vector<std::string> expected{"create", "named:Intel Penitum III", "init"};
    EXPECT_EQ(dialog.events, expected) << "WM_CREATE, before any control, then WM_INITDIALOG";
}

TEST_F(MainDialogTest, ExitEscapeAndCloseEndTheModalRun) {
    for (const WayToEnd& way : kWaysToEnd) {
        SCOPED_TRACE(way.how);
        CMainDialog dialog(nullptr, &NoSleepClock);
        ModalScript script({ModalScript::Do([&] { way.press(dialog.m_hWnd); })});
        EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), way.result);
        EXPECT_FALSE(script.TimedOut());
    }
}

TEST_F(MainDialogTest, OffersOnlyTheUnitsTheProcessorReports) {
    {
        SCOPED_TRACE("no CPUID");
        FakeCpuid none(ProcessorModel{false});
        ScopedActiveCpuid active(none);
        CMainDialog dialog;  // no counter either: the estimate does not sleep
        ModalScript script({ModalScript::Do([&] {
            const HWND hwnd = dialog.m_hWnd;
            CheckOption(hwnd, IDC_USE_MMX, false);
            CheckOption(hwnd, IDC_USE_SSE, false);
            EXPECT_FALSE(dialog.m_hasMmx);
            EXPECT_FALSE(dialog.m_hasSse);
            EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_CPU_NAME)), "")
                << "no name, not the template's";
            EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_CLOCK_TEXT)), "Not Detected!");
            dialog.EndDialog(IDCANCEL);
        })});
        EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
        EXPECT_FALSE(script.TimedOut());
    }
    {
        SCOPED_TRACE("MMX only");
        ProcessorModel model;
        model.signature = 0x543;
        model.standard = (1u << 0) | (1u << 23);
        FakeCpuid mmxOnly(model);
        ScopedActiveCpuid active(mmxOnly);
        CMainDialog dialog;
        ModalScript script({ModalScript::Do([&] {
            const HWND hwnd = dialog.m_hWnd;
            CheckOption(hwnd, IDC_USE_MMX, true);
            CheckOption(hwnd, IDC_USE_SSE, false);
            EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_CPU_NAME)), "Intel Penitum MMX");
            dialog.EndDialog(IDCANCEL);
        })});
        EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
        EXPECT_FALSE(script.TimedOut());
    }
}

}  // namespace
