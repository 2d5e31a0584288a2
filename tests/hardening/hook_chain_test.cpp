// The skinning's hook shares the thread with other WH_CALLWNDPROC hooks: those
// installed before and after ours see every message, whichever goes first.
#include "tests/hardening/hardening_support.h"
#include "tools/skin-gallery/gallery.h"

namespace hardening {
namespace {

constexpr UINT kProbe = WM_APP + 17;

template <int Which>
struct CountingHook {
    static inline int seen = 0;
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == kProbe)
            ++seen;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

using HookHandle = UniqueResource<HHOOK, UnhookWindowsHookEx>;

HookHandle Install(HOOKPROC proc) {
    return HookHandle(SetWindowsHookExA(WH_CALLWNDPROC, proc, nullptr, GetCurrentThreadId()));
}

TEST(HookChain, OtherHooksSeeEveryMessageAndSurviveEitherOrderOfUnhooking) {
    auto& manager = *CSkinManager::GetManager();
    const HWND target = OpenEmptyDialog();
    for (const bool oursFirst : {true, false}) {
        SCOPED_TRACE(oursFirst ? "ours unhooked first" : "theirs unhooked first");
        CountingHook<0>::seen = CountingHook<1>::seen = 0;
        HookHandle before = Install(&CountingHook<0>::Proc);  // runs after ours
        manager.InstallHook(static_cast<DWORD>(-1), TRUE);
        HookHandle after = Install(&CountingHook<1>::Proc);  // runs before ours
        for (int i = 0; i < 100; ++i) SendMessageA(target, kProbe, 0, 0);
        EXPECT_EQ(CountingHook<0>::seen, 100) << "our hook must pass every message on";
        EXPECT_EQ(CountingHook<1>::seen, 100);

        if (oursFirst) {
            manager.UninstallHook(static_cast<DWORD>(-1));
            for (int i = 0; i < 10; ++i) SendMessageA(target, kProbe, 0, 0);
            EXPECT_EQ(CountingHook<0>::seen, 110);
            EXPECT_EQ(CountingHook<1>::seen, 110);
            before.reset();
            after.reset();
        } else {
            before.reset();
            after.reset();
            // Ours alone still skins what is initialised.
            const HWND dialog = OpenEmptyDialog();
            EXPECT_EQ(SkinTesting::IsDialogSkinned(dialog), true);
            DestroyWindow(dialog);
            manager.UninstallHook(static_cast<DWORD>(-1));
        }
        EXPECT_TRUE(SkinTesting::HookedThreads() == 0);
    }
    DestroyWindow(target);
    Pump();
}

}  // namespace
}  // namespace hardening

namespace hardening {
namespace {

// A host's hook that hands every message to the manager's, as a system-wide
// hook's "SKM_CallWndProc" would.
LRESULT CALLBACK Forwarding(int code, WPARAM wParam, LPARAM lParam) {
    return Skinning::HookProc(code, wParam, lParam);
}

TEST(HookChain, TheManagersHookPassesOnAlsoForAThreadItDoesNotSkin) {
    auto& manager = *CSkinManager::GetManager();
    manager.UninstallHook(static_cast<DWORD>(-1));
    const HWND target = OpenEmptyDialog();
    CountingHook<0>::seen = 0;
    const HookHandle later = Install(&CountingHook<0>::Proc);  // runs after the forwarding one
    const HookHandle forwarding = Install(&Forwarding);
    for (int i = 0; i < 20; ++i) SendMessageA(target, kProbe, 0, 0);
    EXPECT_EQ(CountingHook<0>::seen, 20) << "the chain was cut after the manager's hook";
    DestroyWindow(target);
    Pump();
}

}  // namespace
}  // namespace hardening
