// walk_model: the scan's work without the list controls, to price its parts.
//
//   walk_model ROOT OUT [--stat-children] [--recheck] [--sort list|none] [--fast-text] [--raw]
//
// Walks ROOT as the scan does (subdirectories from the last to the first in list
// order, depth first, then the directory's files) with one open, one fstat, the
// getdents reads (without the final empty one where the scan spares it) and one
// close per directory, and writes "C:\dir\name" lines in
// Windows-1252 with CR LF to OUT, through the program's own text functions
// (hostNameToView, sortListOrder, appendAnsi): unless --sort none or --raw, the
// bytes of OUT are those of the scan log after its header line. Options:
//   --stat-children  an fstatat per subdirectory entry (a device check per entry)
//   --recheck        an fstat of the directory each time the walk returns to it
//   --sort none      directory order instead of the lists' order
//   --fast-text      a shortcut for plain ASCII in the text functions: names and
//                    lines without a byte >= 0x80 (or "\") are copied as they are
//   --raw            host names and bytes as they are (no view names, no ANSI)
// Prints the seconds and the counts.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/Text.h"

namespace {

enum class SortMode { List, None };

struct Options {
  bool statChildren = false;
  bool recheck = false;
  bool raw = false;
  bool fastText = false;
  SortMode sort = SortMode::List;
  bool lastReadShort = false;  // set from ROOT's file system, as the scan decides
};

struct Stats {
  uint64_t dirs = 0;
  uint64_t files = 0;
};

// Printable ASCII other than "\": the same in host, view and Windows-1252.
bool plainAscii(std::string_view s) {
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F || b == '\\') return false;
  }
  return true;
}

class Walker {
 public:
  Walker(const Options& o, int out) : m_o(o), m_out(out) { m_buffer.reserve(kFlushAt + 4096); }

  void walk(int fd, std::string& view) {
    ++m_stats.dirs;
    struct stat st;
    if (::fstat(fd, &st) != 0) return;
    std::vector<std::string> subdirs;
    std::vector<std::string> files;
    read(fd, st.st_dev, subdirs, files);
    order(subdirs);
    order(files);
    const size_t base = view.size();
    for (size_t i = subdirs.size(); i-- > 0;) {
      const std::string host =
          m_o.raw || (m_o.fastText && subdirs[i].find('\xEF') == std::string::npos)
              ? subdirs[i]
              : platform::viewNameToHost(subdirs[i]);
      const int child = ::openat(fd, host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0) continue;
      if (view.back() != '\\') view += '\\';
      view += subdirs[i];
      walk(child, view);
      view.resize(base);
      ::close(child);
      if (m_o.recheck) ::fstat(fd, &st);
    }
    for (const std::string& name : files) {
      m_line.assign(view);
      if (view.back() != '\\') m_line += '\\';
      m_line += name;
      writeLine(m_line);
    }
    m_stats.files += files.size();
  }

  void finish() {
    if (!m_buffer.empty() && ::write(m_out, m_buffer.data(), m_buffer.size()) < 0)
      std::perror("write");
  }
  const Stats& stats() const { return m_stats; }

 private:
  static constexpr size_t kFlushAt = 256 * 1024;

  void read(int fd, dev_t device, std::vector<std::string>& subdirs,
            std::vector<std::string>& files) {
    alignas(8) static char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      const bool last = m_o.lastReadShort && static_cast<size_t>(n) + 280 <= sizeof buffer;
      for (ssize_t off = 0; off < n;) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + off);
        off += entry->d_reclen;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        bool dir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || (dir && m_o.statChildren)) {
          struct stat child;
          dir = ::fstatat(fd, name, &child, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(child.st_mode) &&
                child.st_dev == device;
        }
        const bool asIs = m_o.raw || (m_o.fastText && plainAscii(name));
        (dir ? subdirs : files)
            .push_back(asIs ? std::string(name) : platform::hostNameToView(name));
      }
      if (last) break;
    }
  }

  void order(std::vector<std::string>& names) {
    switch (m_o.sort) {
      case SortMode::None: break;
      case SortMode::List: platform::sortListOrder(names); break;
    }
  }

  void writeLine(const std::string& line) {
    if (m_o.raw) {
      m_buffer += line;
    } else if (m_o.fastText) {
      // Copy the ASCII runs whole; convert only what lies between them.
      size_t pos = 0;
      while (pos < line.size()) {
        size_t end = pos;
        while (end < line.size() && static_cast<unsigned char>(line[end]) < 0x80) ++end;
        m_buffer.append(line, pos, end - pos);
        pos = end;
        while (end < line.size() && static_cast<unsigned char>(line[end]) >= 0x80) ++end;
        if (end > pos)
          platform::appendAnsi(m_buffer, std::string_view(line).substr(pos, end - pos));
        pos = end;
      }
    } else {
      platform::appendAnsi(m_buffer, line);
    }
    m_buffer.append("\r\n", 2);
    if (m_buffer.size() >= kFlushAt) {
      if (::write(m_out, m_buffer.data(), m_buffer.size()) < 0) std::perror("write");
      m_buffer.clear();
    }
  }

  const Options& m_o;
  int m_out;
  Stats m_stats;
  std::string m_buffer;
  std::string m_line;
};

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: walk_model ROOT OUT [--stat-children] [--recheck] [--sort list|none]"
               " [--fast-text] [--raw]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) usage();
  Options o;
  for (int i = 3; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--stat-children") {
      o.statChildren = true;
    } else if (arg == "--recheck") {
      o.recheck = true;
    } else if (arg == "--raw") {
      o.raw = true;
    } else if (arg == "--fast-text") {
      o.fastText = true;
    } else if (arg == "--sort" && i + 1 < argc) {
      const std::string_view mode = argv[++i];
      if (mode == "list") {
        o.sort = SortMode::List;
      } else if (mode == "none") {
        o.sort = SortMode::None;
      } else {
        usage();
      }
    } else {
      usage();
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const int root = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  // On local file systems that fill each read the scan spares the final empty one.
  struct statfs fs {};
  if (root >= 0 && ::fstatfs(root, &fs) == 0) {
    const auto type = static_cast<unsigned long>(fs.f_type);
    o.lastReadShort = type == 0xEF53UL || type == 0x58465342UL || type == 0x9123683EUL ||
                      type == 0x01021994UL;  // ext2/3/4, xfs, btrfs, tmpfs
  }
  if (root < 0 || out < 0) {
    std::perror("walk_model");
    return 1;
  }
  Walker walker(o, out);
  std::string view = "C:\\";
  walker.walk(root, view);
  walker.finish();
  ::close(out);
  ::close(root);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const Stats& s = walker.stats();
  std::printf("seconds: %.3f\ndirs: %llu\nfiles: %llu\n", took.count(),
              static_cast<unsigned long long>(s.dirs), static_cast<unsigned long long>(s.files));
  return 0;
}
