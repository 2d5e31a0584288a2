// The framework's modal dialog on the real templates: creation order, the
// subclass and its removal, data exchange both ways, OK and Cancel, nesting,
// one object run twice, and a run without the creation hook.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/dialog.h"
#include "res/resource.h"
#include "tests/framework/modal_script.h"

namespace {

std::string ItemText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

// A dialog on the main template that records what reaches its handlers.
class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(IDD_QUARRION_DIALOG) {}

    std::vector<UINT> seen;
    bool childrenAtCreate = true;
    bool failCreate = false;
    bool throwOnTimer = false;
    bool refuseHook = false;
    int timerTicks = 0;

    std::string cpuName = "first text";
    std::string errorText;  // empty on purpose
    CButton exitButton;
    CButton mmxCheck;
    CProgressCtrl prime;

protected:
    void DoDataExchange(CDataExchange& dx) override {
        DDX_Control(dx, IDOK, exitButton);
        DDX_Control(dx, IDC_USE_MMX, mmxCheck);
        DDX_Control(dx, IDC_BAR_PRIME, prime);
        DDX_Text(dx, IDC_CPU_NAME, cpuName);
        DDX_Text(dx, IDC_ERROR_TEXT, errorText);
    }
    int OnCreate(CREATESTRUCTA* create) override {
        seen.push_back(WM_CREATE);
        childrenAtCreate = GetWindow(m_hWnd, GW_CHILD) != nullptr;
        if (failCreate) return -1;
        return CDialog::OnCreate(create);
    }
    BOOL OnInitDialog() override {
        seen.push_back(WM_INITDIALOG);
        return CDialog::OnInitDialog();
    }
    void OnTimer(UINT_PTR id) override {
        ++timerTicks;
        if (throwOnTimer) throw std::runtime_error("handler failure");
        CDialog::OnTimer(id);
    }
    HHOOK HookWindowCreation(HOOKPROC procedure) override {
        return refuseHook ? nullptr : CDialog::HookWindowCreation(procedure);
    }
};

class CancelDialog : public CDialog {
public:
    CancelDialog() : CDialog(IDD_ABOUTBOX) {}
    std::vector<UINT> seen;

protected:
    int OnCreate(CREATESTRUCTA* create) override {
        seen.push_back(WM_CREATE);
        return CDialog::OnCreate(create);
    }
    BOOL OnInitDialog() override {
        seen.push_back(WM_INITDIALOG);
        return CDialog::OnInitDialog();
    }
};

class DialogTest : public testing::Test {
protected:
    void SetUp() override { CWinApp::EnableControlContainer(); }
};

TEST_F(DialogTest, SeesCreateBeforeInitDialogAndUnhooksAfterwards) {
    RecordingDialog dialog;
    HWND during = nullptr;
    ModalScript script({ModalScript::Do([&] {
        during = dialog.m_hWnd;
        dialog.EndDialog(7);
    })});
    const INT_PTR result = script.Run([&] { return dialog.DoModal(); });
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(result, 7);
    ASSERT_GE(dialog.seen.size(), 2u);
    EXPECT_EQ(dialog.seen[0], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(dialog.seen[1], static_cast<UINT>(WM_INITDIALOG));
    EXPECT_FALSE(dialog.childrenAtCreate) << "WM_CREATE comes before the controls exist";
    EXPECT_NE(during, nullptr);
    EXPECT_FALSE(IsWindow(during));
    EXPECT_EQ(dialog.m_hWnd, nullptr) << "detached at WM_NCDESTROY";
}

// The second run must not keep the first window's controls; and a dialog
// whose creation hook cannot be had still appears, created and initialised.
TEST_F(DialogTest, OneObjectRunsTwiceWithAndWithoutTheCreationHook) {
    RecordingDialog dialog;
    for (bool refuseHook : {false, true}) {
        SCOPED_TRACE(refuseHook ? "creation hook refused" : "creation hook installed");
        dialog.refuseHook = refuseHook;
        dialog.seen.clear();
        HWND exitButton = nullptr, attached = nullptr;
        bool visible = false;
        ModalScript script({ModalScript::Do([&] {
            exitButton = GetDlgItem(dialog.m_hWnd, IDOK);
            attached = dialog.exitButton.m_hWnd;
            visible = IsWindowVisible(dialog.m_hWnd);
            SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        })});
        EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
        EXPECT_TRUE(visible);
        EXPECT_EQ(dialog.seen, (std::vector<UINT>{WM_CREATE, WM_INITDIALOG}));
        EXPECT_EQ(attached, exitButton) << "the member holds this window's control";
        EXPECT_EQ(dialog.exitButton.m_hWnd, nullptr) << "detached with its window";
        EXPECT_EQ(dialog.m_hWnd, nullptr);
    }
}

INT_PTR CALLBACK PlainDialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    if (msg != WM_INITDIALOG) return FALSE;
    *reinterpret_cast<bool*>(lp) = GetPropA(hwnd, "Quarrion.CDialog") != nullptr;
    EndDialog(hwnd, 3);
    return TRUE;
}

