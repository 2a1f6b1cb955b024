// Helpers shared by the test suites: temporary trees and a scripted UI host.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/Runtime.h"

namespace testsupport {

// A fresh folder below the system's temporary folder, removed (with everything in
// it, unreadable folders included) when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // Creates a file (and its folders) with the given content; returns its path.
  std::filesystem::path file(const std::string& relative, const std::string& content = {}) const;
  std::filesystem::path dir(const std::string& relative) const;

 private:
  std::filesystem::path m_path;
};

// Reads a whole file as bytes.
std::string readFile(const std::filesystem::path& path);
// Splits bytes at CR LF (the last line end is not followed by an empty line).
std::vector<std::string> splitCrLf(const std::string& bytes);

// A UI host for tests: counts yields, runs a scripted action at a chosen yield,
// records message boxes and the end of the program.
class ScriptedHost : public platform::UiHost {
 public:
  ScriptedHost();
  ~ScriptedHost() override;

  void doEvents() override;
  void keepAlive() override;
  void msgBox(const std::string& prompt) override;
  void showForm(platform::Form& form) override;
  void end() override;

  // Runs `action` during yield number `yield` (1 = the first).
  void atYield(int yield, std::function<void()> action);
  // Runs `action` at each keep-alive (a wait for a drive, which is no yield) until
  // it returns true.
  void atKeepAlive(std::function<bool()> action) { m_keepAlive = std::move(action); }

  int yields = 0;
  int keepAlives = 0;
  int ends = 0;
  std::vector<std::string> messages;
  std::vector<platform::Form*> shown;

 private:
  std::vector<std::pair<int, std::function<void()>>> m_actions;
  std::function<bool()> m_keepAlive;
};

// True when the tests run as a Windows program under wine.
bool runningUnderWine();

// Folder for pictures and other output of the tests (RZ_TEST_OUTPUT, else a temp folder).
std::filesystem::path testOutputDir();

// `lines` in byte order.
std::vector<std::string> sorted(std::vector<std::string> lines);

// The number of the runtime error that `f` raises, 0 when it raises none.
int errorNumberOf(const std::function<void()>& f);

// The system's own error for a full disk (ENOSPC, ERROR_DISK_FULL), for a flush
// to disk that fails (platform::setFlushToDisk).
#ifdef _WIN32
inline constexpr int kDiskFullError = 112;
#else
inline constexpr int kDiskFullError = 28;
#endif

}  // namespace testsupport

namespace testsupport {

// A clock fixed at the given local date and time.
platform::Clock fixedClock(int year, int month, int day, int hour, int minute, int second);

// Runs `work` in a child process without root's privileges (as "nobody" when the
// tests run as root, after handing `tree` to that user), so that permission bits
// are honoured. Returns the child's exit code; -1 when it did not exit normally.
int runUnprivileged(const std::vector<std::filesystem::path>& trees,
                    const std::function<int()>& work);

// Runs `work` in a child process with a mount namespace of its own whose mounts
// propagate nowhere, so that whatever it mounts goes with the child. Returns the
// child's exit code, kNoPrivateMounts when the machine refuses such a namespace,
// -1 when the child did not exit normally.
inline constexpr int kNoPrivateMounts = 77;
int runWithPrivateMounts(const std::function<int()>& work);

}  // namespace testsupport
