#include "screens/export_code.h"

#include <cstdio>
#include <utility>

namespace {

std::u16string Widen(const char* s) {
  std::u16string out;
  for (; *s != 0; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

}  // namespace

std::u16string BuildExportCode(std::int32_t score, const std::u16string& prefix,
                               const std::u16string& variant) {
  char hex[16];
  // A negative score shows its two's complement, as "%X" of the 32-bit value does.
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(score)));

  std::int32_t n = score;
  if (score < 10000)
    n = score / 100;
  else if (score < 100000)
    n = score / 1000;
  else if (score < 1000000)
    n = score / 10000;
  char shortPart[16];
  std::snprintf(shortPart, sizeof shortPart, "%d", n);

  std::u16string b = prefix + variant + u"!" + Widen(hex) + Widen(shortPart);
  const std::size_t l = b.size();
  // The exchanges reach back nine places; a shorter body (only odd prefixes give one) keeps its order.
  if (l >= 9) {
    std::swap(b[0], b[l - 7]);
    std::swap(b[1], b[l - 5]);
    std::swap(b[2], b[l - 9]);
  }
  std::u16string r = u"1!" + b;
  const std::size_t m = r.size();
  std::swap(r[0], r[m - 1]);
  std::swap(r[1], r[m - 2]);
  return r;
}
