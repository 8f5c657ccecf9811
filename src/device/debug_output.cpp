// The device's debug output: the program's few words for whoever runs it, on stderr.
#include <cstdio>
#include <string>

#include "common/utf.h"
#include "platform/device.h"

namespace ce {

void OutputDebugStringW(LPCWSTR text) {
  if (!text) return;
  const std::string line = utf::ToUtf8(text);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace ce
