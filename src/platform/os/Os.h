// The operating-system seam: every call that the layer makes into the system.
//
// Each system has one folder beside this header (linux/, windows/) that defines
// these functions and nothing else; CMake picks the folder by CMAKE_SYSTEM_NAME.
// Everything that does not depend on the system (the listing cache, drive letters
// and the kernel32 answers, the code page table, the launcher hook, the error
// boundary) is written once above this header and calls only what it declares.
//
// Conventions: host paths are the system's own (UTF-8; "/home/anna" on Linux,
// "C:\Users\anna" on Windows), of any length. A call that can fail returns a
// NativeError: 0 on success, else the system's error code (errno, GetLastError),
// which errorNumber() turns into the runtime's classic number. "May block" means
// the call can wait on a drive (a network share that stops answering waits for as
// long as the system lets it); the others return at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::os {

using NativeError = int;

// --- errors -------------------------------------------------------------------------

// The runtime error number of a failure: 76 path not found (53 is the caller's to
// choose for a file it reads), 70 access denied, 61 disk full, 68 device
// unavailable, 67 too many files, 7 out of memory, 75 path/file access (read-only
// file system, busy, a folder where a file was expected), 57 for anything else.
int errorNumber(NativeError error);
// The error of a failed call that said "access denied" (EACCES, EPERM,
// ERROR_ACCESS_DENIED): directories turn it into 419.
bool isAccessDenied(NativeError error);
// The error for "no such file or folder".
bool isNotFound(NativeError error);
// The error of an exclusive create that found an entry of that name (EEXIST,
// ERROR_FILE_EXISTS).
bool isAlreadyExists(NativeError error);

// --- paths ----------------------------------------------------------------------------

// '/' on Linux, '\' on Windows.
extern const char kSeparator;
// Host names are arbitrary bytes (Linux), which the view escapes where a Windows
// name could not hold them; or UTF-16 names handed over as UTF-8 (Windows).
extern const bool kHostNamesAreBytes;

// The program file's own host path ("/usr/bin/x", "C:\Tools\x.exe"); empty when
// the system cannot tell.
std::string executablePath();
// The process's working folder as a host path; empty when it cannot be read.
std::string currentDirectory();

// --- directories ------------------------------------------------------------------------

// An open directory: a descriptor on Linux (opened without following a link in
// its last component); on Windows its path, no handle is held. Move only; closed
// by the destructor.
class Directory {
 public:
  Directory() = default;
  ~Directory();
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  bool isOpen() const { return m_open; }
  // True when it takes one of the process's descriptors (see descriptorBudget).
  bool holdsDescriptor() const;
  void close();

  // For the system folder only.
  intptr_t m_handle = -1;
  std::string m_path;
  bool m_open = false;
};

// What tells a directory's state: unchanged identity means unchanged entries.
struct Identity {
  uint64_t device = 0;  // 0 where the system gives none (Windows)
  uint64_t inode = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  bool removed = false;  // deleted while open (no link left)
  // The mount the directory belongs to (Linux: statx's STATX_MNT_ID, the id of
  // the mount table); 0 where the system or kernel gives none (Windows, Linux
  // before 5.8). Two directories of one file system differ in device but not in
  // mount id when one is a btrfs subvolume of the other.
  uint64_t mountId = 0;
};

// Opens the directory at an absolute host path. May block.
NativeError openDirectory(const std::string& hostPath, Directory& out);
// Opens `relative` (components joined by kSeparator) below `base`; the last
// component is never followed through a link. May block.
NativeError openDirectoryAt(const Directory& base, std::string_view relative, Directory& out);
// Opens the parent of an open directory. May block.
NativeError openParent(const Directory& dir, Directory& out);
// The identity of an open directory, or of the directory at a host path. May block.
NativeError identity(const Directory& dir, Identity& out);
NativeError identityOfPath(const std::string& hostPath, Identity& out);

// Takes the entries of a directory as they are read.
class EntrySink {
 public:
  // `name`: the host name, never "." or "..", valid during the call only;
  // `directory`: a real directory, never a link, junction or mount point.
  virtual void entry(std::string_view name, bool directory) = 0;

 protected:
  ~EntrySink() = default;
};

