#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "device/resource_pack.h"
#include "platform/device.h"

using namespace ce;

namespace {

struct ManifestEntry {
  int id;
  std::string type;
  std::vector<char> bytes;
};

// resources/manifest, read the way the build reads it.
std::vector<ManifestEntry> Manifest() {
  std::string dir = std::string(MELVORIA_SOURCE_DIR) + "/resources/";
  std::ifstream in(dir + "manifest");
  std::vector<ManifestEntry> entries;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    ManifestEntry e;
    std::string path;
    if (line.empty() || line[0] == '#' || !(fields >> e.id >> e.type >> path)) continue;
    std::ifstream file(dir + path, std::ios::binary);
    e.bytes.assign(std::istreambuf_iterator<char>(file), {});
    entries.push_back(std::move(e));
  }
  return entries;
}

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

TEST(Resources, EveryManifestEntryIsFoundByNumberWithItsBytes) {
  std::vector<ManifestEntry> entries = Manifest();
  if (entries.empty()) GTEST_SKIP() << "resources/manifest lists nothing yet";
  HMODULE module = GetModuleHandleW(nullptr);
  for (const ManifestEntry& e : entries) {
    SCOPED_TRACE(std::to_string(e.id) + " " + e.type);
    std::u16string type = Wide(e.type);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(e.id), type.c_str());
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(SizeofResource(module, found), e.bytes.size());
    const void* data = LockResource(LoadResource(module, found));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, e.bytes.data(), e.bytes.size()), 0);

    // The same resource by "#number", by a null module, and by the numbered type.
    std::u16string byString = u"#" + Wide(std::to_string(e.id));
    EXPECT_EQ(FindResourceW(nullptr, byString.c_str(), type.c_str()), found);
    if (e.type == "BITMAP") {
      EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(e.id), RT_BITMAP), found);
    }
    if (e.type == "ICON") {
      EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(e.id), RT_ICON), found);
    }
    // Another type under the same number is a different resource (or none).
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(e.id), e.type == "WAVE" ? RT_BITMAP : u"WAVE"), found);
  }
}

TEST(Resources, WhatIsNotThereIsNullNeverACrash) {
  HMODULE module = GetModuleHandleW(nullptr);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleW(nullptr), module);
  EXPECT_EQ(GetModuleHandleW(u"other.dll"), nullptr);

  int notAModule = 0;
  struct Case {
    HMODULE module;
    LPCWSTR name;
    LPCWSTR type;
  };
  const Case cases[] = {
      {module, MAKEINTRESOURCEW(0), u"WAVE"},
      {module, MAKEINTRESOURCEW(65535), RT_BITMAP},
      {module, MAKEINTRESOURCEW(441), u"NOSUCH"},
      {module, u"Melvoria", u"WAVE"},
      {module, u"#", u"WAVE"},
      {module, u"#44x", u"WAVE"},
      {module, u"#9999999999", u"WAVE"},
      {module, nullptr, u"WAVE"},
      {module, MAKEINTRESOURCEW(441), nullptr},
      {module, MAKEINTRESOURCEW(441), MAKEINTRESOURCEW(77)},
      {module, MAKEINTRESOURCEW(441), u""},
      {reinterpret_cast<HMODULE>(&notAModule), MAKEINTRESOURCEW(441), u"WAVE"},
  };
  for (const Case& c : cases) EXPECT_EQ(FindResourceW(c.module, c.name, c.type), nullptr);

  // Handles that did not come from FindResourceW are refused without being read.
  alignas(16) unsigned char junk[64];
  std::memset(junk, 0xFF, sizeof junk);
  for (HRSRC bad : {static_cast<HRSRC>(nullptr), reinterpret_cast<HRSRC>(junk)}) {
    EXPECT_EQ(LoadResource(module, bad), nullptr);
    EXPECT_EQ(SizeofResource(module, bad), 0u);
  }
  EXPECT_EQ(LockResource(nullptr), nullptr);
}

// The web build's packed form: the size, little-endian, then zlib's stream.
std::vector<std::uint8_t> Pack(const std::vector<std::uint8_t>& bytes, std::uint32_t sizeSaid) {
  uLongf room = compressBound(uLong(bytes.size()));
  std::vector<std::uint8_t> out(4 + room);
  for (int i = 0; i < 4; ++i) out[i] = std::uint8_t(sizeSaid >> (8 * i));
  EXPECT_EQ(compress2(out.data() + 4, &room, bytes.data(), uLong(bytes.size()), 9), Z_OK);
  out.resize(4 + room);
  return out;
}

TEST(Resources, PackedBytesUnpackExactlyAndDamageIsRefused) {
  std::vector<std::uint8_t> picture(70000);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = std::uint8_t(i * 7 + (i >> 9));
  const std::vector<std::uint8_t> good = Pack(picture, std::uint32_t(picture.size()));
  std::vector<std::uint8_t> out{1, 2, 3};
  ASSERT_TRUE(UnpackResource(good.data(), good.size(), &out));
  EXPECT_EQ(out, picture);
  ASSERT_TRUE(UnpackResource(Pack({}, 0).data(), Pack({}, 0).size(), &out));
  EXPECT_TRUE(out.empty());

  std::vector<std::uint8_t> flipped = good;
  flipped[good.size() / 2] ^= 0x40;
  const std::vector<std::uint8_t> cut(good.begin(), good.end() - 9);
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } kDamaged[] = {
      {"no size", {0x10, 0}},
      {"size only", {4, 0, 0, 0}},
      {"says fewer bytes", Pack(picture, std::uint32_t(picture.size() - 1))},
      {"says more bytes", Pack(picture, std::uint32_t(picture.size() + 1))},
      {"says more than any resource", Pack(picture, std::uint32_t(kMaxUnpackedResource + 1))},
      {"cut short", cut},
      {"a flipped bit", flipped},
      {"not zlib", {3, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'}},
  };
  for (const auto& c : kDamaged) {
    out = {1, 2, 3};
    EXPECT_FALSE(UnpackResource(c.bytes.data(), c.bytes.size(), &out)) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
  EXPECT_FALSE(UnpackResource(nullptr, 0, &out));
}

}  // namespace
