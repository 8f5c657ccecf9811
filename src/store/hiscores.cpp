#include "store/hiscores.h"

#include <cstring>

HiScoreTable hiScoreTables[3]{};

HiScoreTable* HiScoreTableFor(std::int32_t table) {
  if (table < 1 || table > 3) return nullptr;
  return &hiScoreTables[table - 1];
}

std::u16string EntryName(const HiScoreEntry& entry) {
  std::size_t n = 0;
  while (n < kNameUnits && entry.name[n] != 0) ++n;
  return std::u16string(entry.name, n);
}

void InsertHiScore(const char16_t* name, std::int32_t score, bool checkDuplicate, std::int32_t table) {
  HiScoreTable* t = HiScoreTableFor(table);
  if (t == nullptr) return;

  std::u16string cut;
  for (const char16_t* p = name; p != nullptr && *p != 0 && cut.size() < kNameUnits - 1; ++p)
    cut.push_back(*p);

  int c = 5;
  while (c > 0 && score > t->entries[c - 1].score) --c;
  if (c == 5) return;
  if (checkDuplicate && c > 0 && t->entries[c - 1].score == score && EntryName(t->entries[c - 1]) == cut)
    return;

  std::memmove(&t->entries[c + 1], &t->entries[c], sizeof(HiScoreEntry) * std::size_t(4 - c));
  HiScoreEntry& e = t->entries[c];
  e.score = score;
  std::memset(e.name, 0, sizeof e.name);
  std::memcpy(e.name, cut.data(), cut.size() * sizeof(char16_t));
  t->lastEntry = c;
}

namespace {

struct DefaultEntry {
  const char16_t* name;
  std::int32_t score;
};

constexpr DefaultEntry kDefaults[3][5] = {
    {{u"Ysolt", 3245}, {u"Femila", 3078}, {u"Runvel", 2678}, {u"Castimore", 1977}, {u"Holmir", 1264}},
    {{u"Varon", 2654}, {u"Elsira", 2234}, {u"Quinto", 1879}, {u"Brek", 1765}, {u"Tamberu", 1134}},
    {{u"Olvira", 2435}, {u"Zeni", 2036}, {u"Perusto", 1985}, {u"Dorisel", 1654}, {u"Ilvana", 1023}},
};

}  // namespace

void ResetHiScores() {
  for (int table = 1; table <= 3; ++table) {
    HiScoreTable& t = hiScoreTables[table - 1];
    for (HiScoreEntry& e : t.entries) {
      std::memset(e.name, 0, sizeof e.name);
      e.score = 0;
    }
    for (const DefaultEntry& d : kDefaults[table - 1]) InsertHiScore(d.name, d.score, true, table);
  }
}

bool QualifiesForHiScore(std::int32_t table, std::int32_t score) {
  const HiScoreTable* t = HiScoreTableFor(table);
  return t != nullptr && score > t->entries[4].score;
}

void RepairHiScoreTables() {
  for (HiScoreTable& t : hiScoreTables)
    if (t.lastEntry < 0 || t.lastEntry > 4) t.lastEntry = 4;
}
