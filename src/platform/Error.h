// Numbered runtime errors of the form runtime.
//
// Every failure of a control, a file handle or a system call wrapper is thrown as
// one RuntimeError carrying the classic error number, so callers can act on the
// number (419 and 7 in the directory walk) and pass everything else on.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

namespace err {
inline constexpr int kListFull = 7;  // "Out of memory": a list that cannot grow
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kBadFileNameOrNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kBadFileMode = 54;
inline constexpr int kFileAlreadyOpen = 55;
inline constexpr int kDeviceIo = 57;
inline constexpr int kFileAlreadyExists = 58;
inline constexpr int kDiskFull = 61;
inline constexpr int kInputPastEnd = 62;
inline constexpr int kTooManyFiles = 67;
inline constexpr int kDeviceUnavailable = 68;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kDiskNotReady = 71;  // a drive that does not answer
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidPropertyValue = 380;
inline constexpr int kInvalidArrayIndex = 381;
inline constexpr int kAccessDenied = 419;  // a directory that may not be read
}  // namespace err

class RuntimeError : public std::runtime_error {
 public:
  // `description` is a German sentence fit for a message box.
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), m_number(number) {}

  int number() const noexcept { return m_number; }

 private:
  int m_number;
};

// The runtime's own German description of an error number.
std::string errorDescription(int number);

// Throws RuntimeError(number, errorDescription(number) [+ ": " + detail]).
[[noreturn]] void raiseError(int number, const std::string& detail = {});

}  // namespace platform
