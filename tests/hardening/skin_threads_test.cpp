// Two user-interface threads, each with its own skinned dialogs, churned at
// once with both hover timers ticking; then one thread unhooked while the
// other keeps working. Each thread's controls, hot window and timer are its own.
#include <atomic>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "tests/hardening/control_kinds.h"
#include "tests/hardening/hardening_support.h"

namespace hardening {
namespace {

// What the test asks of a thread, and what the thread reports back.
enum class Order { Churn, Hover, Unhook, Reopen, Quit };

class UiThread {
public:
    explicit UiThread(int x, unsigned seed) : x_(x), seed_(seed) {
        thread_ = std::thread([this] { Run(); });
    }
    ~UiThread() {
        Give(Order::Quit);
        thread_.join();
    }
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    void Give(Order order) {
        done_.store(false);
        order_.store(order);
    }
    // Waits for the order to be carried out; only a hang reaches the ceiling.
    bool Done() const {
        for (int i = 0; i < 6000 && !done_.load(); ++i) Sleep(5);
        return done_.load();
    }
    // Waits until the thread's own hover timer has made its list box hot or cold.
    bool ListHot(bool hot) const {
        for (int i = 0; i < 2000 && listHot_.load() != hot; ++i) Sleep(5);
        return listHot_.load() == hot;
    }
    POINT ListCentre() const { return {listCentre_.x.load(), listCentre_.y.load()}; }
    HWND List() const { return list_.load(); }

    std::atomic<int> created{0}, failures{0};
    std::atomic<bool> dialogSkinned{false}, timerRunning{false}, othersRefused{true};
    std::atomic<HWND> othersList{nullptr};  // a window of the other thread, to offer AddControl

private:
    void Run() {
        auto& manager = *CSkinManager::GetManager();
        manager.InstallHook(static_cast<DWORD>(-1), TRUE);
        std::mt19937 random(seed_);
        HWND dialog = Open();
        for (;;) {
            const Order order = order_.load();
            if (order == Order::Quit) break;
            if (order == Order::Churn && !done_.load()) {
                // Controls of every kind come and go while the timer ticks.
                const auto& kinds = ControlKinds();
                for (int i = 0; i < 200; ++i) {
                    const ControlKind& kind = kinds[random() % kinds.size()];
                    const HWND control =
                        CreateKind(dialog, kind, 20 + static_cast<int>(random() % 100), 60);
                    created += control != nullptr;
                    Pump();
                    if (random() % 2) DestroyWindow(control);
                    if (!NothingDeadIsKept()) ++failures;
                    if (i % 50 == 49) {
                        DestroyWindow(dialog);
                        dialog = Open();
                    }
                }
                done_.store(true);
            } else if (order == Order::Unhook && !done_.load()) {
                manager.UninstallHook(static_cast<DWORD>(-1));
                done_.store(true);
            } else if (order == Order::Reopen && !done_.load()) {
                DestroyWindow(dialog);
                dialog = Open();
                done_.store(true);
            } else if (order == Order::Hover && !done_.load()) {
                done_.store(true);
            }
            // Foreign windows are never ours to skin.
            if (const HWND foreign = othersList.load()) {
                if (Skinning::AddControl(foreign)) othersRefused = false;
            }
            const CSkinnedControl* list = Skinning::FindControl(list_.load());
            listHot_ = list != nullptr && (list->GetState() & CSkinnedControl::kHot) != 0;
            timerRunning = SkinTesting::TimerId() != 0;
            Pump();
            Sleep(5);
        }
        DestroyWindow(dialog);
        Pump();
        if (SkinTesting::ControlCount() != 0 || SkinTesting::DialogCount() != 0) ++failures;
        manager.UninstallHook(static_cast<DWORD>(-1));
    }

    // A dialog of this thread at its own place on the screen, with a list box.
    HWND Open() {
        const HWND dialog = OpenEmptyDialog(150, 120);
        SetWindowPos(dialog, nullptr, x_, 100, 260, 220, SWP_NOZORDER | SWP_NOACTIVATE);
        const HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "",
                                          WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT, 10, 10, 120,
                                          40, dialog, nullptr, nullptr, nullptr);
        Pump();
        RECT r{};
        GetWindowRect(list, &r);
        listCentre_.x = (r.left + r.right) / 2;
        listCentre_.y = (r.top + r.bottom) / 2;
        list_ = list;
        dialogSkinned = SkinTesting::IsDialogSkinned(dialog);
        return dialog;
    }

