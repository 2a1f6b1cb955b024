#include "platform/Shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Text.h"

extern char** environ;

namespace platform {

namespace {

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

Launcher& launcher() {
  static Launcher l;
  return l;
}

}  // namespace

void setLauncher(Launcher l) {
  launcher() = std::move(l);
}

long ShellExecuteA(Hwnd, const std::string& lpOperation, const std::string& lpFile,
                   const std::string& lpParameters, const std::string&, int) {
  // Only "open" is known; the working folder does not matter to the opener.
  if (!equalsNoCase(lpOperation, "open") || lpFile.empty()) return 31;
  // xdg-open takes the address alone; parameters have no meaning for it.
  (void)lpParameters;
  const std::vector<std::string> argv{"xdg-open", lpFile};
  const bool started = launcher() ? launcher()(argv) : spawnDetached(argv);
  return started ? 42 : 2;
}

}  // namespace platform
