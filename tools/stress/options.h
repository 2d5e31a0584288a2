// Command line of quarrion-stress.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

enum class Placement {
    Table,      // the dialog's worker table
    AllCpus,    // one pinned matrix worker per logical processor, plus memory and complex math
    CycleCores  // one matrix worker, moved to the next logical processor every few seconds
};

struct StressOptions {
    unsigned seconds = 60;  // 0: until interrupted
    int extraMatrix = -1;   // -1: one per unit (MMX, SSE) the processor has
    Placement placement = Placement::Table;
    unsigned cycleSeconds = 0;  // with CycleCores
    bool stopOnError = false;
    bool crossCheck = true;  // workers of one routine compared with each other
    std::vector<std::pair<std::string, std::uint64_t>> expectDigests;  // routine, digest
    std::string ocpPath;                                               // empty: no OCP stream
    std::string jsonPath;                                              // empty: no report
    bool quiet = false;
    bool selfTest = false;
    bool showVersion = false;
    bool showHelp = false;
};

struct UsageError {
    std::string message;  // one line naming the bad argument
};

std::variant<StressOptions, UsageError> ParseArguments(const std::vector<std::string>& args);

extern const char* const kUsage;
