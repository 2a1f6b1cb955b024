// One read of a directory, as a reader thread does it: open (relative to an open
// ancestor where there is one), ask its identity, gather its names as the lists
// name them, sort them. It runs on a reader, outside the pool's lock: it may wait
// on the drive for as long as the drive takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/reading/DirectoryListing.h"
#include "platform/reading/SharedDirectory.h"

namespace platform {

class DriveTable;

// One directory to read. It is opened at `host`, relative to `base` when there is
// one (host's bytes from `relativeFrom` on are the path below it). `parent` is the
// listing of the directory holding it when it is a direct child: a folder that lies
// on another mount than its parent (mounted since the table was read) is not part
// of the drive.
struct ReadRequest {
  std::string viewPath;
  std::string host;
  std::shared_ptr<const SharedDirectory> base;
  size_t relativeFrom = 0;
  std::shared_ptr<const DirectoryListing> parent;
};

struct ReadResult {
  enum class Outcome { Read, Failed, OtherMount, OutOfMemory };
  Outcome outcome = Outcome::Failed;
  os::NativeError error = 0;  // for Failed
  std::shared_ptr<DirectoryListing> listing;
  std::shared_ptr<const SharedDirectory> dir;  // kept open while the budget allows
};

// The devices of the drive roots whose file systems fill each read, asked once
// each. A lock of its own, held for a moment and never while a drive is asked.
class RootDevices {
 public:
  std::optional<uint64_t> find(const std::string& mountPoint);
  void add(const std::string& mountPoint, uint64_t device);

 private:
  std::mutex m_mutex;
  std::vector<std::pair<std::string, uint64_t>> m_devices;  // guarded by m_mutex
};

// What a read knows of its drive besides the request.
struct ReadContext {
  const DriveTable& drives;
  char drive;  // the letter of the drive it reads
  RootDevices& roots;
  // The device of the drive's root when known; set by the read when it asks.
  std::optional<uint64_t>& rootDevice;
};

// Reads the directory. `bytes` is set to what its paths and names take while the
// listing waits to be taken. The directory is kept open in the result while
// DescriptorBudget::process() has room. May block.
ReadResult readDirectory(const ReadRequest& request, ReadContext context, size_t& bytes);

}  // namespace platform
