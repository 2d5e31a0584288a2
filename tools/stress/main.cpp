// quarrion-stress: the dialog's stress run for machines without a desktop.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cpu/cpu_probe.h"
#include "cpu/tsc_stopwatch.h"
#include "tools/stress/isa.h"
#include "tools/stress/machine_info.h"
#include "tools/stress/ocp.h"
#include "tools/stress/options.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/runner.h"
#include "tools/stress/self_test.h"
#include "tools/stress/summary.h"
#include "tools/stress/sweep.h"
#include "tools/stress/sweep_journal.h"

namespace {

std::atomic<bool> g_interrupt{false};

void OnInterrupt() {
    g_interrupt.store(true, std::memory_order_relaxed);
}

RunSetup DescribeMachine(const StressOptions& options, bool measureClock,
                         std::vector<int> processors) {
    RunSetup setup;
    setup.options = options;
    const CCpuProbe probe;
    // The processor's own brand string; the dialog's naming table only where there is none.
    setup.processorName = BrandString(ActiveCpuidSource());
    if (const char* name = probe.NameProcessor(); name && setup.processorName.empty())
        setup.processorName = name;
    setup.hasMmx = probe.HasMMX();
    setup.hasSse = probe.HasSSE();
    if (measureClock) {
        if (auto text = EstimateClock()) setup.clockText = *text;
    }
    setup.processors = std::move(processors);
    setup.machineIsas = MachineIsas();
    setup.hostName = HostName();
    setup.platformInfos = PlatformInfos(ActiveCpuidSource());
    return setup;
}

bool OpenOutput(std::ofstream& file, const std::string& path, const char* what) {
    if (path.empty()) return true;
    file.open(path, std::ios::out | std::ios::trunc);
    if (!file) std::cerr << "quarrion-stress: cannot write the " << what << " '" << path << "'\n";
    return static_cast<bool>(file);
}

// Empty when the file was written and closed, else why not, said on stderr too.
std::string Finish(std::ofstream& file, const std::string& path, const char* what) {
    if (!file.is_open()) return {};
    file.close();
    if (file) return {};
    std::string why = std::string("writing the ") + what + " '" + path + "' failed";
    std::cerr << "quarrion-stress: " << why << "\n";
    return why;
}

// The report, whole or not at all: a failure to build it (a name that is no
// UTF-8) counts like a failure to write it.
std::string WriteReport(std::ofstream& json, const std::string& path, const RunSetup& setup,
                        const RunResult& result) {
    if (!json.is_open()) return {};
    try {
        json << BuildReport(setup, result).dump(2) << "\n";
    } catch (const std::exception& failure) {
        json.setstate(std::ios::failbit);
        std::cerr << "quarrion-stress: the report: " << failure.what() << "\n";
    }
    return Finish(json, path, "report");
}

UsageError CheckSweepConflicts(const std::variant<SweepOptions, UsageError>& sweep,
                               const std::variant<StressOptions, UsageError>& stress) {
    const auto* s = std::get_if<SweepOptions>(&sweep);
    const auto* o = std::get_if<StressOptions>(&stress);
    if (!s || !o || !s->sweep) return {};
    if (o->selfTest || o->placement != Placement::Table || o->extraMatrix >= 0 || o->seconds != 60)
        return {"--sweep chooses its own workers and times (see --sweep-seconds)"};
    return {};
}

// Asked every tick of a run: reads the processor's temperature once a second,
// and ends the run when --max-temp is reached.
std::function<bool(const RunResult&)> TemperatureGuard(TemperatureMonitor& heat) {
    auto next = std::make_shared<std::chrono::steady_clock::time_point>();
    return [&heat, next](const RunResult&) {
        const auto now = std::chrono::steady_clock::now();
        if (now < *next) return heat.Tripped();
        *next = now + std::chrono::seconds(1);
        return heat.Tick().has_value();
    };
}

// The stream a sweep writes line by line, each line flushed and the step
// boundaries and errors synced to the disk. `failed` is set when a write fails.
std::shared_ptr<SweepJournal> OpenJournal(const std::string& path, bool append,
                                          const std::shared_ptr<std::atomic<bool>>& failed) {
    std::shared_ptr<std::FILE> file(std::fopen(path.c_str(), append ? "ab" : "wb"),
                                    [](std::FILE* f) {
                                        if (f) std::fclose(f);
                                    });
    if (!file) return nullptr;
    return std::make_shared<SweepJournal>([file, failed](const std::string& line, bool sync) {
        const bool written = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
        const bool flushed = sync ? SyncToDisk(file.get()) : std::fflush(file.get()) == 0;
        if (!written || !flushed) failed->store(true);
    });
}

// --resume FILE: what the earlier sessions left there. Empty when there is no
// sweep to go on with (no file yet, or one cut before its run began).
// `status` is set when the program must end now: the file is refused (2) or
// its sweep has already ended (0).
std::optional<JournalContents> ReadResume(const std::string& path, std::optional<int>& status) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    auto read = ReadSweepJournal(in, path);
    if (const auto* why = std::get_if<std::string>(&read)) {
        std::cerr << "quarrion-stress: cannot resume from " << *why << "\n";
        status = kExitUsage;
        return std::nullopt;
    }
    JournalContents contents = std::get<JournalContents>(std::move(read));
    if (contents.start.empty()) return std::nullopt;
    if (contents.ended) {
        std::cout << "The sweep in " << path << " has already ended (" << contents.result
                  << "); nothing to resume.\n";
        status = kExitClean;
        return std::nullopt;
    }
    return contents;
}

