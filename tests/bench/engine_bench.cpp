// Engine figures: how close a worker cycle comes to the bare cost of its library
// calls or fills, and worker cycles per second alone and in a full run. Google
// Benchmark measures; the output is one "name value" line per figure.
#include <benchmark/benchmark.h>

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

void BM_ComplexCycle(benchmark::State& state) {
    auto a = std::make_unique<ComplexMathArrays>();
    std::atomic<bool> flag{false};
    for (auto _ : state) ComplexMathCycle(*a, flag);
}

void BM_ComplexLibmLimit(benchmark::State& state) {
    for (auto _ : state) {
        double sink = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t k = 0; k < kComplexLength; ++k) {
                sink += LibMath::Sin(static_cast<double>(k));
                sink += LibMath::Cos(static_cast<double>(k));
            }
        }
        benchmark::DoNotOptimize(sink);
    }
}

void BM_MatrixCycle(benchmark::State& state) {
    auto m = std::make_unique<MatrixArrays>();
    std::atomic<bool> flag{false};
    for (auto _ : state) MatrixCycle(*m, flag);
}

void BM_MatrixLibmLimit(benchmark::State& state) {
    if (g_matrixCalls.empty()) {
        auto m = std::make_unique<MatrixArrays>();
        MatrixPass<RecordingMath>(m->a, m->b, m->c, m->d);
    }
    for (auto _ : state) {
        double sink = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (const RecordedCall& call : g_matrixCalls) {
                switch (call.function) {
                    case 's': sink += LibMath::Sin(call.argument); break;
                    case 'c': sink += LibMath::Cos(call.argument); break;
                    case 'l': sink += LibMath::Log(call.argument); break;
                    default: sink += LibMath::Sqrt(call.argument); break;
                }
            }
        }
        benchmark::DoNotOptimize(sink);
    }
}

std::atomic<bool> g_stopAfterOneCycle{false};

void BM_MemoryCycle(benchmark::State& state) {
    std::vector<unsigned char> block(kMemoryBlockSize);
    for (auto _ : state) {
        g_stopAfterOneCycle = false;
        RunMemoryFills(block.data(), block.size(), g_stopAfterOneCycle,
                       [](const unsigned char*, std::size_t) { g_stopAfterOneCycle = true; });
    }
}

void BM_TwoMemsets(benchmark::State& state) {
    std::vector<unsigned char> block(kMemoryBlockSize);
    for (auto _ : state) {
        std::memset(block.data(), 97, block.size());
        benchmark::ClobberMemory();
        std::memset(block.data(), 0, block.size());
        benchmark::ClobberMemory();
    }
}

// Keeps the mean time per iteration of each benchmark, by name.
class Collector : public benchmark::BenchmarkReporter {
public:
    std::map<std::string, double> seconds;
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.iterations > 0)
                seconds[run.run_name.function_name] = run.real_accumulated_time / run.iterations;
        }
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

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("complex_cycle", BM_ComplexCycle)->MinTime(0.5);
    benchmark::RegisterBenchmark("complex_libm", BM_ComplexLibmLimit)->MinTime(0.5);
    benchmark::RegisterBenchmark("matrix_cycle", BM_MatrixCycle)->MinTime(1.0);
    benchmark::RegisterBenchmark("matrix_libm", BM_MatrixLibmLimit)->MinTime(1.0);
    benchmark::RegisterBenchmark("memory_cycle", BM_MemoryCycle)->MinTime(0.5);
    benchmark::RegisterBenchmark("two_memsets", BM_TwoMemsets)->MinTime(0.5);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    auto& t = collector.seconds;
    std::printf("complex_cycle_vs_libm_limit %.3f\n", t["complex_libm"] / t["complex_cycle"]);
    std::printf("matrix_cycle_vs_libm_limit %.3f\n", t["matrix_libm"] / t["matrix_cycle"]);
    std::printf("memory_fill_vs_memset %.3f\n", t["two_memsets"] / t["memory_cycle"]);
    std::printf("matrix_cycles_per_second_single %.1f\n", 1.0 / t["matrix_cycle"]);
    std::printf("complex_cycles_per_second_single %.1f\n", 1.0 / t["complex_cycle"]);
    std::printf("memory_cycles_per_second_single %.1f\n", 1.0 / t["memory_cycle"]);
    for (const auto& [name, rate] : FullTableRates(3.0))
        std::printf("%s_cycles_per_second_full_table %.1f\n", name.c_str(), rate);
    const std::vector<int> processors = UsableProcessors();
    const double lone = PinnedMatrixRate({processors.front()}, 3.0);
    const double all = PinnedMatrixRate(processors, 3.0);
    std::printf("matrix_all_cpus_scaling %.3f\n", all / (lone * processors.size()));
    return 0;
}
