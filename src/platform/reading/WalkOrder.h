// Where a directory comes in the walk's order: the walk is depth first and enters
// a directory's subdirectories from the last to the first, so once a directory is
// read, its subdirectories are the next ones the walk enters. Pure.
//
// A place is the ranks from the walk's first directory down to this one, where a
// directory's subdirectories rank from the last (0, entered first) to the first;
// earlier in the walk is lexicographically smaller. Only the first kRanks levels
// are kept, so that a comparison costs the same however deep the tree: below them
// the place made later comes first, which is the walk's order again for a chain
// and near it otherwise. The order only decides what is read first, never what is
// read.
#pragma once

#include <array>
#include <cstdint>

namespace platform {

struct WalkOrder {
  // Levels compared; a deeper folder is placed by when its place was made.
  static constexpr uint32_t kRanks = 16;
  std::array<uint32_t, kRanks> ranks{};
  uint32_t depth = 0;
  uint64_t made = 0;  // when the place was made, counted from the pool's start

  // The place of a directory that the walk asked for before the read-ahead knew
  // it: after every one asked for before it (`rootRank` counts down), and above
  // all the subdirectories of those.
  static WalkOrder asked(uint32_t rootRank, uint64_t made);
  // The place of the subdirectory `rankFromLast` (0 for the last, entered first).
  WalkOrder child(uint32_t rankFromLast, uint64_t made) const;
};

// True when the walk enters `a` before `b`.
bool walkedBefore(const WalkOrder& a, const WalkOrder& b);

}  // namespace platform
