// Every kind fed one scripted sequence of the messages the skinning handles,
// once as a plain control and once skinned: the log of what each answered must
// agree message by message, but for the skinning's deliberate answers.
#include "tests/hardening/control_kinds.h"
#include "tests/hardening/freed_memory.h"
#include "tests/hardening/hardening_support.h"
#include "tests/hardening/message_log.h"

namespace hardening {
namespace {

using MessageSequences = SkinnedThreadTest;

struct Scripted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Logged> RunScript(HWND control, HDC memory) {
    static const char kText[] = "scripted";
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 80, 10, 25, 0};
    const auto text = reinterpret_cast<LPARAM>(kText);
    const auto field = reinterpret_cast<LPARAM>(GetTopWindow(control));
    const Scripted script[] = {
        {WM_SETTEXT, 0, text},
        {WM_GETTEXTLENGTH, 0, 0},
        {WM_SETFOCUS, 0, 0},
        {WM_KILLFOCUS, 0, 0},
        {WM_ENABLE, FALSE, 0},
        {WM_ENABLE, TRUE, 0},
        {WM_PAINT, reinterpret_cast<WPARAM>(memory), 0},
        {WM_NCPAINT, 1, 0},
        {BM_SETCHECK, BST_CHECKED, 0},
        {BM_GETCHECK, 0, 0},
        {BM_SETCHECK, BST_UNCHECKED, 0},
        {SBM_SETRANGEREDRAW, 0, 50},
        {SBM_SETPOS, 20, TRUE},
        {SBM_SETPOS, 30, FALSE},
        {SBM_SETPOS, 0, TRUE},
        {SBM_GETPOS, 0, 0},
        {SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&info)},
        {SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&info)},
        {SBM_GETPOS, 0, 0},
        {WM_LBUTTONUP, 0, -1},
        {WM_COMMAND, MAKEWPARAM(0, EN_SETFOCUS), field},
        {WM_COMMAND, MAKEWPARAM(0, EN_KILLFOCUS), field},
        {WM_GETDLGCODE, 0, 0},
        {WM_SIZE, 0, MAKELPARAM(90, 30)},
        {WM_SETTEXT, 0, reinterpret_cast<LPARAM>("")},
        {WM_GETTEXTLENGTH, 0, 0},
    };
    MessageLog log;
    EXPECT_TRUE(log.Hooked());
    for (const Scripted& s : script) log.Send(control, s.message, s.wParam, s.lParam);
    return log.Entries();
}

TEST_F(MessageSequences, EveryKindAnswersAsThePlainControlDoes) {
    auto& manager = *CSkinManager::GetManager();
    const HDC memory = CreateCompatibleDC(nullptr);
    for (const ControlKind& kind : ControlKinds()) {
        manager.UninstallHook(static_cast<DWORD>(-1));
        const HWND plainDialog = OpenEmptyDialog();
        const HWND plain = CreateKind(plainDialog, kind, 20, 20);
        manager.InstallHook(static_cast<DWORD>(-1), TRUE);
        const HWND skinnedDialog = OpenEmptyDialog();
        const HWND skinned = CreateKind(skinnedDialog, kind, 20, 20);
        ASSERT_NE(plain, nullptr) << kind.name;
        ASSERT_NE(skinned, nullptr) << kind.name;
        // A simple combo box is skinned through its children, every other kind itself.
        const HWND object = std::string(kind.className) == "ComboBox" && (kind.style & 3) == 1
                                ? GetTopWindow(skinned)
                                : skinned;
        EXPECT_EQ(Skinning::FindControl(plain), nullptr) << kind.name;
        EXPECT_NE(Skinning::FindControl(object), nullptr) << kind.name << " is not skinned";

        const std::vector<Logged> plainLog = RunScript(plain, memory);
        const std::vector<Logged> skinnedLog = RunScript(skinned, memory);
        EXPECT_FALSE(plainLog.empty()) << kind.name;
        EXPECT_EQ(CompareAnswers(plainLog, skinnedLog), "") << kind.name;
        DestroyWindow(plainDialog);
        DestroyWindow(skinnedDialog);
        Pump();
    }
    DeleteDC(memory);
}

// A subclasser above the skin that answers the n-th message it gets during the
// test's own calls by destroying the window: every question a painter asks
// its control, and every message the control gets while being painted.
struct Destroyer {
    static inline WNDPROC below = nullptr;
    static inline bool unicode = false;
    static inline bool armed = false;
    static inline int asked = 0, destroyAt = 0;