int Sweep(const RunSetup& setup, const SweepOptions& sweep,
          const std::optional<JournalContents>& resumed, std::ofstream& json) {
    const std::string& path = setup.options.ocpPath;
    std::shared_ptr<SweepJournal> journal;
    auto lost = std::make_shared<std::atomic<bool>>(false);
    if (!path.empty()) {
        std::error_code error;
        // A crash can leave half a line at the end: the stream goes on after the last whole one.
        if (resumed) std::filesystem::resize_file(path, resumed->wholeBytes, error);
        journal = error ? nullptr : OpenJournal(path, resumed.has_value(), lost);
        if (!journal) {
            std::cerr << "quarrion-stress: cannot write the OCP stream '" << path << "'\n";
            return kExitCouldNotRun;
        }
        if (resumed) journal->ContinueAfter(*resumed);
    }
    const SweepResult result =
        RunSweep(setup, sweep, std::cout, g_interrupt, {}, journal, resumed ? &*resumed : nullptr);
    PrintSweep(std::cout, result);
    if (json.is_open()) json << SweepReport(setup, sweep, result).dump(2) << "\n";
    journal.reset();  // closes the stream, unless a hung worker still holds it
    bool written = Finish(json, setup.options.jsonPath, "report").empty();
    if (lost->load()) {
        std::cerr << "quarrion-stress: writing the OCP stream '" << path << "' failed\n";
        written = false;
    }
    if (!written && result.status == kExitClean) return kExitCouldNotRun;
    std::cout.flush();
    // A hung worker may still be running: leave without waiting for it.
    if (result.stalled) std::_Exit(result.status);
    return result.status;
}

}  // namespace