// Whether the walk enters an entry, from what Windows reports about it: the
// attribute bits and, for a reparse point, its tag (the dwReserved0 of
// WIN32_FIND_DATAW). True for a directory that is no reparse point, or one whose
// reparse point is no name surrogate (cloud-files placeholders such as OneDrive's,
// deduplicated or projected folders). A link, junction or mount point (a tag with
// the name-surrogate bit) is false, and so is a reparse point whose tag is 0
// (reserved; a file system that does not report the tag): such an entry is listed
// as a file and never followed. False for every non-directory. Pure, the same on
// every system.
bool walkedAsFolder(uint32_t attributes, uint32_t reparseTag);

// Reads every entry of an open directory into `sink`. `fillsEachRead`: the file
// system fills each read as far as its entries go (ext4, xfs, btrfs, tmpfs), so a
// read that leaves room was the last one and the final empty read may be spared.
// An entry that vanishes during the read is left out. May block. What the sink
// raises goes through.
NativeError readEntries(Directory& dir, bool fillsEachRead, EntrySink& sink);

// Registers what a process forked from this one must run before anything else
// (its other threads are gone there): `prepare` in the parent just before the
// fork, `parent` after it, `child` in the new process. Nothing where the system
// does not fork (Windows).
void atFork(void (*prepare)(), void (*parent)(), void (*child)());

// Starts `body` on a new thread that nobody joins, with a stack of `stackBytes`
// (raised to the least the system allows): the reader threads are many while a
// share makes them wait, and need little stack. False when the system has no
// thread to spare.
bool startThread(std::function<void()> body, size_t stackBytes);

// Before the reader threads start: listings are made on them and freed on the
// thread that runs the windows, so the allocator keeps few pools of memory for all
// threads rather than one a thread (Linux: glibc's arenas, two at most). Nothing
// where the system's allocator needs no such hint.
void shareAllocatorPools();

// How many directories the layer may keep open at once: the process's descriptor
// limit, raised towards its hard limit on first call, with room left for files.
size_t descriptorBudget();
// Makes room for `count` descriptors at once before the readers start (a walk
// keeps thousands of directories open): Linux grows a process's table by
// doubling, and once the process has threads each growth waits until every core
// has passed a quiescent point, which stalls the opening thread for milliseconds.
// Nothing where the system keeps no such table (Windows).
void reserveDescriptors(size_t count);

// --- files ---------------------------------------------------------------------------------

// An open file. Move only; closed by the destructor (errors then ignored).
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool isOpen() const { return m_handle != -1; }

  intptr_t m_handle = -1;  // for the system folder only
};

// Creates the file, or empties an existing one, for writing. May block.
NativeError createFile(const std::string& hostPath, File& out);
// Creates a new file for writing that only its owner may read; fails when any
// entry of that name exists (a link included, which is never followed). May block.
NativeError createNewFile(const std::string& hostPath, File& out);
// Opens an existing file for reading. May block.
NativeError openFile(const std::string& hostPath, File& out);
// Reads up to `size` bytes; `got` 0 at the end. May block.
NativeError readFile(File& file, char* buffer, size_t size, size_t& got);
// Writes all of `data`. May block.
NativeError writeFile(File& file, std::string_view data);
// Waits until what was written is on the disk (fsync, FlushFileBuffers); another
// thread may go on writing the file meanwhile. May block.
NativeError flushToDisk(File& file);
// Closes the file; its error, if any.
NativeError closeFile(File& file);
// Gives `from` the name `to`, replacing a file of that name at once (atomically
// where the system can) and durably. May block.
NativeError renameReplacing(const std::string& from, const std::string& to);
// Makes a folder's entries (a rename into it) durable; a no-op where the system
// does that itself. May block.
NativeError syncFolder(const std::string& hostPath);

// --- the user's own folders ----------------------------------------------------------------

