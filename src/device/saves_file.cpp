#include "device/saves_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "common/utf.h"
#include "platform/device.h"
#include "platform/host.h"

namespace ce::saves {

namespace {

constexpr std::string_view kHeader = "melvoria saves 1\n";
constexpr std::string_view kRoot = "registry/HKEY_CURRENT_USER/";
// Far more than the game's four values: anything larger is not ours.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::uint32_t Crc32(std::string_view bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string Hex8(std::uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

// A value's path as the registry can hold it: under the current user's key,
// whole UTF-8 components that stay in their folder, and no temporary file.
bool ValidPath(std::string_view path) {
  if (path.substr(0, kRoot.size()) != kRoot || path.size() == kRoot.size()) return false;
  std::vector<char32_t> decoded;
  if (!utf::DecodeUtf8(path, &decoded)) return false;
  std::string_view rest = path.substr(kRoot.size());
  for (;;) {
    std::size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    if (part.empty() || part == "." || part == ".." || part.size() > 200 ||
        part.find_first_of(std::string_view("\\\0\n", 3)) != std::string_view::npos)
      return false;
    if (slash == std::string_view::npos) return part.substr(0, 2) != ".~";
    rest = rest.substr(slash + 1);
  }
}

// "registry/HKEY_CURRENT_USER/A/B/Name" to the sub-key "A\B" and the value "Name".
void SplitPath(const std::string& path, std::u16string* subKey, std::u16string* name) {
  std::string rest = path.substr(kRoot.size());
  std::size_t last = rest.rfind('/');
  std::string key = last == std::string::npos ? std::string() : rest.substr(0, last);
  std::replace(key.begin(), key.end(), '/', '\\');
  *subKey = utf::ToUtf16(key);
  *name = utf::ToUtf16(last == std::string::npos ? rest : rest.substr(last + 1));
}

bool ReadWholeFile(const std::string& file, std::string* bytes, std::string* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    *error = "it is a folder, not a saves file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "it cannot be read";
    return false;
  }
  bytes->clear();
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes->append(chunk, std::size_t(in.gcount()));
    if (bytes->size() > kMaxFileBytes) {
      *error = "it is too large to be a saves file";
      return false;
    }
  }
  if (in.bad()) {
    *error = "it cannot be read";
    return false;
  }
  return true;
}

}  // namespace

std::string Write(const std::vector<Value>& values) {
  std::string out(kHeader);
  for (const Value& v : values) {
    out += "value " + std::to_string(v.bytes.size()) + " " + v.path + "\n";
    out.append(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size());
    out += "\n";
  }
  out += "end " + Hex8(Crc32(out)) + "\n";
  return out;
}

bool Read(std::string_view file, std::vector<Value>* values, std::string* error) {
  values->clear();
  if (file.substr(0, kHeader.size()) != kHeader) {
    *error = "it is not a Melvoria saves file";
    return false;
  }
  auto damaged = [&](const std::string& why) {
    values->clear();
    *error = "the saves file is damaged (" + why + ")";
    return false;
  };
  std::set<std::string> seen;
  std::size_t at = kHeader.size();
  for (;;) {
    std::size_t eol = file.find('\n', at);
    if (eol == std::string_view::npos) return damaged("it is cut short");
    std::string_view line = file.substr(at, eol - at);
    if (line.substr(0, 4) == "end ") {
      std::string_view crc = line.substr(4);
      if (crc.size() != 8 || crc.find_first_not_of("0123456789abcdef") != std::string_view::npos)
        return damaged("its last line is not a check sum");
      if (eol + 1 != file.size()) return damaged("something follows its end");
      if (crc != Hex8(Crc32(file.substr(0, at)))) return damaged("its check sum does not match");
      return true;
    }
    if (line.substr(0, 6) != "value ") return damaged("a line is neither a value nor the end");
    std::string_view rest = line.substr(6);
    std::size_t space = rest.find(' ');
    std::string_view digits = rest.substr(0, space);
    if (space == std::string_view::npos || digits.empty() || digits.size() > 10 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos ||
        (digits.size() > 1 && digits[0] == '0'))
      return damaged("a value's size is not a number");
    std::uint64_t size = std::stoull(std::string(digits));
    std::string path(rest.substr(space + 1));
    if (!ValidPath(path)) return damaged("a value's name is not one the registry holds: " + path);
    if (!seen.insert(path).second) return damaged("it holds " + path + " twice");
    at = eol + 1;
    if (size > file.size() - at || file.size() - at - size < 1 || file[at + size] != '\n')
      return damaged("a value is cut short");
    values->push_back(Value{path, std::vector<std::uint8_t>(file.begin() + at, file.begin() + at + size)});
    at += size + 1;
  }
}

