#include "SshfsShare.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// A line the proxy prints ("port 40123"), or nothing when none came in time.
std::optional<std::string> readLine(int fd, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
      return std::nullopt;
    char c = 0;
    if (::read(fd, &c, 1) != 1) return std::nullopt;
    if (c == '\n') return line;
    line += c;
  }
}

// The value after `word` in a line "word value", or -1.
long valueAfter(const std::optional<std::string>& line, const std::string& word) {
  if (!line || line->rfind(word + " ", 0) != 0) return -1;
  return std::strtol(line->c_str() + word.size() + 1, nullptr, 10);
}

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

// Starts `argv` as a child that is killed when this thread ends; its output goes
// to `output` (-1: nowhere). -1 when it could not start.
pid_t startChild(const std::vector<std::string>& argv, int output) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) _exit(1);
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 0);
  ::dup2(output >= 0 ? output : null, 1);
  ::dup2(null, 2);
  ::execvp(args[0], args.data());
  _exit(127);
}

// Waits up to `timeout` for `pid` to end, then kills it.
void endChild(pid_t pid, int signal, std::chrono::milliseconds timeout) {
  ::kill(pid, signal);
  const auto until = Clock::now() + timeout;
  while (Clock::now() < until) {
    if (::waitpid(pid, nullptr, WNOHANG) != 0) return;
    ::usleep(2000);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace

std::string SshfsShare::start(const ShareOptions& options) {
  if (!onPath("sshfs")) return "sshfs is missing (Debian package sshfs)";
  if (::access(kSftpServer, X_OK) != 0)
    return std::string(kSftpServer) + " is missing (Debian package openssh-sftp-server)";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no /dev/fuse on this machine";
  struct stat before {};
  if (::stat(options.mountPoint.c_str(), &before) != 0) return "no folder " + options.mountPoint;
  m_mountPoint = options.mountPoint;
  m_folderDevice = before.st_dev;

  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return "no pipe";
  std::vector<std::string> proxy = {options.proxy, "--delay-us",
                                    std::to_string(options.latency.count())};
  if (!options.countsFile.empty()) proxy.insert(proxy.end(), {"--counts", options.countsFile});
  proxy.push_back(kSftpServer);
  m_proxy = startChild(proxy, pipe[1]);
  ::close(pipe[1]);
  m_proxyOutput = pipe[0];
  const long port = valueAfter(readLine(m_proxyOutput, std::chrono::seconds(5)), "port");
  if (port <= 0) return "share_proxy did not start (" + options.proxy + ")";

  m_sshfs = startChild({"sshfs", "-f", "-o", "directport=" + std::to_string(port),
                        "127.0.0.1:" + options.folder, options.mountPoint},
                       -1);
  const auto until = Clock::now() + std::chrono::seconds(10);
  struct stat now {};
  while (::stat(options.mountPoint.c_str(), &now) != 0 || now.st_dev == before.st_dev) {
    int status = 0;
    if (::waitpid(m_sshfs, &status, WNOHANG) == m_sshfs) {
      m_sshfs = -1;
      return "sshfs ended with status " + std::to_string(WEXITSTATUS(status)) +
             " (a FUSE mount may not be allowed here)";
    }
    if (Clock::now() > until) return "the share was not mounted after 10 s";
    ::usleep(5000);
  }
  m_server =
      static_cast<pid_t>(valueAfter(readLine(m_proxyOutput, std::chrono::seconds(5)), "server"));
  if (m_server <= 0) return "share_proxy named no server";
  return {};
}

void SshfsShare::stop() {
  // The proxy writes its counts and ends its servers: sshfs sees its connection
  // end, unmounts the share and ends, also when the server was stopped.
  if (m_proxy > 0) endChild(m_proxy, SIGTERM, std::chrono::seconds(2));
  if (m_sshfs > 0) endChild(m_sshfs, SIGTERM, std::chrono::seconds(2));
  // A mount left behind (sshfs killed) is taken away here.
  struct stat now {};
  if (!m_mountPoint.empty() &&
      (::stat(m_mountPoint.c_str(), &now) != 0 || now.st_dev != m_folderDevice))
    ::umount2(m_mountPoint.c_str(), MNT_DETACH);
  if (m_proxyOutput >= 0) ::close(m_proxyOutput);
  m_sshfs = m_proxy = m_server = m_proxyOutput = -1;
  m_mountPoint.clear();
}

}  // namespace bench
