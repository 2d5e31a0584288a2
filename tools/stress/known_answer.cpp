// The known results are computed only when a pass misses the digest: a sound
// run never pays for the reference instance.
#include "tools/stress/known_answer.h"

#include <algorithm>

#include "tools/stress/digest.h"

Isa ReferenceIsa(unsigned loadIsas, unsigned machineIsas) {
    for (Isa isa : {Isa::Base, Isa::Sse2, Isa::Avx2, Isa::Avx512})
        if (loadIsas & machineIsas & IsaBit(isa)) return isa;
    return Isa::Base;
}

bool ComputeKnownResults(const LoadDescriptor& load, Isa isa, std::vector<double>& known) {
    known.clear();
    const std::unique_ptr<LoadInstance> reference = load.make(isa);
    if (!reference) return false;
    reference->RunCycle(1, CycleFault{});
    const PassResults results = reference->FirstPass();
    if (results.size() != load.layout.size() || ResultsDigest(results) != load.knownDigest)
        return false;
    known.resize(results.size());
    for (std::size_t i = 0; i < results.count; ++i)
        std::copy(results.arrays[i], results.arrays[i] + results.length,
                  known.begin() + static_cast<std::ptrdiff_t>(i * results.length));
    return true;
}

std::optional<KnownAnswerJudgement> JudgeKnownAnswer(const LoadDescriptor& load, Isa referenceIsa,
                                                     const PassResults& pass,
                                                     std::vector<double>& known) {
    if (load.knownDigest == 0 || pass.size() == 0) return {};
    KnownAnswerJudgement judgement;
    judgement.digest = ResultsDigest(pass);
    if (judgement.digest == load.knownDigest) return {};
    if (known.empty() && !ComputeKnownResults(load, referenceIsa, known)) return judgement;
    judgement.verdict = CompareResultsWith(pass, ResultsIn(known.data(), pass));
    return judgement;
}
