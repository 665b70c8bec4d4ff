#include "xls/compare/SequenceAlign.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

std::vector<std::size_t> IncreasingPairs(std::span<const TIndexPair> pairs)
{
  // Patience sorting: tails[k] is the pair ending the best run of k + 1.
  std::vector<std::size_t> tails;
  std::vector<std::size_t> previous(pairs.size(), pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto at = std::lower_bound(tails.begin(), tails.end(), pairs[i].second,
                                     [&](std::size_t t, std::uint32_t b) { return pairs[t].second < b; });
    if (at != tails.begin())
      previous[i] = *(at - 1);
    if (at == tails.end())
      tails.push_back(i);
    else
      *at = i;
  }
  std::vector<std::size_t> run;
  for (std::size_t i = tails.empty() ? pairs.size() : tails.back(); i < pairs.size(); i = previous[i])
    run.push_back(i);
  std::reverse(run.begin(), run.end());
  return run;
}

namespace {

/// The greedy search for a shortest edit script; nothing when it would
/// take more steps than the budget has.
std::optional<std::vector<TIndexPair>> Greedy(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b,
                                              std::uint32_t offsetA, std::uint32_t offsetB, TAlignBudget& budget)
{
  const auto n = static_cast<std::int64_t>(a.size());
  const auto m = static_cast<std::int64_t>(b.size());
  // A script of d edits costs about d * d steps: the budget bounds d.
  const std::int64_t most =
      std::min<std::int64_t>(n + m, static_cast<std::int64_t>(std::sqrt(static_cast<double>(budget.Steps))) + 1);
  // Each round d keeps the furthest x on diagonals -d..d; the rounds are
  // kept for the walk back. Their size grows with d squared: the budget
  // counts it as well as the comparisons.
  std::vector<std::vector<std::int64_t>> rounds;
  std::vector<std::int64_t> v(static_cast<std::size_t>(2 * most + 3), 0);
  const std::int64_t mid = most + 1;
  for (std::int64_t d = 0; d <= most; ++d) {
    const auto cost = static_cast<std::uint64_t>(2 * d + 1);
    if (cost > budget.Steps)
      return std::nullopt;
    budget.Steps -= cost;
    for (std::int64_t k = -d; k <= d; k += 2) {
      std::int64_t x = (k == -d || (k != d && v[mid + k - 1] < v[mid + k + 1])) ? v[mid + k + 1] : v[mid + k - 1] + 1;
      std::int64_t y = x - k;
      const std::int64_t start = x;
      while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) {
        ++x;
        ++y;
      }
      const auto run = static_cast<std::uint64_t>(x - start);
      budget.Steps -= std::min(run, budget.Steps);
      v[mid + k] = x;
      if (x >= n && y >= m) {
        rounds.emplace_back(v.begin() + (mid - d), v.begin() + (mid + d + 1));
        // Walk back from the end, round by round.
        std::vector<TIndexPair> pairs;
        std::int64_t px = n;
        std::int64_t py = m;
        for (std::int64_t r = d; r > 0; --r) {
          const std::vector<std::int64_t>& before = rounds[static_cast<std::size_t>(r - 1)];
          const auto at = [&](std::int64_t kk) { return before[static_cast<std::size_t>(kk + r - 1)]; };
          const std::int64_t kk = px - py;
          const std::int64_t prevK = (kk == -r || (kk != r && at(kk - 1) < at(kk + 1))) ? kk + 1 : kk - 1;
          const std::int64_t prevX = at(prevK);
          const std::int64_t prevY = prevX - prevK;
          while (px > prevX && py > prevY) {
            --px;
            --py;
            pairs.emplace_back(offsetA + static_cast<std::uint32_t>(px), offsetB + static_cast<std::uint32_t>(py));
          }
          px = prevX;
          py = prevY;
        }
        while (px > 0 && py > 0) {
          --px;
          --py;
          pairs.emplace_back(offsetA + static_cast<std::uint32_t>(px), offsetB + static_cast<std::uint32_t>(py));
        }
        std::reverse(pairs.begin(), pairs.end());
        return pairs;
      }
    }
    rounds.emplace_back(v.begin() + (mid - d), v.begin() + (mid + d + 1));
  }
  return std::nullopt;
}

void Align(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b, std::uint32_t offsetA,
           std::uint32_t offsetB, TAlignBudget& budget, int depth, std::vector<TIndexPair>& out)
{
  // The common start and end pair at once.
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) {
    out.emplace_back(offsetA + static_cast<std::uint32_t>(head), offsetB + static_cast<std::uint32_t>(head));
    ++head;
  }
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
    ++tail;
  const auto middleA = a.subspan(head, a.size() - head - tail);
  const auto middleB = b.subspan(head, b.size() - head - tail);
  const auto midA = offsetA + static_cast<std::uint32_t>(head);
  const auto midB = offsetB + static_cast<std::uint32_t>(head);
  if (!middleA.empty() && !middleB.empty()) {
    if (auto pairs = Greedy(middleA, middleB, midA, midB, budget)) {
      out.insert(out.end(), pairs->begin(), pairs->end());
    } else if (depth < 8) {
      // Too dear: pair the elements that occur once in each list, keep the
      // longest run of them in both orders, and align between them.
      std::unordered_map<std::uint64_t, std::pair<std::int64_t, std::int64_t>> seen;  // first index, or -1 twice
      for (std::size_t i = 0; i < middleA.size(); ++i) {
        auto [it, added] = seen.try_emplace(middleA[i], static_cast<std::int64_t>(i), -2);
        if (!added)
          it->second.first = -1;
      }
      for (std::size_t j = 0; j < middleB.size(); ++j) {
        auto it = seen.find(middleB[j]);
        if (it != seen.end())
          it->second.second = it->second.second == -2 ? static_cast<std::int64_t>(j) : -1;
      }
      std::vector<TIndexPair> unique;
      for (const auto& [signature, at] : seen)
        if (at.first >= 0 && at.second >= 0)
          unique.emplace_back(static_cast<std::uint32_t>(at.first), static_cast<std::uint32_t>(at.second));
      std::sort(unique.begin(), unique.end());
      std::uint32_t fromA = 0;
      std::uint32_t fromB = 0;
      for (const std::size_t k : IncreasingPairs(unique)) {
        const auto [ia, ib] = unique[k];
        Align(middleA.subspan(fromA, ia - fromA), middleB.subspan(fromB, ib - fromB), midA + fromA, midB + fromB,
              budget, depth + 1, out);
        out.emplace_back(midA + ia, midB + ib);
        fromA = ia + 1;
        fromB = ib + 1;
      }
      if (fromA > 0 || fromB > 0)
        Align(middleA.subspan(fromA), middleB.subspan(fromB), midA + fromA, midB + fromB, budget, depth + 1, out);
    }
  }
  for (std::size_t i = tail; i > 0; --i)
    out.emplace_back(offsetA + static_cast<std::uint32_t>(a.size() - i),
                     offsetB + static_cast<std::uint32_t>(b.size() - i));
}

}  // namespace

std::vector<TIndexPair> AlignSequences(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b,
                                       TAlignBudget& budget)
{
  std::vector<TIndexPair> pairs;
  Align(a, b, 0, 0, budget, 0, pairs);
  return pairs;
}
