// One copy per data folder. The lock is a file inside the data folder itself,
// so every spelling of the folder (a link, a relative path) and every session
// (another runtime folder) meets the same lock. The copy holding it listens on a
// Unix socket in its runtime folder and writes the socket's path into the lock
// file; a second copy reads it there, sends "activate" and waits for "ok". The
// kernel drops the lock of a copy that dies, so a crash never blocks the next
// start; the socket file it leaves behind is removed by whoever next takes the
// lock from the same runtime folder.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "device/port.h"

namespace ce {

namespace {

constexpr char kRequest[] = "activate\n";
constexpr char kReply[] = "ok\n";

constexpr char kLockName[] = "/instance.lock";
// The longest socket path a lock file may name.
constexpr std::size_t kMaxAddress = 4096;

struct Instance {
  int lockFd = -1;
  int listenFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::string socketPath;
  std::thread* listener = nullptr;
};

// Never destroyed: the listener may still run when the program exits.
Instance& I() {
  static Instance* instance = new Instance;
  return *instance;
}
// The process that holds the claim; a forked child sees its parent's id here.
std::atomic<pid_t> claimedBy{0};

std::uint64_t Fnv1a(const std::string& s) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

std::string Hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

std::string RuntimeFolder() {
  const char* env = std::getenv("MELVORIA_RUNTIME_DIR");
  if (!env || !*env) env = std::getenv("XDG_RUNTIME_DIR");
  return env && *env ? env : "/tmp/melvoria-" + std::to_string(::getuid());
}

// The lock file, opened without following a link and without waiting on
// anything that is not a regular file; -1 (errno set) otherwise.
int OpenLockFile(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// The socket path the lock's holder wrote into the lock file; empty until it has.
std::string ReadAddress(int lockFd) {
  char buf[kMaxAddress + 1];
  ssize_t n = ::pread(lockFd, buf, sizeof buf, 0);
  if (n <= 0 || std::size_t(n) > kMaxAddress) return {};
  std::string address(buf, std::size_t(n));
  if (address.back() != '\n') return {};  // still being written
  address.pop_back();
  return address;
}

// An empty address leaves the file empty: nobody to ask yet.
void WriteAddress(int lockFd, const std::string& address) {
  if (::ftruncate(lockFd, 0) != 0 || address.empty()) return;
  std::string line = address + "\n";
  ssize_t written = ::pwrite(lockFd, line.data(), line.size(), 0);
  (void)written;  // a second copy that finds no address just cannot wake this one
}

// The runtime folder, made private to the user when we make it. Only a
// folder of the user's own that nobody else may enter is used (not a link): in
// any other, someone else could put their socket in place of this copy's.
// False with the reason otherwise.
bool PrepareFolder(const std::string& dir, std::string* why) {
  std::string partial;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    partial = dir.substr(0, pos);
    if (!partial.empty()) ::mkdir(partial.c_str(), 0700);
  }
  struct stat st;
  char detail[96];
  if (::lstat(dir.c_str(), &st) != 0) {
    *why = std::strerror(errno);
  } else if (!S_ISDIR(st.st_mode)) {
    *why = "not a folder";
  } else if (st.st_uid != ::getuid()) {
    std::snprintf(detail, sizeof detail, "owned by user %u, not by this user (%u)", unsigned(st.st_uid),
                  unsigned(::getuid()));
    *why = detail;
  } else if ((st.st_mode & 077) != 0) {
    std::snprintf(detail, sizeof detail, "others may use it (mode %04o; it must be 0700)",
                  unsigned(st.st_mode & 07777));
    *why = detail;
  } else {
    return true;
  }
  return false;
}

// A socket address names a file in the runtime folder; 0 when the path is too
// long for one. (A name in the abstract namespace instead would be open to any
// user to take first.)
socklen_t Address(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return 0;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
}

void SetTimeouts(int fd, int seconds) {
  timeval tv{seconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// Reads until a newline, EOF, timeout or `room` bytes.
std::string ReadLine(int fd, std::size_t room) {
  std::string line;
  char c;
  while (line.size() < room) {
    ssize_t n = ::recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    line.push_back(c);
    if (c == '\n') break;
  }
  return line;
}

void Listen(int listenFd, int wakeFd, std::function<void()> onActivate) {
  for (;;) {
    pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    SetTimeouts(client, 1);
    if (ReadLine(client, sizeof kRequest) == kRequest) {
      if (onActivate) onActivate();
      ::send(client, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
    }
    ::close(client);
  }
}

// A forked child inherits its parent's claim: the listener thread does not
// exist here and the lock is the parent's (unlocking would free it for both),
// so the child only closes its copies of the descriptors.
void ForgetInheritedClaim() {
  Instance& in = I();
  for (int* fd : {&in.lockFd, &in.listenFd, &in.wakeRead, &in.wakeWrite}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  in.listener = nullptr;  // the parent's thread; not ours to join or free
  claimedBy = 0;
}

bool Warn(const char* what) {
  std::fprintf(stderr, "melvoria: cannot check for another copy (%s: %s); starting anyway\n", what,
               std::strerror(errno));
  return true;
}

// Still the only copy; a second one just cannot wake this one.
bool Unwakeable(const char* what, const std::string& why) {
  std::fprintf(stderr, "melvoria: a second start cannot bring this copy forward (%s: %s)\n", what,
               why.c_str());
  return true;
}

}  // namespace

bool ClaimInstance(const std::string& dataDir, std::function<void()> onActivateRequest) {
  if (claimedBy.load() == ::getpid()) return true;
  if (claimedBy.load() != 0) ForgetInheritedClaim();
  // A data folder that cannot be made cannot be saved to either: no copy can
  // overwrite another's store, so the game runs.
  const std::string& data = dataDir;
  std::error_code ec;
  std::filesystem::create_directories(data, ec);
  if (ec) {
    errno = ec.value();
    return Warn(data.c_str());
  }
  std::string lockPath = data + kLockName;
  int lockFd = OpenLockFile(lockPath, O_RDWR | O_CREAT);
  if (lockFd < 0) return Warn(lockPath.c_str());
  if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(lockFd);
    if (err == EWOULDBLOCK) return false;
    errno = err;
    return Warn(lockPath.c_str());
  }

  Instance& in = I();
  in.lockFd = lockFd;
  in.socketPath.clear();
  claimedBy = ::getpid();
  WriteAddress(lockFd, "");  // a dead copy's address is no longer good
  // Named after the folder itself, so a copy that died with this runtime folder
  // left its socket file under the same name: the lock is ours, so it goes.
  char canonical[PATH_MAX];
  std::string runtime = RuntimeFolder();
  std::string socketPath =
      runtime + "/melvoria-" + Hex(Fnv1a(::realpath(data.c_str(), canonical) ? canonical : data)) + ".sock";
  std::string why;
  if (!PrepareFolder(runtime, &why))
    return Unwakeable(("the runtime folder " + runtime).c_str(),
                      why + "; set MELVORIA_RUNTIME_DIR to a private one");
  sockaddr_un addr;
  socklen_t length = Address(socketPath, &addr);
  if (length == 0)
    return Unwakeable(socketPath.c_str(), "too long for a socket's name (at most " +
                                              std::to_string(sizeof addr.sun_path - 1) +
                                              " bytes); set MELVORIA_RUNTIME_DIR to a shorter folder");
  in.socketPath = socketPath;
  ::unlink(socketPath.c_str());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int wake[2];
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || ::listen(fd, 4) != 0 ||
      ::pipe2(wake, O_CLOEXEC) != 0) {
    Unwakeable(socketPath.c_str(), std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return true;
  }
  in.listenFd = fd;
  in.wakeRead = wake[0];
  in.wakeWrite = wake[1];
  in.listener = new std::thread(Listen, fd, wake[0], std::move(onActivateRequest));
  WriteAddress(lockFd, socketPath);
  return true;
}

bool AskRunningInstanceToActivate(const std::string& dataDir) {
  std::string lockPath = dataDir + kLockName;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    // Nobody holds the lock: nobody to ask. (The probe holds it for an instant.)
    int lockFd = OpenLockFile(lockPath, O_RDONLY);
    if (lockFd < 0) return false;
    bool free = ::flock(lockFd, LOCK_SH | LOCK_NB) == 0;
    std::string address = free ? std::string() : ReadAddress(lockFd);
    ::close(lockFd);
    if (free) return false;

    sockaddr_un addr;
    socklen_t length = address.empty() ? 0 : Address(address, &addr);
    if (length != 0) {
      int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) return false;
      if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0) {
        SetTimeouts(fd, 2);
        bool ok = ::send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) == ssize_t(sizeof kRequest - 1) &&
                  ReadLine(fd, sizeof kReply) == kReply;
        ::close(fd);
        return ok;
      }
      ::close(fd);
    }
    // The other copy may hold the lock but not listen yet.
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void ReleaseInstance() {
  if (claimedBy.load() != ::getpid()) return;
  Instance& in = I();
  bool fromListener = false;
  if (in.listener) {
    char byte = 1;
    while (::write(in.wakeWrite, &byte, 1) < 0 && errno == EINTR) {
    }
    fromListener = in.listener->get_id() == std::this_thread::get_id();
    if (fromListener) {
      in.listener->detach();  // released from inside the activation callback
    } else {
      in.listener->join();
    }
    delete in.listener;
    in.listener = nullptr;
  }
  for (int* fd : {&in.listenFd, &in.wakeRead, &in.wakeWrite}) {
    // A detached listener still polls these until it sees the wake byte.
    if (*fd >= 0 && !fromListener) ::close(*fd);
    *fd = -1;
  }
  if (!in.socketPath.empty()) ::unlink(in.socketPath.c_str());
  in.socketPath.clear();
  WriteAddress(in.lockFd, "");
  ::flock(in.lockFd, LOCK_UN);
  ::close(in.lockFd);
  in.lockFd = -1;
  claimedBy = 0;
}

}  // namespace ce