bool Collect(const std::string& dataDir, std::vector<Value>* values, std::string* error) {
  values->clear();
  namespace fs = std::filesystem;
  fs::path root = fs::path(dataDir) / "registry" / "HKEY_CURRENT_USER";
  std::error_code ec;
  if (!fs::exists(root, ec)) {
    if (!ec) return true;  // nothing stored yet
    *error = "cannot read " + root.string() + ": " + ec.message();
    return false;
  }
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string path = std::string(kRoot) + fs::relative(it->path(), root, ec).generic_string();
    if (ec) break;
    if (!ValidPath(path)) continue;  // a temporary file, or nothing the registry made
    std::string bytes;
    if (!ReadWholeFile(it->path().string(), &bytes, error)) return false;
    values->push_back(Value{path, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
  }
  if (ec) {
    *error = "cannot read " + root.string() + ": " + ec.message();
    return false;
  }
  std::sort(values->begin(), values->end(), [](const Value& a, const Value& b) { return a.path < b.path; });
  return true;
}

bool Replace(const std::vector<Value>& values, std::string* error) {
  std::set<std::string> keep;
  for (const Value& v : values) {
    std::u16string subKey, name;
    SplitPath(v.path, &subKey, &name);
    HKEY key = nullptr;
    char16_t noClass[1] = {0};
    LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, noClass, 0, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr);
    if (r == ERROR_SUCCESS) {
      r = RegSetValueExW(key, name.c_str(), 0, REG_BINARY, v.bytes.data(), DWORD(v.bytes.size()));
      RegCloseKey(key);
    }
    if (r != ERROR_SUCCESS) {
      *error = "could not store " + v.path + " (error " + std::to_string(r) + ")";
      return false;
    }
    keep.insert(v.path);
  }
  std::vector<Value> now;
  if (!Collect(host::DataDir(), &now, error)) return false;
  for (const Value& v : now) {
    if (keep.count(v.path)) continue;
    std::u16string subKey, name;
    SplitPath(v.path, &subKey, &name);
    HKEY key = nullptr;
    LONG r = RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (r == ERROR_SUCCESS) {
      r = RegDeleteValueW(key, name.c_str());
      RegCloseKey(key);
    }
    if (r != ERROR_SUCCESS) {
      *error = "could not remove " + v.path + " (error " + std::to_string(r) + ")";
      return false;
    }
  }
  return true;
}

bool ExportFile(const std::string& file, std::string* error) {
  std::vector<Value> values;
  if (!Collect(host::DataDir(), &values, error)) return false;
  std::string bytes = Write(values);
  // Written beside the file and renamed over it: a failed export leaves the
  // old file as it was.
  std::string temp = file + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      *error = "it cannot be written";
      return false;
    }
  }
  if (std::rename(temp.c_str(), file.c_str()) != 0) {
    std::remove(temp.c_str());
    *error = "it cannot be written";
    return false;
  }
  return true;
}

bool ReadFile(const std::string& file, std::vector<Value>* values, std::string* error) {
  std::string bytes;
  values->clear();
  return ReadWholeFile(file, &bytes, error) && Read(bytes, values, error);
}

bool ImportFile(const std::string& file, std::string* error) {
  std::vector<Value> values;
  return ReadFile(file, &values, error) && Replace(values, error);
}

}  // namespace ce::saves
