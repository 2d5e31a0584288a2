// What every test of the main window shares: the application object the
// dialogs load their icon through, the common-control classes, and the UI
// thread's priority put back after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/main_app.h"
#include "cpu/tsc_stopwatch.h"

// The test program's one application object (the program's own lives in quarrion.cpp).
CMainApp& TestApp();

// A well-formed estimate without the second of sleep.
inline std::optional<std::string> NoSleepClock() {
    return EstimateClock(ReadTimeStampCounter, [](unsigned) {});
}

class AppFixture : public testing::Test {
protected:
    void SetUp() override {
        TestApp();
        CWinApp::EnableControlContainer();
    }
    void TearDown() override { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL); }
};
