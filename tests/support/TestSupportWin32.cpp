// The parts of the test support that differ on Windows: temporary folders, and no
// privileges to drop (the tests that need that are Linux-only).
#include <windows.h>

#include <random>
#include <stdexcept>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
  std::random_device device;
  std::mt19937_64 random(device() ^ ::GetCurrentProcessId());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "rz-test-%08llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFF));
    std::error_code ec;
    if (fs::create_directory(base / name, ec)) {
      m_path = base / name;
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

bool runningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

int runUnprivileged(const std::vector<fs::path>&, const std::function<int()>&) {
  return -1;
}

int runInPrivateMountNamespace(const std::function<int()>&) {
  return kNoMountNamespace;
}

}  // namespace testsupport
