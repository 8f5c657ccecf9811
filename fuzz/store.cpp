// The data folder's stored values as the program reads them at start
// (LoadStore), then a stretch of play driven by the input: ticks, the play
// screen's commands and the damage the seeded damaged-store test does to the
// engine; then the save. What is saved must be what the game holds, and must
// load back as itself.
//
// Input: for each value (Prefs, GameStatus, PrefsHard, PrefsMelvoria) a byte
// saying how it is stored (low two bits: 0 missing, 1 whole, 2 cut short to
// the next byte's length, 3 longer by the next byte's count) and its bytes;
// then the play, one byte per step.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "fuzz.h"
#include "game/world.h"
#include "screens/export_popup.h"
#include "store/registry_store.h"

using namespace testworld;

namespace {

std::string g_key;  // the store key's folder

constexpr int kTicks = 2500;

struct Value {
  const char* name;
  void* image;
  std::size_t size;
};
const Value kValues[] = {
    {"Prefs", &hiScoreTables[0], sizeof(HiScoreTable)},
    {"GameStatus", &gameStatus, sizeof(GameStatus)},
    {"PrefsHard", &hiScoreTables[1], sizeof(HiScoreTable)},
    {"PrefsMelvoria", &hiScoreTables[2], sizeof(HiScoreTable)},
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes the values as the input says: whole, cut short, too long or missing.
// Returns each value's bytes when they fit its image (empty when missing or
// too long: not read).
std::vector<std::string> StoreValues(fuzz::Bytes& in) {
  std::vector<std::string> read;
  for (const Value& v : kValues) {
    read.emplace_back();
    std::optional<std::string> bytes = fuzz::WriteValue(in, g_key + "/" + v.name, v.size);
    if (bytes && bytes->size() <= v.size) read.back() = *bytes;
  }
  return read;
}

void Image(std::string* out) {
  out->clear();
  for (const Value& v : kValues) out->append(static_cast<const char*>(v.image), v.size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string data = fuzz::UseOwnDataFolder();
  g_key = data + "/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria";
  ResetWorld();
  FUZZ_CHECK(WriteStore() == ce::ERROR_SUCCESS);  // makes the key's folders
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Bytes in(data, size);
  ResetWorld();
  const std::vector<std::string> read = StoreValues(in);
  // As at start: the store read, then the first screen.
  std::memset(&gameStatus, 0, sizeof gameStatus);
  for (HiScoreTable& t : hiScoreTables) std::memset(&t, 0, sizeof t);
  LoadStore();
  for (const HiScoreTable& t : hiScoreTables) FUZZ_CHECK(t.lastEntry >= 0 && t.lastEntry <= 4);
  FUZZ_CHECK(gameStatus.initialised != 0);
  // A table stored whole is the table played with, unless the record beside it
  // makes this a first run (docs/quirks.md: no record, or `initialised` 0).
  const std::string& status = read[1];
  const bool firstRun =
      status.size() <= offsetof(GameStatus, initialised) || status[offsetof(GameStatus, initialised)] == 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (kValues[i].image == &gameStatus || read[i].size() != kValues[i].size || firstRun) continue;
    const auto* t = static_cast<const HiScoreTable*>(kValues[i].image);
    FUZZ_CHECK(std::memcmp(t->entries, read[i].data(), sizeof t->entries) == 0);
  }
  OpenSounds();

  // A stored game resumes; otherwise a new one of the input's choosing starts.
  if (engine.resumePending == 0) {
    gameStatus.gameMode = std::int32_t(1 + in.Byte() % 3);
    engine.gamePhase = Running;
  }
  FirstPlayPaint();
  for (int tick = 0; tick < kTicks;) {
    if (in.Left() == 0) {
      Step(kTicks - tick);
      break;
    }
    const std::uint8_t b = in.Byte();
    if (b < 34) {
      engine.buttonPressed = std::uint8_t(b & 1);
      ExecuteCommand(MainWindow(), std::int32_t(b / 2) - 1);
    } else if (b < 37) {
      engine.gamePhase = std::int32_t(b - 34);
    } else if (b == 37) {
      engine.comboLevel = std::int32_t(in.U32());
    } else {
      const int n = std::min(b - 37, kTicks - tick);
      Step(n);
      tick += n;
    }
  }

  // The tables take a name and a score whatever they held, and give codes.
  std::u16string name;
  for (std::uint8_t n = in.Byte() % 16; n > 0; --n) name += char16_t(in.Byte() | (in.Byte() << 8));
  InsertHiScore(name.c_str(), std::int32_t(in.U32()), in.Byte() & 1, std::int32_t(in.Byte() % 5));
  for (int table = 0; table <= 4; ++table) {
    QualifiesForHiScore(table, std::int32_t(in.U32()));
    ExportCodeFor(table);
  }
  for (const HiScoreTable& t : hiScoreTables) {
    FUZZ_CHECK(t.lastEntry >= 0 && t.lastEntry <= 4);
    for (const HiScoreEntry& e : t.entries) FUZZ_CHECK(EntryName(e).size() <= 12u);
  }
  for (int id = 1; id <= kSounds; ++id)
    if (soundBank.devices[std::size_t(id)] != nullptr) ce::waveOutReset(soundBank.devices[std::size_t(id)]);

  // The save: every value, byte for byte, and it loads back as itself.
  FUZZ_CHECK(WriteStore() == ce::ERROR_SUCCESS);
  std::string held;
  Image(&held);
  std::string stored;
  for (const Value& v : kValues) stored += Slurp(g_key + "/" + v.name);
  FUZZ_CHECK(stored == held);
  std::memset(&gameStatus, 0, sizeof gameStatus);
  for (HiScoreTable& t : hiScoreTables) std::memset(&t, 0, sizeof t);
  LoadStore();
  std::string again;
  Image(&again);
  FUZZ_CHECK(again == held);
  return 0;
}
