#pragma once

// The two alignments a comparison of record lists needs: the longest run of
// pairs that keeps both lists' order, and a shortest edit script between
// two lists of signatures. Both are bounded: a comparison of big lists
// costs at most a set amount of work, then settles for fewer pairs.

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

/// A pair of elements, by their index in the first list and in the second.
using TIndexPair = std::pair<std::uint32_t, std::uint32_t>;

/// The longest subsequence of `pairs` (sorted by first index) whose second
/// indexes rise too: the pairs that can stand side by side in one order.
/// Returns their positions in `pairs`.
std::vector<std::size_t> IncreasingPairs(std::span<const TIndexPair> pairs);

/// Work a sequence alignment may spend (steps of the edit-script search,
/// summed over every call that shares the budget).
struct TAlignBudget {
  std::uint64_t Steps = 50'000'000;
};

/// The pairs of equal elements of `a` and `b` (indexes into them) of a
/// shortest edit script, found by the greedy forward search over diagonals;
/// where the search would cost more than the budget left, the unique
/// elements both lists share (in an order both keep) are paired instead,
/// and the stretches between them searched again as the budget allows.
std::vector<TIndexPair> AlignSequences(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b,
                                       TAlignBudget& budget);
