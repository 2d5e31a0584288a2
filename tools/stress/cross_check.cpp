// The election of a routine's reference and the judgement of each ballot.
#include "tools/stress/cross_check.h"

#include <algorithm>

#include "tools/stress/digest.h"

RoutineVote::RoutineVote(std::vector<std::size_t> voters, const PassResults& layout)
    : voters_(std::move(voters)),
      ballots_(voters_.size()),
      submitted_(std::make_unique<std::atomic<bool>[]>(voters_.size())),
      layout_(layout) {}

void RoutineVote::Submit(std::size_t slot, const PassResults& results) {
    std::vector<double>& ballot = ballots_[slot];
    ballot.resize(results.size());
    for (std::size_t i = 0; i < results.count; ++i)
        std::copy(results.arrays[i], results.arrays[i] + results.length,
                  ballot.begin() + static_cast<std::ptrdiff_t>(i * results.length));
    submitted_[slot].store(true, std::memory_order_release);
}

bool RoutineVote::TryDecide(const std::function<bool(std::size_t worker)>& excused) {
    if (decided_.load(std::memory_order_acquire)) return true;
    std::vector<std::size_t> cast;
    for (std::size_t slot = 0; slot < voters_.size(); ++slot) {
        if (submitted_[slot].load(std::memory_order_acquire))
            cast.push_back(slot);
        else if (!excused(voters_[slot]))
            return false;
    }
    if (counting_.exchange(true, std::memory_order_acq_rel)) return false;  // another counts

    std::vector<std::vector<std::size_t>> groups;  // of slots
    for (std::size_t slot : cast) {
        // The engine's bitwise rule, the one every other comparison uses.
        auto same = std::find_if(groups.begin(), groups.end(), [&](const auto& g) {
            return CompareResultsWith(ResultsIn(ballots_[slot].data(), layout_),
                                      ResultsIn(ballots_[g.front()].data(), layout_))
                       .mismatches == 0;
        });
        if (same == groups.end())
            groups.push_back({slot});
        else
            same->push_back(slot);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& a, const auto& b) { return a.size() > b.size(); });
    outcome_.ballots = cast.size();
    outcome_.majority = !groups.empty() && 2 * groups.front().size() > cast.size();
    if (outcome_.majority) {
        referenceSlot_ = groups.front().front();
        const std::vector<double>& reference = ballots_[referenceSlot_];
        outcome_.digest = ResultsDigest(reference.data(), reference.size());
    } else if (groups.size() >= 2) {
        outcome_.split = CompareResultsWith(ResultsIn(ballots_[groups[0][0]].data(), layout_),
                                            ResultsIn(ballots_[groups[1][0]].data(), layout_))
                             .first;
    }
    for (const auto& group : groups) {
        outcome_.groups.emplace_back();
        for (std::size_t slot : group) outcome_.groups.back().push_back(voters_[slot]);
    }
    decided_.store(true, std::memory_order_release);
    return true;
}

const VoteOutcome* RoutineVote::Outcome() const {
    return decided_.load(std::memory_order_acquire) ? &outcome_ : nullptr;
}

std::optional<PassResults> RoutineVote::Reference() const {
    const VoteOutcome* outcome = Outcome();
    if (!outcome || !outcome->majority) return {};
    return ResultsIn(ballots_[referenceSlot_].data(), layout_);
}

std::optional<PassResults> RoutineVote::Ballot(std::size_t slot) const {
    if (!submitted_[slot].load(std::memory_order_acquire)) return {};
    return ResultsIn(ballots_[slot].data(), layout_);
}

std::optional<CycleVerdict> RoutineVote::JudgeBallot(std::size_t slot) const {
    const auto reference = Reference();
    if (!reference || !submitted_[slot].load(std::memory_order_acquire)) return {};
    return CompareResultsWith(ResultsIn(ballots_[slot].data(), layout_), *reference);
}
