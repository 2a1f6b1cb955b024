#include "support/TestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "rz-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make every folder writable and searchable again so that it can be removed.
  for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
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

fs::path TempDir::file(const std::string& relative, const std::string& content) const {
  const fs::path p = m_path / relative;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << content;
  return p;
}

fs::path TempDir::dir(const std::string& relative) const {
  const fs::path p = m_path / relative;
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

ScriptedHost::ScriptedHost() { platform::setUiHost(this); }
ScriptedHost::~ScriptedHost() { platform::setUiHost(nullptr); }

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

void ScriptedHost::msgBox(const std::string& prompt) { messages.push_back(prompt); }
void ScriptedHost::showForm(platform::Form& form) { shown.push_back(&form); }
void ScriptedHost::end() { ++ends; }

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

#include <grp.h>
#include <sys/wait.h>

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

namespace {

void handOver(const fs::path& tree, uid_t uid, gid_t gid) {
  if (::lchown(tree.c_str(), uid, gid) != 0) return;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(tree, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (::lchown(it->path().c_str(), uid, gid) != 0) continue;
  }
}

}  // namespace

int runUnprivileged(const std::vector<fs::path>& trees, const std::function<int()>& work) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      constexpr gid_t kNogroup = 65534;
      for (const auto& tree : trees) handOver(tree, kNobody, kNogroup);
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0) _exit(120);
    }
    int rc = 121;
    try {
      rc = work();
    } catch (...) {
      rc = 122;
    }
    std::fflush(nullptr);
    _exit(rc);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport
