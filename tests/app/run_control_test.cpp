// Run control on the real dialog: Start and Stop in their order, the workers
// that really run, the 100 ms refresh of the error line and the bars, and the
// window staying responsive while the workers load the machine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/main_dialog.h"
#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "engine/run_state.h"
#include "engine/thread_launcher.h"
#include "engine/worker_table.h"
#include "res/resource.h"
#include "tests/app/app_fixture.h"
#include "tests/process_objects.h"
#include "tests/app/dialog_checks.h"
#include "tests/cpu/fake_cpuid.h"
#include "tests/framework/modal_script.h"

namespace {

using Step = ModalScript::Step;

// The bars in the order the refresh steps them and Stop resets them.
constexpr std::array<int, 6> kBarOrder{IDC_BAR_COMPLEX_MATRIX,
                                       IDC_BAR_CHIPSET_MEMORY,
                                       IDC_BAR_CPU_CHIPSET,
                                       IDC_BAR_FIBONACCI,
                                       IDC_BAR_PI,
                                       IDC_BAR_PRIME};
constexpr std::array<int, 6> kBarUpper{90, 50, 45, 60, 75, 70};

void PressStartStop(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_START_STOP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_START_STOP)));
}

std::string ErrorLine(HWND dialog) {
    return WindowText(GetDlgItem(dialog, IDC_ERROR_TEXT));
}

bool AnyErrorRaised() {
    return IsRaised(TestRunState.chipsetError) || IsRaised(TestRunState.matrixError) ||
           IsRaised(TestRunState.integerMathError) || IsRaised(TestRunState.complexMathError);
}

std::array<int, 6> BarPositions(HWND dialog) {
    std::array<int, 6> positions{};
    for (std::size_t i = 0; i < kBarOrder.size(); ++i) {
        positions[i] =
            static_cast<int>(SendDlgItemMessageA(dialog, kBarOrder[i], PBM_GETPOS, 0, 0));
    }
    return positions;
}

// Records the bars around every refresh.
class ObservedMainDialog : public CMainDialog {
public:
    ObservedMainDialog() : CMainDialog(nullptr, &NoSleepClock) {}
    struct Tick {
        std::array<int, 6> before, after;
    };
    std::vector<Tick> ticks;

protected:
    void OnTimer(UINT_PTR id) override {
        Tick tick{BarPositions(m_hWnd), {}};
        CMainDialog::OnTimer(id);
        tick.after = BarPositions(m_hWnd);
        ticks.push_back(tick);
    }
};

// Every test leaves the run state as a fresh process has it.
class RunControlTest : public AppFixture {
protected:
    void TearDown() override {
        RequestStop();
        WaitForEarlierWorkers();
        ClearRunFlags();
        Raise(TestRunState.idle);
        AppFixture::TearDown();
    }
};

TEST_F(RunControlTest, StartLaunchesThreeToFiveWorkersAndStopRestoresTheWindow) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    const struct {
        bool mmx, sse;
        int workers;
    } runs[] = {{true, true, 5}, {false, false, 3}, {true, false, 4}, {false, true, 4}};
    std::vector<Step> steps;
    for (const auto& run : runs) {
        steps.push_back(ModalScript::Do([&, run] {
            SCOPED_TRACE(std::to_string(run.workers) + " workers");
            const HWND hwnd = dialog.m_hWnd;
            CheckDlgButton(hwnd, IDC_USE_MMX, run.mmx ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(hwnd, IDC_USE_SSE, run.sse ? BST_CHECKED : BST_UNCHECKED);
            EXPECT_EQ(LiveWorkerCount(), 0);
            PressStartStop(hwnd);
            EXPECT_FALSE(IsRaised(TestRunState.idle));
            EXPECT_FALSE(IsRaised(TestRunState.stopRequested));
            EXPECT_EQ(dialog.m_useMmx, run.mmx);
            EXPECT_EQ(dialog.m_useSse, run.sse);
            EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_START_STOP)), "&Stop");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_USE_MMX)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_USE_SSE)));
            EXPECT_EQ(dialog.m_errorText, "No Error(s) detected yet!");
        }));
        // Workers of a run stop only when told: the count is steady at the table's number.
        steps.push_back(ModalScript::WaitFor([run] { return LiveWorkerCount() == run.workers; }));
        steps.push_back(ModalScript::Do([&, run] {
            Sleep(200);
            EXPECT_EQ(LiveWorkerCount(), run.workers);
            const HWND hwnd = dialog.m_hWnd;
            PressStartStop(hwnd);
            EXPECT_TRUE(IsRaised(TestRunState.idle));
            EXPECT_TRUE(IsRaised(TestRunState.stopRequested));
            EXPECT_FALSE(KillTimer(hwnd, 1)) << "the refresh timer is gone after Stop";
            EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_START_STOP)), "&Start Test");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_START_STOP)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_USE_MMX)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_USE_SSE)));
        }));
        steps.push_back(ModalScript::WaitFor([] { return LiveWorkerCount() == 0; }));
    }
    steps.push_back(ModalScript::Do([&] { dialog.EndDialog(IDCANCEL); }));
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_FALSE(AnyErrorRaised());
}

