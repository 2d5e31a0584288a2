// Stand-ins for LibMath in engine tests: the same library functions, counted,
// recorded in call order, or with a hook after a chosen call.
#pragma once

#include <cmath>
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

    static CallLog& Get() {
        static CallLog log;
        return log;
    }
    static void Reset() { Get() = CallLog{}; }
};

struct CountingMath {
    static double Note(long& counter, char letter, double value) {
        CallLog& log = CallLog::Get();
        ++counter;
        if (log.recordOrder) log.order.push_back(letter);
        if (log.hook && log.total() == log.hookAt) log.hook(value);
        return value;
    }
    static double Sin(double x) { return Note(CallLog::Get().sin, 's', std::sin(x)); }
    static double Cos(double x) { return Note(CallLog::Get().cos, 'c', std::cos(x)); }
    static double Log(double x) { return Note(CallLog::Get().log, 'l', std::log(x)); }
    static double Sqrt(double x) { return Note(CallLog::Get().sqrt, 'q', std::sqrt(x)); }
};
