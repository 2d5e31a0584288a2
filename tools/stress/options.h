// Command line of quarrion-stress.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "tools/stress/load.h"
#include "tools/stress/registry.h"

enum class Placement {
    Table,      // the dialog's worker table
    AllCpus,    // one pinned worker of each load per logical processor (the dialog's
                // table: matrix workers, plus memory and complex math unpinned)
    CycleCores  // one worker of each load (the matrix alone by default), moved together to
                // the next logical processor every few seconds
};

struct StressOptions {
    unsigned seconds = 60;           // 0: until interrupted
    int extraMatrix = -1;            // -1: one per unit (MMX, SSE) the processor has, in the table
    std::vector<std::string> loads;  // --load, as given; empty: the dialog's table
    std::optional<Isa> isa;          // --isa: forced for every load built for more than its base
    Placement placement = Placement::Table;
    unsigned cycleSeconds = 0;  // with CycleCores
    std::vector<int> cpus;      // --cpus: only these logical processors; empty: every usable one
    bool onePerCore = false;    // --one-per-core: one logical processor of each physical core
    bool stopOnError = false;
    bool crossCheck = true;  // workers of one routine compared with each other
    std::vector<std::pair<std::string, std::uint64_t>> expectDigests;  // routine, digest
    std::string ocpPath;                                               // empty: no OCP stream
    std::string jsonPath;                                              // empty: no report
    bool quiet = false;
    bool selfTest = false;
    bool listLoads = false;
    bool showVersion = false;
    bool showHelp = false;
};

struct UsageError {
    std::string message;  // one line naming the bad argument
};

// Load and routine names are checked against `registry`.
std::variant<StressOptions, UsageError> ParseArguments(const std::vector<std::string>& args,
                                                       const LoadRegistry& registry = Registry());

extern const char* const kUsage;

// "0-3,8" as processor numbers, ascending and each once; empty on a bad list.
std::vector<int> ParseProcessorList(const std::string& list);
