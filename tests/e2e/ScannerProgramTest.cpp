// The real program, started on an X server of the test's own and operated as a
// person operates it: the start/cancel button is clicked with the pointer and
// the window is closed with the close request a window manager sends.
//
// Each test runs its own copy of the program from a temporary folder, so the
// log it writes beside itself collides with no other run and nothing is left
// in the build tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "HostListing.h"
#include "Process.h"
#include "XServer.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using SystemClock = std::chrono::system_clock;

// The main window as designed: its client area and the button CommandStartCancel,
// in twips from the client area's top-left corner; 15 twips are one pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 10440;
constexpr int kClientHeight = 5640;
constexpr int kButtonLeft = 9000;
constexpr int kButtonTop = 4680;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 495;

constexpr const char* kTitleStart = "Rozozovuvor-Ororuzi V1.0 ";
constexpr const char* kTitlePattern = "^Rozozovuvor-Ororuzi V1\\.0 ";

// The log's fixed lines as bytes of Windows-1252, written out here rather than
// converted by the program's own code: the umlauts are single bytes.
const std::string kHeaderText = "HALVEK-ROZOZOVUVOR-ORORUZI-PROTOKOLL: ";
const std::string kCancelLine =
    "SCANVORGANG WURDE MANUELL ABGEBROCHEN! NICHT VOLLST"
    "\xC4"
    "NDIG!";
const std::array<std::string, 3> kNoteLines = {
    "HINWEIS: Es konnten nicht alle Dateien erfasst werden, ",
    "da Sie beim Ausf"
    "\xFC"
    "hren des Scanners nicht als ",
    "Administrator dieses PC angemeldet waren! ",
};

