// share_run: runs a command on a freshly mounted network share (SshfsShare) in a
// mount namespace of its own, and times the command alone.
//
//   share_run [--latency-us N] [--counts FILE] [--wall FILE] FOLDER MOUNTPOINT COMMAND [ARGS...]
//
// FOLDER is served by a new sftp-server through share_proxy (share_proxy beside
// this program), N microseconds each way, and mounted by sshfs at MOUNTPOINT,
// which nobody outside sees. Then COMMAND runs; its wall-clock seconds go to FILE
// (--wall), the SFTP requests it caused to FILE (--counts, written by the proxy).
// The share goes when the command has ended. Exits with the command's status;
// 3 when the share could not be mounted (the reason on stderr).
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "SshfsShare.h"

int main(int argc, char** argv) {
  bench::ShareOptions options;
  const char* wallFile = nullptr;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
    const std::string_view arg = argv[i];
    if (arg == "--latency-us") {
      options.latency = std::chrono::microseconds(std::strtoll(argv[i + 1], nullptr, 10));
    } else if (arg == "--counts") {
      options.countsFile = argv[i + 1];
    } else if (arg == "--wall") {
      wallFile = argv[i + 1];
    } else {
      break;
    }
  }
  if (argc - i < 3) {
    std::fprintf(stderr,
                 "usage: share_run [--latency-us N] [--counts FILE] [--wall FILE] FOLDER "
                 "MOUNTPOINT COMMAND [ARGS...]\n");
    return 2;
  }
  std::error_code ec;
  options.folder = std::filesystem::absolute(argv[i], ec).string();
  options.mountPoint = std::filesystem::absolute(argv[i + 1], ec).string();
  options.proxy =
      (std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "share_proxy").string();
  char** command = argv + i + 2;

  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    std::perror("share_run: a mount namespace of its own");
    return 3;
  }
  bench::SshfsShare share;
  if (const std::string why = share.start(options); !why.empty()) {
    std::fprintf(stderr, "share_run: %s\n", why.c_str());
    return 3;
  }

  const auto start = std::chrono::steady_clock::now();
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) _exit(1);
    ::execvp(command[0], command);
    std::perror("share_run: exec");
    _exit(127);
  }
  int status = 0;
  while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  share.stop();
  if (wallFile) {
    if (FILE* out = std::fopen(wallFile, "w")) {
      std::fprintf(out, "%.3f\n", took.count());
      std::fclose(out);
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
