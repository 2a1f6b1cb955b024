// The lists' form of a view path, and the current directory of a drive.
#pragma once

#include <string>

namespace platform {

// Normalises a view path as the lists show it: "C:\" for a root, no final "\"
// otherwise, upper-case letter, "/" taken as "\". "X:" alone names the drive's
// current directory. A relative path is taken relative to `base`, a path in this
// form (the list's own). Raises 76 for a path without a drive that cannot be
// resolved.
std::string normalizeViewPath(const std::string& path, const std::string& base);
// True when `path` is in that form already (`base` as there).
bool isNormalViewPath(const std::string& path, const std::string& base);

// The current directory of a drive: the process's working directory when it lies
// on that drive, else the drive's root.
std::string driveCurrentDirectory(char letter);

// The process's working directory as a view path ("C:\" when it cannot be read).
std::string currentDirectoryView();

}  // namespace platform