constexpr auto kWindowTimeout = 30s;
constexpr auto kLogAppearTimeout = 15s;
constexpr auto kFullScanTimeout = 300s;
constexpr auto kExitTimeout = 10s;
// Longer than the double-click time (Qt's 400 ms), so that the click on
// "abbrechen" is a click of its own, and short: a whole scan of a small machine
// with a warm cache takes about a second.
constexpr auto kScanBeforeCancel = 600ms;
// A close request is no click: it may come at once.
constexpr auto kScanBeforeClose = 150ms;
// What a scan writes under until it ends: the log's name with this before ".txt".
constexpr const char* kIncompleteMark = "-UNVOLLST\xC3\x84NDIG";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Lines of a CR LF file, viewing `bytes`; `complete` tells whether the last line
// ended with CR LF.
std::vector<std::string_view> splitCrLf(const std::string& bytes, bool& complete) {
  std::vector<std::string_view> lines;
  const std::string_view all(bytes);
  size_t pos = 0;
  complete = true;
  while (pos < all.size()) {
    const size_t end = all.find("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back(all.substr(pos));
      complete = false;
      break;
    }
    lines.push_back(all.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// A log line made readable in a test message: bytes outside ASCII as \xNN.
std::string printable(std::string_view line) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : line) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string tail(const std::string& text, size_t maxChars) {
  return text.size() <= maxChars ? text : "..." + text.substr(text.size() - maxChars);
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The letters a scan may list files under, told from the mount table by rules
// simpler than the program's: "/" is C:, and each further mount of a disk (a
// "/dev/" source other than a loop, zram or optical device) or of a network file
// system may take the next letter. The program's scan drives, which take the first
// letters, are among these.
std::string scanDriveLetters() {
  std::string letters = "C";
  for (const TableRow& m : mountTable()) {
    const std::string_view s = m.source;
    const bool disk = s.starts_with("/dev/") && !s.starts_with("/dev/loop") &&
                      !s.starts_with("/dev/zram") && !s.starts_with("/dev/sr");
    const bool share = m.type.starts_with("nfs") || m.type == "cifs" || m.type == "smb3" ||
                       m.type == "9p" || m.type.ends_with("sshfs") || m.type == "virtiofs";
    if (m.target != "/" && (disk || share) && letters.back() < 'Z')
      letters += static_cast<char>(letters.back() + 1);
  }
  return letters;
}

bool isFileLine(std::string_view line, const std::string& letters) {
  return line.size() > 3 && letters.find(line[0]) != std::string::npos && line[1] == ':' &&
         line[2] == '\\';
}

// The six number groups (month, day, year, hours, minutes, seconds) of `text` as
// local time; -1 when `text` has another form.
std::time_t matchedTime(const std::string& text, const std::regex& form) {
  std::smatch m;
  if (!std::regex_match(text, m, form)) return -1;
  std::tm t{};
  t.tm_mon = std::stoi(m[1]) - 1;
  t.tm_mday = std::stoi(m[2]);
  t.tm_year = std::stoi(m[3]) - 1900;
  t.tm_hour = std::stoi(m[4]);
  t.tm_min = std::stoi(m[5]);
  t.tm_sec = std::stoi(m[6]);
  t.tm_isdst = -1;
  return std::mktime(&t);
}

// "MM-DD-YYYY HH:MM:SS" of the header.
std::time_t headerTime(const std::string& header) {
  static const std::regex form(
      "HALVEK-ROZOZOVUVOR-ORORUZI-PROTOKOLL: (\\d\\d)-(\\d\\d)-(\\d{4}) "
      "(\\d\\d):(\\d\\d):(\\d\\d)");
  return matchedTime(header, form);
}

// "protokoll-MM-DD-YYYY-HH-MM-SS.txt".
std::time_t logNameTime(const std::string& name) {
  static const std::regex form(
      "protokoll-(\\d\\d)-(\\d\\d)-(\\d{4})-(\\d\\d)-(\\d\\d)-(\\d\\d)\\.txt");
  return matchedTime(name, form);
}

std::time_t toTime(SystemClock::time_point t) {
  return SystemClock::to_time_t(t);
}

// True while process `pid` holds `file` open (compared by device and inode, so
// paths longer than the system's limit in its descriptor table do not matter).
bool holdsOpen(pid_t pid, const fs::path& file) {
  struct stat target {};
  if (::stat(file.c_str(), &target) != 0) return false;
  const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = ::opendir(fdDir.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && st.st_dev == target.st_dev &&
        st.st_ino == target.st_ino) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The log's own name for the temporary file a scan writes.
fs::path finalName(const fs::path& temporary) {
  std::string name = temporary.filename().string();
  const size_t mark = name.find(kIncompleteMark);
  if (mark != std::string::npos) name.erase(mark, std::string(kIncompleteMark).size());
  return temporary.parent_path() / name;
}

bool isTemporary(const fs::path& path) {
  return path.filename().string().find(kIncompleteMark) != std::string::npos;
}

class ScannerProgram : public testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = findInPath("Xvfb");
    m_xdotool = findInPath("xdotool");
    if (m_xvfb.empty()) {
      GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb): the program cannot be shown";
    }
    if (m_xdotool.empty()) {
      GTEST_SKIP() << "xdotool is not installed (Debian package xdotool): the program cannot be "
                      "clicked";
    }
    std::string pattern = (fs::temp_directory_path() / "rz-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "cannot make a temporary folder";
    m_root = pattern;
    m_programFolder = m_root / "program";
    fs::create_directories(m_programFolder);
    fs::create_directories(m_root / "runtime");
    fs::permissions(m_root / "runtime", fs::perms::owner_all);
    m_program = m_programFolder / "rozozovuvor-ororuzi";
    fs::copy_file(RZ_PROGRAM_FILE, m_program);
    fs::permissions(m_program, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    m_x = std::make_unique<XServer>(m_xvfb, m_root / "xvfb-output.txt");
  }

  void TearDown() override {
    m_app.stop();
    m_x.reset();
    std::error_code ec;
    if (!m_root.empty()) fs::remove_all(m_root, ec);
  }

  // What the program and the X server printed, for failure messages.
  std::string diagnostics() const {
    return "\n--- program output ---\n" + tail(readFile(m_root / "program-output.txt"), 3000) +
           "\n--- Xvfb output ---\n" + tail(readFile(m_root / "xvfb-output.txt"), 1500);
  }

  // Starts the program (from a working folder other than its own, so the log's
  // place follows the program file) and waits until its main window is viewable.
  // `share`: with a network share whose folder "haengt" never answers, so that a
  // scan is still underway when the walk comes there. Where the machine cannot
  // mount it, Required skips the test and IfPossible starts the program alone.
  // `arguments`: its command line.
  enum class Share { None, IfPossible, Required };
  void startProgram(Share share = Share::None, const std::vector<std::string>& arguments = {}) {
    bool hangingShare = share != Share::None;
#ifndef RZ_HANGING_SHARE
    hangingShare = false;
#endif
    if (hangingShare && ::access("/dev/fuse", R_OK | W_OK) != 0) hangingShare = false;
    if (share == Share::Required && !hangingShare) {
      GTEST_SKIP() << "no FUSE here (/dev/fuse, or libfuse3-dev at build time)";
    }
    SpawnOptions options;
    options.env = {{"DISPLAY", m_x->display()},
                   {"QT_QPA_PLATFORM", "xcb"},
                   {"XDG_RUNTIME_DIR", (m_root / "runtime").string()}};
    options.output = m_root / "program-output.txt";
    options.workDir = m_root;
    m_startedAt = SystemClock::now();
    if (hangingShare) {
#ifdef RZ_HANGING_SHARE
      fs::create_directories(m_root / "share");
      std::vector<std::string> command = {(m_root / "share").string(), RZ_ERROR_FS,
                                          m_program.string()};
      command.insert(command.end(), arguments.begin(), arguments.end());
      m_app = Child(RZ_HANGING_SHARE, command, options);
#endif
    } else {
      m_app = Child(m_program.string(), arguments, options);
    }

    const auto deadline = Clock::now() + kWindowTimeout;
    while (true) {
      if (!m_app.running() && hangingShare && WIFEXITED(*m_app.status()) &&
          WEXITSTATUS(*m_app.status()) == 3) {
        if (share == Share::Required) {
          GTEST_SKIP() << "this machine allows no FUSE mount in a private mount namespace";
        }
        hangingShare = false;
        m_app = Child(m_program.string(), arguments, options);
        continue;
      }
      ASSERT_TRUE(m_app.running()) << "the program ended before showing its window ("
                                   << describeStatus(*m_app.status()) << ")" << diagnostics();
      const RunResult found = run(m_xdotool,
                                  {"search", "--all", "--onlyvisible", "--pid",
                                   std::to_string(m_app.pid()), "--name", kTitlePattern},
                                  {{"DISPLAY", m_x->display()}});
      std::istringstream ids(found.out);
      WindowId id = 0;
      if (ids >> id && m_x->state(id).viewable) {
        m_window = id;
        break;
      }
      ASSERT_LT(Clock::now(), deadline)
          << "no viewable window titled \"" << kTitleStart << "...\" within "
          << seconds(kWindowTimeout) << " s" << diagnostics();
      std::this_thread::sleep_for(100ms);
    }
    m_windowShownAt = SystemClock::now();

    const WindowState s = m_x->state(m_window);
    ASSERT_EQ(s.width, kClientWidth / kTwipsPerPixel) << "client area width";
    ASSERT_EQ(s.height, kClientHeight / kTwipsPerPixel) << "client area height";
    ASSERT_EQ(m_x->title(m_window).rfind(kTitleStart, 0), 0u) << m_x->title(m_window);
  }

  // A left click in the middle of the start/cancel button, as the pointer makes it.
  void clickStartCancel() {
    const int x = (kButtonLeft + kButtonWidth / 2) / kTwipsPerPixel;
    const int y = (kButtonTop + kButtonHeight / 2) / kTwipsPerPixel;
    const RunResult r = run(m_xdotool,
                            {"mousemove", "--window", std::to_string(m_window), std::to_string(x),
                             std::to_string(y), "click", "1"},
                            {{"DISPLAY", m_x->display()}});
    ASSERT_TRUE(r.exitedZero()) << "xdotool click: " << describeStatus(r.status);
  }

  void requestClose() {
    ASSERT_TRUE(m_x->acceptsDeleteWindow(m_window))
        << "the main window does not take part in WM_DELETE_WINDOW";
    m_x->requestClose(m_window);
  }

  std::vector<fs::path> logFiles() const {
    std::vector<fs::path> logs;
    for (const auto& e : fs::directory_iterator(m_programFolder)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("protokoll-", 0) == 0) logs.push_back(e.path());
    }
    return logs;
  }

  // Waits until the first click has opened the log; its temporary file.
  fs::path waitForLog() {
    const auto deadline = Clock::now() + kLogAppearTimeout;
    while (Clock::now() < deadline) {
      const auto logs = logFiles();
      if (!logs.empty()) {
        EXPECT_EQ(logs.size(), 1u) << "more than one log in the program's folder";
        return logs.front();
      }
      if (!m_app.running()) break;
      std::this_thread::sleep_for(20ms);
    }
    ADD_FAILURE() << "no log appeared within " << seconds(kLogAppearTimeout)
                  << " s of the click on \"start\"" << diagnostics();
    return {};
  }

  // Waits for a scan in progress: the log holds file lines and is still open.
  void waitForScanUnderway(const fs::path& log,
                           std::chrono::milliseconds before = kScanBeforeCancel) {
    const auto opened = Clock::now();
    const auto deadline = opened + kLogAppearTimeout;
    while (Clock::now() < deadline) {
      std::error_code ec;
      if (Clock::now() - opened >= before && fs::file_size(log, ec) > 100) break;
      std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(m_app.running()) << "the program ended during the scan" << diagnostics();
    std::error_code sizeError;
    ASSERT_GT(fs::file_size(log, sizeError), 100u) << "the scan wrote no file lines";
    ASSERT_TRUE(holdsOpen(m_app.pid(), log))
        << "the scan was already over before it could be interrupted";
  }

  // Waits until the walk waits for the share that does not answer: the rest of the
  // machine is written and the log has stopped growing.
  void waitForHang(const fs::path& log) {
    const auto deadline = Clock::now() + kFullScanTimeout;
    std::error_code ec;
    uintmax_t size = fs::file_size(log, ec);
    auto grown = Clock::now();
    while (Clock::now() - grown < 1500ms) {
      ASSERT_TRUE(m_app.running()) << "the program ended during the scan" << diagnostics();
      ASSERT_LT(Clock::now(), deadline) << "the log kept growing";
      std::this_thread::sleep_for(100ms);
      if (const uintmax_t now = fs::file_size(log, ec); now != size) {
        size = now;
        grown = Clock::now();
      }
    }
    ASSERT_TRUE(holdsOpen(m_app.pid(), log)) << "the scan ended instead of waiting";
  }

  // Waits until the program has closed the log of a scan while it goes on running.
  void waitForScanEnd(const fs::path& log) {
    const auto deadline = Clock::now() + kFullScanTimeout;
    while (true) {
      ASSERT_TRUE(m_app.running()) << "the program ended during the scan ("
                                   << describeStatus(*m_app.status()) << ")" << diagnostics();
      if (!holdsOpen(m_app.pid(), log)) {
        // Closed: check once more that the process did not just end.
        ASSERT_TRUE(m_app.running()) << "the program ended at the end of the scan" << diagnostics();
        return;
      }
      std::error_code ec;
      ASSERT_LT(Clock::now(), deadline)
          << "the scan did not end within " << seconds(kFullScanTimeout) << " s (log at "
          << fs::file_size(log, ec) << " bytes)";
      std::this_thread::sleep_for(200ms);
    }
  }

  // Waits for the program's end; it must end by itself with exit code 0.
  void expectCleanExit(const char* after) {
    const auto from = Clock::now();
    const auto st = m_app.waitFor(kExitTimeout);
    ASSERT_TRUE(st.has_value()) << "the program still runs " << seconds(kExitTimeout) << " s after "
                                << after << diagnostics();
    EXPECT_TRUE(WIFEXITED(*st) && WEXITSTATUS(*st) == 0)
        << "ended with " << describeStatus(*st) << " after " << after << diagnostics();
    std::cout << "[ e2e      ] program ended " << seconds(Clock::now() - from) << " s after "
              << after << "\n";
  }

  // The lines of a log after a cancel: the header, file lines, the cancellation
  // line, and the three note lines only after it.
  void expectCancelledLog(const fs::path& log) {
    const std::string bytes = readFile(log);
    bool complete = false;
    const auto lines = splitCrLf(bytes, complete);
    ASSERT_TRUE(complete) << "the log does not end with CR LF: ..." << printable(tail(bytes, 200));
    ASSERT_GE(lines.size(), 2u);
    expectHeader(std::string(lines.front()));

    size_t cancel = lines.size() - 1;
    if (lines.size() >= 5 && lines[lines.size() - 3] == kNoteLines[0]) {
      cancel = lines.size() - 4;
      for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[cancel + 1 + i], kNoteLines[i]) << "note line " << i + 1;
      }
    }
    EXPECT_EQ(lines[cancel], kCancelLine)
        << "the log does not end with the cancellation line; its last lines:\n"
        << printable(tail(bytes, 400));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kCancelLine), 1);
    const std::string letters = scanDriveLetters();
    for (size_t i = 1; i < cancel; ++i) {
      ASSERT_TRUE(isFileLine(lines[i], letters)) << "line " << i + 1 << ": " << printable(lines[i]);
    }
    std::cout << "[ e2e      ] " << cancel - 1 << " file lines before the cancellation line\n";
  }

  void expectHeader(const std::string& header) {
    const std::time_t t = headerTime(header);
    ASSERT_NE(t, -1) << "header line: " << printable(header);
    EXPECT_GE(t, toTime(m_startedAt) - 1) << printable(header);
    EXPECT_LE(t, toTime(SystemClock::now()) + 1) << printable(header);
  }

  void expectLogName(const fs::path& log) {
    const std::time_t t = logNameTime(log.filename().string());
    ASSERT_NE(t, -1) << "log name " << log.filename();
    // Named after the program's start, not after the scan's.
    EXPECT_GE(t, toTime(m_startedAt) - 1) << log.filename();
    EXPECT_LE(t, toTime(m_windowShownAt) + 1) << log.filename();
  }

  // Ends the program as kill -9, a lost session or a power cut would.
  void killProgram() {
    ASSERT_EQ(::kill(m_app.pid(), SIGKILL), 0);
    const auto st = m_app.waitFor(kExitTimeout);
    ASSERT_TRUE(st.has_value()) << "the program outlived SIGKILL";
  }

  // Every file under a log's own name (not a temporary one) is a whole scan: the
  // header, file lines and at most the note block, ending with CR LF.
  void expectOnlyWholeLogs(const char* moment) {
    for (const fs::path& f : logFiles()) {
      if (isTemporary(f)) continue;
      const std::string bytes = readFile(f);
      bool complete = false;
      const auto lines = splitCrLf(bytes, complete);
      ASSERT_TRUE(complete) << moment << ": " << f << " is cut off: ..."
                            << printable(tail(bytes, 200));
      ASSERT_GE(lines.size(), 1u) << moment << ": " << f << " is empty";
      expectHeader(std::string(lines.front()));
      EXPECT_EQ(std::count(lines.begin(), lines.end(), kCancelLine), 0) << moment;
    }
  }

  std::string m_xvfb, m_xdotool;
  fs::path m_root, m_programFolder, m_program;
  std::unique_ptr<XServer> m_x;
  Child m_app;
  WindowId m_window = 0;
  SystemClock::time_point m_startedAt, m_windowShownAt;
};

