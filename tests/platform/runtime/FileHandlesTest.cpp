// File handles: lines in Windows-1252 with CR LF, flushes, and their failures.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/runtime/FileHandles.h"
#include "platform/runtime/Runtime.h"
#include "support/TestSupport.h"

namespace {

using namespace platform;
using testsupport::errorNumberOf;

class FileHandles : public ::testing::Test {
 protected:
  void SetUp() override {
    setSystemDrives(DriveTable::fromDrives({{'C', dir.path().string(), DRIVE_FIXED, "ext4", "x"}}));
  }
  void TearDown() override {
    CloseAll();
    setFlushToDisk(nullptr);
    setSystemDrives(DriveTable{});
  }
  testsupport::TempDir dir;
};

TEST_F(FileHandles, WriteAndReadBackInWindows1252WithCrLf) {
  const int16_t out = FreeFile();
  OpenForOutput("C:\\log.txt", out);
  EXPECT_NE(FreeFile(), out);
  PrintLine(out, "Ausführen");
  PrintLine(out, "");
  PrintLine(out, "VOLLSTÄNDIG!");
  Close(out);
  EXPECT_EQ(testsupport::readFile(dir.path() / "log.txt"),
            "Ausf\xFChren\r\n\r\nVOLLST\xC4NDIG!\r\n");

  const int16_t in = FreeFile();
  OpenForInput("C:\\log.txt", in);
  EXPECT_EQ(LineInput(in), "Ausführen");
  EXPECT_EQ(LineInput(in), "");
  EXPECT_FALSE(Eof(in));
  EXPECT_EQ(LineInput(in), "VOLLSTÄNDIG!");
  EXPECT_TRUE(Eof(in));
  EXPECT_EQ(errorNumberOf([&] { LineInput(in); }), 62);  // input past the end
  Close(in);
}

TEST_F(FileHandles, OpenForOutputEmptiesAnExistingFile) {
  dir.file("alt.txt", "alter Inhalt\r\n");
  OpenForOutput("C:\\alt.txt", 1);
  PrintLine(1, "neu");
  Close(1);
  EXPECT_EQ(testsupport::readFile(dir.path() / "alt.txt"), "neu\r\n");
}

TEST_F(FileHandles, LoneCrEndsALineAndTheLastLineNeedsNoEnd) {
  dir.file("m.txt", "eins\rzwei\r\ndrei");
  OpenForInput("C:\\m.txt", 3);
  EXPECT_EQ(LineInput(3), "eins");
  EXPECT_EQ(LineInput(3), "zwei");
  EXPECT_EQ(LineInput(3), "drei");
  EXPECT_TRUE(Eof(3));
}

// Long enough to be flushed to disk twice in the background while it is written.
TEST_F(FileHandles, ALongFileFlushedWhileWrittenIsWholeAndInOrderClosedEitherWay) {
  const std::string tail(1023, 'x');  // 1026 bytes a line with the digit and CR LF
  for (const bool toDisk : {false, true}) {
    OpenForOutput("C:\\lang.txt", 1);
    for (int i = 0; i < 20000; ++i) PrintLine(1, std::to_string(i % 10) + tail);
    toDisk ? CloseToDisk(1) : Close(1);
    const std::string content = testsupport::readFile(dir.path() / "lang.txt");
    ASSERT_EQ(content.size(), 20000u * 1026) << toDisk;
    for (size_t i = 0; i < 20000; ++i) {
      ASSERT_EQ(content[i * 1026], static_cast<char>('0' + i % 10)) << i;
      ASSERT_EQ(content.compare(i * 1026 + 1024, 2, "\r\n"), 0) << i;
    }
  }
}

// The system reports a failed write-back once, to whichever flush comes first: a
// failure of a flush in the background must fail the close, though the final
// flush then succeeds.
std::atomic<int> g_flushes{0};
os::NativeError firstFlushFails(os::File&) {
  return g_flushes++ == 0 ? testsupport::kDiskFullError : 0;
}

TEST_F(FileHandles, AFlushThatFailedInTheBackgroundFailsTheCloseEitherWay) {
  setFlushToDisk(firstFlushFails);
  for (const bool toDisk : {false, true}) {
    g_flushes = 0;
    OpenForOutput("C:\\lang.txt", 1);
    for (int i = 0; i < 10000; ++i) PrintLine(1, std::string(1024, 'x'));  // 10 MB
    // Until the flush asked for in the background has begun (one only asked for is
    // left to the final flush).
    for (int wait = 0; g_flushes == 0 && wait < 10000; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(g_flushes, 1) << toDisk;
    EXPECT_EQ(errorNumberOf([&] { toDisk ? CloseToDisk(1) : Close(1); }), 61)
        << toDisk;  // disk full
  }
}

TEST_F(FileHandles, FailuresAreNumberedErrors) {
  EXPECT_EQ(errorNumberOf([] { OpenForInput("C:\\fehlt.txt", 1); }), 53);          // file not found
  EXPECT_EQ(errorNumberOf([] { OpenForOutput("C:\\kein\\ordner.txt", 1); }), 76);  // path not found
  EXPECT_EQ(errorNumberOf([] { OpenForOutput("Q:\\x.txt", 1); }), 76);
  EXPECT_EQ(errorNumberOf([] { PrintLine(7, "x"); }), 52);  // bad file number
  OpenForOutput("C:\\a.txt", 2);
  EXPECT_EQ(errorNumberOf([] { OpenForOutput("C:\\b.txt", 2); }), 55);  // already open
  EXPECT_EQ(errorNumberOf([] { LineInput(2); }), 54);                   // bad file mode
  Close(2);
  Close(2);  // closing twice is no error
}

}  // namespace
