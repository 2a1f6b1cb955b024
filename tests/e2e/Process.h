// Child processes for the end-to-end tests: the X server, the program, xdotool.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The full path of `program` found along PATH; empty when there is none.
std::string findInPath(const std::string& program);

struct SpawnOptions {
  // Variables set (or replaced) in the child's environment; the rest is inherited.
  std::vector<std::pair<std::string, std::string>> env;
  // stdout and stderr go to this file (appended); /dev/null when empty.
  std::filesystem::path output;
  // The child's working folder; the caller's when empty.
  std::filesystem::path workDir;
  // Kept open in the child as descriptor 3 (e.g. the write end of a pipe).
  int passAsFd3 = -1;
};

// A started child. The destructor kills it (SIGKILL) and reaps it if it still runs.
class Child {
 public:
  Child() = default;
  Child(const std::string& executable, const std::vector<std::string>& args,
        const SpawnOptions& options = {});
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return m_pid; }
  bool started() const { return m_pid > 0; }
  // True while the child has not ended (reaps it when it has).
  bool running();
  // Waits up to `timeout` for the end; the wait status (as waitpid gives it) or
  // nullopt when the child still runs.
  std::optional<int> waitFor(Clock::duration timeout);
  // The wait status once the child has ended.
  std::optional<int> status() const { return m_status; }
  // SIGTERM, then SIGKILL after `grace`; reaps the child.
  void stop(Clock::duration grace = 2s);

 private:
  void reap(bool block);

  pid_t m_pid = -1;
  std::optional<int> m_status;
};

struct RunResult {
  int status = -1;  // wait status
  std::string out;  // stdout
  bool exitedZero() const;
};

// Runs a program to its end and captures its stdout (stderr goes to /dev/null).
RunResult run(const std::string& executable, const std::vector<std::string>& args,
              const std::vector<std::pair<std::string, std::string>>& env = {});

// "exit code 3", "killed by signal 9", ...
std::string describeStatus(int status);

}  // namespace e2e
