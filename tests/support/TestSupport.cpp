#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/Error.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// Names in the tests are UTF-8; Windows would read a narrow string in its code page.
fs::path relativePath(const std::string& relative) {
#ifdef _WIN32
  return fs::path(std::u8string(relative.begin(), relative.end()));
#else
  return fs::path(relative);
#endif
}

}  // namespace

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

int errorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

fs::path TempDir::file(const std::string& relative, const std::string& content) const {
  const fs::path p = m_path / relativePath(relative);
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << content;
  return p;
}

fs::path TempDir::dir(const std::string& relative) const {
  const fs::path p = m_path / relativePath(relative);
  fs::create_directories(p);
  return p;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> splitCrLf(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(pos));
      break;
    }
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

ScriptedHost::ScriptedHost() {
  platform::setUiHost(this);
}
ScriptedHost::~ScriptedHost() {
  platform::setUiHost(nullptr);
}

void ScriptedHost::doEvents() {
  ++yields;
  for (auto& [at, action] : m_actions) {
    if (at == yields && action) {
      auto run = std::move(action);
      action = nullptr;
      run();
    }
  }
}

void ScriptedHost::keepAlive() {
  ++keepAlives;
  if (m_keepAlive && m_keepAlive()) m_keepAlive = nullptr;
}

void ScriptedHost::msgBox(const std::string& prompt) {
  messages.push_back(prompt);
}
void ScriptedHost::showForm(platform::Form& form) {
  shown.push_back(&form);
}
void ScriptedHost::end() {
  ++ends;
}

void ScriptedHost::atYield(int yield, std::function<void()> action) {
  m_actions.emplace_back(yield, std::move(action));
}

fs::path testOutputDir() {
  const char* env = std::getenv("RZ_TEST_OUTPUT");
  fs::path dir = env && *env ? fs::path(env) : fs::temp_directory_path() / "rz-test-output";
  fs::create_directories(dir);
  return dir;
}

}  // namespace testsupport

#include <ctime>

namespace testsupport {

platform::Clock fixedClock(int year, int month, int day, int hour, int minute, int second) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  const auto at = std::chrono::system_clock::from_time_t(std::mktime(&parts));
  return [at] { return at; };
}

}  // namespace testsupport
