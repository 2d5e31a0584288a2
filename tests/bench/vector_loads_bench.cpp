// The vector loads' figures, each a ratio timed in turns (interleaved.h) and
// printed "name median min max":
//   fma_vs_peak        the fma load's FLOP per core cycle, both copies, with the
//                      comparison, ballot and digest, over the core's peak;
//   fma_add_vs_fma     the fma-add load's FLOP rate over the fma load's;
//   verification_cost  a bare fma cycle's time over a verified one's;
// and per load masked_bits_NAME: the share of single-bit flips of one copy's
// state, midway through the work, that leave the results unchanged (flip_probe.h).
// Core cycles come from the add chain (cycle_clock.h), timed in the same turns.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/bench/interleaved.h"
#include "tools/stress/cross_check.h"
#include "tools/stress/cycle_clock.h"
#include "tools/stress/digest.h"
#include "tools/stress/isa.h"
#include "tools/stress/loads/flip_probe.h"
#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/twin_buffers.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

// Double-precision FLOP per cycle from the FMA pipes (pipes x lanes x 2) for
// the cores the chain-count table knows; zero: measure instead.
double TablePeak(const vload::Processor& p, Isa isa) {
    const auto fpu = vload::KnownCore(p);
    if (!fpu || isa == Isa::Base) return 0;
    const unsigned pipes = isa == Isa::Avx512 ? fpu->pipes512 : fpu->pipes256;
    return pipes * (isa == Isa::Avx512 ? 8.0 : 4.0) * 2.0;
}

// Cycles one run of `work` takes: the add chain timed in the same turns.
template <typename Work>
InterleavedRatio PerChainCycle(Work&& work, std::uint64_t chainSteps, int pairs = 15) {
    auto chain = [chainSteps] { RunAddChain(chainSteps); };
    return MeasureInterleaved(chain, work, pairs, 0.03);
}

InterleavedRatio Scaled(InterleavedRatio r, double factor) {
    r.median *= factor;
    r.min *= factor;
    r.max *= factor;
    return r;
}

// The best FLOP per cycle of the bare one-copy kernel over a sweep of chain counts.
double SweptPeak(Isa isa) {
    constexpr std::size_t kSteps = 1 << 16;
    double best = 0;
    for (std::size_t chains : vload::kBlockSizes) {
        const double flops = vload::BareFmaChains(isa, chains, kSteps);
        const auto cycles = PerChainCycle([&] { vload::BareFmaChains(isa, chains, kSteps); },
                                          static_cast<std::uint64_t>(flops / 16), 5);
        // The work's cycles are the chain's steps over (chain time / work time).
        const double workCycles = flops / 16 / cycles.median;
        best = std::max(best, flops / workCycles);
    }
    return best;
}

// One verified fma cycle as the runner makes it: both copies compared, the first
// copy judged against the elected reference and digested.
struct VerifiedCycle {
    std::unique_ptr<LoadInstance> load;
    PassResults reference;
    std::uint64_t number = 0, mismatches = 0, digests = 0;
    void operator()() {
        mismatches += load->RunCycle(++number, {}).mismatches;
        mismatches += CompareResultsWith(load->FirstPass(), reference).mismatches;
        const PassResults pass = load->FirstPass();
        digests ^= ResultsDigest(pass.arrays[0], pass.size());
    }
};

}  // namespace

