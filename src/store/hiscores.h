// The three hi-score tables, one per game mode, stored byte for byte as the
// registry values "Prefs" (Easy), "PrefsHard" and "PrefsMelvoria".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

constexpr int kNameUnits = 12;  // at most 11 characters and the terminator

struct HiScoreEntry {
  char16_t name[kNameUnits];
  std::int32_t score;
};

struct HiScoreTable {
  HiScoreEntry entries[5];  // best first
  std::int32_t lastEntry;   // the entry InsertHiScore wrote last, 0..4
};

static_assert(std::is_standard_layout_v<HiScoreTable> && std::is_trivially_copyable_v<HiScoreTable>);
static_assert(sizeof(HiScoreEntry) == 28);
static_assert(offsetof(HiScoreEntry, name) == 0);
static_assert(offsetof(HiScoreEntry, score) == 24);
static_assert(sizeof(HiScoreTable) == 144);
static_assert(offsetof(HiScoreTable, entries) == 0);
static_assert(offsetof(HiScoreTable, lastEntry) == 140);

// Tables 1 (Easy), 2 (Hard) and 3 (Melvoria) at indexes 0, 1 and 2.
extern HiScoreTable hiScoreTables[3];

// The table of a game mode, or null for any other number.
HiScoreTable* HiScoreTableFor(std::int32_t table);

// The name of an entry, up to its terminator and never past the 12-unit field.
std::u16string EntryName(const HiScoreEntry& entry);

// Inserts (name, score) below every entry scoring the same or more. Names longer
// than 11 characters are cut to 11. Any table number but 1..3 changes nothing.
void InsertHiScore(const char16_t* name, std::int32_t score, bool checkDuplicate, std::int32_t table);

// All three tables replaced by the defaults; each ends with lastEntry 4.
void ResetHiScores();

// A score earns a place exactly when it beats the fifth entry; false for a mode without a table.
bool QualifiesForHiScore(std::int32_t table, std::int32_t score);

// A damaged store may hold any lastEntry; it is brought back to 4.
void RepairHiScoreTables();
