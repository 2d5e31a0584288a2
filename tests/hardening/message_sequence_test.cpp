// Every kind fed one scripted sequence of the messages the skinning handles,
// once as a plain control and once skinned: what each answered, what it wrote
// into the caller's buffers and its state afterwards must agree message by
// message; and a control destroyed while answering the painters goes cleanly.
#include <string>
#include <utility>
#include <vector>

#include "tests/hardening/control_kinds.h"
#include "tests/hardening/freed_memory.h"
#include "tests/hardening/hardening_support.h"
#include "tests/hardening/message_log.h"

namespace hardening {
namespace {

using MessageSequences = SkinnedThreadTest;

// How a scripted message's lParam is made: a plain value, narrow or wide text,
// or a zeroed buffer for the control to fill (its first DWORD preset), whose
// contents after the call are compared too.
enum class Arg { Value, Text, WideText, Buffer };

struct Scripted {
    UINT message;
    WPARAM wParam;
    LPARAM value;  // Value: lParam; Buffer: the first DWORD
    Arg arg;
};

// Text outside every single-byte code page, and what each control shows.
const wchar_t kWide[] = L"\x03A9\x0416\x4E2D-\x20AC";

// The window's state after a message: enabled, style, wide text.
std::string StateOf(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    char line[96];
    std::snprintf(line, sizeof(line), "enabled %d style %08lx text ", IsWindowEnabled(window),
                  static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)));
    std::string state = line;
    for (const wchar_t* c = text; *c != 0; ++c) state += std::to_string(*c) + ",";
    return state;
}

