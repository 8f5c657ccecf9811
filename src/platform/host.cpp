// Bringing the device up from the environment, and tearing it down.
#include <cstdlib>
#include <cstring>

#include "platform/wm.h"

namespace ce {

// Other parts of the device reset with the world.
void WaveShutdown();

namespace host {

namespace {
bool ParseInt(const char* s, int* out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (*end || v < 1 || v > 100000) return false;
  *out = int(v);
  return true;
}
}  // namespace

bool OptionsFromEnvironment(Options* o, std::string* error) {
  *o = Options{};
  if (const char* s = std::getenv("MELVORIA_SCREEN"); s && *s) {
    std::string v(s);
    auto x = v.find_first_of("xX");
    int w = 0, h = 0;
    if (x == std::string::npos || !ParseInt(v.substr(0, x).c_str(), &w) ||
        !ParseInt(v.substr(x + 1).c_str(), &h) || w > 8192 || h > 8192) {
      *error = "MELVORIA_SCREEN must be WIDTHxHEIGHT, for example 240x320 (got \"" + v + "\")";
      return false;
    }
    o->screenWidth = w;
    o->screenHeight = h;
  }
  if (const char* s = std::getenv("MELVORIA_DPI"); s && *s) {
    if (!ParseInt(s, &o->dpi) || o->dpi > 2000) {
      *error = std::string("MELVORIA_DPI must be a whole number of dots per inch (got \"") + s + "\")";
      return false;
    }
  }
  if (const char* s = std::getenv("MELVORIA_SCRIPT"); s && *s) o->scriptPath = s;
  bool scripted = !o->scriptPath.empty();
  o->virtualTime = scripted;
  o->headless = scripted;
  if (const char* s = std::getenv("MELVORIA_HEADLESS"); s && *s) o->headless = std::strcmp(s, "0") != 0;
  if (const char* s = std::getenv("MELVORIA_DATA_DIR"); s && *s) o->dataDir = s;
  return true;
}

void Start(const Options& options) {
  Stop();
  World& world = W();
  world.options = options;
  // The registry reads the data folder from the environment.
  if (!options.dataDir.empty()) setenv("MELVORIA_DATA_DIR", options.dataDir.c_str(), 1);
  int w = options.screenWidth > 0 ? options.screenWidth : 480;
  int h = options.screenHeight > 0 ? options.screenHeight : 640;
  // The small screen class runs at 96 dpi, the large one at 192.
  world.dpi = options.dpi > 0 ? options.dpi : (std::min(w, h) <= 240 ? 96 : 192);
  world.screen = Surface(w, h);
  world.now = 0;
  RegisterBuiltinClasses();
}

void Stop() {
  World& world = W();
  // Destroy windows top first; their procedures see WM_DESTROY as on the handheld.
  for (int guard = 0; guard < 10000 && !world.topLevels.empty(); ++guard) {
    Window* t = world.topLevels.back();
    if (!DestroyWindow(t)) world.topLevels.pop_back();
  }
  WaveShutdown();
  DesktopClose();
  world.~World();
  new (&world) World();
}

}  // namespace host
}  // namespace ce
