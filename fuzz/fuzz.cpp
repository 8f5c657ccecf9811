#include "fuzz.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fuzz {

std::string UseOwnDataFolder() {
  const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string tmpl = std::string(base) + "/melvoria-fuzz-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) {
    std::perror("melvoria fuzz: mkdtemp");
    std::abort();
  }
  ::setenv("MELVORIA_DATA_DIR", tmpl.c_str(), 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  // Removed when the process ends, however many inputs it ran.
  static std::string folder = tmpl;
  std::atexit([] { std::filesystem::remove_all(folder); });
  return tmpl;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::optional<std::string> WriteValue(Bytes& in, const std::string& path, std::size_t size) {
  std::remove(path.c_str());
  std::size_t n = size;
  switch (in.Byte() & 3) {
    case 0:
      return std::nullopt;
    case 2:
      n = in.Byte() % size;
      break;
    case 3:
      n = size + 1 + in.Byte();
      break;
    default:
      break;
  }
  std::string bytes = in.Take(n);
  bytes.resize(n, '\0');
  FUZZ_CHECK(WriteFile(path, bytes));
  return bytes;
}

}  // namespace fuzz
