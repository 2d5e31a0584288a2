// Start-up: InitInstance runs the main dialog modally as the main window and
// answers false; the About box from the system menu; the minimized icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/main_app.h"
#include "app/main_dialog.h"
#include "res/resource.h"
#include "skin/skin_manager.h"
#include "skin/skin_testing.h"
#include "tests/app/app_fixture.h"
#include "tests/app/dialog_checks.h"
#include "tests/framework/modal_script.h"

CMainApp& TestApp() {
    static CMainApp app;
    return app;
}

namespace {

class MainAppTest : public AppFixture {};

TEST_F(MainAppTest, InitInstanceRunsTheMainDialogAsMainWindowAndAnswersFalse) {
    CMainApp& app = TestApp();
    HWND shown = nullptr;
    HWND mainWindow = nullptr;
    ModalScript script({
        ModalScript::WaitFor([&] { return (shown = FindThreadDialog("Quarrion BETA v.92")); }),
        ModalScript::Do([&] {
            ASSERT_NE(app.m_pMainWnd, nullptr);
            mainWindow = app.m_pMainWnd->m_hWnd;
            // Start-up skinned the dialog: its buttons and check boxes, not its bars.
            EXPECT_EQ(SkinTesting::IsDialogSkinned(shown), true);
            for (const int id : {IDOK, IDC_START_STOP, IDC_USE_MMX, IDC_USE_SSE}) {
                EXPECT_NE(Skinning::FindControl(GetDlgItem(shown, id)), nullptr) << id;
            }
            EXPECT_EQ(Skinning::FindControl(GetDlgItem(shown, IDC_BAR_PI)), nullptr);
            EXPECT_EQ(Skinning::FindControl(GetDlgItem(shown, IDC_CPU_NAME)), nullptr);
            SendMessageA(GetDlgItem(shown, IDOK), BM_CLICK, 0, 0);
        }),
    });
    EXPECT_FALSE(script.Run([&] { return app.InitInstance(); }));
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_NE(shown, nullptr);
    EXPECT_EQ(mainWindow, shown);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_TRUE(SkinTesting::ControlCount() == 0)
        << "every skinned control left with its window";
    EXPECT_TRUE(SkinTesting::DialogCount() == 0);
}

struct AboutItem {
    const char* className;
    int id;
    const char* text;  // nullptr: the icon, or a line of our own (checked for one line)
    int x, y, w, h;
};

const AboutItem kAboutItems[7] = {
    {"Static", -1, nullptr, 11, 17, 20, 20},
    {"Static", -1, "Quarrion BETA Version 0.92", 40, 10, 119, 8},
    {"Static", -1, nullptr, 40, 19, 134, 8},
    {"Button", 1, "OK", 178, 7, 50, 14},
    {"Static", -1, "Please report all bugs and comments to:", 13, 52, 126, 8},
    {"Static", -1, nullptr, 19, 63, 79, 8},
    {"Static", -1, nullptr, 40, 39, 101, 8},
};

void CheckAboutBox(HWND about, HWND mainDialog) {
    EXPECT_EQ(GetWindow(about, GW_OWNER), mainDialog);
    EXPECT_FALSE(IsWindowEnabled(mainDialog)) << "the main dialog waits while About is open";
    const std::vector<HWND> items = ChildrenInOrder(about);
    ASSERT_EQ(items.size(), 7u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("About item " + std::to_string(i + 1));
        const AboutItem& want = kAboutItems[i];
        EXPECT_STRCASEEQ(ClassOf(items[i]).c_str(), want.className);
        EXPECT_EQ(static_cast<int>(GetWindowLongPtrA(items[i], GWLP_ID)), want.id);
        const std::string text = WindowText(items[i]);
        if (want.text != nullptr) {
            EXPECT_EQ(text, want.text);
        } else if (i == 0) {
            EXPECT_EQ(GetWindowLongA(items[i], GWL_STYLE) & SS_TYPEMASK, SS_ICON);
            EXPECT_NE(SendMessageA(items[i], STM_GETICON, 0, 0), 0);
        } else {
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(text.find('\n'), std::string::npos);
            // One line that fits its box.
            const HDC dc = GetDC(items[i]);
            const HGDIOBJ old = SelectObject(
                dc, reinterpret_cast<HGDIOBJ>(SendMessageA(items[i], WM_GETFONT, 0, 0)));
            SIZE extent{};
            GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            SelectObject(dc, old);
            ReleaseDC(items[i], dc);
            EXPECT_LE(extent.cx, DialogUnits(about, 0, 0, want.w, want.h).right) << text;
        }
        const RECT expected = DialogUnits(about, want.x, want.y, want.w, want.h);
        const RECT actual = ClientRectOf(about, items[i]);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        if (i != 0) {  // the icon sizes itself
            EXPECT_EQ(actual.right, expected.right);
            EXPECT_EQ(actual.bottom, expected.bottom);
        }
    }
    const LONG okStyle = GetWindowLongA(items[3], GWL_STYLE);
    EXPECT_EQ(okStyle & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(okStyle & (WS_GROUP | WS_TABSTOP), WS_GROUP | WS_TABSTOP);
    EXPECT_TRUE(GetWindowLongA(items[1], GWL_STYLE) & SS_NOPREFIX);
    EXPECT_NE(Skinning::FindControl(items[3]), nullptr) << "the About box is skinned too";
    EXPECT_EQ(WindowText(about), "About Quarrion");
}

TEST_F(MainAppTest, SystemCommandsSixteenToThirtyOneOpenTheAboutBox) {
    CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);  // as start-up does
    CMainDialog dialog(nullptr, &NoSleepClock);
    TestApp().m_pMainWnd = &dialog;
    int opened = 0;
    std::vector<ModalScript::Step> steps;
    for (UINT command = IDM_ABOUTBOX; command <= IDM_ABOUTBOX + 15; ++command) {
        // Blocks in the About box's modal loop until a later step closes it.
        steps.push_back(ModalScript::Do(
            [&, command] { SendMessageA(dialog.m_hWnd, WM_SYSCOMMAND, command, 0); }));
        steps.push_back(ModalScript::WaitFor([] { return FindThreadDialog("About Quarrion"); }));
        steps.push_back(ModalScript::Do([&, command] {
            const HWND about = FindThreadDialog("About Quarrion");
            if (command == IDM_ABOUTBOX) CheckAboutBox(about, dialog.m_hWnd);
            ++opened;
            SendMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        }));
        steps.push_back(ModalScript::WaitFor([] { return !FindThreadDialog("About Quarrion"); }));
    }
    // Another system command gets the default processing: SC_CLOSE ends the dialog.
    steps.push_back(ModalScript::Do([&] {
        EXPECT_TRUE(IsWindowEnabled(dialog.m_hWnd));
        PostMessageA(dialog.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    }));
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    TestApp().m_pMainWnd = nullptr;
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(opened, 16);
}

TEST(MinimizedIconOrigin, CentresWithTruncationTowardsZero) {
    EXPECT_EQ(MinimizedIconOrigin(RECT{0, 0, 100, 60}, 32, 32).x, 34);
    EXPECT_EQ(MinimizedIconOrigin(RECT{0, 0, 100, 60}, 32, 32).y, 14);
    EXPECT_EQ(MinimizedIconOrigin(RECT{0, 0, 33, 32}, 32, 32).x, 1);
    EXPECT_EQ(MinimizedIconOrigin(RECT{0, 0, 33, 32}, 32, 32).y, 0);
    // An empty client area: (0 - 32 + 1) / 2 is -15, not -16.
    EXPECT_EQ(MinimizedIconOrigin(RECT{0, 0, 0, 0}, 32, 32).x, -15);
    EXPECT_EQ(MinimizedIconOrigin(RECT{0, 0, 0, 0}, 32, 32).y, -15);
}

std::vector<UINT>* g_sent = nullptr;
HWND g_watched = nullptr;

LRESULT CALLBACK RecordSent(int code, WPARAM wp, LPARAM lp) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && g_sent != nullptr && sent->hwnd == g_watched) {
        g_sent->push_back(sent->message);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

bool Has(const std::vector<UINT>& seen, UINT msg) {
    return std::find(seen.begin(), seen.end(), msg) != seen.end();
}

struct PaintRecord {
    std::vector<UINT> sent;
    COLORREF pinMark = CLR_INVALID;  // the chip's white pin-1 mark, icon pixel (8, 8)
    COLORREF die = CLR_INVALID;      // its yellow die, icon pixel (15, 13)
};

// Repaints the whole dialog now, recording the messages it is sent, and reads
// back where the centred icon would be, through the kind of DC that painting
// gets: under Wine a minimized window paints through its whole window's DC.
void PaintAndLook(HWND dialog, PaintRecord& record) {
    g_sent = &record.sent;
    g_watched = dialog;
    {
        const HookHandle hook(
            SetWindowsHookExA(WH_CALLWNDPROC, RecordSent, nullptr, GetCurrentThreadId()));
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    g_sent = nullptr;
    RECT client{};
    GetClientRect(dialog, &client);
    const POINT at =
        MinimizedIconOrigin(client, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    const HDC dc = IsIconic(dialog) ? GetWindowDC(dialog) : GetDC(dialog);
    record.pinMark = GetPixel(dc, at.x + 8, at.y + 8);
    record.die = GetPixel(dc, at.x + 15, at.y + 13);
    ReleaseDC(dialog, dc);
}

TEST_F(MainAppTest, PaintsTheIconCentredOnlyWhenMinimized) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    PaintRecord normal, iconicStyle;
    std::vector<UINT> minimized;
    ModalScript script({
        ModalScript::Do([&] { PaintAndLook(dialog.m_hWnd, normal); }),
        // A minimized window has no client area to look at, so the full-size
        // window is given the minimized style bit (IsIconic answers true) and its
        // controls are hidden, as they are when it is really minimized.
        ModalScript::Do([&] {
            const std::vector<HWND> children = ChildrenInOrder(dialog.m_hWnd);
            for (HWND child : children) ShowWindow(child, SW_HIDE);
            const LONG style = GetWindowLongA(dialog.m_hWnd, GWL_STYLE);
            SetWindowLongA(dialog.m_hWnd, GWL_STYLE, style | WS_MINIMIZE);
            EXPECT_TRUE(IsIconic(dialog.m_hWnd));
            PaintAndLook(dialog.m_hWnd, iconicStyle);
            SetWindowLongA(dialog.m_hWnd, GWL_STYLE, style);
            for (HWND child : children) ShowWindow(child, SW_SHOW);
        }),
        // Really minimized, a paint request still goes the icon's way.
        ModalScript::Do([&] {
            ShowWindow(dialog.m_hWnd, SW_MINIMIZE);
            EXPECT_TRUE(IsIconic(dialog.m_hWnd));
            g_sent = &minimized;
            g_watched = dialog.m_hWnd;
            {
                const HookHandle hook(
                    SetWindowsHookExA(WH_CALLWNDPROC, RecordSent, nullptr, GetCurrentThreadId()));
                SendMessageA(dialog.m_hWnd, WM_PAINT, 0, 0);
            }
            g_sent = nullptr;
            dialog.EndDialog(IDCANCEL);
        }),
    });
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());

    EXPECT_TRUE(Has(normal.sent, WM_PAINT));
    EXPECT_FALSE(Has(normal.sent, WM_ICONERASEBKGND)) << "default painting when not minimized";
    EXPECT_NE(normal.die, RGB(255, 255, 0));

    EXPECT_TRUE(Has(iconicStyle.sent, WM_PAINT));
    EXPECT_TRUE(Has(iconicStyle.sent, WM_ICONERASEBKGND));
    EXPECT_EQ(iconicStyle.pinMark, RGB(255, 255, 255)) << "the icon is drawn centred";
    EXPECT_EQ(iconicStyle.die, RGB(255, 255, 0));

    EXPECT_TRUE(Has(minimized, WM_ICONERASEBKGND));
}

}  // namespace
