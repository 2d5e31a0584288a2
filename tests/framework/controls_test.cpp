// The thin control wrappers and the application object's services, on real
// controls of the main template.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/dialog.h"
#include "res/resource.h"
#include "tests/framework/modal_script.h"

namespace {

struct TestApp : CWinApp {
    BOOL InitInstance() override { return FALSE; }
};

TEST(Application, IsTheOneInstanceAndLoadsTheIcon) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        TestApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(app.m_hInstance, GetModuleHandleA(nullptr));
        EXPECT_NE(app.LoadIcon(IDR_MAINFRAME), nullptr);
        EXPECT_EQ(app.LoadIcon(4242), nullptr);
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST(Application, ControlContainerRegistersTheProgressBarClass) {
    CWinApp::EnableControlContainer();
    WNDCLASSEXA info{};
    info.cbSize = sizeof(info);
    EXPECT_TRUE(GetClassInfoExA(nullptr, PROGRESS_CLASSA, &info));
}

class Plain : public CDialog {
public:
    Plain() : CDialog(IDD_QUARRION_DIALOG) {}
};

// What a wrapper sent, seen by a thread hook before the control answers.
struct Sent {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Sent& o) const {
        return message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};
std::ostream& operator<<(std::ostream& out, const Sent& s) {
    return out << "message 0x" << std::hex << s.message << " (" << s.wParam << ", " << s.lParam
               << ")";
}

HWND g_watched = nullptr;
std::vector<Sent>* g_sent = nullptr;

LRESULT CALLBACK RecordSent(int code, WPARAM wp, LPARAM lp) {
    const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lp);
    // Only the controls' own messages: a control repaints itself as it likes.
    const bool controlMessage =
        cwp->message >= WM_USER || (cwp->message >= BM_GETCHECK && cwp->message <= BM_SETIMAGE);
    if (code == HC_ACTION && g_sent != nullptr && cwp->hwnd == g_watched && controlMessage)
        g_sent->push_back({cwp->message, cwp->wParam, cwp->lParam});
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The wrappers are single messages: each call sends exactly its message with
// its arguments packed as the control expects, and hands back the answer.
TEST(Controls, EachWrapperSendsItsOneMessage) {
    CWinApp::EnableControlContainer();
    Plain dialog;
    const struct Case {
        const char* what;
        int control;
        std::function<LRESULT(HWND)> call;
        Sent expected;
    } cases[] = {
        {"SetRange",
         IDC_BAR_PI,
         [](HWND h) {
             CProgressCtrl bar;
             bar.m_hWnd = h;
             bar.SetRange(1, 75);
             return LRESULT{0};
         },
         {PBM_SETRANGE, 0, MAKELPARAM(1, 75)}},
        {"SetPos",
         IDC_BAR_PI,
         [](HWND h) {
             CProgressCtrl bar;
             bar.m_hWnd = h;
             return static_cast<LRESULT>(bar.SetPos(33));
         },
         {PBM_SETPOS, 33, 0}},
        {"GetPos",
         IDC_BAR_PI,
         [](HWND h) {
             CProgressCtrl bar;
             bar.m_hWnd = h;
             return static_cast<LRESULT>(bar.GetPos());
         },
         {PBM_GETPOS, 0, 0}},
        {"SetStep",
         IDC_BAR_PI,
         [](HWND h) {
             CProgressCtrl bar;
             bar.m_hWnd = h;
             return static_cast<LRESULT>(bar.SetStep(3));
         },
         {PBM_SETSTEP, 3, 0}},
        {"StepIt",
         IDC_BAR_PI,
         [](HWND h) {
             CProgressCtrl bar;
             bar.m_hWnd = h;
             return static_cast<LRESULT>(bar.StepIt());
         },
         {PBM_STEPIT, 0, 0}},
        {"GetCheck",
         IDC_USE_SSE,
         [](HWND h) {
             CButton box;
             box.m_hWnd = h;
             return static_cast<LRESULT>(box.GetCheck());
         },
         {BM_GETCHECK, 0, 0}},
        {"SetCheck",
         IDC_USE_SSE,
         [](HWND h) {
             CButton box;
             box.m_hWnd = h;
             box.SetCheck(BST_CHECKED);
             return LRESULT{0};
         },
         {BM_SETCHECK, BST_CHECKED, 0}},
    };
    ModalScript script({ModalScript::Do([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const HWND control = dialog.GetDlgItem(c.control);
            std::vector<Sent> sent;
            g_watched = control;
            g_sent = &sent;
            LRESULT answer = 0;
            {
                const HookHandle hook(
                    SetWindowsHookExA(WH_CALLWNDPROC, RecordSent, nullptr, GetCurrentThreadId()));
                answer = c.call(control);
            }
            g_sent = nullptr;
            EXPECT_EQ(sent, std::vector<Sent>{c.expected});
            // A getter hands back what the control answers to the same message.
            if (c.expected.message == PBM_GETPOS || c.expected.message == BM_GETCHECK) {
                EXPECT_EQ(answer, SendMessageA(control, c.expected.message, 0, 0));
            }
        }
        dialog.EndDialog(1);
    })});
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), 1);
    EXPECT_FALSE(script.TimedOut());
}

TEST(Controls, WindowWrappersActOnTheirWindow) {
    CWinApp::EnableControlContainer();
    Plain dialog;
    ModalScript script({ModalScript::Do([&] {
        CButton button;
        button.m_hWnd = dialog.GetDlgItem(IDC_START_STOP);
        EXPECT_EQ(button.GetWindowText(), "&Start Test");
        button.SetWindowText("");
        EXPECT_EQ(button.GetWindowText(), "");
        button.SetWindowText("&Stop");
        EXPECT_EQ(button.GetWindowText(), "&Stop");
        button.EnableWindow(FALSE);
        EXPECT_FALSE(IsWindowEnabled(button.m_hWnd));
        EXPECT_FALSE(button.IsWindowEnabled());
        button.EnableWindow(TRUE);
        EXPECT_TRUE(button.IsWindowEnabled());
        dialog.EndDialog(1);
    })});
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), 1);
    EXPECT_FALSE(script.TimedOut());
}

}  // namespace
