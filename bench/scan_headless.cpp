// scan_headless: one scan through the real main window, walk and scan log, with
// the headless user interface (no events, nothing drawn).
//
//   scan_headless --root TREE --out DIR    TREE as drive C:, the log in DIR
//   scan_headless --machine --out DIR      the machine's own scan drives
//
// Prints the drives, the log's path, the counts, the scan's seconds, the
// directory reads and reuses and the peak resident memory.
#include <chrono>
#include <cstdlib>

#include "BenchSetup.h"
#include "platform/reading/DirectoryReaders.h"
#include "scanner/FormSpurlauf.h"

int main(int argc, char** argv) {
  const char* program = "scan_headless";
  const bench::Options options = bench::parseOptions(argc, argv, program);
  bench::prepareScan(options, program);
  // RZ_BENCH_READERS=N: another number of reader threads, 0 for no read-ahead.
  if (const char* readers = std::getenv("RZ_BENCH_READERS")) {
    const int n = std::atoi(readers);
    if (n == 0) platform::DirectoryReaders::process().setReadAhead(false);
    if (n > 0) platform::DirectoryReaders::process().setThreads(static_cast<unsigned>(n));
  }

  scanner::FormSpurlauf& form = scanner::createMainWindow();
  form.INITIALIZE();
  const auto start = std::chrono::steady_clock::now();
  form.CommandStartCancel.click();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return bench::reportScan(program, took.count());
}
