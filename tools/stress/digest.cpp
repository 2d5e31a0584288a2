// XXH3 from the system's xxHash; the cross build compiles the same header inline.
#include "tools/stress/digest.h"

#include <memory>

#ifdef QUARRION_XXHASH_INLINE
#define XXH_INLINE_ALL
#endif
#include <xxhash.h>

namespace {

struct FreeState {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

}  // namespace

std::uint64_t ResultsDigest(const double* values, std::size_t count) {
    return XXH3_64bits(values, count * sizeof(double));
}

std::uint64_t ResultsDigest(const PassResults& results) {
    if (results.count == 1) return ResultsDigest(results.arrays[0], results.length);
    const std::unique_ptr<XXH3_state_t, FreeState> state(XXH3_createState());
    if (!state) throw std::bad_alloc();
    XXH3_64bits_reset(state.get());
    for (std::size_t i = 0; i < results.count; ++i)
        XXH3_64bits_update(state.get(), results.arrays[i], results.length * sizeof(double));
    return XXH3_64bits_digest(state.get());
}