// What each launch was asked for, and what the run state was at that moment.
struct Launch {
    WorkerRoutine routine;
    void* parameter;
    int priority;
    bool flagsClear;
    bool idle;
};
std::vector<Launch> g_launches;

bool RecordingLauncher(WorkerRoutine routine, void* parameter, int priority) {
    g_launches.push_back({routine, parameter, priority,
                          !AnyErrorRaised() && !IsRaised(TestRunState.stopRequested),
                          IsRaised(TestRunState.idle)});
    return LaunchWorkerThread(routine, parameter, priority);
}

TEST_F(RunControlTest, StartLaunchesTheTableInOrderWithTheDialogAsParameter) {
    CMainDialog dialog(nullptr, &NoSleepClock, &RecordingLauncher);
    std::vector<Launch> both, sseOnly;
    auto run = [&](bool mmx, bool sse, std::vector<Launch>& launches) {
        return std::vector<Step>{
            ModalScript::Do([&, mmx, sse] {
                CheckDlgButton(dialog.m_hWnd, IDC_USE_MMX, mmx ? BST_CHECKED : BST_UNCHECKED);
                CheckDlgButton(dialog.m_hWnd, IDC_USE_SSE, sse ? BST_CHECKED : BST_UNCHECKED);
                // Left over from an earlier run: Start must clear them before any launch.
                Raise(TestRunState.matrixError);
                Raise(TestRunState.chipsetError);
                g_launches.clear();
                PressStartStop(dialog.m_hWnd);
                launches = g_launches;
            }),
            ModalScript::Do([&] { PressStartStop(dialog.m_hWnd); }),
        };
    };
    std::vector<Step> steps = run(true, true, both);
    for (Step& step : run(false, true, sseOnly)) steps.push_back(std::move(step));
    steps.push_back(ModalScript::Do([&] { dialog.EndDialog(IDCANCEL); }));
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());

    const struct {
        WorkerRoutine routine;
        int priority;
    } expected[] = {{&MatrixWorker, THREAD_PRIORITY_HIGHEST},
                    {&MemoryWorker, THREAD_PRIORITY_HIGHEST},
                    {&ComplexMathWorker, THREAD_PRIORITY_HIGHEST},
                    {&MatrixWorker, THREAD_PRIORITY_ABOVE_NORMAL},
                    {&MatrixWorker, THREAD_PRIORITY_ABOVE_NORMAL}};
    ASSERT_EQ(both.size(), 5u);
    ASSERT_EQ(sseOnly.size(), 4u);
    for (std::size_t i = 0; i < both.size(); ++i) {
        SCOPED_TRACE("launch " + std::to_string(i + 1));
        EXPECT_EQ(both[i].routine, expected[i].routine);
        EXPECT_EQ(both[i].priority, expected[i].priority);
        EXPECT_EQ(both[i].parameter, static_cast<void*>(&dialog));
        EXPECT_TRUE(both[i].flagsClear);
        EXPECT_FALSE(both[i].idle);
        if (i < sseOnly.size()) {
            EXPECT_EQ(sseOnly[i].routine, expected[i].routine);
            EXPECT_EQ(sseOnly[i].priority, expected[i].priority);
        }
    }
}

