// The matrix worker routine. Its 640000 bytes live on the heap, one set per instance.
#include "engine/matrix.h"

template void MatrixPass<LibMath>(double*, double*, double*, double*);

unsigned MatrixWorker(void*) {
    auto arrays = TryAllocate<MatrixArrays>();
    if (arrays) RunMatrix(*arrays, TestRunState);
    return 0;
}