// An argument names the instruction set to measure (avx2 on an AVX-512 core,
// say); by default the widest the processor has.
int main(int argc, char** argv) {
    std::optional<Isa> forced;
    if (argc > 1 && !(forced = ParseIsa(argv[1]))) {
        std::fprintf(stderr, "usage: vector_loads_bench [avx512|avx2]\n");
        return 2;
    }
    const auto isa = ChooseIsa(kFmaLoad.isas, MachineIsas(), forced);
    if (!isa) {
        std::printf("vector loads: this processor has no fused multiply-add%s; no figures\n",
                    forced ? " in that instruction set" : "");
        return 0;
    }
    const vload::TwinKernels* kernels = vload::KernelsFor(*isa);

    VerifiedCycle verified{kFmaLoad.make(*isa), {}};
    verified.load->RunCycle(0, {});
    RoutineVote vote({0}, kFmaLoad.layout);
    vote.Submit(0, verified.load->FirstPass());
    vote.TryDecide([](std::size_t) { return false; });
    verified.reference = *vote.Reference();

    const vload::Processor processor = vload::IdentifyProcessor();
    const auto core = vload::KnownCore(processor);
    double peak = TablePeak(processor, *isa);
    const char* source = "table";
    if (peak == 0) {
        peak = SweptPeak(*isa);
        source = "best bare kernel";
    }
    const vload::ChainCounts& counts = vload::ChainCountsFor(*isa);
    std::printf(
        "processor %s family 0x%x model 0x%x (%s), %s, peak %.1f FLOP/cycle (%s), blocks fma %zu "
        "fma-add %zu\n",
        processor.vendor.c_str(), processor.family, processor.model,
        core ? core->name : "not in the table", IsaName(*isa), peak, source, counts.fma,
        counts.fmaAdd);

    // FLOP per cycle = flops / (cycle seconds * chain steps / chain seconds).
    const auto chainSteps = static_cast<std::uint64_t>(kFmaLoad.flopsPerCycle / peak);
    const InterleavedRatio perCycle = PerChainCycle(verified, chainSteps, 60);
    PrintRatio("fma_vs_peak",
               Scaled(perCycle, kFmaLoad.flopsPerCycle / (static_cast<double>(chainSteps) * peak)));

    auto mixed = kFmaAddLoad.make(*isa);
    auto plain = kFmaLoad.make(*isa);
    std::uint64_t sink = 0;
    // Many short turns: other builds on a shared machine move single samples a lot.
    const InterleavedRatio rates =
        MeasureInterleaved([&] { sink += plain->RunCycle(1, {}).mismatches; },
                           [&] { sink += mixed->RunCycle(1, {}).mismatches; }, 60, 0.03);
    PrintRatio("fma_add_vs_fma", Scaled(rates, kFmaAddLoad.flopsPerCycle / kFmaLoad.flopsPerCycle));

    // Laid out as the load's own buffers are, each copy on its own cache lines.
    vload::TwinBuffers buffers(kFmaLoad.layout);
    double* const first = buffers.First();
    double* const second = buffers.Second();
    auto bare = [&] {
        vload::SeedChains(first, vload::kFmaChains, false);
        vload::SeedChains(second, vload::kFmaChains, false);
        kernels->fma(first, second, vload::kMap, vload::kMap, vload::kFmaSteps,
                     vload::ChainCountsFor(*isa).fma);
        sink += first[0] != second[0];
    };
    PrintRatio("verification_cost", MeasureInterleaved(bare, verified, 60, 0.03));
    std::printf("fma_cycle_ms %.3f\n", perCycle.denominatorSeconds * 1e3);
    std::printf("fma_add_cycle_ms %.3f\n", rates.denominatorSeconds * 1e3);
    for (const LoadDescriptor* load : {&kFmaLoad, &kFmaAddLoad, &kCacheLoad, &kIntLoad}) {
        const auto loadIsa = ChooseIsa(load->isas & ~IsaBit(Isa::Base), MachineIsas(), forced);
        if (!loadIsa) continue;
        std::size_t flips = 0, masked = 0, signs = 0, exponents = 0;
        for (int copy = 0; copy < 2; ++copy) {
            const vload::FlipTally t = vload::ProbeFlips(*load, *loadIsa, copy);
            flips += t.Flips();
            masked += t.Masked();
            signs += t.masked[vload::kSign];
            exponents += t.masked[vload::kExponent];
        }
        std::string name = load->name;
        std::replace(name.begin(), name.end(), '-', '_');
        std::printf("masked_bits_%s %.6f (%s: %zu of %zu flips; sign %zu, exponent %zu)\n",
                    name.c_str(),
                    flips ? static_cast<double>(masked) / static_cast<double>(flips) : 0.0,
                    IsaName(*loadIsa), masked, flips, signs, exponents);
    }
    // A mismatch here is a fault of this machine.
    return sink == 0 && verified.mismatches == 0 ? 0 : 1;
}
