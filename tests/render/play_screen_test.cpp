#include <cstdlib>

#include "render/play_world.h"

using namespace playworld;

namespace {

struct ScreenSize {
  int width, height;
};

class PlayScreenTest : public ::testing::TestWithParam<ScreenSize> {
 protected:
  void SetUp() override { window = StartPlayWorld(GetParam().width, GetParam().height); }
  void TearDown() override {
    FreeBitmapSlots();
    ReleasePlaySurfaces();
  }
  ce::HWND window = nullptr;
};

TEST_P(PlayScreenTest, RunningGameLooks) {
  BeginGame(window, Melvoria);
  Shot("first_" + std::to_string(GetParam().width));
  for (int i = 0; i < 40; ++i) {
    ce::host::AdvanceTime(50);
    ce::host::PumpMessages();
    if (i % 5 == 0) Shot("run_" + std::to_string(GetParam().width) + "_" + std::to_string(i));
  }
}

INSTANTIATE_TEST_SUITE_P(BothScreens, PlayScreenTest, ::testing::Values(ScreenSize{240, 320}, ScreenSize{480, 640}),
                         [](const auto& info) { return std::to_string(info.param.width); });

}  // namespace
