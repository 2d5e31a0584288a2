// Storage of the process-wide run state.
#include "engine/run_state.h"

TestRunStateRecord TestRunState;
