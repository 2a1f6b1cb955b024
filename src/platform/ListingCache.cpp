#include "platform/ListingCache.h"

#include <new>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace platform {

namespace {

[[noreturn]] void raiseFor(os::NativeError e, const std::string& viewPath) {
  if (os::isAccessDenied(e)) raiseError(err::kAccessDenied, viewPath);
  raiseError(os::errorNumber(e), viewPath);
}

bool isAncestorOrSelf(std::string_view ancestor, std::string_view path) {
  if (path.size() < ancestor.size() || path.compare(0, ancestor.size(), ancestor) != 0) {
    return false;
  }
  return path.size() == ancestor.size() || ancestor.back() == os::kSeparator ||
         path[ancestor.size()] == os::kSeparator;
}

bool sameIdentity(const DirectoryListing& l, const os::Identity& id) {
  return l.device == id.device && l.inode == id.inode && l.mtimeNs == id.modifiedNs &&
         l.ctimeNs == id.changedNs;
}

// File systems whose directory reads fill the buffer as far as the entries go.
// Network, FUSE and stacked file systems make no such promise.
bool fillsReads(std::string_view fsType) {
  return fsType == "ext4" || fsType == "ext3" || fsType == "ext2" || fsType == "xfs" ||
         fsType == "btrfs" || fsType == "tmpfs";
}

// Whether a subdirectory lies on another mount than its parent that the drive's
// walk must not enter. Told by the mount id, so that a btrfs subvolume (a device
// of its own, the same mount) is an ordinary folder; a mount that the table walks
// as part of its drive (no letter left for it) is entered. Without mount ids the
// device tells, except on btrfs, whose subvolumes have devices of their own.
bool crossesMount(const DirectoryListing& child, const DirectoryListing& parent,
                  const std::string& viewPath, const std::string& host, const DriveTable& drives) {
  if (child.mountId != 0 && parent.mountId != 0) {
    return child.mountId != parent.mountId && !drives.walksInto(host);
  }
  if (child.device == parent.device || drives.walksInto(host)) return false;
  const Drive* drive = drives.byLetter(viewPath[0]);
  return !drive || drive->fsType != "btrfs";
}

}  // namespace

ListingCache::ListingCache(size_t descriptorBudget) : m_budget(descriptorBudget) {}

std::string_view ListingCache::keptPath(const Kept& k) const {
  return std::string_view(m_keptPath).substr(0, k.pathLength);
}

void ListingCache::closeKept(Kept& k) {
  if (k.dir.holdsDescriptor()) --m_open;
  k.dir.close();
}

// Leaves the innermost kept directory. Its parent gets a descriptor again through
// ".." when it gave its own up, so a walk climbing out of a very deep tree never
// resolves a long path from the root.
void ListingCache::popKept() {
  Kept& inner = m_kept.back();
  if (m_kept.size() >= 2 && !m_kept[m_kept.size() - 2].dir.isOpen() && inner.dir.isOpen()) {
    Kept& parent = m_kept[m_kept.size() - 2];
    os::Directory up;
    os::Identity id;
    if (os::openParent(inner.dir, up) == 0 && os::identity(up, id) == 0 &&
        id.device == parent.listing->device && id.inode == parent.listing->inode) {
      parent.dir = std::move(up);
      if (parent.dir.holdsDescriptor()) ++m_open;
    }
  }
  closeKept(m_kept.back());
  m_kept.pop_back();
}

// The drive's type counts only for directories on the drive's own file system
// (`device`): a share mounted inside a drive is another one.
bool ListingCache::fillsEachRead(const std::string& viewPath, uint64_t device,
                                 const DriveTable& drives) {
  const Drive* drive = viewPath.empty() ? nullptr : drives.byLetter(viewPath[0]);
  if (!drive || !fillsReads(drive->fsType)) return false;
  for (const auto& [mountPoint, rootDevice] : m_rootDevices) {
    if (mountPoint == drive->mountPoint) return rootDevice == device;
  }
  os::Identity root;
  if (os::identityOfPath(drive->mountPoint, root) != 0) return false;
  m_rootDevices.emplace_back(drive->mountPoint, root.device);
  return root.device == device;
}

std::shared_ptr<DirectoryListing> ListingCache::read(os::Directory& dir,
                                                     const std::string& viewPath,
                                                     const std::string& host,
                                                     const DriveTable& drives) {
  os::Identity id;
  if (const os::NativeError e = os::identity(dir, id)) raiseFor(e, viewPath);
  auto listing = std::make_shared<DirectoryListing>();
  listing->device = id.device;
  listing->inode = id.inode;
  listing->mtimeNs = id.modifiedNs;
  listing->ctimeNs = id.changedNs;
  listing->mountId = id.mountId;
  listing->checkedEpoch = m_epoch;

  m_entries.clear();
  if (const os::NativeError e =
          os::readEntries(dir, fillsEachRead(viewPath, id.device, drives), m_entries)) {
    raiseFor(e, viewPath);
  }
  // A folder on which the table puts another mount is not part of this drive.
  std::string childHost = host;
  if (childHost.back() != os::kSeparator) childHost += os::kSeparator;
  const size_t childBase = childHost.size();
  for (os::Entry& entry : m_entries) {
    if (entry.directory) {
      childHost.resize(childBase);
      childHost += entry.name;
      if (drives.isMountPoint(childHost)) continue;
      listing->subdirs.push_back(os::kHostNamesAreBytes ? hostNameToView(entry.name)
                                                        : std::move(entry.name));
    } else {
      listing->files.push_back(os::kHostNamesAreBytes ? hostNameToView(entry.name)
                                                      : std::move(entry.name));
    }
  }
  sortListOrder(listing->subdirs);
  sortListOrder(listing->files);
  ++m_stats.reads;
  return listing;
}

