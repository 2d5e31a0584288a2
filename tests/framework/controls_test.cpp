// The thin control wrappers and the application object's services, on real
// controls of the main template.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

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

TEST(Controls, WrappersDriveTheirControls) {
    CWinApp::EnableControlContainer();
    Plain dialog;
    ModalScript script({ModalScript::Do([&] {
        CButton check;
        check.m_hWnd = dialog.GetDlgItem(IDC_USE_SSE);
        EXPECT_EQ(check.GetCheck(), BST_UNCHECKED);
        check.SetCheck(BST_CHECKED);
        EXPECT_EQ(check.GetCheck(), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, IDC_USE_SSE), BST_CHECKED);
        check.EnableWindow(FALSE);
        EXPECT_FALSE(IsWindowEnabled(check.m_hWnd));
        EXPECT_FALSE(check.IsWindowEnabled());
        check.EnableWindow(TRUE);
        EXPECT_TRUE(check.IsWindowEnabled());

        CButton button;
        button.m_hWnd = dialog.GetDlgItem(IDC_START_STOP);
        EXPECT_EQ(button.GetWindowText(), "&Start Test");
        button.SetWindowText("");
        EXPECT_EQ(button.GetWindowText(), "");
        button.SetWindowText("&Stop");
        EXPECT_EQ(button.GetWindowText(), "&Stop");

        CProgressCtrl bar;
        bar.m_hWnd = dialog.GetDlgItem(IDC_BAR_PI);
        bar.SetRange(1, 25);
        PBRANGE range{};
        bar.SendMessage(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, 1);
        EXPECT_EQ(range.iHigh, 25);
        bar.SetPos(1);
        EXPECT_EQ(bar.StepIt(), 1) << "StepIt answers the previous position";
        EXPECT_EQ(bar.GetPos(), 11);
        bar.StepIt();
        EXPECT_EQ(bar.GetPos(), 21);
        bar.StepIt();  // passes 25: wraps to the lower bound and steps on
        EXPECT_LT(bar.GetPos(), 21);
        EXPECT_EQ(bar.SetStep(3), 10) << "the default step is 10";
        const int before = bar.GetPos();
        EXPECT_EQ(bar.SetPos(0), before);
        EXPECT_EQ(bar.GetPos(), 1) << "positions clamp to the range";
        dialog.EndDialog(1);
    })});
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), 1);
    EXPECT_FALSE(script.TimedOut());
}

}  // namespace
