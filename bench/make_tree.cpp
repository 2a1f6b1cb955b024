// make_tree: builds a deterministic directory tree for the scan benchmark.
//
//   make_tree [--seed N] [--no-wide] [--only-wide N] [--only-deep N] [--share] TARGET
//
// The default tree (about 200,000 empty files in about 25,000 directories):
//   Großes Verzeichnis/   50,000 files side by side
//   viele.Ordner/         20,000 subdirectories with 0-3 files each
//   Projekte/             4,000 directories up to 9 levels deep, ~120,000 files
//   tief/                 one chain of 48 nested directories, a file in each
// Names mix umlauts (ä ö ü ß Ä), blanks, dots, leading dots and case; some
// directories hold names that differ only in case. --no-wide leaves out
// viele.Ordner and nothing else; --only-wide N makes a tree that is just one
// directory with N subdirectories; --only-deep N one chain of N nested
// directories "t", each holding one file "x"; --share the tree of the network
// share rows: 2,500 directories up to 9 levels deep with 0-18 files each (about
// 20,000 files), named as the default tree's. Each part draws from its own random stream,
// so the same seed gives the same tree, byte for byte, with or without a part.
// TARGET must not exist or be empty. Prints what it made.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

// splitmix64: small, fast and the same on every machine and compiler.
class Random {
 public:
  explicit Random(uint64_t seed) : m_state(seed) {}
  uint64_t next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform enough in [0, n) for names and shapes.
  uint32_t below(uint32_t n) { return static_cast<uint32_t>((next() >> 32) % n); }
  bool chance(uint32_t percent) { return below(100) < percent; }

 private:
  uint64_t m_state;
};

constexpr std::array<std::string_view, 32> kWords = {
    "Bild",        "Übersicht", "straße",     "Größe",       "Äpfel",    "öl",    "Müller",
    "README",      "foo.bar",   "a.b.c",      "Backup 2019", "ärger",    "süß",   "Fuß Ball",
    "Rechnung",    "Ökonomie",  "Mädchen",    "ÄRZTE",       "daten",    "Daten", "config",
    "Straßenbahn", "Grüße",     "v1.2.3",     "Löwe",        "über uns", "Jäger", "Zürich",
    "index",       "Schlüssel", "Haus Nr. 5", "Maß"};
constexpr std::array<std::string_view, 12> kExtensions = {
    ".txt", ".JPG", ".jpg", ".tar.gz", "", ".Docx", ".pdf", ".mp3", ".cpp", ".h", ".bak", "."};
constexpr std::array<std::string_view, 12> kFolderWords = {
    "Dokumente", "Bilder", "Musik", "Ablage", "Übungen", "Größen",
    "src",       "Lib.d",  "Alt",   "neu",    "Straßen", "Ärchiv"};

struct Counts {
  uint64_t dirs = 0;
  uint64_t files = 0;
  uint32_t maxDepth = 0;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

class Builder {
 public:
  explicit Builder(Counts& counts) : m_counts(counts) {}

  // Creates `name` in the directory `parent` and returns it open.
  int makeDirectory(int parent, const std::string& name, uint32_t depth) {
    if (::mkdirat(parent, name.c_str(), 0755) != 0) fail("mkdir " + name);
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail("open " + name);
    ++m_counts.dirs;
    if (depth > m_counts.maxDepth) m_counts.maxDepth = depth;
    return fd;
  }

  void makeFile(int parent, const std::string& name) {
    const int fd = ::openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) fail("create " + name);
    ::close(fd);
    ++m_counts.files;
  }

 private:
  Counts& m_counts;
};

// Flips the case of ASCII letters now and then ("Bild" -> "bILd").
std::string mixCase(std::string_view word, Random& rnd) {
  std::string out(word);
  if (!rnd.chance(20)) return out;
  for (char& c : out) {
    if (rnd.chance(50)) {
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 32);
      } else if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c + 32);
      }
    }
  }
  return out;
}

// A file name unique in its directory through the index `i`.
std::string fileName(uint32_t i, Random& rnd) {
  std::string name;
  if (rnd.chance(3)) name += '.';
  name += mixCase(kWords[rnd.below(kWords.size())], rnd);
  name += rnd.chance(50) ? " " : "_";
  name += std::to_string(i);
  if (rnd.chance(10)) {
    name += ' ';
    name += kWords[rnd.below(kWords.size())];
  }
  name += kExtensions[rnd.below(kExtensions.size())];
  return name;
}

std::string folderName(uint32_t i, Random& rnd) {
  std::string name = mixCase(kFolderWords[rnd.below(kFolderWords.size())], rnd);
  name += rnd.chance(30) ? " " : (rnd.chance(50) ? "." : "-");
  name += std::to_string(i);
  return name;
}

// A few files, some of them twins that differ only in the case of the name.
void fillWithFiles(Builder& b, int dir, uint32_t n, Random& rnd) {
  for (uint32_t i = 0; i < n; ++i) {
    const std::string name = fileName(i, rnd);
    b.makeFile(dir, name);
    if (rnd.chance(1)) {
      std::string twin = name;
      for (char& c : twin) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
      if (twin != name) b.makeFile(dir, twin);
    }
  }
}

