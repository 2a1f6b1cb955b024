#include "platform/reading/WalkOrder.h"

#include <algorithm>

namespace platform {

WalkOrder WalkOrder::asked(uint32_t rootRank, uint64_t made) {
  WalkOrder order;
  order.ranks[0] = rootRank;
  order.made = made;
  return order;
}

WalkOrder WalkOrder::child(uint32_t rankFromLast, uint64_t childMade) const {
  WalkOrder order = *this;
  order.depth = depth + 1;
  if (order.depth < kRanks) order.ranks[order.depth] = rankFromLast;
  order.made = childMade;
  return order;
}

bool walkedBefore(const WalkOrder& a, const WalkOrder& b) {
  const uint32_t n = std::min({a.depth + 1, b.depth + 1, WalkOrder::kRanks});
  for (uint32_t i = 0; i < n; ++i) {
    if (a.ranks[i] != b.ranks[i]) return a.ranks[i] < b.ranks[i];
  }
  // One holds the other: the parent first.
  if (n < WalkOrder::kRanks && a.depth != b.depth) return a.depth < b.depth;
  return a.made > b.made;
}

}  // namespace platform