    static void Attach(HWND window) {
        unicode = IsWindowUnicode(window) != FALSE;
        const auto proc = reinterpret_cast<LONG_PTR>(&Proc);
        below = reinterpret_cast<WNDPROC>(unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, proc)
                                                  : SetWindowLongPtrA(window, GWLP_WNDPROC, proc));
    }
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (armed && ++asked == destroyAt) {
            DestroyWindow(w);
            return 0;
        }
        return unicode ? CallWindowProcW(below, w, m, wp, lp)
                       : CallWindowProcA(below, w, m, wp, lp);
    }
};

// The hover tick onto the control, a frame repaint, the focus and the hover
// tick away: what makes a painter ask its questions. Returns the messages the
// subclasser saw.
int Provoke(HWND window, int destroyAt) {
    Destroyer::asked = 0;
    Destroyer::destroyAt = destroyAt;
    Destroyer::armed = true;
    auto& manager = *CSkinManager::GetManager();
    RECT r{};
    GetWindowRect(window, &r);
    SetCursorPos(r.left + 3, r.top + 3);
    manager.TrackMouse();
    if (IsWindow(window)) SendMessageA(window, WM_NCPAINT, 1, 0);
    if (IsWindow(window)) SendMessageA(window, WM_SETFOCUS, 0, 0);
    SetCursorPos(0, 0);
    manager.TrackMouse();
    Destroyer::armed = false;
    return Destroyer::asked;
}

TEST_F(MessageSequences, AControlDestroyedWhileAnsweringAnyPainterQuestionGoesCleanly) {
    const FreedMemoryWatch watch;
    for (const ControlKind& kind : ControlKinds()) {
        int questions = 1;
        for (int at = 0; at <= questions && at <= 40; ++at) {
            const HWND dialog = OpenEmptyDialog();
            const HWND control = CreateKind(dialog, kind, 20, 20);
            const HWND skinned = std::string(kind.className) == "ComboBox" && (kind.style & 3) == 1
                                     ? GetTopWindow(control)
                                     : control;
            ASSERT_NE(Skinning::FindControl(skinned), nullptr) << kind.name;
            Destroyer::Attach(skinned);
            const int asked = Provoke(skinned, at);
            if (at == 0) questions = asked;  // the first run only counts
            EXPECT_EQ(IsWindow(skinned) == FALSE, at != 0) << kind.name << ", message " << at;
            EXPECT_TRUE(NothingDeadIsKept()) << kind.name << ", message " << at;
            DestroyWindow(dialog);
            Pump();
            EXPECT_EQ(SkinTesting::ControlCount(), 0u) << kind.name << ", message " << at;
            ASSERT_EQ(FreedMemoryWatch::Touches(), 0u)
                << kind.name << ": freed memory touched after message " << at;
        }
    }
    EXPECT_TRUE(FreedMemoryWatch::Complete()) << "some blocks were not watched";
}

// The comparison itself: equal answers agree, and only the listed messages may
// differ, and then only by giving the listed answer.
TEST(MessageAnswers, OnlyTheDeliberateAnswersMayDiffer) {
    struct Row {
        UINT message;
        LRESULT plain, skinned;
        bool agree;
    };
    const Row rows[] = {
        {WM_SETTEXT, TRUE, TRUE, true}, {WM_SETTEXT, TRUE, 0, false},
        {SBM_SETPOS, 20, 0, false},     {WM_PAINT, 1, 0, true},
        {WM_PAINT, 0, 1, false},        {WM_NCPAINT, 5, 0, true},
        {WM_ENABLE, 1, 0, true},        {WM_GETDLGCODE, DLGC_WANTARROWS, 0, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(AnswersAgree(row.message, row.plain, row.skinned), row.agree)
            << "message 0x" << std::hex << row.message << ": " << row.plain << " / " << row.skinned;
    }
    const std::vector<Logged> two = {{WM_SETTEXT, 0, 0, TRUE}, {SBM_SETPOS, 5, 1, 3}};
    const std::vector<Logged> lost = {{WM_SETTEXT, 0, 0, TRUE}, {SBM_SETPOS, 5, 1, 0}};
    const std::vector<Logged> shorter = {{WM_SETTEXT, 0, 0, TRUE}};
    EXPECT_EQ(CompareAnswers(two, two), "");
    EXPECT_NE(CompareAnswers(two, lost), "");
    EXPECT_NE(CompareAnswers(two, shorter), "");
}

}  // namespace
}  // namespace hardening
