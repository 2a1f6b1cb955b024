// Starts a program with a network share that stops answering: in a mount
// namespace of its own, the tests' FUSE file system is mounted (typed as sshfs,
// its folder "haengt" never answers), then this process becomes the program, so
// that it keeps the pid the caller started. The file system is killed when the
// program ends, however it ends; the mount ends with the namespace.
//
//   rz_hanging_share MOUNTPOINT ERROR_FS PROGRAM [ARGS...]
//
// Exit code 3 (before the program runs): the machine allows no such mount.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: rz_hanging_share MOUNTPOINT ERROR_FS PROGRAM [ARGS...]\n");
    return 2;
  }
  const char* mountPoint = argv[1];
  struct stat before {};
  if (::stat(mountPoint, &before) != 0) return 2;
  if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr)) {
    std::perror("rz_hanging_share: private mount namespace");
    return 3;
  }
  const pid_t parent = ::getpid();
  const pid_t fs = ::fork();
  if (fs == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) _exit(1);
    ::execl(argv[2], argv[2], mountPoint, "--haengt", static_cast<char*>(nullptr));
    _exit(127);
  }
  struct stat now {};
  for (int i = 0; i < 500; ++i) {
    if (::stat(mountPoint, &now) == 0 && now.st_dev != before.st_dev) break;
    ::usleep(10000);
  }
  if (now.st_dev == before.st_dev) {
    ::kill(fs, SIGKILL);
    std::fprintf(stderr, "rz_hanging_share: the file system did not mount\n");
    return 3;
  }
  ::execv(argv[3], argv + 3);
  std::perror("rz_hanging_share: exec");
  return 127;
}
