// What the fuzz targets share: a check that stops the run with its reason (a
// crash libFuzzer keeps as a failing input), the bytes read in order, and a
// data folder of the target's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#define FUZZ_CHECK(cond)                                                                 \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzz {

// The input taken from the front; past its end every read gives zeros.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(Byte()) << (8 * i);
    return v;
  }
  // Up to n bytes (fewer when the input ends).
  std::string Take(std::size_t n) {
    n = n < size_ - pos_ ? n : size_ - pos_;
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  std::size_t Left() const { return size_ - pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A fresh folder for this process (in memory when /dev/shm exists), made the
// data folder; SDL's dummy drivers, so nothing opens a window or a sound card.
std::string UseOwnDataFolder();

// Writes bytes to a file whole; false when it cannot.
bool WriteFile(const std::string& path, const std::string& bytes);

// A stored value of `size` bytes at `path` as the input says: whole, cut
// short, too long, or missing. Returns the bytes written (none when missing).
std::optional<std::string> WriteValue(Bytes& in, const std::string& path, std::size_t size);

}  // namespace fuzz