// A folder whose files are held against the log, with its listing from before the scan.
struct ComparedFolder {
  std::string host;  // "/usr"
  std::string log;   // "C:\usr", as the log names it (Windows-1252)
  Listing before;
};

// True when `host` (absolute, no trailing "/") lies on the root file system,
// which is drive C:, and not below another mount.
bool onDriveC(const std::string& host) {
  struct stat root {
  }, folder{};
  if (::stat("/", &root) != 0 || ::stat(host.c_str(), &folder) != 0) return false;
  if (folder.st_dev != root.st_dev) return false;
  for (const std::string& mount : mountPoints()) {
    if (mount != "/" && (host == mount || host.rfind(mount + "/", 0) == 0)) return false;
  }
  return true;
}

// "/tmp/a b" -> "C:\tmp\a b" in the log's bytes.
std::string logPathOnDriveC(const std::string& host) {
  std::string path = "C:";
  size_t pos = 1;
  while (pos < host.size()) {
    size_t end = host.find('/', pos);
    if (end == std::string::npos) end = host.size();
    path += "\\" + nameInLog(std::string_view(host).substr(pos, end - pos));
    pos = end + 1;
  }
  return path;
}

ComparedFolder compareFolder(const std::string& host) {
  ComparedFolder f{host, logPathOnDriveC(host), {}};
  f.before = listFilesAsLogLines(f.host, f.log);
  return f;
}

