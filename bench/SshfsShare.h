// A real network share on this machine: sshfs mounts a folder served by OpenSSH's
// sftp-server over a loopback TCP port, through share_proxy, which gives the link
// a latency of its own in each direction. For the benchmark and the tests.
//
// Start it in a private mount namespace (the mount is then seen by nobody else and
// goes with the namespace): sshfs, the proxy and the server are children of the
// process that starts the share, and each ends when its parent does, however that
// ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace bench {

struct ShareOptions {
  std::string proxy;                     // the share_proxy program
  std::string folder;                    // the folder the server serves (absolute)
  std::string mountPoint;                // an existing folder, where sshfs mounts the share
  std::chrono::microseconds latency{0};  // one way
  std::string countsFile;                // where the proxy writes the requests it saw (optional)
};

class SshfsShare {
 public:
  SshfsShare() = default;
  ~SshfsShare() { stop(); }
  SshfsShare(const SshfsShare&) = delete;
  SshfsShare& operator=(const SshfsShare&) = delete;

  // Starts the proxy and mounts the share. Returns why it could not (sshfs or
  // the server missing, no mount after 10 s), empty on success. Call from the
  // thread that lives as long as the share: its children end with that thread.
  std::string start(const ShareOptions& options);

  // The server of sshfs's connection: kill it and the share's server is gone
  // (sshfs sees its connection end); stop it (SIGSTOP) and it stops answering.
  pid_t serverPid() const { return m_server; }

  // Ends sshfs, the proxy (which then writes its counts) and the server; the
  // mount is taken away. Does nothing when not started.
  void stop();

 private:
  std::string m_mountPoint;
  dev_t m_folderDevice = 0;  // of the mount point before the share covered it
  pid_t m_sshfs = -1;
  pid_t m_proxy = -1;
  pid_t m_server = -1;
  int m_proxyOutput = -1;
};

// Where OpenSSH keeps its sftp-server on Debian.
inline constexpr const char* kSftpServer = "/usr/lib/openssh/sftp-server";

}  // namespace bench
