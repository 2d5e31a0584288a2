// The main dialog: creation, initialisation, run control (Start/Stop and the
// 100 ms refresh), the system menu and the minimized icon.
#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "cpu/cpu_probe.h"
#include "cpu/tsc_stopwatch.h"
#include "engine/run_state.h"
#include "engine/thread_launcher.h"
#include "engine/worker_table.h"
#include "framework/app.h"

namespace {

// What the clock field keeps when the processor has no time-stamp counter.
constexpr char kNotDetected[] = "Not Detected!";

HICON LoadAppIcon() {
    const CWinApp* app = AfxGetApp();
    return app != nullptr ? app->LoadIcon(IDR_MAINFRAME) : nullptr;
}

// Enabled and checked where the processor has the unit; otherwise disabled and
// left unchecked.
void OfferOption(CButton& box, bool unitPresent) {
    box.EnableWindow(unitPresent);
    if (unitPresent) box.SetCheck(1);
}

}  // namespace

POINT MinimizedIconOrigin(const RECT& client, int iconWidth, int iconHeight) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    return POINT{(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

std::optional<std::string> CMainDialog::EstimateClockOverOneSecond() {
    return EstimateClock();
}

CMainDialog::CMainDialog(HWND parent, ClockEstimator estimateClock, WorkerLauncher launchWorker)
    : CDialog(IDD_QUARRION_DIALOG, parent),
      m_appIcon(LoadAppIcon()),
      m_estimateClock(estimateClock),
      m_launchWorker(launchWorker) {}

void CMainDialog::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_BAR_PRIME, m_barPrime);
    DDX_Control(dx, IDC_BAR_PI, m_barPi);
    DDX_Control(dx, IDC_BAR_FIBONACCI, m_barFibonacci);
    DDX_Control(dx, IDC_BAR_CPU_CHIPSET, m_barCpuChipset);
    DDX_Control(dx, IDC_BAR_CHIPSET_MEMORY, m_barChipsetMemory);
    DDX_Control(dx, IDC_BAR_COMPLEX_MATRIX, m_barComplexMatrix);
    DDX_Control(dx, IDC_START_STOP, m_startStopButton);
    DDX_Control(dx, IDC_USE_SSE, m_sseCheck);
    DDX_Control(dx, IDC_USE_MMX, m_mmxCheck);
    DDX_Text(dx, IDC_CPU_NAME, m_cpuName);
    DDX_Text(dx, IDC_ERROR_TEXT, m_errorText);
    DDX_Text(dx, IDC_CLOCK_TEXT, m_clockText);
}

// The window exists, its controls do not: name the processor and measure the
// clock (one second of sleep) before the dialog is first shown.
int CMainDialog::OnCreate(CREATESTRUCTA* create) {
    if (CDialog::OnCreate(create) == -1) return -1;
    if (const char* name = CCpuProbe().NameProcessor()) m_cpuName = name;
    m_clockText = m_estimateClock().value_or(kNotDetected);
    return 0;
}

BOOL CMainDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutEntry();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_appIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_appIcon));

    // The UI thread stays above normal for the rest of the process, so the
    // window keeps up with the workers.
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);

    const CCpuProbe probe;
    m_hasMmx = probe.HasMMX();
    OfferOption(m_mmxCheck, m_hasMmx);
    m_hasSse = probe.HasSSE();
    OfferOption(m_sseCheck, m_hasSse);

    // Different ranges make the bars cycle at different speeds; the step stays 10.
    m_barComplexMatrix.SetRange(1, 90);
    m_barChipsetMemory.SetRange(1, 50);
    m_barCpuChipset.SetRange(1, 45);
    m_barFibonacci.SetRange(1, 60);
    m_barPi.SetRange(1, 75);
    m_barPrime.SetRange(1, 70);
    return TRUE;
}

void CMainDialog::OnOK() {
    CDialog::OnOK();
}

void CMainDialog::AddAboutEntry() {
    const HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu == nullptr) return;
    char text[64] = {};
    if (::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof(text)) <= 0) return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void CMainDialog::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDC_START_STOP && code == BN_CLICKED) return OnStartStop();
    CDialog::OnCommand(id, code, control);
}

void CMainDialog::OnSysCommand(UINT command, LPARAM) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) {
        Default();
        return;
    }
    CAboutDialog about;
    about.DoModal();
}

void CMainDialog::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const POINT at =
        MinimizedIconOrigin(client, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(dc.m_hDC, at.x, at.y, m_appIcon);
}

HCURSOR CMainDialog::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_appIcon);
}

void CMainDialog::OnStartStop() {
    if (IsRaised(TestRunState.idle)) {
        StartRun();
    } else {
        StopRun();
    }
}

void CMainDialog::StartRun() {
    Lower(TestRunState.idle);
    m_mmxCheck.EnableWindow(FALSE);
    m_sseCheck.EnableWindow(FALSE);
    m_startStopButton.SetWindowText("&Stop");
    m_errorText = "No Error(s) detected yet!";  // shown by the first refresh
    m_useMmx = m_mmxCheck.GetCheck() == BST_CHECKED;
    m_useSse = m_sseCheck.GetCheck() == BST_CHECKED;
    // No worker of the last run may go on beside this one and land a verdict
    // in it: they were told to stop, and each ends after its current cycle.
    WaitForEarlierWorkers();
    ClearRunFlags();
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshPeriodMs, nullptr);
    LaunchWorkerTable(RunOptions{m_useMmx, m_useSse}, this, m_launchWorker);
}

// Nobody waits for the workers here: each ends after the cycle it is in.
void CMainDialog::StopRun() {
    RequestStop();
    ::KillTimer(m_hWnd, kRefreshTimer);
    m_barComplexMatrix.SetPos(0);
    m_barChipsetMemory.SetPos(0);
    m_barCpuChipset.SetPos(0);
    m_barFibonacci.SetPos(0);
    m_barPi.SetPos(0);
    m_barPrime.SetPos(0);
    m_startStopButton.EnableWindow(TRUE);
    m_startStopButton.SetWindowText("&Start Test");
    if (m_hasMmx) m_mmxCheck.EnableWindow(TRUE);
    if (m_hasSse) m_sseCheck.EnableWindow(TRUE);
    Raise(TestRunState.idle);
    UpdateData(TRUE);
}

// Every 100 ms of a run: the last raised flag in this order names the error,
// and the bars step as activity indicators only.
void CMainDialog::OnTimer(UINT_PTR timerId) {
    if (const char* message = ErrorMessage(RaisedErrorsOf(TestRunState))) m_errorText = message;
    m_barComplexMatrix.StepIt();
    m_barChipsetMemory.StepIt();
    m_barCpuChipset.StepIt();
    m_barFibonacci.StepIt();
    m_barPi.StepIt();
    m_barPrime.StepIt();
    UpdateData(FALSE);
    CDialog::OnTimer(timerId);
}
