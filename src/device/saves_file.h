// The saves file: every registry value of a data folder in one file, to move
// saves between the page and the desktop program, or to keep a copy.
//
//   melvoria saves 1\n
//   value SIZE PATH\n  then SIZE bytes exactly, then \n     (once per value)
//   end CRC\n
//
// PATH is the value file's path inside the data folder, '/'-separated
// (registry/HKEY_CURRENT_USER/Software/.../GameStatus); SIZE is decimal; CRC is
// the CRC-32 (as zlib and PNG reckon it) of every byte before "end", as eight
// lower-case hex digits. Nothing may follow the last line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ce::saves {

struct Value {
  std::string path;  // inside the data folder
  std::vector<std::uint8_t> bytes;
  bool operator==(const Value&) const = default;
};

std::string Write(const std::vector<Value>& values);
// False, with the reason for the player, for a file that is not a saves file,
// is damaged (cut short, changed, a path that leaves the registry), or names a
// value twice.
bool Read(std::string_view file, std::vector<Value>* values, std::string* error);

// The data folder's values (registry files, not the temporary files of writes
// in progress), sorted by path.
bool Collect(const std::string& dataDir, std::vector<Value>* values, std::string* error);
// Makes the current user's registry hold exactly these values (through the
// registry, so each is written whole): the values first, then the removal of
// the values that the file does not hold.
bool Replace(const std::vector<Value>& values, std::string* error);

// A saves file read and checked whole (Read), changing nothing.
bool ReadFile(const std::string& file, std::vector<Value>* values, std::string* error);
// The data folder (host::DataDir()) to a file, and back. Import reads and checks
// the whole file before it changes anything.
bool ExportFile(const std::string& file, std::string* error);
bool ImportFile(const std::string& file, std::string* error);

}  // namespace ce::saves