std::vector<Logged> RunScript(HWND control, HDC memory) {
    const auto field = reinterpret_cast<LPARAM>(GetTopWindow(control));
    const auto dc = reinterpret_cast<WPARAM>(memory);
    // SCROLLINFO is handed over filled: the first DWORD only says its size.
    static SCROLLINFO info{sizeof(info), SIF_ALL, 0, 80, 10, 25, 0};
    const Scripted script[] = {
        {WM_SETTEXT, 0, 0, Arg::Text},
        {WM_SETTEXT, 0, 0, Arg::WideText},
        {WM_GETTEXT, 32, 0, Arg::Buffer},
        {WM_GETTEXTLENGTH, 0, 0, Arg::Value},
        {WM_SETFOCUS, 0, 0, Arg::Value},
        {WM_KILLFOCUS, 0, 0, Arg::Value},
        {WM_ENABLE, FALSE, 0, Arg::Value},
        {WM_ENABLE, TRUE, 0, Arg::Value},
        {WM_PAINT, dc, 0, Arg::Value},
        {WM_NCPAINT, 1, 0, Arg::Value},
        {BM_SETCHECK, BST_CHECKED, 0, Arg::Value},
        {BM_GETCHECK, 0, 0, Arg::Value},
        {BM_SETCHECK, BST_UNCHECKED, 0, Arg::Value},
        {SBM_SETRANGEREDRAW, 0, 50, Arg::Value},
        {SBM_SETPOS, 20, TRUE, Arg::Value},
        {SBM_SETPOS, 30, FALSE, Arg::Value},
        {SBM_SETPOS, 0, TRUE, Arg::Value},
        {SBM_GETPOS, 0, 0, Arg::Value},
        {SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&info), Arg::Value},
        {SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&info), Arg::Value},
        {SBM_GETSCROLLINFO, 0, sizeof(SCROLLINFO) | (SIF_ALL << 16), Arg::Buffer},
        {WM_LBUTTONUP, 0, -1, Arg::Value},
        {WM_COMMAND, MAKEWPARAM(0, EN_SETFOCUS), field, Arg::Value},
        {WM_COMMAND, MAKEWPARAM(0, EN_KILLFOCUS), field, Arg::Value},
        // The kinds' own messages after which they redraw themselves.
        {TCM_SETCURSEL, 0, 0, Arg::Value},
        {TCM_GETITEMRECT, 0, 0, Arg::Buffer},
        {UDM_SETPOS, 0, MAKELPARAM(3, 0), Arg::Value},
        {UDM_GETPOS, 0, 0, Arg::Value},
        {TBM_SETPOS, TRUE, 7, Arg::Value},
        {TBM_GETTHUMBRECT, 0, 0, Arg::Buffer},
        {HDM_GETITEMRECT, 1, 0, Arg::Buffer},
        {HDM_SETHOTDIVIDER, FALSE, 1, Arg::Value},
        {TB_CHECKBUTTON, 1, TRUE, Arg::Value},
        {TB_GETITEMRECT, 0, 0, Arg::Buffer},
        {CB_SHOWDROPDOWN, TRUE, 0, Arg::Value},
        {CB_SHOWDROPDOWN, FALSE, 0, Arg::Value},
        {EM_SETREADONLY, TRUE, 0, Arg::Value},
        {EM_SETREADONLY, FALSE, 0, Arg::Value},
        {WM_GETDLGCODE, 0, 0, Arg::Value},
        {WM_SIZE, 0, MAKELPARAM(90, 30), Arg::Value},
        {WM_SETTEXT, 0, 0, Arg::Value},
        {WM_GETTEXTLENGTH, 0, 0, Arg::Value},
    };
    MessageLog log;
    EXPECT_TRUE(log.Hooked());
    for (const Scripted& s : script) {
        union {
            BYTE bytes[256];
            DWORD first;
        } buffer{};
        LPARAM lParam = s.value;
        bool wide = false;
        if (s.arg == Arg::Text) lParam = reinterpret_cast<LPARAM>("scripted");
        // Text outside the code page reaches an ANSI window through it, skinned
        // or not (a plain built-in control would keep it, any narrow subclass
        // loses it): only Unicode windows are sent it.
        if (s.arg == Arg::WideText && IsWindowUnicode(control)) {
            lParam = reinterpret_cast<LPARAM>(kWide);
            wide = true;
        } else if (s.arg == Arg::WideText) {
            lParam = reinterpret_cast<LPARAM>("scripted again");
        }
        if (s.arg == Arg::Buffer) {
            buffer.first = static_cast<DWORD>(s.value);
            if (s.message == SBM_GETSCROLLINFO) {
                buffer.first = sizeof(SCROLLINFO);
                reinterpret_cast<SCROLLINFO*>(buffer.bytes)->fMask = SIF_ALL;
            }
            lParam = reinterpret_cast<LPARAM>(buffer.bytes);
            wide = s.message == WM_GETTEXT;
        }
        log.Send(control, s.message, s.wParam, lParam, wide);
        std::string state = StateOf(control);
        if (s.arg == Arg::Buffer) {
            state += " out ";
            for (const BYTE b : buffer.bytes) state += std::to_string(b) + ".";
        }
        log.Note(std::move(state));
    }
    return log.Entries();
}

// The window the skinning made an object for: the control, or for a container
// skinned through its children (a simple combo box, ComboBoxEx32) its first
// child; `twin` is the same place in the plain copy.
HWND ObjectOf(HWND skinned, HWND twin) {
    return Skinning::FindControl(skinned) != nullptr ? twin : GetTopWindow(twin);
}

// Kinds the skinning reaches only through their parent, and the windows it
// finds there.
const std::vector<ControlKind>& ContainerKinds() {
    static const std::vector<ControlKind> kinds = {
        {"extended combo box", "ComboBoxEx32", CBS_DROPDOWN, 0, 100, 100, false},
    };
    return kinds;
}