TEST_F(RunControlTest, TheRunGoesOnWhileTheAboutBoxIsOpen) {
    ObservedMainDialog dialog;
    TestApp().m_pMainWnd = &dialog;
    std::size_t ticksAtOpen = 0, ticksAtClose = 0;
    ModalScript script({
        ModalScript::Do([&] { PressStartStop(dialog.m_hWnd); }),
        ModalScript::Do([&] { SendMessageA(dialog.m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }),
        ModalScript::WaitFor([&] {
            ticksAtOpen = dialog.ticks.size();
            return FindThreadDialog("About Quarrion") != nullptr;
        }),
        ModalScript::WaitFor([&] { return dialog.ticks.size() >= ticksAtOpen + 3; }),
        ModalScript::Do([&] {
            ticksAtClose = dialog.ticks.size();
            SendMessageA(GetDlgItem(FindThreadDialog("About Quarrion"), IDOK), BM_CLICK, 0, 0);
        }),
        ModalScript::WaitFor([] { return FindThreadDialog("About Quarrion") == nullptr; }),
        ModalScript::Do([&] {
            PressStartStop(dialog.m_hWnd);
            dialog.EndDialog(IDCANCEL);
        }),
    });
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    TestApp().m_pMainWnd = nullptr;
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_GE(ticksAtClose, ticksAtOpen + 3) << "the About box's loop dispatches the refresh";
}

// Waits on the script's ticks until the error line reads `text`; adds how long
// after `since` that was to `took`.
Step ErrorLineBecomes(CMainDialog& dialog, std::string text, const DWORD& since,
                      std::vector<DWORD>& took) {
    return ModalScript::WaitFor([&dialog, text, &since, &took] {
        if (ErrorLine(dialog.m_hWnd) != text) return false;
        took.push_back(GetTickCount() - since);
        return true;
    });
}

TEST_F(RunControlTest, ErrorLineShowsTheLastRaisedFlagInItsOrder) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    DWORD since = 0;
    std::vector<DWORD> took;
    std::string afterQuickRun;
    const struct {
        std::atomic<bool>* flag;
        const char* text;
    } raises[] = {{&TestRunState.complexMathError, " Error in Complex Math"},
                  {&TestRunState.integerMathError, " Error in Integer Math"},
                  {&TestRunState.matrixError, " Error in Matrix"},
                  {&TestRunState.chipsetError, " Error in Chipsets"}};
    std::vector<Step> steps{
        ModalScript::Do([&] {
            EXPECT_EQ(ErrorLine(dialog.m_hWnd), "");
            PressStartStop(dialog.m_hWnd);
            since = GetTickCount();
            EXPECT_EQ(ErrorLine(dialog.m_hWnd), "") << "shown by the first refresh, not by Start";
        }),
        ErrorLineBecomes(dialog, "No Error(s) detected yet!", since, took),
    };
    for (int i = 0; i < 4; ++i) {
        steps.push_back(ModalScript::Do([&, i] {
            Raise(*raises[i].flag);
            since = GetTickCount();
        }));
        steps.push_back(ErrorLineBecomes(dialog, raises[i].text, since, took));
    }
    steps.push_back(ModalScript::Do([&] {
        // Matrix beats complex math on its own too.
        Lower(TestRunState.chipsetError);
        Lower(TestRunState.integerMathError);
        since = GetTickCount();
    }));
    steps.push_back(ErrorLineBecomes(dialog, " Error in Matrix", since, took));
    steps.push_back(ModalScript::Do([&] {
        Raise(TestRunState.chipsetError);
        since = GetTickCount();
    }));
    steps.push_back(ErrorLineBecomes(dialog, " Error in Chipsets", since, took));
    steps.push_back(ModalScript::Do([&] {
        PressStartStop(dialog.m_hWnd);  // Stop: the line keeps its text
        EXPECT_EQ(dialog.m_errorText, " Error in Chipsets");
    }));
    steps.push_back(ModalScript::Do([&] {
        EXPECT_EQ(ErrorLine(dialog.m_hWnd), " Error in Chipsets");
        // Start and Stop with no refresh between: the earlier text stays.
        PressStartStop(dialog.m_hWnd);
        EXPECT_FALSE(AnyErrorRaised()) << "Start clears the flags";
        PressStartStop(dialog.m_hWnd);
    }));
    steps.push_back(ModalScript::Do([&] { Sleep(300); }));
    steps.push_back(ModalScript::Do([&] {
        afterQuickRun = ErrorLine(dialog.m_hWnd);
        dialog.EndDialog(IDCANCEL);
    }));
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(afterQuickRun, " Error in Chipsets");
    EXPECT_EQ(dialog.m_errorText, " Error in Chipsets") << "Stop read the line back";
    // Within 100 ms of being raised, plus the scheduling slack of a loaded machine.
    EXPECT_EQ(took.size(), 7u);
    for (DWORD t : took) EXPECT_LE(t, 100u + 150u);
}

