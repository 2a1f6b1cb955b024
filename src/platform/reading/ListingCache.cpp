#include "platform/reading/ListingCache.h"

#include <new>

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"

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

// What a call on a reader asks and answers. Owned by the call as well, which may
// outlive its wait when the drive is given up.
struct Probe {
  std::shared_ptr<const SharedDirectory> dir;
  std::string host;
  os::Directory opened;
  os::Identity id;
  os::NativeError error = 0;
};

bool sameIdentity(const DirectoryListing& l, const os::Identity& id) {
  return l.device == id.device && l.inode == id.inode && l.mtimeNs == id.modifiedNs &&
         l.ctimeNs == id.changedNs;
}

}  // namespace

std::string_view ListingCache::keptPath(const Kept& k) const {
  return std::string_view(m_keptPath).substr(0, k.pathLength);
}

// Leaves the innermost kept directory on the way to `host`. Its parent gets a
// descriptor again through ".." when it gave its own up and the way leads through
// it, so a walk climbing out of a very deep tree never resolves a long path from
// the root. (Only then is the parent on the drive of `viewPath`, the one the call
// waits for.)
void ListingCache::popKept(const std::string& viewPath, std::string_view host) {
  Kept& inner = m_kept.back();
  if (m_kept.size() >= 2 && !m_kept[m_kept.size() - 2].dir && inner.dir &&
      isAncestorOrSelf(keptPath(m_kept[m_kept.size() - 2]), host)) {
    Kept& parent = m_kept[m_kept.size() - 2];
    auto up = std::make_shared<Probe>();
    up->dir = inner.dir;
    m_readers.call(viewPath, [up] {
      up->error = os::openParent(up->dir->get(), up->opened);
      if (!up->error) up->error = os::identity(up->opened, up->id);
    });
    if (up->error == 0 && up->id.device == parent.listing->device &&
        up->id.inode == parent.listing->inode) {
      parent.dir = std::make_shared<SharedDirectory>(std::move(up->opened));
    }
  }
  m_kept.pop_back();
}

std::shared_ptr<const DirectoryListing> ListingCache::list(
    const std::string& viewPath, const std::string& host, bool reread,
    const std::shared_ptr<const DriveTable>& drives) {
  // Keep only this directory and its ancestors.
  while (!m_kept.empty() && !isAncestorOrSelf(keptPath(m_kept.back()), host)) {
    popKept(viewPath, host);
  }
  // The innermost kept one is `host` or an ancestor of it now.
  const bool found = !m_kept.empty() && m_kept.back().pathLength == host.size();
  if (found && !reread) {
    Kept& k = m_kept.back();
    if (k.listing->checkedEpoch == yieldEpoch()) {
      ++m_stats.reuses;
      return k.listing;
    }
    os::Identity id;
    os::NativeError error = 0;
    if (k.dir && k.listing->local) {
      error = os::identity(k.dir->get(), id);  // answers from memory: no reader needed
    } else {
      auto check = std::make_shared<Probe>();
      check->dir = k.dir;
      if (!check->dir) check->host = host;
      m_readers.call(viewPath, [check] {
        check->error = check->dir ? os::identity(check->dir->get(), check->id)
                                  : os::identityOfPath(check->host, check->id);
      });
      error = check->error;
      id = check->id;
    }
    if (error) raiseFor(error, viewPath);
    if (id.removed) raiseError(err::kPathNotFound, viewPath);
    if (sameIdentity(*k.listing, id)) {
      k.listing->checkedEpoch = yieldEpoch();
      ++m_stats.reuses;
      return k.listing;
    }
  }

  // Opened relative to the kept parent when there is one; never through a link.
  ReadRequest request;
  request.viewPath = viewPath;
  request.host = host;
  const Kept* parent = found ? (m_kept.size() >= 2 ? &m_kept[m_kept.size() - 2] : nullptr)
                             : (m_kept.empty() ? nullptr : &m_kept.back());
  const std::string_view parentPath = parent ? keptPath(*parent) : std::string_view();
  const size_t nameStart =
      parent && parentPath.back() == os::kSeparator ? parentPath.size() : parentPath.size() + 1;
  const bool directChild = parent && host.size() > nameStart &&
                           host.find(os::kSeparator, nameStart) == std::string::npos;
  if (directChild) request.parent = parent->listing;
  if (directChild && parent->dir) {
    request.base = parent->dir;
    request.relativeFrom = nameStart;
  } else {
    // Out of descriptors for every level: start from the deepest kept ancestor
    // that still holds one, not from the root.
    for (size_t i = m_kept.size(); i-- > 0;) {
      const Kept& base = m_kept[i];
      if (!base.dir || (found && i + 1 == m_kept.size())) continue;
      const std::string_view basePath = keptPath(base);
      const size_t from = basePath.back() == os::kSeparator ? basePath.size() : basePath.size() + 1;
      if (host.size() > from) {
        request.base = base.dir;
        request.relativeFrom = from;
      }
      break;
    }
  }
  ReadResult result = m_readers.read(std::move(request), drives, !found && !reread);
  switch (result.outcome) {
    case ReadResult::Outcome::Read: break;
    case ReadResult::Outcome::Failed: raiseFor(result.error, viewPath);
    case ReadResult::Outcome::OtherMount: raiseError(err::kPathNotFound, viewPath);
    case ReadResult::Outcome::OutOfMemory: raiseError(err::kListFull, viewPath);
  }
  result.listing->checkedEpoch = yieldEpoch();
  ++m_stats.reads;
  if (found) m_kept.pop_back();
  // The innermost directories keep their descriptors: when there are too many,
  // the outermost one gives its up (popKept gets it back through "..").
  if (!DescriptorBudget::process().hasRoom()) {
    for (Kept& outer : m_kept) {
      if (outer.dir) {
        outer.dir.reset();
        break;
      }
    }
  }
  // What the kept ancestors' path shares with `host` is there already.
  const size_t shared = m_kept.empty() ? 0 : m_kept.back().pathLength;
  m_kept.push_back(Kept{result.listing, host.size(), std::move(result.dir)});
  m_keptPath.resize(shared);
  m_keptPath.append(host, shared);
  return result.listing;
}

}  // namespace platform
