// Errors, the program's own path, the working folder, the case of characters and
// the desktop's opener on Linux.
#include <fcntl.h>
#include <locale.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cwctype>

#include "platform/Error.h"
#include "platform/os/Os.h"

extern char** environ;

namespace platform::os {

const char kSeparator = '/';
const bool kHostNamesAreBytes = true;
const bool kHasAnsiCodePage = false;

int errorNumber(NativeError error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG: return err::kPathNotFound;
    case EACCES:
    case EPERM: return err::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::kDiskFull;
    case EMFILE:
    case ENFILE: return err::kTooManyFiles;
    case ENOMEM: return err::kListFull;
    case ENXIO:
    case ENODEV:
    case ESTALE:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ENOTCONN:
    case ENOMEDIUM: return err::kDeviceUnavailable;
    case EROFS:
    case EISDIR:
    case EBUSY:
    case ETXTBSY:
    case EEXIST: return err::kPathFileAccess;
    default: return err::kDeviceIo;
  }
}

bool isAccessDenied(NativeError error) {
  return error == EACCES || error == EPERM;
}
bool isNotFound(NativeError error) {
  return error == ENOENT;
}

bool isAlreadyExists(NativeError error) {
  return error == EEXIST;
}

std::string executablePath() {
  std::string buffer(4096, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string currentDirectory() {
  std::string cwd(PATH_MAX, '\0');
  if (!::getcwd(cwd.data(), cwd.size())) return {};
  cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  return cwd;
}

namespace {

// A fixed UTF-8 locale for the case tables, so that the user's LANG changes nothing.
locale_t caseLocale() {
  static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

// Double fork: the opener is reparented at once, so it never becomes a zombie of
// ours and the window never waits for it.
bool spawnDetached(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
    }
    pid_t grandchild;
    const int rc = ::posix_spawnp(&grandchild, args[0], nullptr, nullptr, args.data(), environ);
    ::_exit(rc == 0 ? 0 : 127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool isOpen(std::string_view operation) {
  if (operation.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    const char c = operation[i] >= 'A' && operation[i] <= 'Z' ? operation[i] + 32 : operation[i];
    if (c != "open"[i]) return false;
  }
  return true;
}

}  // namespace

char32_t lowerChar(char32_t cp) {
  if (locale_t l = caseLocale())
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), l));
  return cp;
}

char32_t upperChar(char32_t cp) {
  if (locale_t l = caseLocale())
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), l));
  return cp;
}

std::optional<char> ansiByte(char32_t) {
  return std::nullopt;
}
std::string fromAnsiCodePage(std::string_view ansi) {
  return std::string(ansi);
}

long shellExecute(const std::string& operation, const std::string& file, const std::string&,
                  const std::string&, int) {
  // xdg-open knows only "open"; it takes the address alone, and the working folder
  // does not matter to it.
  if (!isOpen(operation) || file.empty()) return 31;
  return spawnDetached({"xdg-open", file}) ? 42 : 2;
}

}  // namespace platform::os
