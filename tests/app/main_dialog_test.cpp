// The real main dialog under Wine: what the program relies on in its template
// (the kinds of the controls it drives, layout, tab order, fields wide enough),
// creation before initialisation, the options, bars, icons, focus and the ways
// the modal run ends.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
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

// What the program relies on in its template, rather than a second copy of it:
// the controls it addresses by ID are of the kind it drives.
const struct {
    int id;
    const char* className;
    DWORD kindMask;
    DWORD kind;
} kAddressedControls[] = {
    {IDOK, "Button", BS_TYPEMASK, BS_PUSHBUTTON},
    {IDC_START_STOP, "Button", BS_TYPEMASK, BS_PUSHBUTTON},
    {IDC_USE_MMX, "Button", BS_TYPEMASK, BS_AUTOCHECKBOX},
    {IDC_USE_SSE, "Button", BS_TYPEMASK, BS_AUTOCHECKBOX},
    {IDC_CPU_NAME, "Static", SS_TYPEMASK, SS_LEFT},
    {IDC_CLOCK_TEXT, "Static", SS_TYPEMASK, SS_LEFT},
    {IDC_ERROR_TEXT, "Static", SS_TYPEMASK, SS_LEFT},
    {IDC_BAR_COMPLEX_MATRIX, "msctls_progress32", PBS_VERTICAL, 0},
    {IDC_BAR_FIBONACCI, "msctls_progress32", PBS_VERTICAL, 0},
    {IDC_BAR_PRIME, "msctls_progress32", PBS_VERTICAL, 0},
    {IDC_BAR_PI, "msctls_progress32", PBS_VERTICAL, 0},
    {IDC_BAR_CHIPSET_MEMORY, "msctls_progress32", PBS_VERTICAL, 0},
    {IDC_BAR_CPU_CHIPSET, "msctls_progress32", PBS_VERTICAL, 0},
};

// Each bar beside the label that names it, listed from top to bottom.
const struct {
    const char* label;
    int bar;
} kBarsTopToBottom[] = {
    {"Complex Matrix:", IDC_BAR_COMPLEX_MATRIX},
    {"Fibonacci test:", IDC_BAR_FIBONACCI},
    {"Prime test:", IDC_BAR_PRIME},
    {"Calculating PI:", IDC_BAR_PI},
    {"Chipset <-> Memory:", IDC_BAR_CHIPSET_MEMORY},
    {"CPU <-> Chipset:", IDC_BAR_CPU_CHIPSET},
};

// Each field the program writes must show its longest text whole.
const struct {
    int id;
    const char* longest;
} kWrittenFields[] = {
    {IDC_CPU_NAME, "Intel Penitum MMX"},
    {IDC_CLOCK_TEXT, "99999.99   MHZ   estimate "},
    {IDC_ERROR_TEXT, "No Error(s) detected yet!"},
    {IDC_ERROR_TEXT, " Error in Complex Math"},
};

HWND ChildByText(HWND dialog, const std::string& text) {
    for (HWND child : ChildrenInOrder(dialog))
        if (WindowText(child) == text) return child;
    return nullptr;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

void CheckAddressedControls(HWND dialog) {
    for (const auto& want : kAddressedControls) {
        SCOPED_TRACE("control " + std::to_string(want.id));
        const HWND item = GetDlgItem(dialog, want.id);
        ASSERT_NE(item, nullptr);
        EXPECT_STRCASEEQ(ClassOf(item).c_str(), want.className);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(item, GWL_STYLE));
        EXPECT_EQ(style & want.kindMask, want.kind);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    }
    // The four controls a user operates are reached by Tab, E&xit first.
    std::vector<HWND> tabStops;
    for (HWND child : ChildrenInOrder(dialog))
        if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) tabStops.push_back(child);
    const std::vector<HWND> operated{GetDlgItem(dialog, IDOK), GetDlgItem(dialog, IDC_USE_MMX),
                                     GetDlgItem(dialog, IDC_USE_SSE),
                                     GetDlgItem(dialog, IDC_START_STOP)};
    EXPECT_EQ(tabStops, operated);
}

