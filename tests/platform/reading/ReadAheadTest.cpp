// The reader pool's parts that need no threads: the walk's order, the read-ahead
// queue and its bounds, the pacing, the descriptor budget.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/reading/DrivePacing.h"
#include "platform/reading/ReadAheadQueue.h"
#include "platform/reading/SharedDirectory.h"
#include "platform/reading/WalkOrder.h"
#include "support/TestSupport.h"

namespace {

using namespace platform;

// The place of a folder given by its ranks from the walk's first folder down
// (each rank counted from the last subdirectory, entered first).
WalkOrder placeOf(const std::vector<uint32_t>& ranks, uint64_t made) {
  WalkOrder o = WalkOrder::asked(ranks[0], made);
  for (size_t i = 1; i < ranks.size(); ++i) o = o.child(ranks[i], made);
  return o;
}

TEST(WalkOrder, RanksComparedLevelByLevelAndBelowTheKeptOnesTheLaterFirst) {
  const std::vector<uint32_t> deep(20, 0);  // 20 levels: deeper than the ranks kept
  std::vector<uint32_t> deepSibling = deep;
  deepSibling[18] = 1;  // differs below the ranks kept
  struct Row {
    WalkOrder first;
    WalkOrder then;
    const char* why;
  };
  const Row rows[] = {
      {placeOf({5, 0}, 1), placeOf({5, 1}, 2), "the last subdirectory is entered first"},
      {placeOf({5, 1}, 2), placeOf({5, 1, 0}, 3), "a folder before its subdirectories"},
      {placeOf({5, 0, 7}, 9), placeOf({5, 1}, 2), "a subtree before its parent's next sibling"},
      {placeOf({4}, 9), placeOf({5}, 1), "a lower rank at the top first, whenever made"},
      {placeOf(deep, 20), placeOf(deep, 10), "below the ranks kept: the one made later"},
      {placeOf(deepSibling, 30), placeOf(deep, 10), "below the ranks kept, ranks do not count"},
      {placeOf(std::vector<uint32_t>(17, 0), 50), placeOf(deep, 40),
       "both deeper than the ranks kept: the one made later"},
  };
  for (const Row& r : rows) {
    EXPECT_TRUE(walkedBefore(r.first, r.then)) << r.why;
    EXPECT_FALSE(walkedBefore(r.then, r.first)) << r.why;
  }
}

// A folder with subfolders named after their walk order, as a reader makes them:
// the one entered first at the back.
std::shared_ptr<ReadTask> folder(const std::string& host, const WalkOrder& order,
                                 const std::vector<std::string>& subfolders, char drive = 'C') {
  auto t = std::make_shared<ReadTask>();
  t->drive = drive;
  t->request.host = host;
  t->request.viewPath = std::string(1, drive) + ":\\x";
  t->order = order;
  const auto n = static_cast<uint32_t>(subfolders.size());
  for (uint32_t i = 0; i < n; ++i) {
    auto child = std::make_shared<ReadTask>();
    child->drive = drive;
    child->request.host = host + "/" + subfolders[i];
    child->order = order.child(n - 1 - i, i);
    t->subdirectories.push_back(child);
  }
  return t;
}

// Subfolder names d100, d101, ...
std::vector<std::string> numbered(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("d" + std::to_string(100 + i));
  return names;
}

// The hosts the queue hands out, until it hands out none.
std::vector<std::string> drain(ReadAheadQueue& q, size_t limit, bool early = false) {
  std::vector<std::string> out;
  while (auto t = q.next(limit, early)) {
    t->start();
    out.push_back(t->request.host);
  }
  return out;
}

TEST(ReadAheadQueue, HandsOutInTheWalksOrderWhateverOrderTheReadsFinishIn) {
  ReadAheadQueue q;
  // /r has a, b, c: the walk enters c first. b's read finished before c's.
  auto root = folder("/r", WalkOrder::asked(100, 0), {"a", "b", "c"});
  const auto c = root->subdirectories[2];
  const auto b = root->subdirectories[1];
  EXPECT_EQ(q.add(*root), 3u);
  EXPECT_EQ(drain(q, 100), (std::vector<std::string>{"/r/c", "/r/b", "/r/a"}));
  auto bRead = folder("/r/b", b->order, {"b1"});
  auto cRead = folder("/r/c", c->order, {"c1", "c2"});
  q.add(*bRead);
  q.add(*cRead);
  EXPECT_EQ(drain(q, 100), (std::vector<std::string>{"/r/c/c2", "/r/c/c1", "/r/b/b1"}));
}

TEST(ReadAheadQueue, BoundsHoldUntilTheWalkTakesHalfAndDoubleWhenItIsBehind) {
  ReadAheadQueue q;
  const std::vector<std::string> names = numbered(20);
  auto root = folder("/r", WalkOrder::asked(100, 0), names);
  q.add(*root);
  const auto out = drain(q, 4);
  ASSERT_EQ(out.size(), 4u) << "the bound of listings";
  EXPECT_EQ(q.countAhead(), 4u);
  q.holdBack();  // a reader went idle there
  // Taking one of four leaves three: more than half, the readers stay held back.
  EXPECT_EQ(q.take(out[0], 4, 2).wake, ReadAheadQueue::Wake::None);
  // Two of four taken: the held-back readers go on.
  EXPECT_EQ(q.take(out[1], 4, 2).wake, ReadAheadQueue::Wake::AllReaders);
  // The walk asks for a folder still queued: it is behind, and the bound doubles.
  const std::string queued = "/r/" + names[0];  // entered last, still queued
  const auto taken = q.take(queued, 4, 2);
  ASSERT_NE(taken.task, nullptr);
  EXPECT_EQ(taken.task->status, ReadTask::Status::Queued);
  EXPECT_EQ(taken.wake, ReadAheadQueue::Wake::AllReaders);
  EXPECT_EQ(drain(q, 4).size(), 6u) << "from 2 ahead up to twice the bound";
}

TEST(ReadAheadQueue, CreditLetsReadsPastTheBoundAndIsUsedUp) {
  ReadAheadQueue q;
  const std::vector<std::string> names = numbered(30);
  auto root = folder("/r", WalkOrder::asked(100, 0), names);
  q.add(*root);
  EXPECT_EQ(drain(q, 4).size(), 4u);
  q.holdBack();
  q.take("/r/" + names[0], 4, 3);  // behind while held back: credit 2 x 3 readers
  const size_t past = drain(q, 4).size();
  EXPECT_EQ(past, 4u /* the doubled bound */ + 6u /* the credit */);
  EXPECT_TRUE(drain(q, 4).empty()) << "the credit is used up";
}

TEST(ReadAheadQueue, AGivenUpDrivesReadsAreDroppedAndCountNoMore) {
  ReadAheadQueue q;
  auto c = folder("/c", WalkOrder::asked(100, 0), {"c1", "c2", "c3"}, 'C');
  auto d = folder("/d", WalkOrder::asked(99, 1), {"d1", "d2", "d3"}, 'D');
  q.add(*c);
  q.add(*d);
  const auto dTasks =
      d->subdirectories.empty() ? std::vector<std::shared_ptr<ReadTask>>{} : d->subdirectories;
  auto first = q.next(10, false);  // /d is earlier in the walk: D:'s folders first
  ASSERT_EQ(first->request.host, "/d/d3");
  first->start();
  first->finish();
  first->bytes = 100;
  q.finished(*first);
  EXPECT_EQ(q.countAhead(), 1u);
  q.dropDrive('D');
  EXPECT_EQ(q.countAhead(), 0u);
  EXPECT_EQ(q.bytesAhead(), 0u);
  EXPECT_EQ(q.take("/d/d3", 10, 2).task, nullptr) << "a dropped read is never taken";
  EXPECT_EQ(drain(q, 10), (std::vector<std::string>{"/c/c3", "/c/c2", "/c/c1"}));
}

TEST(ReadAheadQueue, ADriveRootsLastFoldersComeFirstOnlyWhileReadsComeFromMemory) {
  const std::vector<std::string> names = {"a", "b", "c", "d"};
  for (const bool fromMemory : {false, true}) {
    ReadAheadQueue q;
    auto root = folder("C:", WalkOrder::asked(100, 0), names);
    root->request.viewPath = "C:\\";
    q.add(*root);
    const std::vector<std::string> expected =
        fromMemory ? std::vector<std::string>{"C:/a", "C:/b", "C:/c", "C:/d"}
                   : std::vector<std::string>{"C:/d", "C:/c", "C:/b", "C:/a"};
    EXPECT_EQ(drain(q, 10, fromMemory), expected) << fromMemory;
  }
}

TEST(DrivePacing, SwitchesToWaitingAtOnceAndBackOnlyAfterALongWarmRun) {
  DrivePacing p(ReaderCounts::forCores(2));
  EXPECT_EQ(p.readersWanted(), 2u);
  EXPECT_EQ(p.aheadLimit(), 4096u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p.record(true), DrivePacing::Change::None);
  EXPECT_EQ(p.record(true), DrivePacing::Change::StartedWaiting) << "the fourth slow read";
  EXPECT_EQ(p.readersWanted(), 32u);
  EXPECT_EQ(p.aheadLimit(), 256u);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(p.record(false), DrivePacing::Change::None) << i;
  EXPECT_EQ(p.record(false), DrivePacing::Change::AnswersFromMemory) << "the 256th fast read";
  EXPECT_EQ(p.readersWanted(), 2u);
  EXPECT_FALSE(p.steadilyFromMemory()) << "not before a whole window since the change";
  for (int i = 0; i < 32; ++i) p.record(false);
  EXPECT_TRUE(p.steadilyFromMemory());
  p.record(true);
  EXPECT_FALSE(p.steadilyFromMemory()) << "one slow read in the window";
}

TEST(DrivePacing, ReadersByCores) {
  struct Row {
    unsigned cores, fromMemory, waiting;
  };
  for (const Row r : {Row{1, 2, 16}, Row{2, 2, 32}, Row{4, 4, 64}, Row{16, 8, 64}}) {
    const ReaderCounts c = ReaderCounts::forCores(r.cores);
    EXPECT_EQ(c.fromMemory, r.fromMemory) << r.cores;
    EXPECT_EQ(c.waiting, r.waiting) << r.cores;
  }
}

TEST(DescriptorBudget, KeepsOpenOnlyWhileThereIsRoom) {
  testsupport::TempDir dir;
  DescriptorBudget budget(2);
  std::vector<std::shared_ptr<const SharedDirectory>> kept;
  for (int i = 0; i < 3; ++i) {
    os::Directory d;
    ASSERT_EQ(os::openDirectory(dir.path().string(), d), 0);
    if (!d.holdsDescriptor()) GTEST_SKIP() << "no descriptors on this system";
    kept.push_back(budget.keep(std::move(d)));
  }
  EXPECT_NE(kept[0], nullptr);
  EXPECT_NE(kept[1], nullptr);
  EXPECT_EQ(kept[2], nullptr) << "the third is over the budget";
  EXPECT_EQ(budget.open(), 2u);
}

}  // namespace
