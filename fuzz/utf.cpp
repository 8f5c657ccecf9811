// The UTF-8 / UTF-16 converter: the input read as UTF-8 and as UTF-16 units.
// Valid text goes there and back unchanged; invalid text gives U+FFFD for its
// faults, and the strict conversion refuses it.
#include "common/utf.h"

#include <cstring>
#include <string>
#include <vector>

#include "fuzz.h"

using namespace ce::utf;

namespace {

std::u16string Units(const std::vector<char32_t>& points) {
  std::u16string s;
  for (char32_t c : points) AppendUtf16(c, &s);
  return s;
}

bool Contains(const std::vector<char32_t>& points, char32_t c) {
  for (char32_t p : points)
    if (p == c) return true;
  return false;
}

void AsUtf8(const std::string& s) {
  std::vector<char32_t> points;
  const bool valid = DecodeUtf8(s, &points);
  const std::u16string wide = ToUtf16(s);
  FUZZ_CHECK(wide == Units(points));
  for (char32_t c : points) FUZZ_CHECK(c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF));
  std::string back;
  if (valid) {
    FUZZ_CHECK(ToUtf8Strict(wide, &back) && back == s);
    FUZZ_CHECK(ToUtf8(wide) == s);
  } else {
    FUZZ_CHECK(Contains(points, kReplacement));
    // What came out is valid, and stays as it is from there on.
    std::vector<char32_t> again;
    FUZZ_CHECK(DecodeUtf16(wide, &again) && again == points);
  }
}

void AsUtf16(const std::string& bytes) {
  std::u16string s(bytes.size() / 2, u'\0');
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  std::vector<char32_t> points;
  const bool valid = DecodeUtf16(s, &points);
  const std::string narrow = ToUtf8(s);
  std::string strict;
  FUZZ_CHECK(ToUtf8Strict(s, &strict) == valid);
  if (valid) {
    FUZZ_CHECK(strict == narrow);
    FUZZ_CHECK(ToUtf16(narrow) == s);
    FUZZ_CHECK(Units(points) == s);
  } else {
    FUZZ_CHECK(Contains(points, kReplacement));
  }
  std::vector<char32_t> decoded;
  FUZZ_CHECK(DecodeUtf8(narrow, &decoded) && decoded == points);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  AsUtf8(bytes);
  AsUtf16(bytes);
  return 0;
}