std::vector<std::pair<int, WPARAM>>* g_setPos = nullptr;

LRESULT CALLBACK RecordSetPos(int code, WPARAM wp, LPARAM lp) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && g_setPos != nullptr && sent->message == PBM_SETPOS) {
        g_setPos->emplace_back(GetDlgCtrlID(sent->hwnd), sent->wParam);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(RunControlTest, BarsStepEveryTickWrapAndResetAtStop) {
    ObservedMainDialog dialog;
    std::vector<std::pair<int, WPARAM>> setPos;
    std::array<int, 6> afterStop{};
    std::string cpuField;
    std::vector<Step> steps{
        ModalScript::Do([&] {
            CheckDlgButton(dialog.m_hWnd, IDC_USE_MMX, BST_UNCHECKED);
            CheckDlgButton(dialog.m_hWnd, IDC_USE_SSE, BST_UNCHECKED);
            PressStartStop(dialog.m_hWnd);
        }),
        ModalScript::WaitFor([&] { return dialog.ticks.size() >= 3; }),
        // The refresh pushes the members to the fields.
        ModalScript::Do([&] { SetDlgItemTextA(dialog.m_hWnd, IDC_CPU_NAME, "overwritten"); }),
        ModalScript::WaitFor([&] { return dialog.ticks.size() >= 12; }),
        ModalScript::Do([&] {
            cpuField = WindowText(GetDlgItem(dialog.m_hWnd, IDC_CPU_NAME));
            g_setPos = &setPos;
            {
                const HookHandle hook(
                    SetWindowsHookExA(WH_CALLWNDPROC, RecordSetPos, nullptr, GetCurrentThreadId()));
                PressStartStop(dialog.m_hWnd);
            }
            g_setPos = nullptr;
            afterStop = BarPositions(dialog.m_hWnd);
            dialog.EndDialog(IDCANCEL);
        }),
    };
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(cpuField, dialog.m_cpuName);

    ASSERT_GE(dialog.ticks.size(), 12u);
    std::array<int, 6> wraps{};
    for (const auto& tick : dialog.ticks) {
        for (std::size_t bar = 0; bar < 6; ++bar) {
            SCOPED_TRACE("bar " + std::to_string(kBarOrder[bar]));
            const int stepped = tick.before[bar] + 10;
            if (stepped <= kBarUpper[bar]) {
                EXPECT_EQ(tick.after[bar], stepped);
            } else {
                ++wraps[bar];
                EXPECT_GE(tick.after[bar], 1);
                EXPECT_LT(tick.after[bar], tick.before[bar]) << "passes the bound: starts again";
            }
        }
    }
    // Twelve ticks take every bar past its bound, the longest (90) once.
    for (std::size_t bar = 0; bar < 6; ++bar) EXPECT_GE(wraps[bar], 1) << kBarOrder[bar];

    std::vector<std::pair<int, WPARAM>> expected;
    for (int id : kBarOrder) expected.emplace_back(id, 0);
    EXPECT_EQ(setPos, expected) << "Stop sets every bar to 0, in order";
    for (int position : afterStop) EXPECT_EQ(position, 1) << "0 clamps to the lower bound";
}

TEST_F(RunControlTest, WithoutSseTheBoxStaysDisabledAfterEveryStop) {
    ProcessorModel model;
    model.signature = 0x543;
    model.standard = (1u << 0) | (1u << 23);  // MMX, no SSE
    FakeCpuid mmxOnly(model);
    ScopedActiveCpuid active(mmxOnly);
    CMainDialog dialog;
    int launched = 0;
    std::vector<Step> steps;
    for (int run = 0; run < 3; ++run) {
        steps.push_back(ModalScript::Do([&] { PressStartStop(dialog.m_hWnd); }));
        steps.push_back(ModalScript::WaitFor([&] { return (launched = LiveWorkerCount()) == 4; }));
        steps.push_back(ModalScript::Do([&] {
            PressStartStop(dialog.m_hWnd);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.m_hWnd, IDC_USE_MMX)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog.m_hWnd, IDC_USE_SSE)));
            EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, IDC_USE_SSE), BST_UNCHECKED);
        }));
    }
    steps.push_back(ModalScript::Do([&] { dialog.EndDialog(IDCANCEL); }));
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(launched, 4) << "the checked MMX box adds one matrix worker";
}

