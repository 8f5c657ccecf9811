// The device layer's one UTF-8 / UTF-16 converter. Both directions find the
// same faults: a lone surrogate, a bad or missing continuation byte, an
// overlong form, a surrogate or a value past U+10FFFF spelled in UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ce::utf {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of UTF-16 text; each lone surrogate becomes U+FFFD. Returns
// false when there was one.
bool DecodeUtf16(std::u16string_view s, std::vector<char32_t>* out);

// Code points of UTF-8 text; each maximal ill-formed sequence becomes one
// U+FFFD. Returns false when there was one.
bool DecodeUtf8(std::string_view s, std::vector<char32_t>* out);

void AppendUtf8(char32_t c, std::string* out);
void AppendUtf16(char32_t c, std::u16string* out);

// Whole conversions. The strict one fails on any fault (a registry path must
// name exactly one file); the others replace faults with U+FFFD.
bool ToUtf8Strict(std::u16string_view s, std::string* out);
std::string ToUtf8(std::u16string_view s);
std::u16string ToUtf16(std::string_view s);

}  // namespace ce::utf
