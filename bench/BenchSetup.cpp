#include "BenchSetup.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "app/Module1.h"
#include "app/cdsubs.h"
#include "platform/drives/Drives.h"
#include "platform/reading/DirectoryListing.h"
#include "platform/reading/DirectoryReaders.h"
#include "platform/runtime/Runtime.h"
#include "scanner/FormSpurlauf.h"

namespace bench {

namespace {

[[noreturn]] void usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s --root DIR --out DIR    scan DIR as drive C:, log into OUT\n"
               "       %s --machine --out DIR     scan the machine's scan drives\n",
               program, program);
  std::exit(2);
}

std::string absoluteFolder(const std::string& path, const char* program) {
  std::error_code ec;
  const auto canonical = std::filesystem::canonical(path, ec);
  if (ec || !std::filesystem::is_directory(canonical)) {
    std::fprintf(stderr, "%s: %s is no folder\n", program, path.c_str());
    std::exit(2);
  }
  return canonical.string();
}

bool inside(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

}  // namespace

Options parseOptions(int argc, char** argv, const char* program) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--machine") {
      o.machine = true;
    } else if (arg == "--root" && i + 1 < argc) {
      o.root = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      o.out = argv[++i];
    } else {
      usage(program);
    }
  }
  if (o.out.empty() || o.machine == !o.root.empty()) usage(program);
  o.out = absoluteFolder(o.out, program);
  if (!o.machine) {
    o.root = absoluteFolder(o.root, program);
    // Another file system mounted inside the tree is not walked.
    struct stat outStat {};
    struct stat rootStat {};
    if (inside(o.out, o.root) && ::stat(o.out.c_str(), &outStat) == 0 &&
        ::stat(o.root.c_str(), &rootStat) == 0 && outStat.st_dev == rootStat.st_dev) {
      std::fprintf(stderr, "%s: the output folder lies inside the scanned tree\n", program);
      std::exit(2);
    }
  }
  return o;
}

void prepareScan(const Options& options, const char* program) {
  if (options.machine) {
    platform::reloadSystemDrives();
    app::ScanDrives = app::ListScanDrives();
    platform::App.Path = platform::systemDrives().hostToView(options.out);
  } else {
    // A root that is a mount of its own (a network share) is typed as the
    // machine's mount table types it; a generated tree is not, and the table is
    // then not read (it would be timed with the scan's process).
    platform::Drive root{'C', options.root, platform::DRIVE_FIXED, "ext4", "bench"};
    struct stat rootStat {};
    struct stat parentStat {};
    if (::stat(options.root.c_str(), &rootStat) == 0 &&
        ::stat((options.root + "/..").c_str(), &parentStat) == 0 &&
        rootStat.st_dev != parentStat.st_dev) {
      const platform::DriveTable machine = platform::DriveTable::fromSystem();
      for (const platform::Drive& d : machine.drives()) {
        if (d.mountPoint == options.root) root = {'C', d.mountPoint, d.type, d.fsType, d.source};
      }
    }
    platform::setSystemDrives(platform::DriveTable::fromDrives({
        root,
        {'P', options.out, platform::DRIVE_FIXED, "ext4", "bench"},
    }));
    app::ScanDrives = {"C:\\"};
    platform::App.Path = "P:\\";
  }
  const auto& drives = platform::systemDrives();
  for (const std::string& root : app::ScanDrives) {
    const platform::Drive* d = drives.byLetter(root.empty() ? '?' : root[0]);
    std::printf("drive: %s = %s (%s, type %u)\n", root.c_str(), d ? d->mountPoint.c_str() : "?",
                d ? d->fsType.c_str() : "?", d ? static_cast<unsigned>(d->type) : 0U);
  }
  if (app::ScanDrives.empty()) {
    std::fprintf(stderr, "%s: no drive to scan\n", program);
    std::exit(1);
  }
}

int reportScan(const char* program, double seconds) {
  scanner::FormSpurlauf* form = scanner::mainWindow();
  const auto logHost = platform::systemDrives().viewToHost(app::LogFileName);
  const auto stats = platform::directoryStats();
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  int denied = 0;
  if (form) {
    for (const std::string& line : form->ListStatus.items()) {
      if (line.starts_with("Zugriff verweigert auf ")) ++denied;
    }
  }
  std::printf("log: %s\n", logHost ? logHost->c_str() : app::LogFileName.c_str());
  std::printf("dirs: %d\nfiles: %d\ndenied: %d\n", app::DirsFound, app::FilesFound, denied);
  std::printf("scan_seconds: %.3f\n", seconds);
  std::printf("directory_reads: %llu\ndirectory_reuses: %llu\n",
              static_cast<unsigned long long>(stats.reads),
              static_cast<unsigned long long>(stats.reuses));
  const auto readers = platform::DirectoryReaders::process().counters();
  std::printf(
      "read_ahead: %llu\nread_ahead_taken: %llu\nwaits: %llu\nwaited_ms: %.1f\n"
      "readers_at_once: %llu\n",
      static_cast<unsigned long long>(readers.aheadRead),
      static_cast<unsigned long long>(readers.aheadTaken),
      static_cast<unsigned long long>(readers.waits), readers.waitedNs / 1e6,
      static_cast<unsigned long long>(readers.mostAtOnce));
  std::printf("max_rss_kib: %ld\n", usage.ru_maxrss);
  std::fflush(stdout);
  const bool completed =
      form && form->CommandStartCancel.Caption() == "start" && !platform::programEnded();
  if (!completed) {
    std::fprintf(stderr, "%s: the scan did not complete\n", program);
    return 1;
  }
  return 0;
}

}  // namespace bench
