// Run control on the real dialog: Start and Stop in their order, the workers
// that really run, the 100 ms refresh of the error line and the bars, and the
// window staying responsive while the workers load the machine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
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
#include "tests/app/dialog_checks.h"
#include "tests/cpu/fake_cpuid.h"
#include "tests/framework/modal_script.h"
#include "tests/process_objects.h"

namespace {

using Step = ModalScript::Step;
using Handle = UniqueResource<HANDLE, ::CloseHandle>;

// The bars in the order the refresh steps them and Stop resets them.
constexpr std::array<int, 6> kBarOrder{IDC_BAR_COMPLEX_MATRIX,
                                       IDC_BAR_CHIPSET_MEMORY,
                                       IDC_BAR_CPU_CHIPSET,
                                       IDC_BAR_FIBONACCI,
                                       IDC_BAR_PI,
                                       IDC_BAR_PRIME};

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

// Progress-bar messages the dialog sends, recorded by a thread hook.
struct BarMessage {
    int id;
    UINT message;
    WPARAM wParam;
    bool operator==(const BarMessage& o) const {
        return id == o.id && message == o.message && wParam == o.wParam;
    }
};
using BarLog = std::vector<BarMessage>;
BarLog* g_barLog = nullptr;

LRESULT CALLBACK RecordBars(int code, WPARAM wp, LPARAM lp) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && g_barLog != nullptr &&
        (sent->message == PBM_STEPIT || sent->message == PBM_SETPOS)) {
        g_barLog->push_back({GetDlgCtrlID(sent->hwnd), sent->message, sent->wParam});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

std::ostream& operator<<(std::ostream& out, const BarMessage& m) {
    return out << (m.message == PBM_STEPIT ? "STEPIT " : "SETPOS ") << m.id << "," << m.wParam;
}

// Records, after every refresh, the error line and how far the bar log had got.
class ObservedMainDialog : public CMainDialog {
public:
    ObservedMainDialog() : CMainDialog(nullptr, &NoSleepClock) {}
    struct Tick {
        std::string line;
        std::size_t barLogEnd;
    };
    std::vector<Tick> ticks;

protected:
    void OnTimer(UINT_PTR id) override {
        CMainDialog::OnTimer(id);
        ticks.push_back({ErrorLine(m_hWnd), g_barLog != nullptr ? g_barLog->size() : 0});
    }
};

// How many workers the table starts for these options.
int TableWorkers(bool mmx, bool sse) {
    int count = 0;
    for (const WorkerTableRow& row : kWorkerTable) count += RowApplies(row, RunOptions{mmx, sse});
    return count;
}

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
    struct Run {
        bool mmx, sse;
        int workers;
    };
    const Run runs[] = {{true, true, TableWorkers(true, true)},
                        {false, false, TableWorkers(false, false)},
                        {true, false, TableWorkers(true, false)},
                        {false, true, TableWorkers(false, true)}};
    std::vector<Step> steps;
    for (const Run& run : runs) {
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

    // The dialog launches what the engine's table launches for the options it
    // read; the table itself is checked with the engine.
    std::vector<Launch> tableBoth, tableSseOnly;
    const struct {
        const char* what;
        RunOptions options;
        const std::vector<Launch>* launches;
        std::vector<Launch>* table;
    } runs[] = {{"MMX and SSE", {true, true}, &both, &tableBoth},
                {"SSE only", {false, true}, &sseOnly, &tableSseOnly}};
    for (const auto& [what, options, launches, table] : runs) {
        SCOPED_TRACE(what);
        g_launches.clear();
        LaunchWorkerTable(options, &dialog,
                          [](WorkerRoutine routine, void* parameter, int priority) {
                              g_launches.push_back({routine, parameter, priority, true, false});
                              return true;
                          });
        *table = g_launches;
        ASSERT_EQ(launches->size(), table->size());
        for (std::size_t i = 0; i < launches->size(); ++i) {
            SCOPED_TRACE("launch " + std::to_string(i + 1));
            const Launch& launch = (*launches)[i];
            EXPECT_EQ(launch.routine, (*table)[i].routine);
            EXPECT_EQ(launch.priority, (*table)[i].priority);
            EXPECT_EQ(launch.parameter, static_cast<void*>(&dialog));
            EXPECT_TRUE(launch.flagsClear);
            EXPECT_FALSE(launch.idle);
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

// Raises (or lowers) flags and notes which refresh comes next: that refresh,
// the first after the change, must show `text`. Waits until it has come.
struct LineChange {
    std::size_t refresh;
    std::string text;
};

std::vector<Step> ChangeAndAwaitRefresh(ObservedMainDialog& dialog, std::function<void()> change,
                                        std::string text, std::vector<LineChange>& changes) {
    return {ModalScript::Do([&dialog, change, text, &changes] {
                change();
                changes.push_back({dialog.ticks.size(), text});
            }),
            ModalScript::WaitFor(
                [&dialog, &changes] { return dialog.ticks.size() > changes.back().refresh; })};
}

TEST_F(RunControlTest, ErrorLineShowsTheLastRaisedFlagInItsOrderAtTheNextRefresh) {
    ObservedMainDialog dialog;
    std::vector<LineChange> changes;
    std::size_t refreshesAtQuickRun = 0;
    int scriptTicksAfterQuickRun = 0;
    std::string afterQuickRun;
    const struct {
        std::atomic<bool>* flag;
        const char* text;
    } raises[] = {{&TestRunState.complexMathError, " Error in Complex Math"},
                  {&TestRunState.integerMathError, " Error in Integer Math"},
                  {&TestRunState.matrixError, " Error in Matrix"},
                  {&TestRunState.chipsetError, " Error in Chipsets"}};
    std::vector<Step> steps;
    auto then = [&steps](std::vector<Step> more) {
        for (Step& step : more) steps.push_back(std::move(step));
    };
    then(ChangeAndAwaitRefresh(
        dialog,
        [&] {
            EXPECT_EQ(ErrorLine(dialog.m_hWnd), "");
            PressStartStop(dialog.m_hWnd);
            EXPECT_EQ(ErrorLine(dialog.m_hWnd), "") << "shown by the first refresh, not by Start";
        },
        "No Error(s) detected yet!", changes));
    for (const auto& raise : raises) {
        then(ChangeAndAwaitRefresh(
            dialog, [&raise] { Raise(*raise.flag); }, raise.text, changes));
    }
    // Matrix beats complex math on its own too.
    then(ChangeAndAwaitRefresh(
        dialog,
        [] {
            Lower(TestRunState.chipsetError);
            Lower(TestRunState.integerMathError);
        },
        " Error in Matrix", changes));
    then(ChangeAndAwaitRefresh(
        dialog, [] { Raise(TestRunState.chipsetError); }, " Error in Chipsets", changes));
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
        refreshesAtQuickRun = dialog.ticks.size();
    }));
    // Ten of the script's own ticks later no refresh has come.
    steps.push_back(ModalScript::WaitFor([&] { return ++scriptTicksAfterQuickRun == 10; }));
    steps.push_back(ModalScript::Do([&] {
        afterQuickRun = ErrorLine(dialog.m_hWnd);
        dialog.EndDialog(IDCANCEL);
    }));
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(afterQuickRun, " Error in Chipsets");
    EXPECT_EQ(dialog.ticks.size(), refreshesAtQuickRun) << "no refresh after Stop";
    EXPECT_EQ(dialog.m_errorText, " Error in Chipsets") << "Stop read the line back";
    ASSERT_EQ(changes.size(), 7u);
    for (const LineChange& change : changes) {
        ASSERT_LT(change.refresh, dialog.ticks.size());
        EXPECT_EQ(dialog.ticks[change.refresh].line, change.text)
            << "refresh " << change.refresh + 1 << ", the first after the change";
    }
}

TEST_F(RunControlTest, BarsStepEveryRefreshAndStopResetsThemInOrder) {
    ObservedMainDialog dialog;
    std::string cpuField;
    BarLog log;
    std::size_t logAtStop = 0, refreshesAtStop = 0;
    std::unique_ptr<HookHandle> hook;
    std::vector<Step> steps{
        ModalScript::Do([&] {
            hook = std::make_unique<HookHandle>(
                SetWindowsHookExA(WH_CALLWNDPROC, RecordBars, nullptr, GetCurrentThreadId()));
            g_barLog = &log;
            CheckDlgButton(dialog.m_hWnd, IDC_USE_MMX, BST_UNCHECKED);
            CheckDlgButton(dialog.m_hWnd, IDC_USE_SSE, BST_UNCHECKED);
            PressStartStop(dialog.m_hWnd);
        }),
        ModalScript::WaitFor([&] { return dialog.ticks.size() >= 3; }),
        // The refresh pushes the members to the fields.
        ModalScript::Do([&] { SetDlgItemTextA(dialog.m_hWnd, IDC_CPU_NAME, "overwritten"); }),
        ModalScript::WaitFor([&] { return dialog.ticks.size() >= 5; }),
        ModalScript::Do([&] {
            cpuField = WindowText(GetDlgItem(dialog.m_hWnd, IDC_CPU_NAME));
            logAtStop = log.size();
            refreshesAtStop = dialog.ticks.size();
            PressStartStop(dialog.m_hWnd);
            g_barLog = nullptr;
            hook.reset();
            dialog.EndDialog(IDCANCEL);
        }),
    };
    ModalScript script(std::move(steps));
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    g_barLog = nullptr;
    hook.reset();
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(cpuField, dialog.m_cpuName);

    // Start touches no bar; every refresh steps the six, in order; Stop sets each to 0.
    ASSERT_GE(refreshesAtStop, 5u);
    BarLog expected;
    for (std::size_t refresh = 0; refresh < refreshesAtStop; ++refresh) {
        for (int id : kBarOrder) expected.push_back({id, PBM_STEPIT, 0});
    }
    EXPECT_EQ(BarLog(log.begin(), log.begin() + static_cast<long>(logAtStop)), expected);
    for (std::size_t refresh = 0; refresh < refreshesAtStop; ++refresh) {
        EXPECT_EQ(dialog.ticks[refresh].barLogEnd, 6 * (refresh + 1)) << "refresh " << refresh + 1;
    }
    expected.clear();
    for (int id : kBarOrder) expected.push_back({id, PBM_SETPOS, 0});
    EXPECT_EQ(BarLog(log.begin() + static_cast<long>(logAtStop), log.end()), expected);
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
        int running = 0;
        ModalScript script({
            ModalScript::Do([&] { PressStartStop(dialog.m_hWnd); }),
            ModalScript::WaitFor([&] { return (running = LiveWorkerCount()) == 5; }),
            ModalScript::Do([&] {
                SetFocus(GetDlgItem(dialog.m_hWnd, IDOK));
                way.press(dialog.m_hWnd);
            }),
        });
        EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), way.result);
        // Nobody told the workers to stop, so a dialog that waited for them
        // would never have ended: they are all still running.
        const int runningAtEnd = LiveWorkerCount();
        EXPECT_FALSE(script.TimedOut());
        EXPECT_EQ(running, 5);
        EXPECT_EQ(runningAtEnd, 5) << "the dialog does not wait for the workers";
        EXPECT_FALSE(IsRaised(TestRunState.stopRequested));
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

