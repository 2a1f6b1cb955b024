// The pieces of drive discovery over a mount table that the tests look at one by one.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/os/Os.h"

namespace platform::mounts {

// True when `ancestor` is `path` or one of its folders, compared by whole components.
bool isPathPrefix(std::string_view ancestor, std::string_view path);

// Where the walk of mount `walked` shows the folder that mount `shown` shows: the
// host path inside `walked`, or nothing when it never does. It does when both
// mount one device, the folder of `walked` (its root) holds that of `shown`, and
// no mount lies on the way from `walked`'s mount point down to that path (the
// path itself included): `isMounted` tells which paths have something mounted on
// them (or are left out of the walk). The directories themselves are not asked.
std::optional<std::string> whereWalkShows(const os::MountRow& shown, const os::MountRow& walked,
                                          const std::function<bool(std::string_view)>& isMounted);

}  // namespace platform::mounts
