// Engine figures: how close a worker cycle comes to the bare cost of its library
// calls or fills, and worker cycles per second alone and in a full run. Ratios
// are timed in turns (interleaved.h) and print "name median min max"; the other
// figures print "name value". Google Benchmark keeps the optimiser honest.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "tests/bench/interleaved.h"
#include "tools/stress/platform.h"

namespace {

// The arguments of one matrix pass, in call order, for the bare-call loop.
struct RecordedCall {
    char function;
    double argument;
};
std::vector<RecordedCall> g_matrixCalls;

struct RecordingMath {
    static double Sin(double x) { return Note('s', x, LibMath::Sin(x)); }
    static double Cos(double x) { return Note('c', x, LibMath::Cos(x)); }
    static double Log(double x) { return Note('l', x, LibMath::Log(x)); }
    static double Sqrt(double x) { return Note('q', x, LibMath::Sqrt(x)); }
    static double Note(char f, double x, double result) {
        g_matrixCalls.push_back({f, x});
        return result;
    }
};

// The pieces of work the ratios compare: a worker cycle, and the bare library
// calls or fills it is made of.
struct ComplexCycleWork {
    std::unique_ptr<ComplexMathArrays> arrays = std::make_unique<ComplexMathArrays>();
    std::atomic<bool> flag{false};
    void operator()() { ComplexMathCycle(*arrays, flag); }
};

void ComplexLibmLimit() {
    double sink = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t k = 0; k < kComplexLength; ++k) {
            sink += LibMath::Sin(static_cast<double>(k));
            sink += LibMath::Cos(static_cast<double>(k));
        }
    }
    benchmark::DoNotOptimize(sink);
}

struct MatrixCycleWork {
    std::unique_ptr<MatrixArrays> arrays = std::make_unique<MatrixArrays>();
    std::atomic<bool> flag{false};
    void operator()() { MatrixCycle(*arrays, flag); }
};

void MatrixLibmLimit() {
    if (g_matrixCalls.empty()) {
        auto m = std::make_unique<MatrixArrays>();
        MatrixPass<RecordingMath>(m->a, m->b, m->c, m->d);
    }
    double sink = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const RecordedCall& call : g_matrixCalls) {
            switch (call.function) {
                case 's':
                    sink += LibMath::Sin(call.argument);
                    break;
                case 'c':
                    sink += LibMath::Cos(call.argument);
                    break;
                case 'l':
                    sink += LibMath::Log(call.argument);
                    break;
                default:
                    sink += LibMath::Sqrt(call.argument);
                    break;
            }
        }
    }
    benchmark::DoNotOptimize(sink);
}

std::atomic<bool> g_stopAfterOneCycle{false};

struct MemoryCycleWork {
    std::vector<unsigned char> block = std::vector<unsigned char>(kMemoryBlockSize);
    void operator()() {
        g_stopAfterOneCycle = false;
        RunMemoryFills(block.data(), block.size(), g_stopAfterOneCycle,
                       [](const unsigned char*, std::size_t) { g_stopAfterOneCycle = true; });
    }
};

struct TwoMemsetsWork {
    std::vector<unsigned char> block = std::vector<unsigned char>(kMemoryBlockSize);
    void operator()() {
        std::memset(block.data(), 97, block.size());
        benchmark::ClobberMemory();
        std::memset(block.data(), 0, block.size());
        benchmark::ClobberMemory();
    }
};

// Cycles per second of each kind of worker while the full five-worker table runs.
std::map<std::string, double> FullTableRates(double seconds) {
    TestRunStateRecord state;
    std::atomic<unsigned long> matrix{0}, complex{0}, memory{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&] {
            auto m = std::make_unique<MatrixArrays>();
            matrix += RunMatrix(*m, state);
        });
    threads.emplace_back([&] {
        std::vector<unsigned char> block(kMemoryBlockSize);
        memory += RunMemoryFills(block.data(), block.size(), state.stopRequested);
    });
    threads.emplace_back([&] {
        auto a = std::make_unique<ComplexMathArrays>();
        complex += RunComplexMath(*a, state);
    });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    state.stopRequested = true;
    for (auto& t : threads) t.join();
    return {{"matrix", matrix / seconds / 3},
            {"complex", complex / seconds},
            {"memory", memory / seconds}};
}

// Matrix cycles per second of one worker pinned to each listed processor, all at once.
double PinnedMatrixRate(const std::vector<int>& processors, double seconds) {
    TestRunStateRecord state;
    std::atomic<unsigned long> cycles{0};
    std::vector<std::thread> threads;
    for (int cpu : processors)
        threads.emplace_back([&, cpu] {
            PinCurrentThread(cpu);
            auto m = std::make_unique<MatrixArrays>();
            cycles += RunMatrix(*m, state);
        });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    state.stopRequested = true;
    for (auto& t : threads) t.join();
    return cycles / seconds;
}

}  // namespace

int main() {
    // Each ratio: the bare calls or fills over the worker cycle made of them.
    const InterleavedRatio complex = MeasureInterleaved(ComplexLibmLimit, ComplexCycleWork{});
    const InterleavedRatio matrix = MeasureInterleaved(MatrixLibmLimit, MatrixCycleWork{});
    const InterleavedRatio memory = MeasureInterleaved(TwoMemsetsWork{}, MemoryCycleWork{});
    PrintRatio("complex_cycle_vs_libm_limit", complex);
    PrintRatio("matrix_cycle_vs_libm_limit", matrix);
    PrintRatio("memory_fill_vs_memset", memory);
    std::printf("matrix_cycles_per_second_single %.1f\n", 1.0 / matrix.denominatorSeconds);
    std::printf("complex_cycles_per_second_single %.1f\n", 1.0 / complex.denominatorSeconds);
    std::printf("memory_cycles_per_second_single %.1f\n", 1.0 / memory.denominatorSeconds);
    for (const auto& [name, rate] : FullTableRates(3.0))
        std::printf("%s_cycles_per_second_full_table %.1f\n", name.c_str(), rate);
    // Scaling: the rate of one pinned worker per processor over that many times
    // the rate of one alone, the two measured in turns like every other ratio.
    const std::vector<int> processors = UsableProcessors();
    std::vector<double> scalings;
    for (int pair = 0; pair < 9; ++pair) {
        const double lone = PinnedMatrixRate({processors.front()}, 0.5);
        const double all = PinnedMatrixRate(processors, 0.5);
        scalings.push_back(all / (lone * static_cast<double>(processors.size())));
    }
    InterleavedRatio scaling;
    scaling.median = interleaved::Median(scalings);
    scaling.min = *std::min_element(scalings.begin(), scalings.end());
    scaling.max = *std::max_element(scalings.begin(), scalings.end());
    PrintRatio("matrix_all_cpus_scaling", scaling);
    return 0;
}