    struct AtomicPoint {
        std::atomic<LONG> x{0}, y{0};
    };
    const int x_;
    const unsigned seed_;
    std::atomic<Order> order_{Order::Hover};
    std::atomic<bool> done_{false};
    std::atomic<bool> listHot_{false};
    std::atomic<HWND> list_{nullptr};
    AtomicPoint listCentre_;
    std::thread thread_;
};

TEST(SkinThreads, TwoThreadsChurnAtOnceThenOneIsUnhookedAndTheOtherKeepsWorking) {
    LoadGalleryControls();
    const unsigned seed = SeedFromEnvironment();
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << " (QUARRION_SEED=" << seed << " replays this run)");
    const int half = GetSystemMetrics(SM_CXSCREEN) / 2;
    UiThread a(20, seed), b(half + 20, seed + 1);
    ASSERT_TRUE(a.Done() && b.Done()) << "the threads did not start";
    a.othersList = b.List();
    b.othersList = a.List();

    a.Give(Order::Churn);
    b.Give(Order::Churn);
    ASSERT_TRUE(a.Done() && b.Done()) << "a churning thread hangs";
    EXPECT_EQ(a.failures + b.failures, 0) << "a dead window stayed registered";
    EXPECT_GT(a.created, 0);
    EXPECT_GT(b.created, 0);
    EXPECT_TRUE(a.dialogSkinned && b.dialogSkinned);
    EXPECT_TRUE(a.timerRunning && b.timerRunning) << "each thread has a hover timer of its own";

    // Each thread's timer follows the cursor over its own windows only.
    const struct {
        const char* what;
        const UiThread& over;
        bool aHot, bHot;
    } hovers[] = {{"over a's list", a, true, false},
                  {"over b's list", b, false, true},
                  {"back over a's", a, true, false}};
    for (const auto& h : hovers) {
        const POINT p = h.over.ListCentre();
        SetCursorPos(p.x, p.y);
        EXPECT_TRUE(a.ListHot(h.aHot)) << h.what;
        EXPECT_TRUE(b.ListHot(h.bHot)) << h.what;
    }
    EXPECT_TRUE(a.othersRefused && b.othersRefused) << "a thread skinned the other's window";

    // Unhooked, a keeps its skinned controls but skins no new dialog; b goes on.
    a.Give(Order::Unhook);
    ASSERT_TRUE(a.Done());
    a.Give(Order::Reopen);
    b.Give(Order::Reopen);
    ASSERT_TRUE(a.Done() && b.Done());
    EXPECT_FALSE(a.dialogSkinned) << "an unhooked thread still skins";
    EXPECT_TRUE(b.dialogSkinned);
    b.Give(Order::Churn);
    ASSERT_TRUE(b.Done());
    const POINT p = b.ListCentre();
    SetCursorPos(p.x, p.y);
    EXPECT_TRUE(b.ListHot(true)) << "the hooked thread's hover stopped";
    EXPECT_EQ(b.failures, 0);
}

// Hook calls that set nothing: handle n for the n-th set, every release noted.
struct CountedHooks {
    static inline std::mutex lock;
    static inline int sets = 0;
    static inline std::vector<HHOOK> released;

    static HHOOK WINAPI Set(int, HOOKPROC, HINSTANCE, DWORD) {
        const std::lock_guard<std::mutex> hold(lock);
        return reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x100 + ++sets));
    }
    static BOOL WINAPI Unhook(HHOOK hook) {
        const std::lock_guard<std::mutex> hold(lock);
        released.push_back(hook);
        return TRUE;
    }
    static std::vector<HHOOK> Released() {
        const std::lock_guard<std::mutex> hold(lock);
        return released;
    }
};

class CountedScope {
public:
    CountedScope() {
        CountedHooks::sets = 0;
        CountedHooks::released.clear();
        real_ = SkinTesting::ReplaceHookCalls(
            {&CountedHooks::Set, &CountedHooks::Unhook, &::CallNextHookEx});
    }
    ~CountedScope() {
        CSkinManager::GetManager()->RemoveAll();
        SkinTesting::ReplaceHookCalls(real_);
    }
    CountedScope(const CountedScope&) = delete;
    CountedScope& operator=(const CountedScope&) = delete;

private:
    SkinTesting::HookCalls real_{};
};

