#include "platform/runtime/Runtime.h"

#include <cstdio>
#include <ctime>

#include "platform/drives/Drives.h"
#include "platform/os/Os.h"
#include "platform/runtime/FileHandles.h"

namespace platform {

AppObject App;

std::string executableFolder() {
  const std::string program = os::executablePath();
  const size_t separator = program.rfind(os::kSeparator);
  if (program.empty() || separator == std::string::npos) return "C:\\";
  std::string folder = program.substr(0, separator);
  // The folder of "/x" is "/", of "C:\x.exe" it is "C:\".
  if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) folder += os::kSeparator;
  return systemDrives().hostToView(folder);
}

// --- date and time ------------------------------------------------------------------

namespace {

Clock& clock() {
  static Clock c;
  return c;
}

std::tm localNow() {
  const auto now = clock() ? clock()() : std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &t);
#else
  localtime_r(&t, &parts);
#endif
  return parts;
}

}  // namespace

void setClock(Clock c) {
  clock() = std::move(c);
}

namespace {

MonotonicClock& monotonicClock() {
  static MonotonicClock c;
  return c;
}

}  // namespace

void setMonotonicClock(MonotonicClock c) {
  monotonicClock() = std::move(c);
}

std::chrono::steady_clock::time_point monotonicNow() {
  return monotonicClock() ? monotonicClock()() : std::chrono::steady_clock::now();
}

std::string DateText() {
  const std::tm t = localNow();
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", t.tm_mon + 1, t.tm_mday,
                (t.tm_year + 1900) % 10000);
  return text;
}

std::string TimeText() {
  const std::tm t = localNow();
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

// --- user interface -------------------------------------------------------------------

namespace {

class HeadlessHost final : public UiHost {
 public:
  void doEvents() override {}
  void msgBox(const std::string& prompt) override { std::fprintf(stderr, "%s\n", prompt.c_str()); }
  void showForm(Form&) override {}
  void end() override {}
};

HeadlessHost& headlessHost() {
  static HeadlessHost headless;
  return headless;
}

UiHost*& currentHost() {
  static UiHost* host = &headlessHost();
  return host;
}

bool& endedFlag() {
  static bool ended = false;
  return ended;
}

}  // namespace

void setUiHost(UiHost* host) {
  currentHost() = host ? host : &headlessHost();
}

UiHost& uiHost() {
  return *currentHost();
}

namespace {

uint64_t& epoch() {
  static uint64_t e = 1;
  return e;
}

}  // namespace

void nextYieldEpoch() {
  ++epoch();
}

uint64_t yieldEpoch() {
  return epoch();
}

void DoEvents() {
  // Kept directory listings are trusted for a millisecond: checking them again at
  // every yield would cost a system call per directory of a walk.
  static auto lastEpoch = std::chrono::steady_clock::time_point{};
  const auto now = std::chrono::steady_clock::now();
  if (now - lastEpoch >= std::chrono::milliseconds(1)) {
    nextYieldEpoch();
    lastEpoch = now;
  }
  if (!endedFlag()) uiHost().doEvents();
}

void MsgBox(const std::string& prompt) {
  if (!endedFlag()) uiHost().msgBox(prompt);
}

void End() {
  CloseAll();
  endedFlag() = true;
  uiHost().end();
}

bool programEnded() {
  return endedFlag();
}
void resetProgramEnded() {
  endedFlag() = false;
}

}  // namespace platform
