// The registry's rows. The dialog's routines come first, in the dialog's order.
#include "tools/stress/registry.h"

#include <cstring>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "tools/stress/loads/dialog_loads.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

const DialogRoutine kMatrixRoutine{MatrixWorker, "MatrixWorker", &RaisedErrors::matrix, "ABCD"};
const DialogRoutine kMemoryRoutine{MemoryWorker, "MemoryWorker", nullptr, ""};
const DialogRoutine kComplexMathRoutine{ComplexMathWorker, "ComplexMathWorker",
                                        &RaisedErrors::complexMath, "XY"};

}  // namespace

const LoadRegistry& Registry() {
    static const LoadRegistry rows = {
        {&kMatrixLoad, &kMatrixRoutine},
        {&kMemoryLoad, &kMemoryRoutine},
        {&kComplexMathLoad, &kComplexMathRoutine},
        {&kFmaLoad, nullptr},
        {&kFmaAddLoad, nullptr},
        {&kCacheLoad, nullptr},
        {&kIntLoad, nullptr},
    };
    return rows;
}

const RegisteredLoad* FindLoad(const LoadRegistry& registry, const std::string& name) {
    for (const RegisteredLoad& load : registry)
        if (name == load.descriptor->name) return &load;
    return nullptr;
}

const RegisteredLoad* FindDialogLoad(const LoadRegistry& registry, WorkerRoutine routine) {
    for (const RegisteredLoad& load : registry)
        if (load.dialog && load.dialog->routine == routine) return &load;
    return nullptr;
}

const RegisteredLoad* FindRoutine(const LoadRegistry& registry, const std::string& routine) {
    for (const RegisteredLoad& load : registry)
        if (routine == RoutineName(load)) return &load;
    return nullptr;
}

const char* RoutineName(const RegisteredLoad& load) {
    return load.dialog ? load.dialog->name : load.descriptor->name;
}

std::string ArrayName(const RegisteredLoad& load, int array) {
    if (array < 0) return "?";
    if (!load.dialog) return std::to_string(array);
    const char* letters = load.dialog->arrayLetters;
    if (static_cast<std::size_t>(array) >= std::strlen(letters)) return "?";
    return std::string(1, letters[array]);
}

std::string LoadNames(const LoadRegistry& registry) {
    std::string names;
    for (const RegisteredLoad& load : registry)
        names += (names.empty() ? "" : ", ") + std::string(load.descriptor->name);
    return names;
}
