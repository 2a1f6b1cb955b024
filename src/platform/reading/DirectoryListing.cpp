#include "platform/reading/DirectoryListing.h"

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/reading/ListingCache.h"

namespace platform {

namespace {

ListingCache& processCache() {
  static ListingCache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath, bool reread) {
  const std::shared_ptr<const DriveTable> drives = systemDrivesShared();
  static ViewPathMapper mapper;  // the lists' paths, on the windows' thread
  const auto host = mapper.map(drives, viewPath);
  if (!host) raiseError(err::kDeviceUnavailable, viewPath);
  return processCache().list(viewPath, *host, reread, drives);
}

DirectoryStats directoryStats() {
  return processCache().stats();
}

}  // namespace platform