// Hooking a thread from outside while that thread tidies its own entry away:
// the hook is stored in the entry that stays, never lost with one that went.
TEST(SkinThreads, HookingAnotherThreadNeverLosesTheHookToThatThreadsOwnTidying) {
    auto& manager = *CSkinManager::GetManager();
    const CountedScope scope;
    std::atomic<bool> stop{false};
    std::atomic<DWORD> id{0};
    std::thread tidy([&] {
        id = GetCurrentThreadId();
        while (!stop.load()) Skinning::RemoveControl(nullptr);
    });
    while (id.load() == 0) Sleep(1);
    int lost = 0;
    for (int i = 0; i < 5000; ++i) {
        manager.InstallHook(id.load(), TRUE);
        lost += SkinTesting::IsHooked(id.load()) ? 0 : 1;
        manager.UninstallHook(id.load());
    }
    stop = true;
    tidy.join();
    EXPECT_EQ(lost, 0) << "hooks stored in an entry already gone";
    EXPECT_EQ(CountedHooks::Released().size(), static_cast<std::size_t>(CountedHooks::sets))
        << "hooks leaked";
}

// A hooked thread with a skinned dialog that ends on its own, is terminated, or
// outlives a RemoveAll from elsewhere: an ended thread leaves no entry, hook or
// object, and its hook is released once, by itself, or never when the system
// took it; a running thread keeps its objects until its windows go.
// What the test and a hooked thread of its own tell each other.
struct Ending {
    enum Stage { Starting, Skinned, Return, CleanUp };
    std::atomic<int> stage{Starting};
    std::atomic<bool> kept{false}, cleaned{false};

    static DWORD WINAPI Run(void* self) {
        Ending& e = *static_cast<Ending*>(self);
        auto& manager = *CSkinManager::GetManager();
        manager.InstallHook(static_cast<DWORD>(-1), TRUE);
        const HWND dialog = OpenEmptyDialog(150, 120);
        const HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "", WS_CHILD | WS_VISIBLE,
                                          10, 10, 80, 40, dialog, nullptr, nullptr, nullptr);
        Skinning::AddDialog(dialog);  // the counted hook calls set no real hook
        e.stage = Skinned;
        while (e.stage == Skinned) Sleep(1);
        if (e.stage == Return) return 0;  // still hooked, its windows still up
        e.kept = SkinTesting::ControlCount() == 1 && Skinning::FindControl(list) != nullptr;
        DestroyWindow(dialog);
        e.cleaned = SkinTesting::ControlCount() == 0 && SkinTesting::DialogCount() == 0;
        return 0;
    }
};

TEST(SkinThreads, AThreadThatEndsWhileHookedLeavesNothingAndRemoveAllSparesRunningOnes) {
    LoadGalleryControls();
    auto& manager = *CSkinManager::GetManager();
    enum class End { Returns, Terminated, OutlivesRemoveAll };
    const struct {
        const char* what;
        End end;
        std::size_t released;  // hook releases in all
    } rows[] = {
        {"returns while hooked", End::Returns, 1},
        {"terminated while hooked", End::Terminated, 0},
        {"outlives RemoveAll", End::OutlivesRemoveAll, 1},
    };
    for (const auto& row : rows) {
        const CountedScope scope;
        Ending ending;
        DWORD id = 0;
        const HANDLE thread = CreateThread(nullptr, 0, &Ending::Run, &ending, 0, &id);
        ASSERT_NE(thread, nullptr);
        while (ending.stage == Ending::Starting) Sleep(1);
        ASSERT_TRUE(SkinTesting::IsHooked(id)) << row.what;
        if (row.end == End::Terminated) {
            TerminateThread(thread, 1);
        } else if (row.end == End::Returns) {
            ending.stage = Ending::Return;
        } else {
            manager.RemoveAll();
            EXPECT_FALSE(SkinTesting::IsHooked(id)) << row.what;
            ending.stage = Ending::CleanUp;
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_EQ(SkinTesting::HookedThreads(), 0u) << row.what;
        EXPECT_EQ(SkinTesting::ThreadCount(), 0u) << row.what << ": its entry stayed";
        if (row.end == End::OutlivesRemoveAll) {
            EXPECT_TRUE(ending.kept) << "RemoveAll took a running thread's objects";
            EXPECT_TRUE(ending.cleaned) << "its windows did not take their objects along";
        }
        manager.RemoveAll();
        EXPECT_EQ(CountedHooks::Released().size(), row.released)
            << row.what << ": a hook released twice, or one the system took released";
    }
}

}  // namespace
}  // namespace hardening
