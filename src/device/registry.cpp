// The registry as a folder tree: HKEY_CURRENT_USER is
// <data>/registry/HKEY_CURRENT_USER/, a key is a folder per path component and
// a binary value is a file holding exactly its bytes. Writes go to a temporary
// file in the key's folder that is synced and then renamed over the value, so
// a value is always either the old bytes or the new ones.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/utf.h"
#include "device/internal.h"
#include "device/port.h"
#include "platform/device.h"
#include "platform/host.h"

namespace ce {

struct RegKey {
  std::string folder;  // absolute; empty for HKEY_CURRENT_USER, whose folder follows the data dir
};

namespace {

constexpr LONG kErrorReadFault = 30;
// Temporary files start with this; value names may not, so a stray temporary
// file (a write cut short by a crash) is never mistaken for a value.
constexpr char kTempPrefix[] = ".~";
// Leaves room for the temporary file's suffix within the 255-byte file name limit.
constexpr std::size_t kMaxNameBytes = 200;

RegKey currentUser;
std::mutex keysMutex;
std::set<const RegKey*> openKeys;
std::atomic<bool> failNextWrite{false};
std::atomic<unsigned> tempCounter{0};
std::mutex sweptMutex;
std::set<std::string> sweptFolders;  // key folders this process has cleared of stale temporary files

std::size_t Length(const char16_t* s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// One path component: a file or folder name that stays inside its folder.
bool ValidComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.size() <= kMaxNameBytes &&
         name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
}

bool ValueFileName(LPCWSTR valueName, std::string* out) {
  if (!valueName || !utf::ToUtf8Strict(std::u16string_view(valueName, Length(valueName)), out)) return false;
  return ValidComponent(*out) && out->rfind(kTempPrefix, 0) != 0;
}

// "A\\B\\C" to {"A", "B", "C"}; null or empty: no components (the key itself).
bool SplitSubKey(LPCWSTR subKey, std::vector<std::string>* parts) {
  parts->clear();
  if (!subKey || !*subKey) return true;
  const char16_t* start = subKey;
  for (const char16_t* p = subKey;; ++p) {
    if (*p == u'\\' || *p == 0) {
      std::string part;
      if (!utf::ToUtf8Strict(std::u16string_view(start, std::size_t(p - start)), &part) ||
          !ValidComponent(part))
        return false;
      parts->push_back(part);
      if (*p == 0) break;
      start = p + 1;
    }
  }
  return true;
}

LONG WriteError(int err) {
  if (err == EACCES || err == EPERM || err == EROFS) return ERROR_ACCESS_DENIED;
  if (err == ENOSPC || err == EDQUOT) return ERROR_DISK_FULL;
  // A file where a folder of the path must go.
  if (err == ENOTDIR || err == EEXIST) return ERROR_PATH_NOT_FOUND;
  return ERROR_WRITE_FAULT;
}

bool KeyFolder(HKEY key, std::string* folder) {
  if (key == HKEY_CURRENT_USER) {
    *folder = host::DataDir() + "/registry/HKEY_CURRENT_USER";
    return true;
  }
  std::lock_guard<std::mutex> lock(keysMutex);
  if (!openKeys.count(key)) return false;
  *folder = key->folder;
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

HKEY NewKey(const std::string& folder) {
  auto* key = new RegKey{folder};
  std::lock_guard<std::mutex> lock(keysMutex);
  openKeys.insert(key);
  return key;
}

// The key's folder joined with the sub-key; false on a bad handle or name.
LONG ResolveSubKey(HKEY key, LPCWSTR subKey, std::string* path) {
  if (!KeyFolder(key, path)) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  if (!SplitSubKey(subKey, &parts)) return ERROR_INVALID_PARAMETER;
  for (const std::string& part : parts) *path += "/" + part;
  return ERROR_SUCCESS;
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// The writer's process id when `name` is a temporary file as RegSetValueExW
// names them: ".~PID-N.tmp".
bool TemporaryFileOf(const char* name, pid_t* pid) {
  auto digits = [](const char*& p, long long* value) {
    const char* start = p;
    *value = 0;
    for (; *p >= '0' && *p <= '9' && p - start < 10; ++p) *value = *value * 10 + (*p - '0');
    return p != start && !(*p >= '0' && *p <= '9');
  };
  const char* p = name;
  long long id = 0, counter = 0;
  if (std::strncmp(p, kTempPrefix, 2) != 0) return false;
  p += 2;
  if (!digits(p, &id) || *p++ != '-' || !digits(p, &counter) || std::strcmp(p, ".tmp") != 0) return false;
  if (id <= 0 || id > 0x7FFFFFFF) return false;
  *pid = pid_t(id);
  return true;
}

// A write cut short by a crash leaves its temporary file behind. The first time
// this process opens a key's folder it removes those of processes that no longer
// run, and those bearing its own id: it has written nothing there yet, so they
// are an earlier run's that had the same id (and would refuse its own first
// temporary file of that name).
void RemoveStaleTemporaryFiles(const std::string& folder) {
  {
    std::lock_guard<std::mutex> lock(sweptMutex);
    if (!sweptFolders.insert(folder).second) return;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  bool removed = false;
  while (const dirent* entry = ::readdir(dir)) {
    pid_t pid = 0;
    if (!TemporaryFileOf(entry->d_name, &pid)) continue;
    // A process of another user with that id counts as running (EPERM).
    bool gone = pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH);
    struct stat st;
    if (gone && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
      removed |= ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0;
  }
  ::closedir(dir);
  if (removed) SyncFolder(folder);
}

bool WriteAll(int fd, const BYTE* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

// Reads a value file whole. ERROR_FILE_NOT_FOUND when there is no such value:
// only a regular file (or a link to one) is a value.
LONG ReadValue(const std::string& path, std::vector<BYTE>* bytes) {
  int fd = OpenRegularFile(path);
  if (fd < 0) return (errno == EACCES || errno == EPERM) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  bytes->clear();
  BYTE chunk[4096];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || bytes->size() + std::size_t(n) > 0xFFFFFFFFu) {
      ::close(fd);
      return kErrorReadFault;
    }
    if (n == 0) break;
    bytes->insert(bytes->end(), chunk, chunk + n);
  }
  ::close(fd);
  return ERROR_SUCCESS;
}

}  // namespace

HKEY const HKEY_CURRENT_USER = &currentUser;

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, void*, HKEY* result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  StartStep();  // the key's folders are made and swept
  std::string path;
  if (LONG err = ResolveSubKey(key, subKey, &path); err != ERROR_SUCCESS) return err;
  bool existed = IsFolder(path);
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) return WriteError(ec.value());
  if (!IsFolder(path)) return ERROR_ACCESS_DENIED;
  // A key that cannot take values is no use to a caller that will write them.
  if (::access(path.c_str(), W_OK | X_OK) != 0) return WriteError(errno);
  RemoveStaleTemporaryFiles(path);
  *result = NewKey(path);
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string path;
  if (LONG err = ResolveSubKey(key, subKey, &path); err != ERROR_SUCCESS) return err;
  if (!IsFolder(path)) return ERROR_FILE_NOT_FOUND;
  RemoveStaleTemporaryFiles(path);
  *result = NewKey(path);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  std::string folder;
  if (!KeyFolder(key, &folder)) return ERROR_INVALID_HANDLE;
  std::string name;
  // The unnamed default value is never stored here.
  if (!valueName || !*valueName) return ERROR_FILE_NOT_FOUND;
  if (!ValueFileName(valueName, &name)) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes;
  if (LONG err = ReadValue(folder + "/" + name, &bytes); err != ERROR_SUCCESS) return err;
  if (type) *type = REG_BINARY;
  DWORD size = DWORD(bytes.size());
  if (!data) {
    if (dataSize) *dataSize = size;
    return ERROR_SUCCESS;
  }
  if (*dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (size) std::memcpy(data, bytes.data(), size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD, const BYTE* data, DWORD dataSize) {
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  std::string folder;
  if (!KeyFolder(key, &folder)) return ERROR_INVALID_HANDLE;
  std::string name;
  if (!ValueFileName(valueName, &name)) return ERROR_INVALID_PARAMETER;
  std::string target = folder + "/" + name;
  std::string temp = folder + "/" + kTempPrefix + std::to_string(::getpid()) + "-" +
                     std::to_string(tempCounter.fetch_add(1)) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return WriteError(errno);
  bool ok = WriteAll(fd, data, dataSize) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return WriteError(err);
  }
  // Tests stop here, as a crash between the write and the rename would.
  if (failNextWrite.exchange(false)) return ERROR_WRITE_FAULT;
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    err = errno;
    ::unlink(temp.c_str());
    return WriteError(err);
  }
  SyncFolder(folder);
  return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  std::string folder;
  if (!KeyFolder(key, &folder)) return ERROR_INVALID_HANDLE;
  std::string name;
  if (!valueName || !*valueName) return ERROR_FILE_NOT_FOUND;
  if (!ValueFileName(valueName, &name)) return ERROR_INVALID_PARAMETER;
  std::string path = folder + "/" + name;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
  if (::unlink(path.c_str()) != 0) return WriteError(errno);
  SyncFolder(folder);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> lock(keysMutex);
    if (!openKeys.erase(key)) return ERROR_INVALID_HANDLE;
  }
  delete key;
  return ERROR_SUCCESS;
}

namespace host {

std::string DataDir() {
  std::string dir;
  const char* env = std::getenv("MELVORIA_DATA_DIR");
  if (env && *env) {
    dir = env;
  } else if ((env = std::getenv("XDG_DATA_HOME")) && env[0] == '/') {
    dir = std::string(env) + "/melvoria";
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
    }
    dir = std::string(home) + "/.local/share/melvoria";
  }
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(dir, ec);
  if (ec) return dir;
  std::string normal = path.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

void FailNextRegistryWrite() {
  failNextWrite = true;
}

}  // namespace host

}  // namespace ce
