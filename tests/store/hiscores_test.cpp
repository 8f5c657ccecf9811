#include "store/hiscores.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Line {
  std::u16string name;
  std::int32_t score;
};

std::vector<Line> Lines(std::int32_t table) {
  std::vector<Line> out;
  for (const HiScoreEntry& e : HiScoreTableFor(table)->entries) out.push_back({EntryName(e), e.score});
  return out;
}

bool operator==(const Line& a, const Line& b) {
  return a.name == b.name && a.score == b.score;
}

class HiScoresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (HiScoreTable& t : hiScoreTables) t = HiScoreTable{};
    ResetHiScores();
  }
};

TEST_F(HiScoresTest, ResetGivesEachTableItsDefaults) {
  const std::vector<Line> easy = {
      {u"Ysolt", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}, {u"Holmir", 1264}};
  const std::vector<Line> hard = {
      {u"Varon", 2654}, {u"Elsira", 2234}, {u"Quinto", 1879}, {u"Brek", 1765}, {u"Tamberu", 1134}};
  const std::vector<Line> melvoria = {
      {u"Olvira", 2435}, {u"Zeni", 2036}, {u"Perusto", 1985}, {u"Dorisel", 1654}, {u"Ilvana", 1023}};
  EXPECT_EQ(Lines(1), easy);
  EXPECT_EQ(Lines(2), hard);
  EXPECT_EQ(Lines(3), melvoria);
  for (const HiScoreTable& t : hiScoreTables) EXPECT_EQ(t.lastEntry, 4);
}

TEST_F(HiScoresTest, ResetReplacesWhateverTheTablesHeld) {
  InsertHiScore(u"Someone", 99999, true, 2);
  std::memset(&hiScoreTables[0], 0x5A, sizeof(HiScoreTable));
  ResetHiScores();
  EXPECT_EQ(Lines(1)[0], (Line{u"Ysolt", 3245}));
  EXPECT_EQ(Lines(2)[0], (Line{u"Varon", 2654}));
  EXPECT_EQ(hiScoreTables[0].entries[2].name[6], 0) << "a whole name field is cleared";
}

struct InsertCase {
  const char* name;
  std::u16string who;
  std::int32_t score;
  std::int32_t table;
  std::vector<Line> expected;  // the Easy table afterwards
  std::int32_t lastEntry;
};

const std::vector<Line> kEasy = {
    {u"Ysolt", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}, {u"Holmir", 1264}};

const InsertCase kInserts[] = {
    {"an equal score goes below",
     u"Ann",
     3245,
     1,
     {{u"Ysolt", 3245}, {u"Ann", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}},
     1},
    {"the fifth score is not beaten", u"Ann", 1264, 1, kEasy, 4},
    {"one more takes fifth place",
     u"Ann",
     1265,
     1,
     {{u"Ysolt", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}, {u"Ann", 1265}},
     4},
    {"a new best",
     u"Ann",
     5000,
     1,
     {{u"Ann", 5000}, {u"Ysolt", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}},
     0},
    {"the same line directly above is a duplicate", u"Femila", 3078, 1, kEasy, 4},
    {"the same name with another score is not",
     u"Femila",
     3000,
     1,
     {{u"Ysolt", 3245}, {u"Femila", 3078}, {u"Femila", 3000}, {u"Runvel", 2678}, {u"Castimore", 1977}},
     2},
    {"names compare case by case",
     u"femila",
     3078,
     1,
     {{u"Ysolt", 3245}, {u"Femila", 3078}, {u"femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}},
     2},
    {"a longer name is cut to eleven characters",
     u"Bartholomew Jr",
     4000,
     1,
     {{u"Bartholomew", 4000}, {u"Ysolt", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}},
     0},
    {"no table 0", u"Ann", 9000, 0, kEasy, 4},
    {"no table 4", u"Ann", 9000, 4, kEasy, 4},
};

TEST_F(HiScoresTest, InsertHiScorePlacesAScoreBelowEveryEqualOrBetterOne) {
  for (const InsertCase& c : kInserts) {
    SCOPED_TRACE(c.name);
    ResetHiScores();
    InsertHiScore(c.who.c_str(), c.score, true, c.table);
    EXPECT_EQ(Lines(1), c.expected);
    EXPECT_EQ(hiScoreTables[0].lastEntry, c.lastEntry);
  }
  EXPECT_EQ(Lines(2)[0], (Line{u"Varon", 2654})) << "other tables untouched";
}

TEST_F(HiScoresTest, WithoutTheCheckADuplicateLineIsInserted) {
  InsertHiScore(u"Femila", 3078, false, 1);
  EXPECT_EQ(Lines(1)[2], (Line{u"Femila", 3078}));
}

TEST_F(HiScoresTest, AnEmptyTableTakesAnyPositiveScore) {
  hiScoreTables[2] = HiScoreTable{};
  InsertHiScore(u"Zero", 0, true, 3);
  EXPECT_EQ(Lines(3)[0], (Line{u"", 0}));
  InsertHiScore(u"One", 1, true, 3);
  EXPECT_EQ(Lines(3)[0], (Line{u"One", 1}));
  EXPECT_EQ(hiScoreTables[2].lastEntry, 0);
}

TEST_F(HiScoresTest, QualificationNeedsMoreThanTheFifthScore) {
  EXPECT_FALSE(QualifiesForHiScore(1, 1264));
  EXPECT_TRUE(QualifiesForHiScore(1, 1265));
  EXPECT_FALSE(QualifiesForHiScore(2, 1134));
  EXPECT_TRUE(QualifiesForHiScore(3, 1024));
  EXPECT_FALSE(QualifiesForHiScore(0, 999999));
  EXPECT_FALSE(QualifiesForHiScore(4, 999999));
}

TEST_F(HiScoresTest, DamagedTablesAreReadSafely) {
  // Names without a terminator and a lastEntry out of range, as a damaged store may hold.
  for (HiScoreTable& t : hiScoreTables) {
    for (HiScoreEntry& e : t.entries)
      for (char16_t& u : e.name) u = u'X';
  }
  hiScoreTables[0].lastEntry = -7;
  hiScoreTables[1].lastEntry = 5;
  hiScoreTables[2].lastEntry = 2;
  EXPECT_EQ(EntryName(hiScoreTables[0].entries[0]), std::u16string(12, u'X'));
  RepairHiScoreTables();
  EXPECT_EQ(hiScoreTables[0].lastEntry, 4);
  EXPECT_EQ(hiScoreTables[1].lastEntry, 4);
  EXPECT_EQ(hiScoreTables[2].lastEntry, 2);
  // A duplicate check against an unterminated name stays inside its field.
  InsertHiScore(u"XXXXXXXXXXXX", hiScoreTables[0].entries[0].score, true, 1);
}

}  // namespace