TEST_F(RunControlTest, BothCaptionsCarryTheMnemonicS) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    std::string idleCaption, runCaption;
    bool startedByKey = false, stoppedByKey = false;
    ModalScript script({
        ModalScript::Do([&] {
            idleCaption = WindowText(GetDlgItem(dialog.m_hWnd, IDC_START_STOP));
            PostMessageA(GetFocus(), WM_CHAR, 's', 0);
        }),
        ModalScript::WaitFor([&] { return (startedByKey = !IsRaised(TestRunState.idle)); }),
        ModalScript::Do([&] {
            runCaption = WindowText(GetDlgItem(dialog.m_hWnd, IDC_START_STOP));
            PostMessageA(GetFocus(), WM_CHAR, 'S', 0);
        }),
        ModalScript::WaitFor([&] { return (stoppedByKey = IsRaised(TestRunState.idle)); }),
        ModalScript::Do([&] { dialog.EndDialog(IDCANCEL); }),
    });
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(idleCaption, "&Start Test");
    EXPECT_EQ(runCaption, "&Stop");
    EXPECT_TRUE(startedByKey);
    EXPECT_TRUE(stoppedByKey);
}

TEST_F(RunControlTest, ExitEscapeAndCloseDuringARunEndTheDialogAtOnce) {
    for (const WayToEnd& way : kWaysToEnd) {
        SCOPED_TRACE(way.how);
        CMainDialog dialog(nullptr, &NoSleepClock);
        DWORD pressed = 0;
        int running = 0;
        ModalScript script({
            ModalScript::Do([&] { PressStartStop(dialog.m_hWnd); }),
            ModalScript::WaitFor([&] { return (running = LiveWorkerCount()) == 5; }),
            ModalScript::Do([&] {
                SetFocus(GetDlgItem(dialog.m_hWnd, IDOK));
                pressed = GetTickCount();
                way.press(dialog.m_hWnd);
            }),
        });
        EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), way.result);
        const DWORD ended = GetTickCount() - pressed;
        EXPECT_FALSE(script.TimedOut());
        EXPECT_EQ(running, 5);
        EXPECT_LT(ended, 1000u) << "the dialog does not wait for the workers";
        // The program's process would end here and take its workers along; this
        // test process stops them instead before the next way.
        RequestStop();
        WaitForEarlierWorkers();
        Raise(TestRunState.idle);
    }
}

// A worker's count drops just before its thread is gone: wait (a little) until
// the thread list stops shrinking.
int ThreadsOfThisProcess() {
    int count = ThreadsOf(GetCurrentProcessId());
    for (int settled = 0, rounds = 0; settled < 3 && rounds < 100; ++rounds) {
        Sleep(20);
        const int now = ThreadsOf(GetCurrentProcessId());
        settled = now == count ? settled + 1 : 0;
        count = now;
    }
    return count;
}

