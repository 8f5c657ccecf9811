// The screen saved as a picture, for scripts and tests.
#include <cerrno>
#include <cstring>
#include <fstream>

#include "device/internal.h"
#include "device/port.h"
#include "platform/host.h"

namespace ce {

namespace host {
bool SaveScreenshot(const std::string& path, std::string* error) {
  std::vector<std::uint8_t> bytes;
  bool png = path.size() >= 4 &&
             (path.compare(path.size() - 4, 4, ".png") == 0 || path.compare(path.size() - 4, 4, ".PNG") == 0);
  bool ok = png ? EncodePng(ScreenSurface(), &bytes) : EncodeBmp(ScreenSurface(), &bytes);
  if (!ok) {
    *error = "cannot encode the screen";
    return false;
  }
  // Checked after the close too: the bytes reach the file only then (a full
  // device refuses them there).
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (out.is_open()) out.close();
  if (out.fail()) {
    *error = "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : std::string());
    return false;
  }
  return true;
}
}  // namespace host

}  // namespace ce
