// The one application window: processor name, clock estimate, the two options,
// the Start/Stop button, the error line and six activity bars.
#pragma once

#include <optional>
#include <string>

#include "engine/thread_launcher.h"
#include "framework/dialog.h"
#include "res/resource.h"

// Where a minimized dialog draws its icon: centred in the client area, with
// signed division truncating towards zero.
POINT MinimizedIconOrigin(const RECT& client, int iconWidth, int iconHeight);

class CMainDialog : public CDialog {
public:
    // The clock estimate made at creation; tests put in one that does not sleep.
    using ClockEstimator = std::optional<std::string> (*)();
    static std::optional<std::string> EstimateClockOverOneSecond();

    // The launcher is the engine's seam through which tests watch the launches.
    explicit CMainDialog(HWND parent = nullptr,
                         ClockEstimator estimateClock = &EstimateClockOverOneSecond,
                         WorkerLauncher launchWorker = &LaunchWorkerThread);

    CProgressCtrl m_barPrime;
    CProgressCtrl m_barPi;
    CProgressCtrl m_barFibonacci;
    CProgressCtrl m_barCpuChipset;
    CProgressCtrl m_barChipsetMemory;
    CProgressCtrl m_barComplexMatrix;
    CButton m_startStopButton;
    CButton m_sseCheck;
    CButton m_mmxCheck;
    std::string m_cpuName;
    std::string m_errorText;
    std::string m_clockText;
    bool m_useMmx = false;
    bool m_useSse = false;
    bool m_hasSse = false;
    bool m_hasMmx = false;
    HICON m_appIcon;  // shared icon resource: never destroyed

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    int OnCreate(CREATESTRUCTA* create) override;
    void OnCommand(UINT id, UINT code, HWND control) override;
    void OnSysCommand(UINT command, LPARAM parameter) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnTimer(UINT_PTR timerId) override;

    void OnStartStop();

private:
    static constexpr UINT_PTR kRefreshTimer = 1;
    static constexpr UINT kRefreshPeriodMs = 100;

    void AddAboutEntry();
    void StartRun();
    void StopRun();

    ClockEstimator m_estimateClock;
    WorkerLauncher m_launchWorker;
};