std::map<std::string, int> counts(const std::vector<std::string>& lines) {
  std::map<std::string, int> c;
  for (const std::string& l : lines) ++c[l];
  return c;
}

std::string firstOf(const std::vector<std::string>& v) {
  std::string s;
  for (size_t i = 0; i < v.size() && i < 30; ++i) s += "\n  " + v[i];
  if (v.size() > 30) s += "\n  ... " + std::to_string(v.size() - 30) + " more";
  return s;
}

// Every file that stood in the folder all through the scan is listed, as often as
// a file of that name exists there; nothing is listed that was not there. When
// the folder did not change during the scan this is plain equality of the sorted
// lines with the folder's listing.
void expectListedAsOnDisk(const std::vector<std::string_view>& logLines, const ComparedFolder& f) {
  const std::string prefix = f.log + "\\";
  std::vector<std::string> listed;
  for (const std::string_view line : logLines) {
    if (line.substr(0, prefix.size()) == prefix) listed.emplace_back(line);
  }
  const Listing after = listFilesAsLogLines(f.host, f.log);
  // Folders that cannot be read are left out by the scan too; as root there are none.
  if (::geteuid() == 0) {
    EXPECT_TRUE(f.before.problems.empty()) << f.before.problems.front();
    EXPECT_TRUE(after.problems.empty()) << after.problems.front();
  }

  const auto b = counts(f.before.lines), a = counts(after.lines), l = counts(listed);
  std::map<std::string, int> keys;
  for (const auto* m : {&b, &a, &l}) {
    for (const auto& [k, v] : *m) keys[k] = 0;
  }
  const auto get = [](const std::map<std::string, int>& m, const std::string& k) {
    const auto it = m.find(k);
    return it == m.end() ? 0 : it->second;
  };
  std::vector<std::string> missing, extra;
  int changed = 0;
  for (const auto& [k, unused] : keys) {
    const int inBefore = get(b, k), inAfter = get(a, k), inLog = get(l, k);
    if (inBefore != inAfter) ++changed;
    const int low = std::min(inBefore, inAfter), high = std::max(inBefore, inAfter);
    if (inLog < low) {
      missing.push_back(printable(k) + " (listed " + std::to_string(inLog) + " times, exists " +
                        std::to_string(low) + ")");
    }
    // The log names its own temporary file, which has taken the log's name since.
    const bool ownTemporary = k.find("-UNVOLLST\xC4NDIG") != std::string::npos;
    if (inLog > high && !ownTemporary) {
      extra.push_back(printable(k) + " (listed " + std::to_string(inLog) + " times, exists " +
                      std::to_string(high) + ")");
    }
  }
  std::cout << "[ e2e      ] " << f.host << ": " << listed.size() << " lines in the log, "
            << after.lines.size() << " files on disk, " << changed << " changed during the scan\n";
  EXPECT_TRUE(missing.empty()) << missing.size() << " files of " << f.host
                               << " missing from the log:" << firstOf(missing);
  EXPECT_TRUE(extra.empty()) << extra.size() << " lines of the log under " << printable(prefix)
                             << " that are no files of " << f.host << ":" << firstOf(extra);
}

