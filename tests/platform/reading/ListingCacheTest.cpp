// The listing cache on real folders: a walk deeper than the descriptor budget, and
// a directory that changes between two epochs.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/drives/Drives.h"
#include "platform/reading/ListingCache.h"
#include "platform/runtime/Runtime.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::string>;

struct Seen {
  Entries subdirs;
  Entries files;
  bool operator==(const Seen&) const = default;
};

// Lists as the walk does within one epoch: a directory, then for each
// subdirectory from the last to the first the directory again and the
// subdirectory's own walk, then the directory once more for its files. Every
// listing is checked against `expected`.
void walk(platform::ListingCache& cache, const std::shared_ptr<const platform::DriveTable>& drives,
          const std::string& view, const fs::path& host,
          const std::map<std::string, Seen>& expected, int& listings) {
  const auto check = [&] {
    const auto listing = cache.list(view, host.string(), false, drives);
    ++listings;
    const auto want = expected.find(view);
    if (want == expected.end()) {
      ADD_FAILURE() << "no such folder: " << view;
    } else {
      EXPECT_EQ((Seen{listing->subdirs.strings(), listing->files.strings()}), want->second) << view;
    }
    return listing;
  };
  const auto first = check();
  for (size_t i = first->subdirs.size(); i-- > 0;) {
    check();
    const std::string name(first->subdirs[i]);
    walk(cache, drives, view.back() == '\\' ? view + name : view + "\\" + name, host / name,
         expected, listings);
  }
  check();
}

TEST(ListingCacheTest, AWalkDeeperThanTheDescriptorBudgetSeesEveryFolderItself) {
  // d0\d1\...\d7, each level with a file of its own and a folder a<k> beside the
  // next level, entered after the walk has come back out of the deep ones.
  testsupport::TempDir root;
  std::map<std::string, Seen> expected;
  expected["C:\\"] = {{"d0"}, {}};
  std::string view = "C:\\";
  std::string rel;
  for (int k = 0; k < 8; ++k) {
    const std::string d = "d" + std::to_string(k);
    const std::string s = "a" + std::to_string(k);
    view += (k ? "\\" : "") + d;
    rel += d + "/";
    root.file(rel + std::to_string(k) + ".txt");
    root.file(rel + s + "/" + s + ".txt");
    expected[view + "\\" + s] = {{}, {s + ".txt"}};
    expected[view] = {k < 7 ? Entries{s, "d" + std::to_string(k + 1)} : Entries{s},
                      {std::to_string(k) + ".txt"}};
  }
  const auto drives = std::make_shared<const platform::DriveTable>(platform::DriveTable::fromDrives(
      {{'C', root.path().string(), platform::DRIVE_FIXED, "ext4", "x"}}));
  auto& budget = platform::DescriptorBudget::process();
  const size_t limit = budget.limit();
  for (const size_t small : {size_t{2}, size_t{1000}}) {
    budget.setLimit(budget.open() + small);
    budget.resetMostOpen();
    platform::ListingCache cache;
    int listings = 0;
    walk(cache, drives, "C:\\", root.path(), expected, listings);
    EXPECT_EQ(listings, 3 * 17 - 1) << "budget " << small;  // 17 folders, 16 of them entered
    // Kept within the budget; the way out may take one back through "..".
    if (small == 2) {
      EXPECT_LE(budget.mostOpen(), budget.limit() + 1);
    }
  }
  budget.setLimit(limit);
}

TEST(ListingCacheTest, ADirectoryChangedOnDiskIsReadAgainInTheNextEpochOnly) {
  testsupport::TempDir root;
  const fs::path dir = root.dir("A");
  root.file("A/alt.txt");
  // An old time, so the change below gives the directory another one for sure.
  // Windows may refuse to set a folder's time; the change below is then seen all the same.
  std::error_code ec;
  fs::last_write_time(dir, fs::file_time_type::clock::now() - std::chrono::hours(24 * 365), ec);
  const auto drives = std::make_shared<const platform::DriveTable>(platform::DriveTable::fromDrives(
      {{'C', root.path().string(), platform::DRIVE_FIXED, "ext4", "x"}}));
  platform::ListingCache cache;
  const auto list = [&] {
    return cache.list("C:\\A", dir.string(), false, drives)->files.strings();
  };

  EXPECT_EQ(list(), Entries{"alt.txt"});
  EXPECT_EQ(cache.stats().reads, 1u);
  root.file("A/neu.txt");
  EXPECT_EQ(list(), Entries{"alt.txt"});  // the same epoch asks no disk
  EXPECT_EQ(cache.stats().reads, 1u);
  EXPECT_EQ(cache.stats().reuses, 1u);

  platform::nextYieldEpoch();
  EXPECT_EQ(list(), (Entries{"alt.txt", "neu.txt"}));
  EXPECT_EQ(cache.stats().reads, 2u);
  platform::nextYieldEpoch();
  EXPECT_EQ(list(), (Entries{"alt.txt", "neu.txt"}));  // unchanged: kept
  EXPECT_EQ(cache.stats().reads, 2u);
  EXPECT_EQ(cache.stats().reuses, 2u);
}

}  // namespace
