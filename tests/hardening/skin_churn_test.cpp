// Skinned controls of every kind created and destroyed by the thousand while
// the hover timer ticks and the cursor moves over them: nothing may be left.
#include <random>
#include <vector>

#include "tests/hardening/control_kinds.h"
#include "tests/hardening/hardening_support.h"
#include "tools/skin-gallery/gallery.h"
#include "tools/skin-gallery/gallery_ids.h"

namespace hardening {
namespace {

using Churn = SkinnedThreadTest;

// A dialog with a nested dialog of three controls in it, both skinned at their
// WM_INITDIALOG.
HWND OpenDialogs() {
    const HWND dialog = OpenEmptyDialog();
    CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GALLERY_CHILD), dialog,
                       &PlainDialogProc, 0);
    return dialog;
}

struct ChurnResult {
    int created = 0, dialogs = 0, moves = 0;
    long gdiGrowth = 0, userGrowth = 0;
};

// Creates `count` controls of every kind, in dialogs that come and go, with the
// cursor moved over live controls and the hover timer ticking; the same seed
// gives the same sequence.
ChurnResult RunChurn(unsigned seed, int count) {
    const auto& kinds = ControlKinds();
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const ObjectCounts before = ObjectCounts::Now();
    ChurnResult result;
    const DWORD started = GetTickCount();
    HWND dialog = OpenDialogs();
    ++result.dialogs;
    std::vector<HWND> live;
    while (result.created < count) {
        const ControlKind& kind = kinds[static_cast<std::size_t>(result.created) % kinds.size()];
        const HWND control = CreateKind(dialog, kind, below(300), below(200));
        EXPECT_NE(control, nullptr) << kind.name;
        ++result.created;
        live.push_back(control);
        if (live.size() > 20 || below(3) == 0) {
            const auto victim = live.begin() + below(static_cast<int>(live.size()));
            DestroyWindow(*victim);
            live.erase(victim);
            EXPECT_TRUE(NothingDeadIsKept())
                << "after destroying a control, " << kind.name << " last made";
        }
        if (result.created % 25 == 0 && !live.empty()) {
            RECT r{};
            GetWindowRect(live[static_cast<std::size_t>(below(static_cast<int>(live.size())))], &r);
            SetCursorPos(r.left + below(r.right - r.left + 1), r.top + below(r.bottom - r.top + 1));
            Pump();  // the hover timer's own ticks, when they are due
            CSkinManager::GetManager()->TrackMouse();  // and one now
            ++result.moves;
        }
        if (result.created % 500 == 0) {
            DestroyWindow(dialog);  // takes its live controls with it
            live.clear();
            EXPECT_TRUE(NothingDeadIsKept()) << "after destroying a dialog";
            dialog = OpenDialogs();
            ++result.dialogs;
        }
    }
    DestroyWindow(dialog);
    Pump();
    const ObjectCounts after = ObjectCounts::Now();
    result.gdiGrowth = static_cast<long>(after.gdi) - static_cast<long>(before.gdi);
    result.userGrowth = static_cast<long>(after.user) - static_cast<long>(before.user);
    std::printf("  %d controls in %lu ms\n", result.created, GetTickCount() - started);
    PrintCounts("  before", before);
    PrintCounts("  after", after);
    return result;
}

TEST_F(Churn, ThousandsOfControlsComeAndGoWhileTheHoverTimerTicks) {
    // One of each first: controls load their classes and caches once per process.
    const HWND warm = OpenDialogs();
    for (const ControlKind& kind : ControlKinds()) CreateKind(warm, kind, 0, 0);
    Pump();
    DestroyWindow(warm);
    Pump();

    const char* configured = std::getenv("QUARRION_CHURN_CONTROLS");
    const int count = configured != nullptr ? std::atoi(configured) : 10000;
    const unsigned seed = SeedFromEnvironment();
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << " (QUARRION_SEED=" << seed << " replays this run)");
    std::printf("churn seed %u; without the skinning first\n", seed);
    CSkinManager::GetManager()->UninstallHook(static_cast<DWORD>(-1));
    const ChurnResult plain = RunChurn(seed, count);
    CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);
    std::printf("and skinned\n");
    const ChurnResult skinned = RunChurn(seed, count);
    std::printf("%d controls in %d dialogs, %d cursor moves\n", skinned.created, skinned.dialogs,
                skinned.moves);

    EXPECT_TRUE(SkinTesting::ControlCount() == 0);
    EXPECT_TRUE(SkinTesting::DialogCount() == 0);
    EXPECT_EQ(Skinning::HotWindow(), nullptr);
    EXPECT_EQ(SkinTesting::TimerId(), 0u)
        << "the hover timer outlived the last control";
    // Some controls keep objects of their own (Wine's IP address control one per
    // control), and the cache of window DCs moves by a few: the skinning may add
    // nothing beyond that, where one object per paint or per control would be
    // thousands.
    EXPECT_LE(skinned.gdiGrowth, plain.gdiGrowth + 16) << "the skinning leaked GDI objects";
    EXPECT_LE(skinned.userGrowth, plain.userGrowth + 16) << "the skinning leaked USER objects";
    if (GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) != 0) {
        EXPECT_EQ(skinned.gdiGrowth, 0) << "Windows counts every object: all must be back";
        EXPECT_EQ(skinned.userGrowth, 0);
    }
}

}  // namespace
}  // namespace hardening