TEST_F(ScannerProgram, ACompletedScanListsEveryFileOfAFolderExactlyOnce) {
  // /usr holds many files and changes rarely; the test's own folder holds the
  // program and, once the scan runs, its log.
  if (!onDriveC("/usr")) GTEST_SKIP() << "/usr is a mount of its own here, not a folder of C:";
  ASSERT_NO_FATAL_FAILURE(startProgram());
  std::vector<ComparedFolder> folders{compareFolder("/usr")};
  if (onDriveC(m_root.string())) {
    folders.push_back(compareFolder(m_root.string()));
  } else {
    std::cout << "[ e2e      ] " << m_root << " is not on C:, only /usr is compared\n";
  }

  const auto clicked = Clock::now();
  ASSERT_NO_FATAL_FAILURE(clickStartCancel());
  const fs::path temporary = waitForLog();
  ASSERT_FALSE(temporary.empty());
  EXPECT_TRUE(isTemporary(temporary)) << temporary;
  ASSERT_NO_FATAL_FAILURE(waitForScanEnd(temporary));
  const auto scanTime = Clock::now() - clicked;
  const fs::path log = finalName(temporary);
  EXPECT_FALSE(fs::exists(temporary)) << "the scan's temporary file is left";

  expectLogName(log);
  const std::string bytes = readFile(log);
  bool complete = false;
  const auto lines = splitCrLf(bytes, complete);
  ASSERT_TRUE(complete) << "the log does not end with CR LF: ..." << printable(tail(bytes, 200));
  ASSERT_GE(lines.size(), 2u);
  expectHeader(std::string(lines.front()));
  std::cout << "[ e2e      ] scan completed in " << seconds(scanTime) << " s, " << lines.size()
            << " lines, " << bytes.size() << " bytes\n";

  // The header, the file lines, and the note lines only as a whole block at the end.
  size_t fileEnd = lines.size();
  if (lines.size() >= 4 && lines[lines.size() - 3] == kNoteLines[0]) {
    fileEnd -= 3;
    EXPECT_EQ(lines[lines.size() - 2], kNoteLines[1]);
    EXPECT_EQ(lines[lines.size() - 1], kNoteLines[2]);
    if (::geteuid() == 0) ADD_FAILURE() << "the note lines: a folder could not be read by root";
  }
  const std::string letters = scanDriveLetters();
  ASSERT_NE(letters.find('C'), std::string::npos) << "no drive C:";
  int badLines = 0;
  for (size_t i = 1; i < fileEnd; ++i) {
    if (!isFileLine(lines[i], letters) || lines[i].find_first_of("\r\n") != std::string::npos) {
      if (++badLines <= 10) {
        ADD_FAILURE() << "line " << i + 1
                      << " is no file line of a scan drive: " << printable(std::string(lines[i]));
      }
    }
  }
  EXPECT_EQ(badLines, 0);

  for (const ComparedFolder& f : folders) expectListedAsOnDisk(lines, f);

  // A close request while idle ends the program and writes nothing more.
  ASSERT_NO_FATAL_FAILURE(requestClose());
  ASSERT_NO_FATAL_FAILURE(expectCleanExit("the close request while idle"));
  EXPECT_TRUE(readFile(log) == bytes) << "the log changed after the scan";
  EXPECT_EQ(logFiles().size(), 1u);
}