void CheckLayout(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    const std::vector<HWND> items = ChildrenInOrder(dialog);
    std::vector<HWND> placed;  // everything but the group boxes
    for (HWND item : items) {
        SCOPED_TRACE("item \"" + WindowText(item) + "\"");
        EXPECT_TRUE(Inside(ClientRectOf(dialog, item), client)) << "inside the dialog";
        const bool groupBox = (GetWindowLongA(item, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
                              ClassOf(item) == "Button";
        if (!groupBox) placed.push_back(item);
    }
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (std::size_t j = i + 1; j < placed.size(); ++j) {
            RECT a = ClientRectOf(dialog, placed[i]), b = ClientRectOf(dialog, placed[j]), both{};
            EXPECT_FALSE(IntersectRect(&both, &a, &b))
                << "\"" << WindowText(placed[i]) << "\" overlaps \"" << WindowText(placed[j])
                << "\" (" << GetDlgCtrlID(placed[i]) << ", " << GetDlgCtrlID(placed[j]) << ")";
        }
    }
    // Each group holds its controls.
    const struct {
        const char* group;
        std::vector<int> members;
    } groups[] = {
        {"Options", {IDC_USE_MMX, IDC_USE_SSE}},
        {"Errors:", {IDC_ERROR_TEXT}},
        {"Test Info",
         {IDC_CPU_NAME, IDC_CLOCK_TEXT, IDC_BAR_COMPLEX_MATRIX, IDC_BAR_FIBONACCI, IDC_BAR_PRIME,
          IDC_BAR_PI, IDC_BAR_CHIPSET_MEMORY, IDC_BAR_CPU_CHIPSET}},
    };
    for (const auto& g : groups) {
        const HWND box = ChildByText(dialog, g.group);
        ASSERT_NE(box, nullptr) << g.group;
        for (int id : g.members) {
            EXPECT_TRUE(
                Inside(ClientRectOf(dialog, GetDlgItem(dialog, id)), ClientRectOf(dialog, box)))
                << id << " inside \"" << g.group << "\"";
        }
    }
    // Each bar is on its label's row, to its right, and the rows go down the list.
    LONG previousTop = -1;
    for (const auto& row : kBarsTopToBottom) {
        SCOPED_TRACE(row.label);
        const HWND label = ChildByText(dialog, row.label);
        ASSERT_NE(label, nullptr);
        const RECT l = ClientRectOf(dialog, label),
                   b = ClientRectOf(dialog, GetDlgItem(dialog, row.bar));
        const LONG barMiddle = (b.top + b.bottom) / 2;
        EXPECT_TRUE(barMiddle >= l.top && barMiddle <= l.bottom) << "on the label's row";
        EXPECT_GE(b.left, l.right) << "right of the label";
        EXPECT_GT(b.top, previousTop) << "below the bar before";
        previousTop = b.top;
    }
}

// Measured with the dialog's own font, as the static draws it.
void CheckFieldsFitTheirTexts(HWND dialog) {
    const HDC dc = GetDC(dialog);
    ASSERT_NE(dc, nullptr);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    for (const auto& field : kWrittenFields) {
        SIZE text{};
        GetTextExtentPoint32A(dc, field.longest, static_cast<int>(std::strlen(field.longest)),
                              &text);
        RECT r{};
        GetClientRect(GetDlgItem(dialog, field.id), &r);
        EXPECT_LE(text.cx, r.right) << "\"" << field.longest << "\" in field " << field.id;
    }
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
}

// Alt with a letter must reach one control only.
void CheckMnemonicsAreUnique(HWND dialog) {
    std::string seen;
    for (HWND child : ChildrenInOrder(dialog)) {
        const std::string text = WindowText(child);
        const std::size_t amp = text.find('&');
        if (amp == std::string::npos || amp + 1 >= text.size()) continue;
        const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(text[amp + 1])));
        EXPECT_EQ(seen.find(key), std::string::npos) << "'" << key << "' twice";
        seen.push_back(key);
    }
}

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

void CheckDialogWindow(HWND dialog) {
    EXPECT_EQ(WindowText(dialog), "Quarrion BETA v.92");
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
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
        CheckAddressedControls(hwnd);
        CheckLayout(hwnd);
        CheckFieldsFitTheirTexts(hwnd);
        CheckMnemonicsAreUnique(hwnd);
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
