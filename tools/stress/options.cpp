// Parsing is strict: every bad argument is named, nothing falls back to a default.
#include "tools/stress/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "engine/matrix.h"
#include "tools/stress/isa.h"

const char* const kUsage =
    "usage: quarrion-stress [--seconds N] [--load NAME[,NAME...]] [--isa avx512|avx2|sse2]\n"
    "                       [--extra-matrix N | --all-cpus | --cycle-cores S]\n"
    "                       [--cpus LIST] [--one-per-core]\n"
    "                       [--stop-on-error] [--no-cross-check] [--expect-digest ROUTINE=HEX]...\n"
    "                       [--json FILE] [--ocp FILE] [--quiet]\n"
    "       quarrion-stress --list-loads | --self-test | --version | --help\n"
    "\n"
    "  --seconds N        run for N seconds (default 60; 0 runs until interrupted)\n"
    "  --load NAMES       one worker of each named load (--list-loads names them; a name\n"
    "                     given twice runs two); default: the dialog's worker table\n"
    "  --isa SET          force the instruction set of every load built for more than one\n"
    "                     (default: the widest the processor has)\n"
    "  --extra-matrix N   N extra matrix workers, 0 to 64 (default: one per MMX/SSE unit\n"
    "                     with the dialog's table, none with --load)\n"
    "  --all-cpus         one worker of each load pinned to each logical processor; without\n"
    "                     --load, matrix workers beside the memory and complex-math workers\n"
    "  --cycle-cores S    one worker of each load (without --load: one matrix worker), moved\n"
    "                     to the next logical processor every S seconds\n"
    "  --cpus LIST        only these logical processors, as in 0-3,8 (runs and sweeps)\n"
    "  --one-per-core     one logical processor of each physical core; its siblings idle\n"
    "  --stop-on-error    end the run (or sweep) at the first error\n"
    "  --no-cross-check   do not compare the workers of one routine with each other\n"
    "  --expect-digest ROUTINE=HEX\n"
    "                     fail unless the reference digest of ROUTINE (MatrixWorker,\n"
    "                     ComplexMathWorker or a load with results) is HEX; may be repeated\n"
    "  --json FILE        write a machine-readable report to FILE\n"
    "  --ocp FILE         write the run to FILE as OCP Test and Validation output 2.0\n"
    "  --quiet            no banner and no live line; only the result\n"
    "  --list-loads       each load, its description and the instruction set it uses here\n"
    "  --self-test        check that injected faults, one in a single pass and one in both\n"
    "                     passes of one worker, are detected and reported\n"
    "\n"
    "exit status: 0 no error, 1 errors, a stalled worker or an unexpected digest,\n"
    "             2 bad usage or an instruction set the processor lacks,\n"
    "            "
    " 3 interrupted before the requested time, 4 could not run\n";

namespace {

std::optional<unsigned long> ParseWhole(const std::string& text, unsigned long max) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > max) return {};
    return value;
}

// The routines whose results have a digest, as reports name them.
std::string DigestRoutines(const LoadRegistry& registry) {
    std::string names;
    for (const RegisteredLoad& load : registry)
        if (load.descriptor->layout.size() > 0)
            names += (names.empty() ? "" : ", ") + std::string(RoutineName(load));
    return names;
}

// "MatrixWorker=0x1234abcd": a routine with results and up to sixteen hex digits.
std::optional<std::pair<std::string, std::uint64_t>> ParseDigest(const std::string& text,
                                                                 const LoadRegistry& registry) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return {};
    const std::string routine = text.substr(0, equals);
    std::string hex = text.substr(equals + 1);
    if (hex.rfind("0x", 0) == 0 || hex.rfind("0X", 0) == 0) hex.erase(0, 2);
    const RegisteredLoad* load = FindRoutine(registry, routine);
    if (!load || load->descriptor->layout.size() == 0) return {};
    if (hex.empty() || hex.size() > 16 ||
        hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return {};
    return std::make_pair(routine, std::stoull(hex, nullptr, 16));
}

// "fma,int": every name a registered load; empty when one is not.
std::optional<UsageError> AddLoads(const std::string& list, const LoadRegistry& registry,
                                   std::vector<std::string>& loads) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = list.find(',', from);
        const std::string name = list.substr(from, comma - from);
        if (!FindLoad(registry, name))
            return UsageError{"--load: unknown load '" + name +
                              "'; the loads are: " + LoadNames(registry)};
        loads.push_back(name);
        if (comma == std::string::npos) return {};
        from = comma + 1;
    }
}

}  // namespace

