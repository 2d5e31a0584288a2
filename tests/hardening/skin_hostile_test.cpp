// Every skinned kind fed a seeded random stream of the messages our window
// procedures handle, with hover ticks, enabling, style changes and destruction
// in between: no crash, no hang, every window answers, no object left behind,
// and every message answered as the plain control answers the same stream.
#include <cstdlib>
#include <random>
#include <string>

#include "tests/hardening/control_kinds.h"
#include "tests/hardening/hardening_support.h"
#include "tests/hardening/message_log.h"
#include "tools/skin-gallery/gallery.h"

namespace hardening {
namespace {

// Style bits that change how a painter draws, per class.
DWORD ToggleableBits(const std::string& cls) {
    if (cls == "Edit") return ES_READONLY;
    if (cls == "msctls_trackbar32") return TBS_VERT | TBS_LEFT | TBS_BOTH | TBS_NOTHUMB;
    if (cls == "SysTabControl32") return TCS_BOTTOM | TCS_VERTICAL | TCS_BUTTONS;
    if (cls == "Button") return BS_PUSHLIKE | BS_LEFTTEXT | BS_TOP | BS_BOTTOM;
    if (cls == "msctls_updown32") return UDS_HORZ | UDS_ALIGNLEFT | UDS_ALIGNRIGHT;
    return WS_HSCROLL | WS_VSCROLL;
}

using HostileMessages = SkinnedThreadTest;

struct StreamResult {
    long gdiGrowth = 0, userGrowth = 0;
    bool answering = false;
    std::vector<Logged> answers;  // every message the stream sent, as answered
};

// One kind's stream: `count` random messages and events with the given seed.
StreamResult RunStream(const ControlKind& kind, unsigned seed, int count, HDC memory, HRGN region) {
    std::mt19937 random(seed);
    auto below = [&](unsigned n) { return random() % n; };
    MessageLog log;
    EXPECT_TRUE(log.Hooked());
    auto send = [&log](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        log.Send(window, message, wParam, lParam);
    };
    const HWND dialog = OpenEmptyDialog();
    HWND control = CreateKind(dialog, kind, 20, 20);
    EXPECT_NE(control, nullptr) << kind.name;
    if (control == nullptr) return {};
    const ObjectCounts before = ObjectCounts::Now();
    const DWORD toggleable = ToggleableBits(kind.className);
    for (int i = 0; i < count; ++i) {
        const WPARAM anyW = random();
        SCROLLINFO info{sizeof(info),
                        SIF_ALL,
                        static_cast<int>(below(50)) - 10,
                        static_cast<int>(below(200)),
                        below(60),
                        static_cast<int>(below(220)) - 10,
                        0};
        switch (below(20)) {
            case 0:
                send(control, WM_SETFOCUS, anyW, 0);
                break;
            case 1:
                send(control, WM_KILLFOCUS, anyW, 0);
                break;
            case 2:
                send(control, WM_ENABLE, anyW & 1, 0);
                break;
            case 3:
                send(control, WM_PAINT, below(2) ? 0 : reinterpret_cast<WPARAM>(memory), 0);
                break;
            case 4:
                send(control, WM_NCPAINT, below(2) ? 1 : reinterpret_cast<WPARAM>(region), 0);
                break;
            case 5:
                send(control, WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(below(2) ? "" : "hostile text"));
                break;
            case 6:
                send(control, BM_SETCHECK, anyW % 4, 0);
                break;
            case 7:
                send(control, SBM_SETPOS, anyW % 300, below(2));
                break;
            case 8:
                send(control, SBM_SETSCROLLINFO, anyW & 1, reinterpret_cast<LPARAM>(&info));
                break;
            case 9:
                send(control, SBM_SETRANGEREDRAW, anyW % 100, below(300));
                break;
            case 10:
                send(control, WM_LBUTTONUP, anyW, -1);
                break;
            case 11: {
                const WORD code = below(2) ? EN_SETFOCUS : EN_KILLFOCUS;
                const HWND from = below(2) ? GetTopWindow(control) : nullptr;
                send(control, WM_COMMAND, MAKEWPARAM(anyW & 0xFFFF, code),
                     reinterpret_cast<LPARAM>(from));
                break;
            }
            case 12: {
                const HWND child = GetTopWindow(below(2) ? control : dialog);
                send(below(2) ? dialog : control, WM_PARENTNOTIFY,
                     MAKEWPARAM(WM_CREATE, anyW & 0xFFFF), reinterpret_cast<LPARAM>(child));
                break;
            }
            case 13: {  // hover ticks, onto the control and away
                RECT r{};
                GetWindowRect(control, &r);
                if (below(2))
                    SetCursorPos(r.left + 2, r.top + 2);
                else
                    SetCursorPos(0, 0);
                CSkinManager::GetManager()->TrackMouse();
                break;
            }
            case 14:
                EnableWindow(control, below(2));
                break;
            case 15: {
                const LONG style = GetWindowLongA(control, GWL_STYLE);
                SetWindowLongA(control, GWL_STYLE,
                               static_cast<LONG>(style ^ (toggleable & random())));
                break;
            }
            case 16:
                SetFocus(below(2) ? control : dialog);
                break;
            case 17:
                InvalidateRect(control, nullptr, TRUE);
                Pump();
                break;
            case 18:
                send(control, WM_SIZE, 0, MAKELPARAM(below(200), below(100)));
                break;
            default:
                if (below(2000) == 0) {  // now and then the control goes and comes back
                    DestroyWindow(control);
                    EXPECT_TRUE(NothingDeadIsKept()) << kind.name;
                    control = CreateKind(dialog, kind, 20, 20);
                    if (control == nullptr) return {};
                }
                break;
        }
    }
    DWORD_PTR answer = 0;
    StreamResult result;
    result.answering =
        SendMessageTimeoutA(control, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) != 0 &&
        SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) != 0;
    DestroyWindow(dialog);
    Pump();
    EXPECT_TRUE(NothingDeadIsKept()) << kind.name;
    const ObjectCounts after = ObjectCounts::Now();
    result.gdiGrowth = static_cast<long>(after.gdi) - static_cast<long>(before.gdi);
    result.userGrowth = static_cast<long>(after.user) - static_cast<long>(before.user);
    result.answers = log.Entries();
    return result;
}

TEST_F(HostileMessages, EveryKindSurvivesARandomStreamOfTheMessagesItHandles) {
    const char* configured = std::getenv("QUARRION_HOSTILE_MESSAGES");
    const int perKind = configured != nullptr ? std::atoi(configured) : 100000;
    const unsigned seed = SeedFromEnvironment();
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << " (QUARRION_SEED=" << seed << " replays this run)");
    std::printf("hostile seed %u, %d messages per kind, each stream run plain, then skinned\n",
                seed, perKind);
    std::fflush(stdout);
    const HDC memory = CreateCompatibleDC(nullptr);
    const HRGN region = CreateRectRgn(0, 0, 50, 20);
    auto& manager = *CSkinManager::GetManager();
    for (const ControlKind& kind : ControlKinds()) {
        const DWORD started = GetTickCount();
        manager.UninstallHook(static_cast<DWORD>(-1));
        const StreamResult plain = RunStream(kind, seed, perKind, memory, region);
        manager.InstallHook(static_cast<DWORD>(-1), TRUE);
        const StreamResult skinned = RunStream(kind, seed, perKind, memory, region);
        const std::string answers = CompareAnswers(plain.answers, skinned.answers);
        EXPECT_EQ(answers, "") << kind.name;
        EXPECT_TRUE(skinned.answering) << kind.name << " or its dialog no longer answers";
        // What the controls keep for themselves and the DC cache's few may
        // differ; a leak of ours would grow with the messages.
        EXPECT_LE(skinned.gdiGrowth, plain.gdiGrowth + 16) << kind.name << " leaked GDI objects";
        EXPECT_LE(skinned.userGrowth, plain.userGrowth + 16) << kind.name << " leaked USER objects";
        const bool passed = answers.empty() && skinned.answering &&
                            skinned.gdiGrowth <= plain.gdiGrowth + 16 &&
                            skinned.userGrowth <= plain.userGrowth + 16;
        std::printf("%-24s %d messages, seed %u, %6lu ms, GDI growth plain %ld, skinned %ld: %s\n",
                    kind.name, perKind, seed, GetTickCount() - started, plain.gdiGrowth,
                    skinned.gdiGrowth, passed ? "pass" : "FAIL");
        std::fflush(stdout);
    }
    DeleteObject(region);
    DeleteDC(memory);
    EXPECT_TRUE(SkinTesting::ControlCount() == 0);
    EXPECT_EQ(SkinTesting::TimerId(), 0u);
}

}  // namespace
}  // namespace hardening
