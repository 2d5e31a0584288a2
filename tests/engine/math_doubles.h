// The calls this test program's LibMath (counted_lib_math.cpp) has made on the
// calling thread: counted, recorded in call order, with a hook after a chosen call.
#pragma once

#include <functional>
#include <string>

struct CallLog {
    long sin = 0, cos = 0, log = 0, sqrt = 0;
    std::string order;  // one letter per call: s c l q
    bool recordOrder = false;
    long total() const { return sin + cos + log + sqrt; }
    // Runs after the given call number (1-based); may change the result.
    long hookAt = 0;
    std::function<void(double&)> hook;

    // Each thread counts its own calls: workers of other tests never mix in.
    static CallLog& Get() {
        static thread_local CallLog log;
        return log;
    }
    static void Reset() { Get() = CallLog{}; }
};