TEST_F(RunControlTest, AThousandCyclesLeaveNoStragglerNoErrorAndNoLeak) {
    CMainDialog dialog(nullptr, &NoSleepClock);
    int threadsBefore = 0, threadsAfter = 0;
    int handlesBefore = 0, handlesWithEvent = 0, handlesAfter = 0;
    DWORD gdiBefore = 0, gdiAfter = 0;
    int mostAfterStart = 0;
    bool errorSeen = false;
    std::vector<Step> steps{ModalScript::Do([&] {
        // One run first, so that whatever the first run sets up once is counted.
        PressStartStop(dialog.m_hWnd);
        PressStartStop(dialog.m_hWnd);
        WaitForEarlierWorkers();
        threadsBefore = ThreadsOfThisProcess();
        handlesBefore = HandlesOf(GetCurrentProcessId());
        gdiBefore = GdiObjectCount();
        // The counter sees this process's handles: one more while an event is open.
        const Handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        handlesWithEvent = HandlesOf(GetCurrentProcessId());
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
        handlesAfter = HandlesOf(GetCurrentProcessId());
        gdiAfter = GdiObjectCount();
        dialog.EndDialog(IDCANCEL);
    }));
    ModalScript script(std::move(steps), 10, 240000);
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_LE(mostAfterStart, 5) << "a new run never runs beside an earlier one's workers";
    EXPECT_FALSE(errorSeen);
    EXPECT_GT(threadsBefore, 0);
    EXPECT_GT(handlesBefore, 0);
    EXPECT_EQ(handlesWithEvent, handlesBefore + 1);
    EXPECT_EQ(threadsAfter, threadsBefore);
    EXPECT_EQ(handlesAfter, handlesBefore);
    EXPECT_EQ(gdiAfter, gdiBefore);
}