void makeBigDirectory(Builder& b, int root, Random rnd) {
  const int dir = b.makeDirectory(root, "Großes Verzeichnis", 1);
  fillWithFiles(b, dir, 50000, rnd);
  ::close(dir);
}

void makeWideDirectory(Builder& b, int root, uint32_t subdirs, Random rnd) {
  const int dir = b.makeDirectory(root, "viele.Ordner", 1);
  for (uint32_t i = 0; i < subdirs; ++i) {
    const int sub = b.makeDirectory(dir, folderName(i, rnd), 2);
    fillWithFiles(b, sub, rnd.below(4), rnd);
    ::close(sub);
  }
  ::close(dir);
}

// A directory with 0 to `mostFiles` files and up to `dirs` directories below it,
// shared out evenly among its subdirectories so the tree grows in breadth and depth.
void makeRandomTree(Builder& b, int dir, uint32_t depth, uint64_t dirs, Random& rnd,
                    uint32_t mostFiles = 64) {
  fillWithFiles(b, dir, rnd.chance(10) ? 0 : rnd.below(mostFiles + 1), rnd);
  if (dirs == 0 || depth >= 9) return;
  const uint64_t branching = depth < 2 ? 10 : 2 + rnd.below(5);
  const uint64_t n = branching < dirs ? branching : dirs;
  uint64_t below = dirs - n;
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t share = below / (n - i);
    below -= share;
    const int sub = b.makeDirectory(dir, folderName(static_cast<uint32_t>(i), rnd), depth + 1);
    makeRandomTree(b, sub, depth + 1, share, rnd, mostFiles);
    ::close(sub);
  }
}

void makeProjects(Builder& b, int root, Random rnd) {
  const int dir = b.makeDirectory(root, "Projekte", 1);
  makeRandomTree(b, dir, 1, 4000, rnd);
  ::close(dir);
}

void makeDeepChain(Builder& b, int root, Random rnd) {
  int dir = b.makeDirectory(root, "tief", 1);
  for (uint32_t level = 2; level <= 49; ++level) {
    const int sub = b.makeDirectory(dir, "Ebene " + std::to_string(level) + " Ü", level);
    ::close(dir);
    dir = sub;
    fillWithFiles(b, dir, 1, rnd);
  }
  ::close(dir);
}

// The chain goes deeper than PATH_MAX, so every level is made relative to the last.
void makeChain(Builder& b, int root, uint32_t levels) {
  int dir = ::dup(root);
  for (uint32_t level = 1; level <= levels; ++level) {
    const int sub = b.makeDirectory(dir, "t", level);
    ::close(dir);
    dir = sub;
    b.makeFile(dir, "x");
  }
  ::close(dir);
}

void usage() {
  std::fprintf(stderr,
               "usage: make_tree [--seed N] [--no-wide] [--only-wide N] [--only-deep N] [--share] "
               "TARGET\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 1;
  bool wide = true;
  uint32_t onlyWide = 0;
  uint32_t onlyDeep = 0;
  bool share = false;
  std::string target;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--no-wide") {
      wide = false;
    } else if (arg == "--only-wide" && i + 1 < argc) {
      onlyWide = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      if (onlyWide == 0) usage();
    } else if (arg == "--only-deep" && i + 1 < argc) {
      onlyDeep = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      if (onlyDeep == 0) usage();
    } else if (arg == "--share") {
      share = true;
    } else if (!arg.empty() && arg[0] != '-' && target.empty()) {
      target = arg;
    } else {
      usage();
    }
  }
  if (target.empty()) usage();

  std::error_code ec;
  std::filesystem::create_directories(target, ec);
  if (ec) {
    std::fprintf(stderr, "make_tree: %s: %s\n", target.c_str(), ec.message().c_str());
    return 1;
  }
  if (!std::filesystem::is_empty(target, ec) || ec) {
    std::fprintf(stderr, "make_tree: %s is not empty\n", target.c_str());
    return 1;
  }
  const int root = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) fail("open " + target);

  Counts counts;
  counts.dirs = 1;
  Builder b(counts);
  // One stream per part: leaving a part out changes nothing in the others.
  if (onlyWide > 0) {
    makeWideDirectory(b, root, onlyWide, Random(seed * 7 + 2));
  } else if (onlyDeep > 0) {
    makeChain(b, root, onlyDeep);
  } else if (share) {
    Random rnd(seed * 7 + 6);
    makeRandomTree(b, root, 0, 2499, rnd, 18);
  } else {
    makeBigDirectory(b, root, Random(seed * 7 + 1));
    if (wide) makeWideDirectory(b, root, 20000, Random(seed * 7 + 2));
    makeProjects(b, root, Random(seed * 7 + 3));
    makeDeepChain(b, root, Random(seed * 7 + 4));
    // A few files of the root itself.
    Random rnd(seed * 7 + 5);
    fillWithFiles(b, root, 7, rnd);
  }
  ::close(root);
  std::printf("make_tree: %s: %llu directories (root included), %llu files, depth %u\n",
              target.c_str(), static_cast<unsigned long long>(counts.dirs),
              static_cast<unsigned long long>(counts.files), counts.maxDepth);
  return 0;
}
