// The only library functions the workers call. Kept out of line and opaque to
// the optimiser, so that a duplicate call in a pass stays its own evaluation.
#pragma once

struct LibMath {
    static double Sin(double x);
    static double Cos(double x);
    static double Log(double x);
    static double Sqrt(double x);
};
