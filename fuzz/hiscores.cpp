// The three hi-score tables as the program reads them at start (LoadStore),
// names and scores inserted, the export code of each table, and the save.
//
// Input: for each table (Prefs, PrefsHard, PrefsMelvoria) a byte saying how it
// is stored (low two bits: 0 missing, 1 whole, 2 cut short to the next byte's
// length, 3 longer by the next byte's count) and its bytes; then the insertions:
// a table number, a score, a duplicate check, a name's length and its units.
#include "store/hiscores.h"

#include <cstring>
#include <string>

#include "app/program_state.h"
#include "app/shell_state.h"
#include "fuzz.h"
#include "platform/host.h"
#include "render/scale.h"
#include "screens/export_code.h"
#include "screens/export_popup.h"
#include "store/game_status.h"
#include "store/registry_store.h"

namespace {

std::string g_key;  // the store key's folder
const char* const kTables[] = {"Prefs", "PrefsHard", "PrefsMelvoria"};

void Load() {
  std::memset(&gameStatus, 0, sizeof gameStatus);
  std::memset(hiScoreTables, 0, sizeof hiScoreTables);
  LoadStore();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string data = fuzz::UseOwnDataFolder();
  g_key = data + "/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria";
  ce::host::Start(ce::host::Options{});
  ResetProgramState();
  gameStatus.initialised = 1;
  FUZZ_CHECK(WriteStore() == ce::ERROR_SUCCESS);  // the key's folders, and a settings record
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Bytes in(data, size);
  for (const char* table : kTables) fuzz::WriteValue(in, g_key + "/" + table, sizeof(HiScoreTable));
  Load();
  for (const HiScoreTable& t : hiScoreTables) FUZZ_CHECK(t.lastEntry >= 0 && t.lastEntry <= 4);

  while (in.Left() > 0) {
    const std::int32_t table = std::int32_t(in.Byte()) - 1;  // mostly no table at all
    const std::int32_t score = std::int32_t(in.U32());
    const bool checkDuplicate = in.Byte() & 1;
    std::u16string name;
    for (std::uint8_t n = in.Byte() % 16; n > 0; --n) name += char16_t(in.Byte() | (in.Byte() << 8));
    const bool qualifies = QualifiesForHiScore(table, score);
    InsertHiScore(name.c_str(), score, checkDuplicate, table);
    if (qualifies && !checkDuplicate) {
      // The score is in its table now, marked as the last entry, its name cut to 11.
      const HiScoreEntry& e = HiScoreTableFor(table)->entries[HiScoreTableFor(table)->lastEntry];
      FUZZ_CHECK(e.score == score);
      FUZZ_CHECK(EntryName(e) == name.substr(0, std::min<std::size_t>(name.find(u'\0'), 11)));
    }
  }
  for (int table = -1; table <= 4; ++table) {
    for (int mode : {1, 3, 5}) {
      display.DisplayMode = mode;
      const std::u16string code = ExportCodeFor(table);
      const HiScoreTable* t = HiScoreTableFor(table);
      FUZZ_CHECK(t != nullptr || code.empty());
      if (!code.empty() && t->entries[0].score <= 999999) FUZZ_CHECK(code.size() == 18);
    }
  }
  for (const HiScoreTable& t : hiScoreTables) {
    FUZZ_CHECK(t.lastEntry >= 0 && t.lastEntry <= 4);
    for (const HiScoreEntry& e : t.entries) {
      FUZZ_CHECK(EntryName(e).size() <= 12u);
      BuildExportCode(e.score, u"001", u"10");
    }
  }

  // The save (the store target checks that a save loads back as itself).
  FUZZ_CHECK(WriteStore() == ce::ERROR_SUCCESS);
  return 0;
}