TEST_F(DialogTest, LeavesNoHookBehindForLaterDialogs) {
    {
        CancelDialog first;
        ModalScript script({ModalScript::Do([&] { first.EndDialog(1); })});
        EXPECT_EQ(script.Run([&] { return first.DoModal(); }), 1);
    }
    bool attached = true;
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), nullptr,
                        PlainDialogProc, reinterpret_cast<LPARAM>(&attached));
    EXPECT_EQ(result, 3);
    EXPECT_FALSE(attached) << "a dialog not run through DoModal must not be subclassed";
}

TEST_F(DialogTest, ExchangesTextsAndAttachesControls) {
    RecordingDialog dialog;
    ModalScript script({
        ModalScript::Do([&] {
            const HWND hwnd = dialog.m_hWnd;
            EXPECT_EQ(ItemText(hwnd, IDC_CPU_NAME), "first text");
            EXPECT_EQ(ItemText(hwnd, IDC_ERROR_TEXT), "") << "empty text replaces the template's";
            EXPECT_EQ(dialog.exitButton.m_hWnd, GetDlgItem(hwnd, IDOK));
            EXPECT_EQ(dialog.mmxCheck.m_hWnd, GetDlgItem(hwnd, IDC_USE_MMX));
            EXPECT_EQ(dialog.prime.m_hWnd, GetDlgItem(hwnd, IDC_BAR_PRIME));

            SetDlgItemTextA(hwnd, IDC_CPU_NAME, "");
            SetDlgItemTextA(hwnd, IDC_ERROR_TEXT, "from the field");
            EXPECT_TRUE(dialog.UpdateData(true));
            EXPECT_EQ(dialog.cpuName, "");
            EXPECT_EQ(dialog.errorText, "from the field");

            dialog.cpuName = "back again";
            EXPECT_TRUE(dialog.UpdateData(false));
            EXPECT_EQ(ItemText(hwnd, IDC_CPU_NAME), "back again");
            const HWND attachedBefore = dialog.mmxCheck.m_hWnd;
            dialog.UpdateData(false);
            EXPECT_EQ(dialog.mmxCheck.m_hWnd, attachedBefore);
        }),
        ModalScript::Do([&] {
            // OK exchanges from the controls before ending with 1.
            SetDlgItemTextA(dialog.m_hWnd, IDC_CPU_NAME, "read at OK");
            SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(dialog.exitButton.m_hWnd));
        }),
    });
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDOK);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(dialog.cpuName, "read at OK");
}

TEST_F(DialogTest, CancelEndsWithTwo) {
    CancelDialog dialog;
    ModalScript script({ModalScript::Do(
        [&] { SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); })});
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
}

TEST_F(DialogTest, FailedCreationEndsTheModalRunAtOnce) {
    RecordingDialog dialog;
    dialog.failCreate = true;
    ModalScript script({});
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), -1);
    EXPECT_EQ(dialog.seen, std::vector<UINT>{WM_CREATE});
}

TEST_F(DialogTest, NestedDialogsAreEachAttached) {
    RecordingDialog outer;
    CancelDialog inner;
    INT_PTR innerResult = 0;
    bool innerOwnedByOuter = false;
    ModalScript script({
        ModalScript::Do([&] { innerResult = inner.DoModal(); }),  // blocks until step 3
        ModalScript::WaitFor([&] { return inner.m_hWnd != nullptr; }),
        ModalScript::Do([&] {
            innerOwnedByOuter = GetWindow(inner.m_hWnd, GW_OWNER) == outer.m_hWnd;
            inner.EndDialog(5);
        }),
        ModalScript::WaitFor([&] { return innerResult == 5; }),
        ModalScript::Do([&] { outer.EndDialog(6); }),
    });
    // Without a parent, the application's main window owns a dialog.
    struct TestApp : CWinApp {
        BOOL InitInstance() override { return FALSE; }
    } app;
    app.m_pMainWnd = &outer;
    EXPECT_EQ(script.Run([&] { return outer.DoModal(); }), 6);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(innerResult, 5);
    EXPECT_TRUE(innerOwnedByOuter);
    EXPECT_EQ(inner.seen, (std::vector<UINT>{WM_CREATE, WM_INITDIALOG}));
}

TEST_F(DialogTest, AnExceptionInAHandlerStaysInsideTheWindowProcedure) {
    RecordingDialog dialog;
    dialog.throwOnTimer = true;
    ModalScript script({
        ModalScript::Do([&] { SetTimer(dialog.m_hWnd, 1, 10, nullptr); }),
        ModalScript::WaitFor([&] { return dialog.timerTicks >= 3; }),
        ModalScript::Do([&] {
            KillTimer(dialog.m_hWnd, 1);
            dialog.EndDialog(9);
        }),
    });
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), 9);
    EXPECT_FALSE(script.TimedOut());
}

}  // namespace
