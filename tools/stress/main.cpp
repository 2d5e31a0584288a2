// quarrion-stress: the dialog's stress run for machines without a desktop.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cpu/cpu_probe.h"
#include "cpu/tsc_stopwatch.h"
#include "tools/stress/options.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/runner.h"
#include "tools/stress/self_test.h"

namespace {

std::atomic<bool> g_interrupt{false};

void OnInterrupt() {
    g_interrupt.store(true, std::memory_order_relaxed);
}

RunSetup DescribeMachine(const StressOptions& options, bool measureClock) {
    RunSetup setup;
    setup.options = options;
    const CCpuProbe probe;
    if (const char* name = probe.NameProcessor()) setup.processorName = name;
    setup.hasMmx = probe.HasMMX();
    setup.hasSse = probe.HasSSE();
    if (measureClock) {
        if (auto text = EstimateClock()) setup.clockText = *text;
    }
    setup.processors = UsableProcessors();
    setup.hostName = HostName();
    return setup;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = ParseArguments(args);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        std::cerr << "quarrion-stress: " << error->message << "\n" << kUsage;
        return kExitUsage;
    }
    const StressOptions& options = std::get<StressOptions>(parsed);
    if (options.showHelp) {
        std::cout << kUsage;
        return kExitClean;
    }
    if (options.showVersion) {
        std::cout << "quarrion-stress " << kStressVersion << "\n";
        return kExitClean;
    }
    // Open the report first: an unwritable path should fail now, not after the run.
    std::ofstream json;
    if (!options.jsonPath.empty()) {
        json.open(options.jsonPath, std::ios::out | std::ios::trunc);
        if (!json) {
            std::cerr << "quarrion-stress: cannot write the report '" << options.jsonPath << "'\n";
            return kExitCouldNotRun;
        }
    }
    if (options.selfTest) {
        const RunSetup setup = DescribeMachine(options, false);
        RunResult run;
        const bool pass = RunSelfTest(setup, std::cout, &run);
        if (json.is_open()) json << BuildReport(SelfTestSetup(setup), run).dump(2) << "\n";
        return pass ? kExitClean : kExitErrors;
    }

    // Before the second-long clock estimate, so an early Ctrl-C ends the run cleanly.
    InstallInterruptHandler(OnInterrupt, kExitInterrupted);
    const RunSetup setup = DescribeMachine(options, true);
    if (!options.quiet) PrintBanner(std::cout, setup);
    const bool live = !options.quiet && IsTerminal(stdout);
    RunResult result = RunStress(setup, std::cout, live, g_interrupt);
    if (options.quiet) {
        std::cout << ResultLine(result) << "\n";
    } else {
        PrintSummary(std::cout, setup, result);
    }
    if (json.is_open()) {
        json << BuildReport(setup, result).dump(2) << "\n";
        json.close();
        if (!json && result.status == kExitClean) {
            std::cerr << "quarrion-stress: writing the report '" << options.jsonPath
                      << "' failed\n";
            return kExitCouldNotRun;
        }
    }
    std::cout.flush();
    // A stalled worker may still be running: leave without waiting for it.
    if (result.anyStalled()) std::_Exit(result.status);
    return result.status;
}