// The share keeps the scan underway, however fast the rest of the machine is read.
TEST_F(ScannerProgram, ASecondClickCancelsTheScanAndEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Share::IfPossible));
  ASSERT_NO_FATAL_FAILURE(clickStartCancel());
  const fs::path log = waitForLog();
  ASSERT_FALSE(log.empty());
  ASSERT_NO_FATAL_FAILURE(waitForScanUnderway(log));

  ASSERT_NO_FATAL_FAILURE(clickStartCancel());  // the caption now reads "abbrechen"
  ASSERT_NO_FATAL_FAILURE(expectCleanExit("the click on \"abbrechen\""));
  expectLogName(finalName(log));
  expectCancelledLog(finalName(log));
  EXPECT_EQ(logFiles().size(), 1u);
}

TEST_F(ScannerProgram, ClosingTheWindowDuringAScanCancelsItAndEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Share::IfPossible));
  ASSERT_NO_FATAL_FAILURE(clickStartCancel());
  const fs::path log = waitForLog();
  ASSERT_FALSE(log.empty());
  ASSERT_NO_FATAL_FAILURE(waitForScanUnderway(log, kScanBeforeClose));

  ASSERT_NO_FATAL_FAILURE(requestClose());
  ASSERT_NO_FATAL_FAILURE(expectCleanExit("the close request during the scan"));
  expectLogName(finalName(log));
  expectCancelledLog(finalName(log));
  EXPECT_EQ(logFiles().size(), 1u);
}

