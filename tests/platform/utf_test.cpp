// The one UTF-8 / UTF-16 converter: well-formed text both ways, and a table of
// malformed inputs with what each becomes.
#include "common/utf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ce::utf;

TEST(Utf, WellFormedTextRoundTrips) {
  // ASCII, two-, three- and four-byte forms, and the ends of each range.
  const std::u16string texts[] = {
      u"",
      u"Tamberu",
      u"Ærø £5 — ü",
      u"\u0080\u07FF\u0800\uFFFF",
      u"\U00010000\U0010FFFF",
      u"name \U0001F34A!",
  };
  for (const std::u16string& t : texts) {
    std::string utf8;
    ASSERT_TRUE(ToUtf8Strict(t, &utf8));
    EXPECT_EQ(ToUtf8(t), utf8);
    EXPECT_EQ(ToUtf16(utf8), t);
  }
  EXPECT_EQ(ToUtf8(u"\U0001F34A"), "\xF0\x9F\x8D\x8A");
}

TEST(Utf, MalformedUtf8BecomesOneReplacementPerMaximalPart) {
  struct Case {
    const char* name;
    std::string in;
    std::u16string out;
  };
  const Case cases[] = {
      {"a lone continuation byte", "a\x80z", u"a\uFFFDz"},
      {"a bad continuation byte", "\xC3(", u"\uFFFD("},
      {"a three-byte form cut after two", "\xE2\x82", u"\uFFFD"},
      {"a four-byte form cut at the end", "ok\xF0\x9F\x8D", u"ok\uFFFD"},
      {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"an overlong three-byte NUL", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"a surrogate spelled in UTF-8", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"bytes that never start a character", "\xF8\xFF", u"\uFFFD\uFFFD"},
      {"a new lead byte inside a form", "\xE2\x82\xC3\xA9", u"\uFFFD\u00E9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char32_t> cps;
    EXPECT_FALSE(DecodeUtf8(c.in, &cps));
    EXPECT_EQ(ToUtf16(c.in), c.out);
  }
}

TEST(Utf, LoneSurrogatesAreRefusedOrReplaced) {
  struct Case {
    const char* name;
    std::u16string in;
    std::string replaced;
  };
  const Case cases[] = {
      {"a first half at the end", u"ab\xD83C", "ab\xEF\xBF\xBD"},
      {"a second half alone", u"\xDF4Ax", "\xEF\xBF\xBDx"},
      {"two first halves", u"\xD83C\xD83C\xDF4A", "\xEF\xBF\xBD\xF0\x9F\x8D\x8A"},
      {"halves the wrong way round", u"\xDF4A\xD83C", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string strict = "left over";
    EXPECT_FALSE(ToUtf8Strict(c.in, &strict));
    EXPECT_EQ(ToUtf8(c.in), c.replaced);
  }
}

}  // namespace