// Where the system keeps a user's data for programs, as it names it. Linux:
// XDG_DATA_HOME as set (nullopt when unset) and the home folder ($HOME, else the
// user's passwd entry; empty when neither names one). Windows: the known folder
// LocalAppData (empty when the system names none).
struct UserDataPlaces {
  std::optional<std::string> xdgDataHome;
  std::string home;
  std::string localAppData;
};
UserDataPlaces userDataPlaces();
// True when the user may create files in the folder at a host path. Linux asks
// access() (a read-only file system says no as well); Windows creates and drops a
// probe file, since only trying tells what the folder's access list allows. May
// block.
bool mayCreateFilesIn(const std::string& hostPath);
// Creates the folder and its missing parents, those it creates open to the user
// alone (mode 0700 on Linux; on Windows they inherit their parent's access list);
// existing ones are left as they are. 0 when the folder exists afterwards. May
// block.
NativeError createFolders(const std::string& hostPath);

// --- drives ---------------------------------------------------------------------------------

// One row of a mount table (Linux), as the system reports it.
struct MountRow {
  int id = 0;
  int parentId = 0;
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;    // the folder of the file system that is mounted
  std::string target;  // the mount point
  std::string fsType;
  std::string source;
  bool netfs = false;     // a network file system, as the system's library knows them
  bool pseudofs = false;  // a pseudo file system (proc, sysfs, cgroup, ...)
};

// A drive as a system with drive letters reports it (Windows).
struct LetteredDrive {
  char letter = 'C';
  uint32_t type = 0;  // GetDriveType's value
};

// The system's drives: a mount table (Linux: every mount, no letters) or the
// lettered drives with their types (Windows). Asks no drive anything that blocks.
struct SystemDriveInfo {
  std::vector<MountRow> mounts;
  std::vector<LetteredDrive> letters;
  std::string sysfsRoot;  // where block devices are described ("/sys"), or empty
};
SystemDriveInfo systemDriveInfo();
// Parses mount-table text in /proc/self/mountinfo form; malformed rows are left
// out. Empty on systems without mount tables.
std::vector<MountRow> parseMountTable(std::string_view text);
// Whether a mount point is a folder (not a mounted file). Never triggers an
// automount nor waits for a server; true when it cannot be asked.
bool mountPointIsFolder(const std::string& hostPath);
// The device and inode of the folder at a mount point or a path below one, as
// the system has them cached: never triggers an automount nor waits for a
// server's fresh answer (a path inside a network share that is not cached yet
// may still cost one lookup). An error where it cannot be asked (Windows: no
// mount points, always an error).
NativeError mountPointIdentity(const std::string& hostPath, Identity& out);

// --- text ------------------------------------------------------------------------------------

// Lower and upper case of one character, the same whatever the user's locale.
char32_t lowerChar(char32_t cp);
char32_t upperChar(char32_t cp);
// True where the system has an 8-bit code page of its own (Windows: CP_ACP);
// elsewhere the layer uses Windows-1252.
extern const bool kHasAnsiCodePage;
// The system code page's byte for one character, or nothing (no best fit).
std::optional<char> ansiByte(char32_t cp);
// System code page bytes to UTF-8.
std::string fromAnsiCodePage(std::string_view ansi);

// --- shell ---------------------------------------------------------------------

// Opens a document or web address with the desktop's opener, detached: returns
// without waiting for it. The texts are in the system's code page where it has
// one (kHasAnsiCodePage), else UTF-8. Windows: ShellExecuteA itself (its result); Linux:
// xdg-open for the operation "open" (42 when started, 2 when not, 31 for
// another operation).
long shellExecute(const std::string& operation, const std::string& file,
                  const std::string& parameters, const std::string& directory, int show);

// --- the handles' ownership, the same on every system -------------------------------------

inline Directory::~Directory() {
  close();
}

inline Directory::Directory(Directory&& other) noexcept
    : m_handle(other.m_handle), m_path(std::move(other.m_path)), m_open(other.m_open) {
  other.m_handle = -1;
  other.m_open = false;
}

inline Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    close();
    m_handle = other.m_handle;
    m_path = std::move(other.m_path);
    m_open = other.m_open;
    other.m_handle = -1;
    other.m_open = false;
  }
  return *this;
}

inline File::~File() {
  closeFile(*this);
}

inline File::File(File&& other) noexcept : m_handle(other.m_handle) {
  other.m_handle = -1;
}

inline File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    closeFile(*this);
    m_handle = other.m_handle;
    other.m_handle = -1;
  }
  return *this;
}

}  // namespace platform::os
