// The few calls the file handles need from the host system. Each raises a
// numbered error naming `path` when it fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::systemfile {

using Handle = std::intptr_t;

// Creates the file, or empties an existing one.
Handle openForOutput(const std::string& path);
// Opens an existing file and reads all of it into `content`; the file is closed again.
void readWhole(const std::string& path, std::string& content);
// Writes all of `data`.
void writeAll(Handle file, std::string_view data, const std::string& path);
// Closes the file; the classic error number of a failure, else 0.
int close(Handle file);

}  // namespace platform::systemfile