std::shared_ptr<const DirectoryListing> ListingCache::list(const std::string& viewPath,
                                                           const std::string& host, bool reread,
                                                           const DriveTable& drives) {
  // Keep only this directory and its ancestors.
  while (!m_kept.empty() && !isAncestorOrSelf(keptPath(m_kept.back()), host)) popKept();
  const bool found = !m_kept.empty() && keptPath(m_kept.back()) == host;
  if (found && !reread) {
    Kept& k = m_kept.back();
    if (k.listing->checkedEpoch == m_epoch) {
      ++m_stats.reuses;
      return k.listing;
    }
    os::Identity id;
    const os::NativeError e =
        k.dir.isOpen() ? os::identity(k.dir, id) : os::identityOfPath(host, id);
    if (e) raiseFor(e, viewPath);
    if (id.removed) raiseError(err::kPathNotFound, viewPath);
    if (sameIdentity(*k.listing, id)) {
      k.listing->checkedEpoch = m_epoch;
      ++m_stats.reuses;
      return k.listing;
    }
  }

  // Open relative to the kept parent when there is one; never through a link.
  os::Directory dir;
  os::NativeError openError = 0;
  const Kept* parent = found ? (m_kept.size() >= 2 ? &m_kept[m_kept.size() - 2] : nullptr)
                             : (m_kept.empty() ? nullptr : &m_kept.back());
  const std::string_view parentPath = parent ? keptPath(*parent) : std::string_view();
  const size_t nameStart =
      parent && parentPath.back() == os::kSeparator ? parentPath.size() : parentPath.size() + 1;
  const bool directChild = parent && host.size() > nameStart &&
                           host.find(os::kSeparator, nameStart) == std::string::npos;
  if (directChild && parent->dir.isOpen()) {
    openError = os::openDirectoryAt(parent->dir, std::string_view(host).substr(nameStart), dir);
  } else {
    // Out of descriptors for every level: start from the deepest kept ancestor
    // that still holds one, not from the root.
    const Kept* base = nullptr;
    for (size_t i = m_kept.size(); i-- > 0;) {
      if (m_kept[i].dir.isOpen() && !(found && i + 1 == m_kept.size())) {
        base = &m_kept[i];
        break;
      }
    }
    const std::string_view basePath = base ? keptPath(*base) : std::string_view();
    const size_t from =
        base && basePath.back() == os::kSeparator ? basePath.size() : basePath.size() + 1;
    if (base && host.size() > from) {
      openError = os::openDirectoryAt(base->dir, std::string_view(host).substr(from), dir);
    } else {
      openError = os::openDirectory(host, dir);
    }
  }
  if (openError) raiseFor(openError, viewPath);

  std::shared_ptr<DirectoryListing> fresh;
  try {
    fresh = read(dir, viewPath, host, drives);
  } catch (const std::bad_alloc&) {
    raiseError(err::kListFull, viewPath);
  }
  // Something mounted here since the mount table was read: not part of this drive.
  // (A drive's root is on a mount of its own, of course.)
  const bool driveRoot = viewPath.size() == 3;
  if (directChild && !driveRoot && crossesMount(*fresh, *parent->listing, viewPath, host, drives)) {
    raiseError(err::kPathNotFound, viewPath);
  }
  if (found) {
    closeKept(m_kept.back());
    m_kept.pop_back();
  }
  // The innermost directories keep their descriptors: when there are too many,
  // the outermost one gives its up (popKept gets it back through "..").
  if (m_open >= m_budget) {
    for (Kept& outer : m_kept) {
      if (outer.dir.holdsDescriptor()) {
        closeKept(outer);
        break;
      }
    }
  }
  Kept k{fresh, host.size(), std::move(dir)};
  if (k.dir.holdsDescriptor()) ++m_open;
  m_kept.push_back(std::move(k));
  m_keptPath = host;
  return fresh;
}

// --- the process's cache and the lists' calls -------------------------------------------

namespace {

ListingCache& processCache() {
  static ListingCache cache(os::descriptorBudget());
  return cache;
}

}  // namespace

std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath, bool reread) {
  const DriveTable& drives = systemDrives();
  const auto host = drives.viewToHost(viewPath);
  if (!host) raiseError(err::kDeviceUnavailable, viewPath);
  return processCache().list(viewPath, *host, reread, drives);
}

void nextDirectoryEpoch() {
  processCache().nextEpoch();
}
uint64_t directoryEpoch() {
  return processCache().epoch();
}
DirectoryStats directoryStats() {
  return processCache().stats();
}

std::string currentDirectoryView() {
  const std::string cwd = os::currentDirectory();
  if (cwd.empty()) return "C:\\";
  return systemDrives().hostToView(cwd);
}

std::string driveCurrentDirectory(char letter) {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  const std::string root = std::string(1, upper) + ":\\";
  const std::string cwd = os::currentDirectory();
  if (cwd.empty()) return root;
  const std::string view = systemDrives().hostToView(cwd);
  // Only a folder that really lies on the drive (it maps back to itself).
  if (view.size() < 2 || view[0] != upper || systemDrives().viewToHost(view) != cwd) return root;
  return view;
}

}  // namespace platform
