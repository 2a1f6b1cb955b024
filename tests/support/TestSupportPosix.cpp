// The parts of the test support that use POSIX calls: temporary folders and the
// child processes without privileges or with mounts of their own.
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace testsupport {

bool runningUnderWine() {
  return false;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "rz-test-XXXXXX").string();
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
  fs::remove_all(m_path, ec);
  if (ec) {
    // A second pass after the first made the deeper folders accessible.
    std::error_code ec2;
    fs::remove_all(m_path, ec2);
  }
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
