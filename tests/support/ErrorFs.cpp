// A small FUSE file system for the tests: fixed folders and files, and folders
// that fail as a broken disk does. Usage: rz_error_fs MOUNTPOINT [--haengt |
// --haengt-beim-lesen | --langsam | --spaet] (stays in the foreground, single-threaded, until
// unmounted or killed). With --haengt it is typed as sshfs, answers on several
// threads, and has a folder /haengt whose opening never gets an answer, as a share
// whose server no longer answers there; with --haengt-beim-lesen the same, but
// /haengt opens and its reading never gets an answer (the server stopped between
// the two). With --langsam it is a share that answers every reading of a folder
// after 2 ms, and has 64 more folders /langsam/00 to /langsam/63 with a file a.txt
// each. With --spaet it is a share whose root opens only once the file system got
// SIGUSR1, and it writes each opening and reading of a folder to its standard
// output ("opendir /gut", "readdir /gut").
//
//   /gut/a.txt      a file
//   /gut/b.txt      a file
//   /kaputt/        a folder whose reading fails with EIO
//   /weg/           a folder whose reading fails with ENXIO (a device gone)
//   /z.txt          a file
//   /haengt/        (--haengt...) never answers
#define FUSE_USE_VERSION 31
#include <fuse.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Node {
  const char* path;
  bool folder;
  int error;  // what opening or reading the folder fails with
};

constexpr Node kNodes[] = {
    {"/", true, 0},           {"/gut", true, 0},      {"/gut/a.txt", false, 0},
    {"/gut/b.txt", false, 0}, {"/kaputt", true, EIO}, {"/weg", true, ENXIO},
    {"/z.txt", false, 0},     {"/haengt", true, 0},
};

enum class Hang { No, Opening, Reading };
Hang g_hang = Hang::No;
bool g_slow = false;
bool g_late = false;
std::atomic<bool> g_rootAnswers{false};  // --spaet: SIGUSR1 came

void answerRoot(int) {
  g_rootAnswers = true;
}

// --spaet: one line on standard output for each call on a folder.
void record(const char* call, const char* path) {
  if (!g_late) return;
  std::printf("%s %s\n", call, path);
  std::fflush(stdout);
}

// /langsam, /langsam/NN and /langsam/NN/a.txt (--langsam): whether `path` is one,
// and whether a folder.
bool isSlowNode(const std::string& path, bool& folder) {
  if (!g_slow || path.compare(0, 8, "/langsam") != 0) return false;
  const std::string rest = path.substr(8);
  const auto twoDigits = [&rest] {
    return rest.size() >= 3 && rest[0] == '/' && rest[1] >= '0' && rest[1] <= '6' &&
           rest[2] >= '0' && rest[2] <= '9' && (rest[1] - '0') * 10 + (rest[2] - '0') < 64;
  };
  folder = true;
  if (rest.empty() || (rest.size() == 3 && twoDigits())) return true;
  folder = false;
  return rest.size() == 9 && twoDigits() && rest.compare(3, 6, "/a.txt") == 0;
}

bool isHanging(const char* path) {
  return std::strcmp(path, "/haengt") == 0;
}

const Node* find(const char* path) {
  if (g_hang == Hang::No && isHanging(path)) return nullptr;
  for (const Node& n : kNodes) {
    if (std::strcmp(n.path, path) == 0) return &n;
  }
  return nullptr;
}

int getattr(const char* path, struct stat* st, fuse_file_info*) {
  bool folder = false;
  const Node* n = find(path);
  if (n) {
    folder = n->folder;
  } else if (!isSlowNode(path, folder)) {
    return -ENOENT;
  }
  std::memset(st, 0, sizeof *st);
  st->st_mode = folder ? (S_IFDIR | 0755) : (S_IFREG | 0644);
  st->st_nlink = folder ? 2 : 1;
  return 0;
}

int opendir(const char* path, fuse_file_info*) {
  record("opendir", path);
  while (g_late && std::strcmp(path, "/") == 0 && !g_rootAnswers) ::usleep(1000);
  bool folder = false;
  if (isSlowNode(path, folder)) return folder ? 0 : -ENOTDIR;
  const Node* n = find(path);
  if (!n) return -ENOENT;
  if (!n->folder) return -ENOTDIR;
  while (g_hang == Hang::Opening && isHanging(path)) ::pause();
  return -n->error;
}

// The folders of /langsam.
int readSlowFolder(const std::string& path, void* buf, fuse_fill_dir_t fill) {
  fill(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  struct stat st {};
  if (path.size() > 8) {
    st.st_mode = S_IFREG | 0644;
    fill(buf, "a.txt", &st, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
  }
  st.st_mode = S_IFDIR | 0755;
  for (int i = 0; i < 64; ++i) {
    const char name[] = {static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10), '\0'};
    fill(buf, name, &st, 0, static_cast<fuse_fill_dir_flags>(0));
  }
  return 0;
}

int readdir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  record("readdir", path);
  if (g_slow) ::usleep(2000);
  bool folder = false;
  if (isSlowNode(path, folder)) return readSlowFolder(path, buf, fill);
  const Node* n = find(path);
  if (!n) return -ENOENT;
  if (n->error) return -n->error;
  while (g_hang == Hang::Reading && isHanging(path)) ::pause();
  fill(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  const std::string prefix = std::strcmp(path, "/") == 0 ? "/" : std::string(path) + "/";
  for (const Node& child : kNodes) {
    const std::string p = child.path;
    if (p.size() <= prefix.size() || p.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string name = p.substr(prefix.size());
    if (name.find('/') != std::string::npos || !find(p.c_str())) continue;
    struct stat st {};
    st.st_mode = child.folder ? (S_IFDIR | 0755) : (S_IFREG | 0644);
    fill(buf, name.c_str(), &st, 0, static_cast<fuse_fill_dir_flags>(0));
  }
  if (g_slow && prefix == "/") {
    struct stat st {};
    st.st_mode = S_IFDIR | 0755;
    fill(buf, "langsam", &st, 0, static_cast<fuse_fill_dir_flags>(0));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[2], "--haengt") == 0) g_hang = Hang::Opening;
  if (argc == 3 && std::strcmp(argv[2], "--haengt-beim-lesen") == 0) g_hang = Hang::Reading;
  if (argc == 3 && std::strcmp(argv[2], "--langsam") == 0) g_slow = true;
  if (argc == 3 && std::strcmp(argv[2], "--spaet") == 0) g_late = true;
  if (g_late) {
    struct sigaction answer {};
    answer.sa_handler = answerRoot;
    answer.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &answer, nullptr);
  }
  const bool share = g_hang != Hang::No || g_slow || g_late;
  if (argc != 2 && !share) return 2;
  fuse_operations ops{};
  ops.getattr = getattr;
  ops.opendir = opendir;
  ops.readdir = readdir;
  std::vector<char*> args = {argv[0], const_cast<char*>("-f"), const_cast<char*>("-o")};
  args.push_back(
      const_cast<char*>(share ? "fsname=rz-error-fs,subtype=sshfs" : "fsname=rz-error-fs"));
  if (!share) args.push_back(const_cast<char*>("-s"));
  args.push_back(argv[1]);
  return fuse_main(static_cast<int>(args.size()), args.data(), &ops, nullptr);
}
