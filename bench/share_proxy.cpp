// share_proxy: a loopback SFTP server with a network's latency in front of it.
//
//   share_proxy [--delay-us N] [--counts FILE] SERVER [ARGS...]
//
// Listens on a free TCP port of 127.0.0.1 and prints "port N". Each connection
// gets a server of its own: SERVER ARGS (OpenSSH's sftp-server) started with a
// socket as its standard input and output; "server PID" is printed once it runs.
// Every byte between the two is held for N microseconds in each direction and
// still streams: what arrives is sent on when its own time is up, however much
// else is on its way, as over a link with that one-way latency and no limit of
// bandwidth. On SIGTERM or SIGINT it writes how many SFTP requests of each type
// the clients sent to FILE (stderr without --counts), ends its servers and exits.
// It ends by itself, with its servers, when the process that started it goes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Nanos = int64_t;

Nanos now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<Nanos>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

volatile sig_atomic_t g_stop = 0;
void onStop(int) {
  g_stop = 1;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "share_proxy: %s: %s\n", what, std::strerror(errno));
  std::exit(1);
}

void nonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// The request types of SFTP version 3 (draft-ietf-secsh-filexfer-02), by number.
std::string_view requestName(unsigned type) {
  switch (type) {
    case 1: return "INIT";
    case 3: return "OPEN";
    case 4: return "CLOSE";
    case 5: return "READ";
    case 6: return "WRITE";
    case 7: return "LSTAT";
    case 8: return "FSTAT";
    case 9: return "SETSTAT";
    case 10: return "FSETSTAT";
    case 11: return "OPENDIR";
    case 12: return "READDIR";
    case 13: return "REMOVE";
    case 14: return "MKDIR";
    case 15: return "RMDIR";
    case 16: return "REALPATH";
    case 17: return "STAT";
    case 18: return "RENAME";
    case 19: return "READLINK";
    case 20: return "SYMLINK";
    case 200: return "EXTENDED";
  }
  return {};
}

// Counts the packets of a byte stream by their type. A packet is a 32-bit length
// (big-endian, the type byte included), the type byte, then the rest.
class PacketCounter {
 public:
  void feed(const char* data, size_t n) {
    for (size_t i = 0; i < n;) {
      if (m_skip > 0) {
        const size_t k = std::min<size_t>(m_skip, n - i);
        m_skip -= k;
        i += k;
      } else if (m_have < 4) {
        m_length = (m_length << 8) | static_cast<unsigned char>(data[i++]);
        ++m_have;
      } else {
        ++counts[static_cast<unsigned char>(data[i++])];
        m_skip = m_length > 0 ? m_length - 1 : 0;
        m_have = 0;
        m_length = 0;
      }
    }
  }
  std::array<uint64_t, 256> counts{};

 private:
  uint32_t m_length = 0;
  unsigned m_have = 0;  // bytes of the length read so far
  uint32_t m_skip = 0;  // bytes of the current packet still to pass
};

// One direction of a connection: bytes read from `from`, each chunk sent to `to`
// once its time is due. After the end of the stream arrives (and its delay is
// over), `to` is shut for writing.
struct Direction {
  int from = -1;
  int to = -1;
  struct Chunk {
    Nanos due;
    std::string bytes;
  };
  std::deque<Chunk> queue;
  size_t sent = 0;  // of the first chunk
  size_t queued = 0;
  bool ended = false;    // the end of the stream was read
  Nanos endDue = 0;      // when the end is passed on
  bool done = false;     // the end was passed on, or `to` failed
  bool blocked = false;  // `to` took no more; wait until it does
  PacketCounter* counter = nullptr;

  // A link holds what is on its way: reading stops while this much waits.
  static constexpr size_t kMostQueued = 8 << 20;

  bool wantsRead() const { return !ended && queued < kMostQueued; }
  Nanos nextDue() const {
    if (!queue.empty()) return queue.front().due;
    return ended && !done ? endDue : INT64_MAX;
  }

  // Reads what is there.
  void read(Nanos delay) {
    char buffer[65536];
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    const Nanos due = now() + delay;
    // A reset (a server killed with requests unread) ends the stream as its end
    // does: the other side learns of it in its time.
    if (n <= 0) {
      ended = true;
      endDue = due;
      return;
    }
    if (counter) counter->feed(buffer, static_cast<size_t>(n));
    queue.push_back({due, std::string(buffer, static_cast<size_t>(n))});
    queued += static_cast<size_t>(n);
  }

  // Sends what is due.
  void send() {
    const Nanos t = now();
    while (!queue.empty() && queue.front().due <= t) {
      const std::string& bytes = queue.front().bytes;
      const ssize_t n = ::send(to, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN) {
          blocked = true;
        } else if (errno != EINTR) {
          fail();
        }
        return;
      }
      blocked = false;
      sent += static_cast<size_t>(n);
      if (sent == bytes.size()) {
        queued -= bytes.size();
        queue.pop_front();
        sent = 0;
      }
    }
    if (queue.empty() && ended && !done && endDue <= t) {
      ::shutdown(to, SHUT_WR);
      done = true;
    }
  }

  // The other end is gone: nothing more goes this way.
  void fail() {
    done = true;
    ended = true;
    blocked = false;
    queue.clear();
    queued = 0;
  }
};