// A hundred refreshes (ten seconds) with five workers: no error, and the window
// answers every message another thread sends it. Only a hang reaches the ceiling.
TEST_F(RunControlTest, AHundredRefreshesWithFiveWorkersRaiseNoErrorAndTheWindowAnswers) {
    ObservedMainDialog dialog;
    std::atomic<bool> probing{false};
    std::atomic<int> answered{0}, unanswered{0};
    std::thread prober;
    int running = 0;
    ModalScript script(
        {
            ModalScript::Do([&] {
                PressStartStop(dialog.m_hWnd);
                probing = true;
                const HWND target = dialog.m_hWnd;
                prober = std::thread([&probing, &answered, &unanswered, target] {
                    while (probing) {
                        DWORD_PTR result = 0;
                        const bool ok = SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL,
                                                            10000, &result) != 0;
                        // A probe that fails after the run ended met a closing window.
                        if (ok)
                            ++answered;
                        else if (probing)
                            ++unanswered;
                        Sleep(250);
                    }
                });
            }),
            ModalScript::WaitFor([&] {
                running = std::max(running, LiveWorkerCount());
                return dialog.ticks.size() >= 100 && answered >= 30;
            }),
            ModalScript::Do([&] {
                probing = false;
                EXPECT_EQ(ErrorLine(dialog.m_hWnd), "No Error(s) detected yet!");
                PressStartStop(dialog.m_hWnd);
                dialog.EndDialog(IDCANCEL);
            }),
        },
        20, 240000);
    EXPECT_EQ(script.Run([&] { return dialog.DoModal(); }), IDCANCEL);
    probing = false;
    if (prober.joinable()) prober.join();
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(running, 5);
    EXPECT_FALSE(AnyErrorRaised());
    EXPECT_GE(answered.load(), 30);
    EXPECT_EQ(unanswered.load(), 0);
}

}  // namespace
