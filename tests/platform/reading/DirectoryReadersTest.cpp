// The readers' front with calls that hang as a drive that stops answering does:
// the deadline gives the drive up, replaces the stuck reader and fails the drive's
// later calls at once.
#include "platform/reading/DirectoryReaders.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "platform/Error.h"
#include "support/TestSupport.h"

namespace {

using namespace platform;
using testsupport::errorNumberOf;
using namespace std::chrono_literals;

// A drive's answer that comes only when the test lets it.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  void wait() {
    std::unique_lock lk(m);
    cv.wait(lk, [this] { return open; });
  }
  void release() {
    {
      const std::lock_guard lk(m);
      open = true;
    }
    cv.notify_all();
  }
};

TEST(DirectoryReaders, ADriveThatDoesNotAnswerIsGivenUpAndItsReaderReplaced) {
  auto& readers = DirectoryReaders::process();
  readers.setThreads(1);  // the one reader gets stuck
  readers.setDeadline(100ms);
  readers.beginWalk("H:\\");  // H: is asked afresh
  const uint64_t givenUp = readers.counters().givenUp;
  auto gate = std::make_shared<Gate>();
  EXPECT_EQ(errorNumberOf([&] { readers.call("H:\\a", [gate] { gate->wait(); }); }), 71);
  EXPECT_EQ(readers.counters().givenUp, givenUp + 1);
  // The drive is not waited for again: its next call fails at once, unrun.
  bool ran = false;
  EXPECT_EQ(errorNumberOf([&] { readers.call("H:\\b", [&ran] { ran = true; }); }), 71);
  EXPECT_FALSE(ran);
  // Another drive is served by a new reader in the stuck one's place.
  EXPECT_EQ(errorNumberOf([&] { readers.call("C:\\", [&ran] { ran = true; }); }), 0);
  EXPECT_TRUE(ran);
  readers.endWalk();
  gate->release();  // the abandoned reader ends
  readers.setDeadline(DirectoryReaders::kDeadline);
  readers.setThreads(0);
}

}  // namespace