// While the walk waits for the share, the click on "abbrechen" and the close
// request run at once: the cancellation line, and the program ends without
// waiting for its reader stuck on the share.
TEST_F(ScannerProgram, CancelAndCloseWhileAShareDoesNotAnswerEndTheProgramAtOnce) {
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close request" : "click on \"abbrechen\"");
    if (close) {
      TearDown();
      SetUp();
    }
    ASSERT_NO_FATAL_FAILURE(startProgram(Share::Required));
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(clickStartCancel());
    const fs::path log = waitForLog();
    ASSERT_FALSE(log.empty());
    ASSERT_NO_FATAL_FAILURE(waitForHang(log));
    if (close) {
      ASSERT_NO_FATAL_FAILURE(requestClose());
    } else {
      ASSERT_NO_FATAL_FAILURE(clickStartCancel());
    }
    ASSERT_NO_FATAL_FAILURE(
        expectCleanExit(close ? "the close request during the wait" : "the click during the wait"));
    expectCancelledLog(finalName(log));
  }
}

// The share is given up after 30 s: the scan completes, its log marked incomplete,
// and nothing of the share after its silent folder is listed.
TEST_F(ScannerProgram, AShareThatDoesNotAnswerIsGivenUpAndTheScanCompletes) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Share::Required));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(clickStartCancel());
  const fs::path log = waitForLog();
  ASSERT_FALSE(log.empty());
  const auto from = Clock::now();
  ASSERT_NO_FATAL_FAILURE(waitForScanEnd(log));
  std::cout << "[ e2e      ] scan ended " << seconds(Clock::now() - from) << " s after start\n";
  const std::string bytes = readFile(finalName(log));
  bool complete = false;
  const auto lines = splitCrLf(bytes, complete);
  ASSERT_TRUE(complete);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            std::vector<std::string>(kNoteLines.begin(), kNoteLines.end()));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), kCancelLine), 0);
  EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](std::string_view l) {
    return l.ends_with("\\gut\\a.txt") || l.ends_with("\\z.txt");
  }));
  ASSERT_NO_FATAL_FAILURE(requestClose());
  ASSERT_NO_FATAL_FAILURE(expectCleanExit("the close request after the scan"));
}

