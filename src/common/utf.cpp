#include "common/utf.h"

namespace ce::utf {

namespace {

bool FirstHalf(char32_t c) {
  return c >= 0xD800 && c < 0xDC00;
}
bool SecondHalf(char32_t c) {
  return c >= 0xDC00 && c < 0xE000;
}

}  // namespace

bool DecodeUtf16(std::u16string_view s, std::vector<char32_t>* out) {
  out->clear();
  bool clean = true;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (FirstHalf(c) && i + 1 < s.size() && SecondHalf(s[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
      ++i;
    } else if (FirstHalf(c) || SecondHalf(c)) {
      c = kReplacement;
      clean = false;
    }
    out->push_back(c);
  }
  return clean;
}

bool DecodeUtf8(std::string_view s, std::vector<char32_t>* out) {
  out->clear();
  bool clean = true;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out->push_back(b);
      ++i;
      continue;
    }
    // The lead byte gives the length and the range the second byte must lie in,
    // which rules out overlong forms, surrogates and values past U+10FFFF.
    int n = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t c = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      n = 2;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3;
      c = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 4;
      c = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    }
    std::size_t taken = 1;
    bool ok = n > 0;
    for (int k = 1; ok && k < n; ++k) {
      if (i + taken >= s.size()) {
        ok = false;
        break;
      }
      const unsigned char t = static_cast<unsigned char>(s[i + taken]);
      const unsigned char lo = k == 1 ? low : 0x80, hi = k == 1 ? high : 0xBF;
      if (t < lo || t > hi) {
        ok = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
      ++taken;
    }
    out->push_back(ok ? c : kReplacement);
    clean = clean && ok;
    i += taken;
  }
  return clean;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | (c >> 6)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(char(0xE0 | (c >> 12)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (c >> 18)));
    out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(char32_t c, std::u16string* out) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out->push_back(char16_t(0xD800 + (c >> 10)));
    out->push_back(char16_t(0xDC00 + (c & 0x3FF)));
  } else {
    out->push_back(char16_t(c));
  }
}

namespace {

// UTF-16 to UTF-8; false when a lone surrogate became U+FFFD.
bool Utf16ToUtf8(std::u16string_view s, std::string* out) {
  std::vector<char32_t> cps;
  const bool clean = DecodeUtf16(s, &cps);
  out->clear();
  for (char32_t c : cps) AppendUtf8(c, out);
  return clean;
}

}  // namespace

bool ToUtf8Strict(std::u16string_view s, std::string* out) {
  if (Utf16ToUtf8(s, out)) return true;
  out->clear();
  return false;
}

std::string ToUtf8(std::u16string_view s) {
  std::string out;
  Utf16ToUtf8(s, &out);
  return out;
}

std::u16string ToUtf16(std::string_view s) {
  std::vector<char32_t> cps;
  DecodeUtf8(s, &cps);
  std::u16string out;
  for (char32_t c : cps) AppendUtf16(c, &out);
  return out;
}

}  // namespace ce::utf
