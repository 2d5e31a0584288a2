// Cross-core check. On sound hardware every worker of one routine computes the
// same bits in every cycle, so a core that is wrong the same way in both passes
// shows against the others: the workers' first cycles elect a reference by
// majority, and each later cycle's first pass is compared with it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/cycle_verdict.h"

struct VoteOutcome {
    std::size_t ballots = 0;   // first cycles that arrived to vote
    bool majority = false;     // more than half of the ballots identical
    std::uint64_t digest = 0;  // of the reference, with a majority
    // Workers by identical ballots, the largest group first, ties in worker order.
    std::vector<std::vector<std::size_t>> groups;
    // Without a majority: where the two largest groups first differ.
    std::optional<Mismatch> split;
};

// One load's election. Each voter writes only its own slot; whoever finds
// every slot filled or excused counts the votes, once, and publishes.
class RoutineVote {
public:
    // `layout`: the shape of every ballot (the load's descriptor says it).
    RoutineVote(std::vector<std::size_t> voters, const PassResults& layout);
    RoutineVote(const RoutineVote&) = delete;
    RoutineVote& operator=(const RoutineVote&) = delete;

    const std::vector<std::size_t>& voters() const { return voters_; }

    // The voter's first cycle; by the voter's own thread, once.
    void Submit(std::size_t slot, const PassResults& results);

    // Counts the votes when every voter has submitted or is excused; answers
    // whether the outcome is decided now (by this call or an earlier one).
    bool TryDecide(const std::function<bool(std::size_t worker)>& excused);

    const VoteOutcome* Outcome() const;  // null until decided
    // The reference in the results' layout; nothing without a majority.
    std::optional<PassResults> Reference() const;
    // A voter's own first cycle; empty when it cast none.
    std::optional<PassResults> Ballot(std::size_t slot) const;
    // A voter's own first cycle against the reference; empty when it cast no ballot.
    std::optional<CycleVerdict> JudgeBallot(std::size_t slot) const;

private:
    std::vector<std::size_t> voters_;
    std::vector<std::vector<double>> ballots_;        // per slot
    std::unique_ptr<std::atomic<bool>[]> submitted_;  // per slot
    PassResults layout_;
    std::atomic<bool> counting_{false};
    std::atomic<bool> decided_{false};
    VoteOutcome outcome_;
    std::size_t referenceSlot_ = 0;
};