// Handles this process holds, found by asking about every handle value in the
// table's first pages (GetProcessHandleCount answers nothing under Wine).
int OpenHandles() {
    int count = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

TEST_F(RunControlTest, AThousandCyclesLeaveNoStragglerNoErrorAndNoLeak) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    int threadsBefore = 0, threadsAfter = 0;
    int handlesBefore = 0, handlesAfter = 0;
    DWORD gdiBefore = 0, gdiAfter = 0;
    int mostAfterStart = 0;
    bool errorSeen = false;
    std::vector<Step> steps{ModalScript::Do([&] {
        // One run first, so that whatever the first run sets up once is counted.
        PressStartStop(dialog.m_hWnd);
        PressStartStop(dialog.m_hWnd);
        WaitForEarlierWorkers();
        threadsBefore = ThreadsOfThisProcess();
        handlesBefore = OpenHandles();
        gdiBefore = GdiObjectCount();
    })};
    for (int cycle = 0; cycle < 1000; ++cycle) {
        steps.push_back(ModalScript::Do([&, cycle] {
            PressStartStop(dialog.m_hWnd);  // Start
            mostAfterStart = std::max(mostAfterStart, LiveWorkerCount());
            if (cycle % 3 == 0) {
                // Stop and at once Start again, before any worker could notice.
                PressStartStop(dialog.m_hWnd);
                PressStartStop(dialog.m_hWnd);
                mostAfterStart = std::max(mostAfterStart, LiveWorkerCount());
            }
        }));
        steps.push_back(ModalScript::Do([&] {
            errorSeen = errorSeen || AnyErrorRaised();
            PressStartStop(dialog.m_hWnd);  // Stop
        }));
    }
    steps.push_back(ModalScript::Do([&] {
        WaitForEarlierWorkers();
        errorSeen = errorSeen || AnyErrorRaised();
        threadsAfter = ThreadsOfThisProcess();
        handlesAfter = OpenHandles();
        gdiAfter = GdiObjectCount();
        dialog.EndDialog(IDCANCEL);
    }));
    ModalScript script(std::move(steps), 10, 300000);
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_LE(mostAfterStart, 5) << "a new run never runs beside an earlier one's workers";
    EXPECT_FALSE(errorSeen);
    EXPECT_GT(threadsBefore, 0);
    EXPECT_GT(handlesBefore, 0);
    EXPECT_EQ(threadsAfter, threadsBefore);
    EXPECT_EQ(handlesAfter, handlesBefore);
    EXPECT_EQ(gdiAfter, gdiBefore);
}

// Posted from another thread; the UI thread's message retrieval stamps the answer.
std::atomic<DWORD> g_worstAnswerMs{0};
std::atomic<int> g_answered{0};
constexpr UINT kProbeMessage = WM_APP + 7;

LRESULT CALLBACK StampProbe(int code, WPARAM wp, LPARAM lp) {
    const auto* msg = reinterpret_cast<const MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && msg->message == kProbeMessage) {
        const DWORD waited = GetTickCount() - static_cast<DWORD>(msg->lParam);
        if (waited > g_worstAnswerMs.load()) g_worstAnswerMs.store(waited);
        ++g_answered;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(RunControlTest, TenSecondsWithFiveWorkersRaiseNoErrorAndTheWindowAnswers) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    std::atomic<bool> probing{false};
    std::thread prober;
    DWORD started = 0;
    int running = 0;
    const HookHandle hook(
        SetWindowsHookExA(WH_GETMESSAGE, StampProbe, nullptr, GetCurrentThreadId()));
    ASSERT_TRUE(hook);
    ModalScript script(
        {
            ModalScript::Do([&] {
                PressStartStop(dialog.m_hWnd);
                started = GetTickCount();
                probing = true;
                const HWND target = dialog.m_hWnd;
                prober = std::thread([&probing, target] {
                    while (probing) {
                        PostMessageA(target, kProbeMessage, 0, static_cast<LPARAM>(GetTickCount()));
                        Sleep(250);
                    }
                });
            }),
            ModalScript::WaitFor([&] {
                running = std::max(running, LiveWorkerCount());
                return GetTickCount() - started >= 10000;
            }),
            ModalScript::Do([&] {
                probing = false;
                EXPECT_EQ(ErrorLine(dialog.m_hWnd), "No Error(s) detected yet!");
                PressStartStop(dialog.m_hWnd);
                dialog.EndDialog(IDCANCEL);
            }),
        },
        20, 60000);
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    probing = false;
    if (prober.joinable()) prober.join();
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(running, 5);
    EXPECT_FALSE(AnyErrorRaised());
    EXPECT_GE(g_answered.load(), 30);
    EXPECT_LE(g_worstAnswerMs.load(), 200u);
}

}  // namespace
