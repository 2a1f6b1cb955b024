// The parts of the test support that use POSIX calls: temporary folders and the
// child processes without privileges or with mounts of their own.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace testsupport {

bool runningUnderWine() {
  return false;
}

namespace {

// Removes a folder whose paths grow too long for remove_all (a chain of folders
// thousands deep): one level at a time, each opened relative to the one above, the
// names of the way down kept to come back up. Each level's files go first.
void removeDeep(const fs::path& top) {
  int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  std::vector<std::string> way;
  while (fd >= 0) {
    std::string sub;
    if (DIR* d = ::fdopendir(::dup(fd))) {
      while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (::unlinkat(fd, name.c_str(), 0) != 0 && sub.empty()) sub = name;
      }
      ::closedir(d);
    }
    if (!sub.empty()) {
      ::fchmodat(fd, sub.c_str(), 0700, 0);
      const int next = ::openat(fd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (next >= 0) {
        way.push_back(sub);
        ::close(fd);
        fd = next;
        continue;
      }
    }
    if (way.empty()) break;
    // This level is empty (or what is left cannot be removed): back up one.
    const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = up;
    if (fd >= 0 && ::unlinkat(fd, way.back().c_str(), AT_REMOVEDIR) != 0) break;
    way.pop_back();
  }
  if (fd >= 0) ::close(fd);
  ::rmdir(top.c_str());
}

void removeTree(const fs::path& top) {
  std::error_code ec;
  fs::remove_all(top, ec);
  if (ec || fs::exists(fs::symlink_status(top, ec))) removeDeep(top);
}

// The folders of test processes that died before they could remove them (a test
// that a sanitizer stopped, one killed by its timeout): named after their process.
void removeFoldersOfDeadTests() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("rz-test-", 0) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + 8, &end, 10);
    if (pid <= 0 || *end != '-' || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    ::chmod(entry.path().c_str(), 0700);
    removeTree(entry.path());
  }
}

}  // namespace

TempDir::TempDir() {
  static const bool swept = (removeFoldersOfDeadTests(), true);
  (void)swept;
  std::string pattern =
      (fs::temp_directory_path() / ("rz-test-" + std::to_string(::getpid()) + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make every folder writable and searchable again so that it can be removed.
  for (auto it = fs::recursive_directory_iterator(
           m_path, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      ::chmod(it->path().c_str(), 0700);
    }
  }
  ::chmod(m_path.c_str(), 0700);
  removeTree(m_path);
}

namespace {

void handOver(const fs::path& tree, uid_t uid, gid_t gid) {
  if (::lchown(tree.c_str(), uid, gid) != 0) return;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(tree, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (::lchown(it->path().c_str(), uid, gid) != 0) continue;
  }
}

}  // namespace

namespace {

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

[[noreturn]] void runAndExit(const std::function<int()>& work) {
  int rc = 121;
  try {
    rc = work();
  } catch (...) {
    rc = 122;
  }
  std::fflush(nullptr);
  _exit(rc);
}

}  // namespace

int runWithPrivateMounts(const std::function<int()>& work) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      _exit(kNoPrivateMounts);
    }
    runAndExit(work);
  }
  return waitFor(pid);
}

int runUnprivileged(const std::vector<fs::path>& trees, const std::function<int()>& work) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      constexpr gid_t kNogroup = 65534;
      for (const auto& tree : trees) handOver(tree, kNobody, kNogroup);
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)
        _exit(120);
    }
    runAndExit(work);
  }
  return waitFor(pid);
}

}  // namespace testsupport
