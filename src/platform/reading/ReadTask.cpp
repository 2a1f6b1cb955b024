#include "platform/reading/ReadTask.h"

#include "platform/drives/Drives.h"

namespace platform {

namespace {

char driveOf(const std::string& viewPath) {
  const char c = viewPath.empty() ? '?' : viewPath[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The request of the subdirectory `name` of `t`, by its host path; false where
// the walk will find it by itself (a folder the table does not map).
bool childRequest(const ReadTask& t, std::string_view name, std::string& madeView,
                  const std::string*& view, ReadTask& child) {
  const std::string& parentHost = t.request.host;
  if (t.plain && isPlainViewName(name)) {
    child.request.host.reserve(parentHost.size() + 1 + name.size());
    child.request.host = parentHost;
    if (parentHost.back() != os::kSeparator) child.request.host += os::kSeparator;
    child.request.host += name;
    child.plain = true;
    return true;
  }
  // A plain folder's task carries no view path (the walk names the folders in its
  // errors): made from the host path for a subdirectory that needs one.
  if (view->empty()) {
    madeView = t.drives->hostToView(parentHost);
    if (driveOf(madeView) != t.drive) return false;  // read when the walk comes
    view = &madeView;
  }
  std::string& childView = child.request.viewPath;
  childView.reserve(view->size() + 1 + name.size());
  childView = *view;
  if (view->back() != '\\') childView += '\\';
  childView += name;
  auto host = t.drives->viewToHost(childView);
  if (!host) return false;
  child.request.host = std::move(*host);
  return true;
}

}  // namespace

void makeSubdirectoryTasks(ReadTask& t, std::atomic<uint64_t>& made) {
  const DirectoryListing& listing = *t.result.listing;
  const std::string& parentHost = t.request.host;
  // Opened relative to this directory, or to the ancestor this one was opened from.
  std::shared_ptr<const SharedDirectory> base = t.result.dir;
  size_t relativeFrom =
      parentHost.back() == os::kSeparator ? parentHost.size() : parentHost.size() + 1;
  size_t baseLength = parentHost.size();
  if (!base) {
    base = t.request.base;
    relativeFrom = t.request.relativeFrom;
    baseLength = relativeFrom;
  }
  const size_t n = listing.subdirs.size();
  std::string madeView;
  const std::string* view = &t.request.viewPath;
  const uint64_t madeFirst = made.fetch_add(n);
  t.subdirectories.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    auto child = std::make_shared<ReadTask>();
    child->drive = t.drive;
    if (!childRequest(t, listing.subdirs[i], madeView, view, *child)) continue;
    // The walk asks by the path it maps itself; open relative only where it agrees.
    if (base && (child->plain ||
                 child->request.host.compare(0, baseLength, parentHost, 0, baseLength) == 0)) {
      child->request.base = base;
      child->request.relativeFrom = relativeFrom;
    }
    child->request.parent = t.result.listing;
    child->drives = t.drives;
    child->order = t.order.child(static_cast<uint32_t>(n - 1 - i), madeFirst + i);
    child->queuesSubdirectories = true;
    child->walk = t.walk;
    child->rootDevice = t.rootDevice;
    t.subdirectories.push_back(std::move(child));
  }
}

}  // namespace platform
