// Bringing the device up from the environment, and tearing it down.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/world.h"

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

// The small screen class runs at 96 dpi, the large one at 192: the only dpi at
// which the game's two ways of scaling (by dpi, and doubling on the large
// screen) agree.
int OwnDpi(int width, int height) {
  return std::min(width, height) <= 240 ? 96 : 192;
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
    int own = OwnDpi(o->screenWidth, o->screenHeight);
    if (!ParseInt(s, &o->dpi) || o->dpi != own) {
      *error = std::string("MELVORIA_DPI=") + s + " does not suit a " + std::to_string(o->screenWidth) + "x" +
               std::to_string(o->screenHeight) + " screen: the game lays out right there only at " +
               std::to_string(own) + " dots per inch (leave MELVORIA_DPI unset for that)";
      return false;
    }
  }
  if (const char* s = std::getenv("MELVORIA_SCRIPT"); s && *s) o->scriptPath = s;
  bool scripted = !o->scriptPath.empty();
  o->virtualTime = scripted;
  o->headless = scripted;
  if (const char* s = std::getenv("MELVORIA_HEADLESS"); s && *s) o->headless = std::strcmp(s, "0") != 0;
  if (const char* s = std::getenv("MELVORIA_DATA_DIR"); s && *s) o->dataDir = s;
  if (const char* s = std::getenv("MELVORIA_RECORD"); s && *s) {
    o->recordPath = s;
    if (scripted || o->headless) {
      *error =
          "MELVORIA_RECORD records a session played in the window; a run with MELVORIA_SCRIPT or "
          "MELVORIA_HEADLESS=1 has none";
      return false;
    }
  }
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
  world.dpi = options.dpi > 0 ? options.dpi : OwnDpi(w, h);
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
