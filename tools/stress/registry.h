// Every load the runner can start, one row each. The plan, the reports, the
// OCP stream and the command line all loop over this table; a new load is one
// file exporting its descriptor and one row here.
#pragma once

#include <string>
#include <vector>

#include "engine/run_state.h"
#include "engine/worker.h"
#include "tools/stress/load.h"

// What the dialog knows of its own routines: the name reports keep (fleets pin
// digests by it), the flag its errors raise in the dialog's error line, and a
// letter for each result array.
struct DialogRoutine {
    WorkerRoutine routine;     // the engine's worker, to find the row from the dialog's table
    const char* name;          // "MatrixWorker"
    bool RaisedErrors::*flag;  // null: the routine raises none
    const char* arrayLetters;  // "ABCD"; one per result array
};

struct RegisteredLoad {
    const LoadDescriptor* descriptor;
    const DialogRoutine* dialog;  // the dialog's three routines only; null for the others
};

using LoadRegistry = std::vector<RegisteredLoad>;

// The program's loads, in the order --list-loads shows them.
const LoadRegistry& Registry();

// By the command-line name; null when the registry has none of that name.
const RegisteredLoad* FindLoad(const LoadRegistry& registry, const std::string& name);
// The row of one of the dialog's routines; null when the registry lacks it.
const RegisteredLoad* FindDialogLoad(const LoadRegistry& registry, WorkerRoutine routine);
// By the name reports give it (MatrixWorker, or the load's own name).
const RegisteredLoad* FindRoutine(const LoadRegistry& registry, const std::string& routine);

// "MatrixWorker" for the dialog's routines, the load's name for the others.
const char* RoutineName(const RegisteredLoad& load);
// The dialog's letter for its arrays ("B"); the array's number for other loads.
std::string ArrayName(const RegisteredLoad& load, int array);
// "matrix, memory, ...": for messages that name the known loads.
std::string LoadNames(const LoadRegistry& registry);
