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
