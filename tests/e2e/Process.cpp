#include "Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

// Everything execve needs, built before fork: the child only makes
// async-signal-safe calls.
struct ExecImage {
  std::vector<std::string> argStore;
  std::vector<std::string> envStore;
  std::vector<char*> argv;
  std::vector<char*> envp;

  ExecImage(const std::string& executable, const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& env) {
    argStore.push_back(executable);
    argStore.insert(argStore.end(), args.begin(), args.end());
    for (char** e = environ; e && *e; ++e) {
      const std::string entry(*e);
      const std::string key = entry.substr(0, entry.find('='));
      bool replaced = false;
      for (const auto& [k, v] : env) replaced = replaced || k == key;
      if (!replaced) envStore.push_back(entry);
    }
    for (const auto& [k, v] : env) envStore.push_back(k + "=" + v);
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
};

[[noreturn]] void childFail() {
  _exit(127);
}

}  // namespace

std::string findInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t end = dirs.find(':', pos);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(pos, end - pos);
    if (!dir.empty()) {
      const std::string candidate = dir + "/" + program;
      struct stat st {};
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    pos = end + 1;
  }
  return {};
}

Child::Child(const std::string& executable, const std::vector<std::string>& args,
             const SpawnOptions& options) {
  ExecImage image(executable, args, options.env);
  const std::string output = options.output.empty() ? "/dev/null" : options.output.string();
  const std::string workDir = options.workDir.string();
  const int passFd = options.passAsFd3;
  const pid_t parent = ::getpid();

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    // Ends with the test: a test killed by its timeout leaves no server or scan behind.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) childFail();
    if (passFd >= 0) {
      if (passFd == 3) {
        if (::fcntl(3, F_SETFD, 0) < 0) childFail();
      } else if (::dup2(passFd, 3) < 0) {
        childFail();
      }
    }
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0) childFail();
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) childFail();
    ::execve(image.argv[0], image.argv.data(), image.envp.data());
    childFail();
  }
  m_pid = pid;
}

Child::~Child() {
  if (m_pid > 0 && !m_status) {
    ::kill(m_pid, SIGKILL);
    reap(true);
  }
}

Child::Child(Child&& other) noexcept : m_pid(other.m_pid), m_status(other.m_status) {
  other.m_pid = -1;
  other.m_status.reset();
}

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    if (m_pid > 0 && !m_status) {
      ::kill(m_pid, SIGKILL);
      reap(true);
    }
    m_pid = other.m_pid;
    m_status = other.m_status;
    other.m_pid = -1;
    other.m_status.reset();
  }
  return *this;
}

void Child::reap(bool block) {
  if (m_pid <= 0 || m_status) return;
  int st = 0;
  pid_t r;
  do {
    r = ::waitpid(m_pid, &st, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == m_pid) m_status = st;
}

bool Child::running() {
  reap(false);
  return m_pid > 0 && !m_status;
}

std::optional<int> Child::waitFor(Clock::duration timeout) {
  const auto deadline = Clock::now() + timeout;
  while (running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(20ms);
  }
  return m_status;
}

void Child::stop(Clock::duration grace) {
  if (!running()) return;
  ::kill(m_pid, SIGTERM);
  if (!waitFor(grace)) {
    ::kill(m_pid, SIGKILL);
    reap(true);
  }
}

bool RunResult::exitedZero() const {
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

RunResult run(const std::string& executable, const std::vector<std::string>& args,
              const std::vector<std::pair<std::string, std::string>>& env) {
  ExecImage image(executable, args, env);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int in = ::open("/dev/null", O_RDWR);
    if (in < 0) childFail();
    ::dup2(in, 0);
    ::dup2(fds[1], 1);
    ::dup2(in, 2);
    ::execve(image.argv[0], image.argv.data(), image.envp.data());
    childFail();
  }
  ::close(fds[1]);
  RunResult result;
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.out.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(fds[0]);
  int st = 0;
  while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  result.status = st;
  return result;
}

std::string describeStatus(int status) {
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

}  // namespace e2e
