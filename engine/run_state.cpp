// Storage of the process-wide run state, and the one rule that names its errors.
#include "engine/run_state.h"

TestRunStateRecord TestRunState;

RaisedErrors RaisedErrorsOf(const TestRunStateRecord& state) {
    return RaisedErrors{IsRaised(state.complexMathError), IsRaised(state.integerMathError),
                        IsRaised(state.matrixError), IsRaised(state.chipsetError)};
}

const char* ErrorMessage(RaisedErrors raised) {
    const char* message = nullptr;
    if (raised.complexMath) message = " Error in Complex Math";
    if (raised.integerMath) message = " Error in Integer Math";
    if (raised.matrix) message = " Error in Matrix";
    if (raised.chipset) message = " Error in Chipsets";
    return message;
}