struct Connection {
  int client = -1;  // the TCP socket of sshfs
  int server = -1;  // our end of the server's socket pair
  pid_t pid = -1;
  Direction up;    // client to server
  Direction down;  // server to client
  bool finished() const { return up.done && down.done; }
};

pid_t startServer(int socket, char** argv) {
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) fail("fork");
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) _exit(1);
    ::dup2(socket, 0);
    ::dup2(socket, 1);
    ::close(socket);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(argv[0], argv);
    _exit(127);
  }
  return pid;
}

void writeCounts(const PacketCounter& counter, const char* file) {
  FILE* out = file ? std::fopen(file, "w") : stderr;
  if (!out) return;
  uint64_t total = 0;
  for (unsigned t = 0; t < 256; ++t) {
    if (counter.counts[t] == 0 || t == 1) continue;  // INIT is no request of the walk
    total += counter.counts[t];
  }
  std::fprintf(out, "requests %llu\n", static_cast<unsigned long long>(total));
  for (unsigned t = 0; t < 256; ++t) {
    if (counter.counts[t] == 0) continue;
    const std::string_view name = requestName(t);
    std::fprintf(out, "%s %llu\n", name.empty() ? std::to_string(t).c_str() : name.data(),
                 static_cast<unsigned long long>(counter.counts[t]));
  }
  if (file) std::fclose(out);
}

[[noreturn]] void usage() {
  std::fprintf(stderr, "usage: share_proxy [--delay-us N] [--counts FILE] SERVER [ARGS...]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Nanos delay = 0;
  const char* countsFile = nullptr;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--delay-us" && i + 1 < argc) {
      delay = std::strtoll(argv[++i], nullptr, 10) * 1000;
    } else if (arg == "--counts" && i + 1 < argc) {
      countsFile = argv[++i];
    } else {
      usage();
    }
  }
  if (i >= argc) usage();
  char** server = argv + i;

  const pid_t starter = ::getppid();
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != starter) return 1;
  // The stop signals are let in only while the loop waits, so none is missed.
  sigset_t stopSignals;
  sigset_t waiting;
  ::sigemptyset(&stopSignals);
  ::sigaddset(&stopSignals, SIGTERM);
  ::sigaddset(&stopSignals, SIGINT);
  ::sigprocmask(SIG_BLOCK, &stopSignals, &waiting);
  ::sigdelset(&waiting, SIGTERM);
  ::sigdelset(&waiting, SIGINT);
  struct sigaction stop {};
  stop.sa_handler = onStop;
  ::sigaction(SIGTERM, &stop, nullptr);
  ::sigaction(SIGINT, &stop, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0) fail("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 8) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    fail("listen");
  std::printf("port %u\n", ntohs(address.sin_port));
  std::fflush(stdout);

  PacketCounter counter;
  std::vector<std::unique_ptr<Connection>> connections;
  std::vector<pollfd> fds;
  while (!g_stop) {
    fds.clear();
    fds.push_back({listener, POLLIN, 0});
    Nanos next = INT64_MAX;
    for (const auto& c : connections) {
      // A socket is watched only for what is wanted of it now (a peer that hung
      // up would wake the loop again and again).
      for (const Direction* d : {&c->up, &c->down}) {
        fds.push_back({d->wantsRead() ? d->from : -1, POLLIN, 0});
        fds.push_back({d->blocked ? d->to : -1, POLLOUT, 0});
        if (!d->blocked) next = std::min(next, d->nextDue());
      }
    }
    timespec wait{};
    timespec* timeout = nullptr;
    if (next != INT64_MAX) {
      const Nanos left = std::max<Nanos>(0, next - now());
      wait = {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
      timeout = &wait;
    }
    if (::ppoll(fds.data(), fds.size(), timeout, &waiting) < 0 && errno != EINTR) fail("poll");
    if (g_stop) break;

    if (fds[0].revents & POLLIN) {
      const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      int pair[2];
      if (client >= 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0) {
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<Connection>();
        c->client = client;
        c->server = pair[0];
        nonBlocking(pair[0]);
        c->pid = startServer(pair[1], server);
        ::close(pair[1]);
        c->up.from = c->down.to = client;
        c->up.to = c->down.from = pair[0];
        c->up.counter = &counter;
        std::printf("server %d\n", static_cast<int>(c->pid));
        std::fflush(stdout);
        connections.push_back(std::move(c));
      } else if (client >= 0) {
        ::close(client);
      }
    }
    for (size_t k = 0, f = 1; k < connections.size(); ++k, f += 4) {
      Connection& c = *connections[k];
      // A direction that fails ends alone: what the other has on its way still
      // arrives in its time (the answers a server sent before it died, then its end).
      if (fds[f].revents) c.up.read(delay);
      if (fds[f + 2].revents) c.down.read(delay);
      c.up.send();
      c.down.send();
    }
    // Both ways ended: the connection is over; its server ends with its socket.
    for (auto& c : connections) {
      if (c->finished()) {
        ::close(c->client);
        ::close(c->server);
        c.reset();
      }
    }
    std::erase(connections, nullptr);
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }
  writeCounts(counter, countsFile);
  for (const auto& c : connections) ::kill(c->pid, SIGKILL);
  while (::wait(nullptr) > 0) {
  }
  return 0;
}
