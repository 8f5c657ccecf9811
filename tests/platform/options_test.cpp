// The device's options from the environment: which screens and dots per inch
// a start accepts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/run_program.h"
#include "platform/host.h"
#include "platform/scoped_env.h"

namespace fs = std::filesystem;

namespace {

TEST(OptionsTest, DotsPerInchOnlyAsTheScreenLaysOutRight) {
  struct Case {
    const char* screen;  // null: unset, the 480 x 640 default
    const char* dpi;     // null: unset
    bool refused;
    int expected;  // the dpi taken (0: none given), or the one a refusal names
  };
  const Case cases[] = {
      {nullptr, nullptr, false, 0},   {"240x320", nullptr, false, 0},  {"240x320", "96", false, 96},
      {"480x640", "192", false, 192}, {nullptr, "192", false, 192},    {"320x240", "96", false, 96},
      {"640x480", "192", false, 192}, {nullptr, "144", true, 192},     {"480x640", "144", true, 192},
      {"480x640", "96", true, 192},   {"240x320", "192", true, 96},    {"240x320", "120", true, 96},
      {"320x240", "192", true, 96},   {"240x320", "ninety", true, 96}, {"240x320", "0", true, 96},
  };
  ScopedEnv screen("MELVORIA_SCREEN");
  ScopedEnv dpi("MELVORIA_DPI");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.screen ? c.screen : "default") + " at " + (c.dpi ? c.dpi : "default"));
    c.screen ? screen.Set(c.screen) : screen.Unset();
    c.dpi ? dpi.Set(c.dpi) : dpi.Unset();
    ce::host::Options options;
    std::string error;
    bool ok = ce::host::OptionsFromEnvironment(&options, &error);
    if (c.refused) {
      EXPECT_FALSE(ok);
      // Says what was wrong and what is right.
      EXPECT_NE(error.find(std::string("MELVORIA_DPI=") + c.dpi), std::string::npos) << error;
      // Built by appending: `" " + std::string` inserts at the front, which GCC 12 at -O3 warns
      // about as an overlapping copy (-Wrestrict) that cannot happen.
      std::string dots = std::string(" ").append(std::to_string(c.expected)).append(" dots per inch");
      EXPECT_NE(error.find(dots), std::string::npos) << error;
    } else {
      EXPECT_TRUE(ok) << error;
      EXPECT_EQ(options.dpi, c.expected);
    }
  }
}

TEST(OptionsTest, ProgramRefusesAForeignDpiBeforeItStarts) {
  fs::path dir = fs::temp_directory_path() / ("melvoria-options-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  // A script that would end a run at once, had it started.
  std::ofstream(dir / "script") << "wait 10\n";
  program::Result r = program::Run(dir, {{"MELVORIA_SCREEN", "480x640"},
                                         {"MELVORIA_DPI", "144"},
                                         {"MELVORIA_SCRIPT", (dir / "script").string()}});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("MELVORIA_DPI=144"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "data")) << "the program started before refusing";
  fs::remove_all(dir);
}

}  // namespace