static int Main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::find(args.begin(), args.end(), "--summarize") != args.end())
        return RunSummarize(args, std::cout, std::cerr);
    const auto sweepParsed = ExtractSweepOptions(args);
    const auto parsed = ParseArguments(args);
    const UsageError* error = std::get_if<UsageError>(&sweepParsed);
    if (!error) error = std::get_if<UsageError>(&parsed);
    const UsageError sweepConflict = CheckSweepConflicts(sweepParsed, parsed);
    if (!error && !sweepConflict.message.empty()) error = &sweepConflict;
    if (error) {
        std::cerr << "quarrion-stress: " << error->message << "\n"
                  << kUsage << kSweepUsage << kSummarizeUsage;
        return kExitUsage;
    }
    StressOptions options = std::get<StressOptions>(parsed);
    const SweepOptions& sweep = std::get<SweepOptions>(sweepParsed);
    // --resume FILE writes its stream on in FILE.
    if (!sweep.resumePath.empty()) {
        if (!options.ocpPath.empty() && options.ocpPath != sweep.resumePath) {
            std::cerr << "quarrion-stress: --resume goes on writing its own file; --ocp must "
                         "name the same file or be left out\n";
            return kExitUsage;
        }
        options.ocpPath = sweep.resumePath;
    }
    if (options.listLoads) {
        PrintLoads(std::cout, Registry(), MachineIsas(), options.isa);
        return kExitClean;
    }
    if (options.showHelp) {
        std::cout << kUsage << kSweepUsage << kSummarizeUsage;
        return kExitClean;
    }
    if (options.showVersion) {
        std::cout << "quarrion-stress " << kStressVersion << "\n";
        return kExitClean;
    }
    if (!options.selfTest) {
        RunSetup planned;
        planned.options = options;
        planned.machineIsas = MachineIsas();
        if (const auto why = MachineCannotRun(planned)) {
            std::cerr << "quarrion-stress: " << *why << "\n";
            return kExitUsage;
        }
    }
    // The processors to use, settled before anything runs.
    std::vector<int> chosen = UsableProcessors();
    if (!options.cpus.empty() || options.onePerCore) {
        const auto choice = ChooseProcessors(
            chosen, options, options.onePerCore ? ReadTopology(chosen) : Topology{});
        if (const auto* why = std::get_if<std::string>(&choice)) {
            std::cerr << "quarrion-stress: " << *why << "\n";
            return kExitUsage;
        }
        chosen = std::get<std::vector<int>>(choice);
    }
    // A stream to resume from is read before anything runs, and refused whole.
    std::optional<JournalContents> resumed;
    if (!sweep.resumePath.empty()) {
        std::optional<int> status;
        resumed = ReadResume(sweep.resumePath, status);
        if (status) return *status;
    }
    // Open the outputs first: an unwritable path should fail now, not after the
    // run. A sweep writes its stream itself, as it goes.
    std::ofstream json, ocp;
    if (!OpenOutput(json, options.jsonPath, "report") ||
        (!sweep.sweep && !OpenOutput(ocp, options.ocpPath, "OCP stream")))
        return kExitCouldNotRun;
    if (options.selfTest) {
        const RunSetup setup = DescribeMachine(options, false, UsableProcessors());
        RunResult run;
        const bool pass = RunSelfTest(setup, std::cout, &run);
        if (json.is_open()) json << BuildReport(SelfTestSetup(setup), run).dump(2) << "\n";
        return pass ? kExitClean : kExitErrors;
    }

    // Before the second-long clock estimate, so an early Ctrl-C ends the run cleanly.
    InstallInterruptHandler(OnInterrupt, kExitInterrupted);
    const RunSetup setup = DescribeMachine(options, true, chosen);
    SweepOptions planned = sweep;  // a resumed sweep goes on with the plan it began
    if (resumed) {
        planned.regimes = resumed->regimes;
        planned.seconds = std::max(1u, resumed->seconds);
        planned.retests = resumed->retests;
    }
    if (!options.quiet && sweep.sweep) PrintSweepBanner(std::cout, setup, planned);
    if (!options.quiet && !sweep.sweep) PrintBanner(std::cout, setup);
    OcpStream stream(ocp);
    if (ocp.is_open() && !sweep.sweep) stream.Begin(setup, CommandLine(argc, argv));
    if (sweep.sweep) {
        SweepOptions given = planned;
        given.commandLine = CommandLine(argc, argv);
        return Sweep(setup, given, resumed, json);
    }
    const bool live = !options.quiet && IsTerminal(stdout);
    TemperatureMonitor heat(LiveTemperatures, sweep.maxTempCelsius);
    RunSeams seams;
    if (sweep.maxTempCelsius) {
        heat.Tick();
        if (!heat.UnwatchableMessage().empty()) {
            std::cerr << "quarrion-stress: " << heat.UnwatchableMessage() << "\n";
            return kExitCouldNotRun;
        }
        seams.until = TemperatureGuard(heat);
    }
    RunResult result = RunStress(setup, std::cout, live, g_interrupt, seams);
    if (heat.Tripped()) {
        result.stopMessage = heat.StopMessage();
        result.status = StatusStoppedHot(result.status);
        std::cout << heat.StopMessage() << "\n";
    }
    if (options.quiet) {
        std::cout << ResultLine(result) << "\n";
    } else {
        PrintSummary(std::cout, setup, result);
    }
    // The report first, so that the OCP stream can tell of its loss and still end.
    const std::string reportFailure = WriteReport(json, options.jsonPath, setup, result);
    if (ocp.is_open()) stream.End(result, reportFailure);
    const bool written =
        reportFailure.empty() && Finish(ocp, options.ocpPath, "OCP stream").empty();
    if (!written && result.status == kExitClean) return kExitCouldNotRun;
    std::cout.flush();
    // A stalled worker may still be running: leave without waiting for it.
    if (result.anyStalled()) std::_Exit(result.status);
    return result.status;
}

// Nothing may end the program by an exception: a failure it did not foresee
// (memory, the file system) is reported as one that kept the run from happening.
int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "quarrion-stress: " << failure.what() << "\n";
    } catch (...) {
        std::cerr << "quarrion-stress: unexpected failure\n";
    }
    return kExitCouldNotRun;
}
