#include "platform/reading/DirectoryRead.h"

#include <new>
#include <string_view>

#include "platform/drives/Drives.h"
#include "platform/text/Text.h"

namespace platform {

std::optional<uint64_t> RootDevices::find(const std::string& mountPoint) {
  const std::lock_guard lk(m_mutex);
  for (const auto& [point, device] : m_devices) {
    if (point == mountPoint) return device;
  }
  return std::nullopt;
}

void RootDevices::add(const std::string& mountPoint, uint64_t device) {
  const std::lock_guard lk(m_mutex);
  m_devices.emplace_back(mountPoint, device);
}

namespace {

// File systems whose directory reads fill the buffer as far as the entries go.
// Network, FUSE and stacked file systems make no such promise.
bool fillsReads(std::string_view fsType) {
  return fsType == "ext4" || fsType == "ext3" || fsType == "ext2" || fsType == "xfs" ||
         fsType == "btrfs" || fsType == "tmpfs";
}

// The drive's type counts only for directories on the drive's own file system
// (`device`): a share mounted inside a drive is another one.
bool fillsEachRead(ReadContext& c, uint64_t device) {
  const Drive* drive = c.drives.byLetter(c.drive);
  if (!drive || !fillsReads(drive->fsType)) return false;
  if (!c.rootDevice) c.rootDevice = c.roots.find(drive->mountPoint);
  if (!c.rootDevice) {
    os::Identity root;
    if (os::identityOfPath(drive->mountPoint, root) != 0) return false;
    c.rootDevice = root.device;
    c.roots.add(drive->mountPoint, root.device);
  }
  return *c.rootDevice == device;
}

// Whether a subdirectory lies on another mount than its parent that the drive's
// walk must not enter. Told by the mount id, so that a btrfs subvolume (a device
// of its own, the same mount) is an ordinary folder; a mount that the table walks
// as part of its drive (no letter left for it) is entered. Without mount ids the
// device tells, except on btrfs, whose subvolumes have devices of their own.
bool crossesMount(const DirectoryListing& child, const DirectoryListing& parent,
                  const ReadRequest& r, const ReadContext& c) {
  if (child.mountId != 0 && parent.mountId != 0) {
    return child.mountId != parent.mountId && !c.drives.walksInto(r.host);
  }
  if (child.device == parent.device || c.drives.walksInto(r.host)) return false;
  const Drive* drive = c.drives.byLetter(c.drive);
  return !drive || drive->fsType != "btrfs";
}

// Each name is taken as it is read, as the lists name it, into lists of the
// reader's own, so that the listing's are made once, sorted, at their size.
struct Gathered {
  NameList subdirs;
  NameList files;
};

class Gatherer final : public os::EntrySink {
 public:
  Gatherer(const DriveTable& drives, Gathered& gathered, std::string& childHost, size_t& bytes)
      : m_drives(drives),
        m_gathered(gathered),
        m_childHost(childHost),
        m_childBase(childHost.size()),
        m_bytes(bytes) {}

  void entry(std::string_view name, bool directory) override {
    m_bytes += name.size() + sizeof(uint32_t);
    if (directory && m_childBase > 0) {
      // A folder on which the table puts another mount is not part of this drive.
      m_childHost.resize(m_childBase);
      m_childHost += name;
      if (m_drives.isMountPoint(m_childHost)) return;
    }
    NameList& list = directory ? m_gathered.subdirs : m_gathered.files;
    if (os::kHostNamesAreBytes) {
      list.emplace([name](std::string& bytes) { appendHostNameAsView(bytes, name); });
    } else {
      list.push_back(name);
    }
  }

 private:
  const DriveTable& m_drives;
  Gathered& m_gathered;
  std::string& m_childHost;  // empty: no mount point can lie below
  size_t m_childBase;
  size_t& m_bytes;
};

// Sorted into the listing's list; the reader's own keeps its buffer unless it grew big.
void sortInto(NameList& from, NameList& to) {
  sortListOrder(from, to);
  constexpr size_t kKept = 64 * 1024;
  if (from.bytes() > kKept) {
    from.release();
  } else {
    from.clear();
  }
}

std::shared_ptr<DirectoryListing> listingOf(const os::Identity& id) {
  auto listing = std::make_shared<DirectoryListing>();
  listing->device = id.device;
  listing->inode = id.inode;
  listing->mtimeNs = id.modifiedNs;
  listing->ctimeNs = id.changedNs;
  listing->mountId = id.mountId;
  return listing;
}

}  // namespace

ReadResult readDirectory(const ReadRequest& r, ReadContext c, size_t& bytes) {
  ReadResult out;
  os::Directory dir;
  out.error =
      r.base && r.host.size() > r.relativeFrom
          ? os::openDirectoryAt(r.base->get(), std::string_view(r.host).substr(r.relativeFrom), dir)
          : os::openDirectory(r.host, dir);
  if (out.error) return out;
  os::Identity id;
  if ((out.error = os::identity(dir, id))) return out;
  try {
    auto listing = listingOf(id);
    bytes = r.viewPath.size() + r.host.size();
    listing->local = fillsEachRead(c, id.device);
    thread_local std::string childHost;  // its capacity kept from read to read
    childHost.clear();
    // A subdirectory's path is longer than its parent's.
    if (r.host.size() < c.drives.longestMountPoint()) {
      childHost.assign(r.host);
      if (childHost.back() != os::kSeparator) childHost += os::kSeparator;
    }
    thread_local Gathered gathered;
    gathered.subdirs.clear();
    gathered.files.clear();
    Gatherer sink(c.drives, gathered, childHost, bytes);
    if ((out.error = os::readEntries(dir, listing->local, sink))) return out;
    sortInto(gathered.subdirs, listing->subdirs);
    sortInto(gathered.files, listing->files);
    // Something mounted here since the mount table was read: not part of this
    // drive. (A drive's root is on a mount of its own, of course.)
    const bool driveRoot = r.viewPath.size() == 3;
    if (r.parent && !driveRoot && crossesMount(*listing, *r.parent, r, c)) {
      out.outcome = ReadResult::Outcome::OtherMount;
      return out;
    }
    out.listing = std::move(listing);
    out.outcome = ReadResult::Outcome::Read;
  } catch (const std::bad_alloc&) {
    out.outcome = ReadResult::Outcome::OutOfMemory;
    return out;
  }
  // Kept open for the reads below it while the descriptor budget allows.
  out.dir = DescriptorBudget::process().keep(std::move(dir));
  return out;
}

}  // namespace platform
