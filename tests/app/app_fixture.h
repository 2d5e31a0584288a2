// What every test of the main window shares: the application object the
// dialogs load their icon through, the common-control classes, a processor with
// both units whatever this machine has, and the UI thread's priority put back
// after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/main_app.h"
#include "cpu/tsc_stopwatch.h"
#include "tests/cpu/fake_cpuid.h"

// The test program's one application object (the program's own lives in quarrion.cpp).
CMainApp& TestApp();

// A well-formed estimate without the second of sleep.
inline std::optional<std::string> NoSleepClock() {
    return EstimateClock(ReadTsc, [](unsigned) {});
}

// Family 6 with FPU, TSC, CMOV, MMX and SSE: "Intel Penitum III", both options offered.
inline ProcessorModel PentiumIII() {
    ProcessorModel model;
    model.signature = 0x672;
    model.standard = (1u << 0) | (1u << 4) | (1u << 15) | (1u << 23) | (1u << 25);
    return model;
}

class AppFixture : public testing::Test {
protected:
    void SetUp() override {
        TestApp();
        CWinApp::EnableControlContainer();
    }
    void TearDown() override { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL); }

    FakeCpuid processor_{PentiumIII()};
    ScopedActiveCpuid activeProcessor_{processor_};
};