std::variant<StressOptions, UsageError> ParseArguments(const std::vector<std::string>& args,
                                                       const LoadRegistry& registry) {
    StressOptions options;
    bool sawPlacement = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return {};
            return args[++i];
        };
        auto placement = [&](Placement p) -> std::optional<UsageError> {
            if (sawPlacement)
                return UsageError{
                    "--extra-matrix, --all-cpus and --cycle-cores exclude each other"};
            sawPlacement = true;
            options.placement = p;
            return {};
        };
        if (arg == "--seconds") {
            auto v = value();
            if (!v) return UsageError{"--seconds needs a number of seconds"};
            auto n = ParseWhole(*v, 31536000);
            if (!n) return UsageError{"--seconds: '" + *v + "' is not a whole number of seconds"};
            options.seconds = static_cast<unsigned>(*n);
        } else if (arg == "--extra-matrix") {
            auto v = value();
            if (!v) return UsageError{"--extra-matrix needs a number from 0 to 64"};
            auto n = ParseWhole(*v, 64);
            if (!n) return UsageError{"--extra-matrix: '" + *v + "' is not a number from 0 to 64"};
            if (auto e = placement(Placement::Table)) return *e;
            options.extraMatrix = static_cast<int>(*n);
        } else if (arg == "--all-cpus") {
            if (auto e = placement(Placement::AllCpus)) return *e;
        } else if (arg == "--cycle-cores") {
            auto v = value();
            if (!v) return UsageError{"--cycle-cores needs a number of seconds"};
            auto n = ParseWhole(*v, 86400);
            if (!n || *n == 0)
                return UsageError{"--cycle-cores: '" + *v + "' is not a number of seconds from 1"};
            if (auto e = placement(Placement::CycleCores)) return *e;
            options.cycleSeconds = static_cast<unsigned>(*n);
        } else if (arg == "--cpus") {
            auto v = value();
            options.cpus = v ? ParseProcessorList(*v) : std::vector<int>{};
            if (options.cpus.empty())
                return UsageError{"--cpus needs a list of processors such as 0-3,8"};
        } else if (arg == "--one-per-core") {
            options.onePerCore = true;
        } else if (arg == "--stop-on-error") {
            options.stopOnError = true;
        } else if (arg == "--no-cross-check") {
            options.crossCheck = false;
        } else if (arg == "--expect-digest") {
            auto v = value();
            if (!v) return UsageError{"--expect-digest needs ROUTINE=HEX"};
            auto digest = ParseDigest(*v, registry);
            if (!digest)
                return UsageError{"--expect-digest: '" + *v +
                                  "' is not ROUTINE=HEX with ROUTINE one of " +
                                  DigestRoutines(registry)};
            options.expectDigests.push_back(*digest);
        } else if (arg == "--load") {
            auto v = value();
            if (!v) return UsageError{"--load needs load names: " + LoadNames(registry)};
            if (auto e = AddLoads(*v, registry, options.loads)) return *e;
        } else if (arg == "--isa") {
            auto v = value();
            const auto isa = v ? ParseIsa(*v) : std::nullopt;
            if (!isa || *isa == Isa::Base)
                return UsageError{"--isa: '" + v.value_or("") +
                                  "' is not one of avx512, avx2, sse2"};
            options.isa = isa;
        } else if (arg == "--list-loads") {
            options.listLoads = true;
        } else if (arg == "--json") {
            auto v = value();
            if (!v || v->empty()) return UsageError{"--json needs a file name"};
            options.jsonPath = *v;
        } else if (arg == "--ocp") {
            auto v = value();
            if (!v || v->empty()) return UsageError{"--ocp needs a file name"};
            options.ocpPath = *v;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--self-test") {
            options.selfTest = true;
        } else if (arg == "--version") {
            options.showVersion = true;
        } else if (arg == "--help" || arg == "-h") {
            options.showHelp = true;
        } else {
            return UsageError{"unknown argument '" + arg + "'"};
        }
    }
    if (options.selfTest && !options.ocpPath.empty())
        return UsageError{"--ocp records real runs, not --self-test's faulty one"};
    if (options.extraMatrix > 0 && !options.loads.empty()) {
        bool matrix = false;
        for (const std::string& name : options.loads) {
            const RegisteredLoad* load = FindLoad(registry, name);
            matrix = matrix || (load->dialog && load->dialog->routine == MatrixWorker);
        }
        if (!matrix) return UsageError{"--extra-matrix adds matrix workers; --load has no matrix"};
    }
    return options;
}

std::vector<int> ParseProcessorList(const std::string& list) {
    constexpr unsigned long kMost = 4095;
    std::vector<bool> chosen(kMost + 1);
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        const auto first = ParseWhole(item.substr(0, dash), kMost);
        const auto last =
            dash == std::string::npos ? first : ParseWhole(item.substr(dash + 1), kMost);
        if (!first || !last || *last < *first) return {};
        for (unsigned long p = *first; p <= *last; ++p) chosen[p] = true;
        start = comma + 1;
    }
    std::vector<int> processors;
    for (unsigned long p = 0; p <= kMost; ++p)
        if (chosen[p]) processors.push_back(static_cast<int>(p));
    return processors;
}