TEST_F(ScannerProgram, ClosingTheWindowBeforeAnyScanWritesNoLog) {
  ASSERT_NO_FATAL_FAILURE(startProgram());
  ASSERT_NO_FATAL_FAILURE(requestClose());
  ASSERT_NO_FATAL_FAILURE(expectCleanExit("the close request while idle"));
  EXPECT_TRUE(logFiles().empty()) << "a log was written: " << logFiles().front();
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(m_programFolder)) {
    names.push_back(e.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"rozozovuvor-ororuzi"});
}

// The program takes no command line: what Qt would take for its own options (a
// platform without a screen, a window title, a mirrored layout, a style) changes
// nothing. The window shows on the X server under its own title.
TEST_F(ScannerProgram, ArgumentsAreIgnoredAndTheWindowShowsUnderItsOwnTitle) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Share::None, {"-platform", "offscreen", "-qwindowtitle", "X",
                                                     "-reverse", "-style", "fusion", "x"}));
  ASSERT_NO_FATAL_FAILURE(requestClose());
  ASSERT_NO_FATAL_FAILURE(expectCleanExit("the close request while idle"));
}

// A scan killed at any moment, from its first millisecond on, leaves nothing
// under the log's name that is not a whole scan.
TEST_F(ScannerProgram, AKilledScanLeavesNoLogThatReadsAsComplete) {
  for (const auto after : {0ms, 1ms, 10ms, 100ms, 700ms}) {
    const std::string moment = std::to_string(after.count()) + " ms after the log was opened";
    SCOPED_TRACE(moment);
    for (const fs::path& f : logFiles()) fs::remove(f);
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(clickStartCancel());
    // Watch closely for the first moment of the scan.
    const auto deadline = Clock::now() + kLogAppearTimeout;
    while (logFiles().empty() && Clock::now() < deadline) std::this_thread::sleep_for(100us);
    ASSERT_FALSE(logFiles().empty()) << "no log appeared" << diagnostics();
    std::this_thread::sleep_for(after);
    // The file the scan writes while it runs never has the log's own name.
    bool writing = false;
    for (const fs::path& f : logFiles()) {
      if (!holdsOpen(m_app.pid(), f)) continue;
      writing = true;
      EXPECT_TRUE(isTemporary(f)) << "the scan writes under the log's own name " << f;
    }
    ASSERT_NO_FATAL_FAILURE(killProgram());
    ASSERT_NO_FATAL_FAILURE(expectOnlyWholeLogs(moment.c_str()));
    const auto files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    // Killed while writing: the scan never ended, so nothing stands under the log's name.
    if (writing) {
      EXPECT_TRUE(isTemporary(files.front())) << files.front();
    }
    if (isTemporary(files.front())) {
      struct stat st {};
      ASSERT_EQ(::stat(files.front().c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u) << "the log is readable by others";
    }
  }
}

// A double-click on "start" runs one whole scan; a scan killed after it leaves the
// first scan's log as it was, to the byte.
TEST_F(ScannerProgram, ADoubleClickScansOnceAndAKilledSecondScanKeepsTheFirstLog) {
  ASSERT_NO_FATAL_FAILURE(startProgram());
  const int x = (kButtonLeft + kButtonWidth / 2) / kTwipsPerPixel;
  const int y = (kButtonTop + kButtonHeight / 2) / kTwipsPerPixel;
  const RunResult r = run(m_xdotool,
                          {"mousemove", "--window", std::to_string(m_window), std::to_string(x),
                           std::to_string(y), "click", "--repeat", "2", "--delay", "60", "1"},
                          {{"DISPLAY", m_x->display()}});
  ASSERT_TRUE(r.exitedZero()) << "xdotool double-click: " << describeStatus(r.status);
  const fs::path temporary = waitForLog();
  ASSERT_FALSE(temporary.empty());
  ASSERT_NO_FATAL_FAILURE(waitForScanEnd(temporary));
  const fs::path log = finalName(temporary);
  const std::string first = readFile(log);
  bool complete = false;
  const auto lines = splitCrLf(first, complete);
  ASSERT_TRUE(complete);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), kCancelLine), 0)
      << "the double-click cancelled the scan it started";
  ASSERT_GT(lines.size(), 1u);

  ASSERT_NO_FATAL_FAILURE(clickStartCancel());
  const auto deadline = Clock::now() + kLogAppearTimeout;
  while (!fs::exists(temporary) && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(fs::exists(temporary)) << "the second scan did not begin" << diagnostics();
  std::this_thread::sleep_for(300ms);
  ASSERT_NO_FATAL_FAILURE(killProgram());
  EXPECT_TRUE(readFile(log) == first) << "the first scan's log changed";
}

}  // namespace
}  // namespace e2e
