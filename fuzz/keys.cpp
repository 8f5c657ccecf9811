// The `keys` file, read as the program reads it at start: every line used or
// reported with its number, the window's own key never taken, and every
// binding a hard key or nothing.
#include <SDL.h>

#include <string>
#include <vector>

#include "common/utf.h"
#include "fuzz.h"
#include "input/input.h"

using namespace ce;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> problems;
  const KeyMap map = ParseKeyMap(text, &problems);
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  std::vector<char32_t> points;
  for (const std::string& p : problems) {
    // "LINE: reason", the line a real one, and the message fit for stderr.
    const std::size_t colon = p.find(": ");
    FUZZ_CHECK(colon != std::string::npos && colon > 0);
    const unsigned long line = std::stoul(p.substr(0, colon));
    FUZZ_CHECK(line >= 1 && line <= lines);
    FUZZ_CHECK(utf::DecodeUtf8(p, &points) && p.find('\0') == std::string::npos);
  }
  const UINT hard[] = {0, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN, VK_ESCAPE};
  auto isHard = [&](UINT vk) {
    for (UINT h : hard)
      if (vk == h) return true;
    return false;
  };
  for (const KeyMap::Binding& b : map.keys) FUZZ_CHECK(isHard(b.vk) && b.keycode != SDLK_F11);
  for (UINT vk : map.pad) FUZZ_CHECK(isHard(vk));
  UINT vk = 0;
  FUZZ_CHECK(!MappedKey(map, SDLK_F11, &vk));
  return 0;
}