// Every recognised class, as a control or through its parent, and the skinned
// windows inside it (a list view's header, a date-time's up-down): scripted
// once plain and once skinned, in both hook modes, the answers, the buffers the
// control filled and its state after each message agree.
TEST_F(MessageSequences, EveryKindAnswersAsThePlainControlDoes) {
    auto& manager = *CSkinManager::GetManager();
    const HDC memory = CreateCompatibleDC(nullptr);
    std::vector<ControlKind> kinds = ControlKinds();
    kinds.insert(kinds.end(), ContainerKinds().begin(), ContainerKinds().end());
    for (const BOOL dialogsOnly : {TRUE, FALSE}) {
        for (const ControlKind& kind : kinds) {
            // Scroll bars are not skinned at their creation in child-window mode.
            if (!dialogsOnly && std::string(kind.className) == "ScrollBar") continue;
            SCOPED_TRACE(testing::Message()
                         << kind.name << (dialogsOnly ? ", dialogs only" : ", child windows"));
            manager.UninstallHook(static_cast<DWORD>(-1));
            const HWND plainDialog = OpenEmptyDialog();
            const HWND plain = CreateKind(plainDialog, kind, 20, 20);
            manager.InstallHook(static_cast<DWORD>(-1), dialogsOnly);
            const HWND skinnedDialog = OpenEmptyDialog();
            const HWND skinned = CreateKind(skinnedDialog, kind, 20, 20);
            ASSERT_NE(plain, nullptr);
            ASSERT_NE(skinned, nullptr);
            EXPECT_EQ(Skinning::FindControl(ObjectOf(skinned, plain)), nullptr);
            ASSERT_NE(Skinning::FindControl(ObjectOf(skinned, skinned)), nullptr) << "not skinned";
            // The object's window, and every skinned child of it, beside its plain twin.
            std::vector<std::pair<HWND, HWND>> pairs{
                {ObjectOf(skinned, plain), ObjectOf(skinned, skinned)}};
            for (HWND p = GetTopWindow(pairs[0].first), k = GetTopWindow(pairs[0].second);
                 p != nullptr && k != nullptr;
                 p = GetWindow(p, GW_HWNDNEXT), k = GetWindow(k, GW_HWNDNEXT)) {
                if (Skinning::FindControl(k) != nullptr) pairs.emplace_back(p, k);
            }
            for (const auto& [p, k] : pairs) {
                const std::vector<Logged> plainLog = RunScript(p, memory);
                const std::vector<Logged> skinnedLog = RunScript(k, memory);
                EXPECT_FALSE(plainLog.empty());
                EXPECT_EQ(CompareAnswers(plainLog, skinnedLog), "")
                    << (p == pairs[0].first ? "the control" : "a skinned child");
            }
            // The skinned dialog answers as the plain one does.
            if (dialogsOnly) {
                EXPECT_TRUE(SkinTesting::IsDialogSkinned(skinnedDialog));
                EXPECT_EQ(CompareAnswers(RunScript(plainDialog, memory),
                                         RunScript(skinnedDialog, memory)),
                          "")
                    << "the dialog";
            }
            DestroyWindow(plainDialog);
            DestroyWindow(skinnedDialog);
            Pump();
        }
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

// The comparison itself: answers, messages, lengths and states must all agree.
TEST(MessageAnswers, AnyDifferenceInAnswerOrStateIsReported) {
    const Logged text{WM_SETTEXT, 0, 0, TRUE, "text 65,"};
    auto log = [&text](UINT message, LRESULT result, const char* state) {
        return std::vector<Logged>{text, {message, 0, 0, result, state}};
    };
    const struct {
        const char* what;
        std::vector<Logged> plain, skinned;
        bool agree;
    } rows[] = {
        {"the same", log(WM_PAINT, 0, "a"), log(WM_PAINT, 0, "a"), true},
        {"a painted answer", log(WM_PAINT, 0, "a"), log(WM_PAINT, 1, "a"), false},
        {"the listed enable answer", log(WM_ENABLE, 1, "a"), log(WM_ENABLE, 0, "a"), true},
        {"another enable answer", log(WM_ENABLE, 5, "a"), log(WM_ENABLE, 0, "a"), false},
        {"a state", log(WM_PAINT, 0, "a"), log(WM_PAINT, 0, "b"), false},
        {"a message", log(WM_PAINT, 0, "a"), log(WM_NCPAINT, 0, "a"), false},
        {"one fewer", log(WM_PAINT, 0, "a"), {text}, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CompareAnswers(row.plain, row.skinned).empty(), row.agree) << row.what;
    }
}

}  // namespace
}  // namespace hardening
