#include "screens/export_code.h"

#include <gtest/gtest.h>

namespace {

struct CodeCase {
  std::int32_t score;
  std::u16string prefix, variant, code;
};

const CodeCase kCodes[] = {
    // The Easy table's best score on the small screen, worked by hand.
    {5000, u"001", u"10", u"0503010!01001088!1"},
    {3246, u"001", u"10", u"230C010!010000AE!1"},
};

TEST(ExportCodeTest, WorkedCodes) {
  for (const CodeCase& c : kCodes) {
    SCOPED_TRACE(c.score);
    EXPECT_EQ(BuildExportCode(c.score, c.prefix, c.variant), c.code);
  }
}

TEST(ExportCodeTest, EveryScoreThatReachesThePopupGivesEighteenCharacters) {
  for (std::int32_t score : {2436, 9999, 10000, 99999, 100000, 999999}) {
    std::u16string code = BuildExportCode(score, u"003", u"09");
    EXPECT_EQ(code.size(), 18u) << score;
    EXPECT_EQ(code[16], u'!') << score;
    EXPECT_EQ(code[17], u'1') << score;
  }
}

TEST(ExportCodeTest, TablesAndScreensGiveDifferentCodes) {
  // Hard: "09" on the small screen, "10" on the large one.
  EXPECT_NE(BuildExportCode(4000, u"002", u"09"), BuildExportCode(4000, u"002", u"10"));
  EXPECT_NE(BuildExportCode(4000, u"002", u"10"), BuildExportCode(4000, u"003", u"10"));
  EXPECT_NE(BuildExportCode(4000, u"001", u"10"), BuildExportCode(4001, u"001", u"10"));
}

TEST(ExportCodeTest, ScoresOutsideThePopupsRangeStillGiveACode) {
  EXPECT_EQ(BuildExportCode(1000000, u"001", u"10").size(), 23u);  // a million is taken whole
  EXPECT_FALSE(BuildExportCode(-5, u"001", u"10").empty());
  EXPECT_FALSE(BuildExportCode(0, u"", u"").empty());
}

}  // namespace
