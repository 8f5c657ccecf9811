#include <gtest/gtest.h>

#include "screens_world.h"

using namespace screensworld;

namespace {

int Pick(int small, int large) {
  return display.DisplayMode == 3 ? large : small;
}
constexpr std::uint32_t kBlue = Rgb(41, 134, 222);
constexpr std::uint32_t kWhite = Rgb(255, 255, 255);

class SettingsTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override {
    window = StartWorld(GetParam());
    Tap(120, 280);  // OPTIONS
    ASSERT_EQ(shell.ScreenState, Settings);
  }
  ce::HWND window = nullptr;
};

TEST_P(SettingsTest, ShowsTheValuesOfTheRecord) {
  Shot(std::string("settings-") + SizeName(GetParam()));
  EXPECT_EQ(At(100, 10), Rgb(198, 199, 198)) << "title band";
  EXPECT_EQ(At(0, 100), Rgb(57, 56, 57)) << "border";
  EXPECT_TRUE(ShowsPicture(Pick(279, 284), 218, 5));
  EXPECT_TRUE(ShowsPicture(Pick(255, 265), 15, 54, ce::RGB(255, 204, 255))) << "joystick off";
  EXPECT_TRUE(ShowsPicture(Pick(255, 265), 15, 96, ce::RGB(255, 204, 255))) << "help off";
  EXPECT_TRUE(ShowsPicture(Pick(255, 265), 176, 232, ce::RGB(255, 204, 255))) << "sound on: Mute empty";
  EXPECT_EQ(At(100, 150), kBlue) << "Normal selected";
  EXPECT_EQ(At(100, 172), kWhite);
  EXPECT_EQ(At(100, 194), kWhite);
  EXPECT_EQ(At(90, 298), kWhite) << "OK up";
  EXPECT_TRUE(ShowsPicture(Pick(259, 274), 15, 230));
  EXPECT_TRUE(ShowsPicture(Pick(262, 271), 35, 230)) << "volume 80: three arcs";
  EXPECT_TRUE(ShowsPicture(Pick(261, 270), 56 + 80, 230)) << "the knob at the volume";
}

struct SettingsTap {
  int x, y;
  std::int32_t joystick, help, speed, soundOn, volume;
};

TEST_P(SettingsTest, TapsChangeTheRecordByArea) {
  // Start: joystick 0, help 1, speed 1, sound on, volume 80.
  const SettingsTap taps[] = {
      {30, 60, 1, 1, 1, 1, 80},    {15, 54, 1, 1, 1, 1, 80},   {34, 70, 1, 1, 1, 1, 80},
      {20, 100, 0, 0, 1, 1, 80},   {60, 170, 0, 1, 2, 1, 80},  {115, 202, 0, 1, 3, 1, 80},
      {60, 159, 0, 1, 1, 1, 80},   {60, 181, 0, 1, 1, 1, 80},  {116, 150, 0, 1, 1, 1, 80},
      {180, 240, 0, 1, 1, 0, 80},  {60, 240, 0, 1, 1, 1, 0},   {162, 240, 0, 1, 1, 1, 100},
      {169, 240, 0, 1, 1, 1, 100}, {112, 253, 0, 1, 1, 1, 50}, {112, 254, 0, 1, 1, 1, 80},
  };
  for (const SettingsTap& t : taps) {
    SCOPED_TRACE(testing::Message() << "tap at " << t.x << "," << t.y);
    SetUp();
    gameStatus.helpEnabled = 1;
    Tap(t.x, t.y);
    EXPECT_EQ(gameStatus.joystickControl, t.joystick);
    EXPECT_EQ(gameStatus.helpEnabled, t.help);
    EXPECT_EQ(gameStatus.gameSpeed, t.speed);
    EXPECT_EQ(gameStatus.soundOn, t.soundOn);
    EXPECT_EQ(gameStatus.volume, t.volume);
    EXPECT_EQ(shell.ScreenState, Settings);
  }
}

TEST_P(SettingsTest, ChangedValuesAreRedrawn) {
  Tap(30, 60);
  EXPECT_TRUE(ShowsPicture(Pick(256, 266), 15, 54, ce::RGB(255, 204, 255)));
  Tap(60, 192);
  EXPECT_EQ(At(100, 150), kWhite);
  EXPECT_EQ(At(100, 194), kBlue) << "Fastest selected";
  Tap(180, 240);
  EXPECT_TRUE(ShowsPicture(Pick(256, 266), 176, 232, ce::RGB(255, 204, 255))) << "muted";
  struct Loudness {
    int volume;
    int picture[2];
  };
  for (const Loudness& l : {Loudness{40, {264, 273}}, Loudness{41, {263, 272}}, Loudness{79, {263, 272}},
                            Loudness{80, {262, 271}}, Loudness{0, {264, 273}}, Loudness{100, {262, 271}}}) {
    SCOPED_TRACE(l.volume);
    Tap(62 + l.volume, 240);
    ASSERT_EQ(gameStatus.volume, l.volume);
    EXPECT_TRUE(ShowsPicture(Pick(l.picture[0], l.picture[1]), 35, 230));
    EXPECT_TRUE(ShowsPicture(Pick(261, 270), 56 + l.volume, 230));
    EXPECT_TRUE(ShowsPicture(Pick(260, 269), 56, 230, 0xFFFFFFFFu, 0) || l.volume == 0);
  }
}

TEST_P(SettingsTest, TheKnobFollowsADrag) {
  Press(70, 240);
  EXPECT_EQ(gameStatus.volume, 8);
  ce::host::StylusMove(DX(130), DY(245));
  ce::host::PumpMessages();
  EXPECT_EQ(gameStatus.volume, 68);
  EXPECT_TRUE(ShowsPicture(Pick(261, 270), 56 + 68, 230));
  ce::host::StylusMove(DX(130), DY(253));  // below the drag band: nothing
  ce::host::PumpMessages();
  ce::host::StylusMove(DX(90), DY(253));
  ce::host::PumpMessages();
  EXPECT_EQ(gameStatus.volume, 68);
  Release(90, 253);
}

TEST_P(SettingsTest, OkPressedAndReleasedOnItLeavesWithTheVolumeApplied) {
  Tap(112, 240);
  EXPECT_EQ(ce::host::WaveOutputVolume() & 0xFFFF, 0xFFFFu) << "not applied by the slider";
  Press(100, 290);
  EXPECT_EQ(shell.settingsOkPressed, 1);
  EXPECT_EQ(ce::host::WaveOutputVolume() & 0xFFFF, ce::DWORD(50 * 655.35));
  EXPECT_EQ(At(90, 298), kBlue) << "drawn pressed";
  Release(100, 295);
  EXPECT_EQ(shell.ScreenState, MainMenu);
}

TEST_P(SettingsTest, OkReleasedElsewherePopsUpAndStays) {
  Press(170, 270);  // outside the drawn button, inside its press area
  EXPECT_EQ(shell.settingsOkPressed, 1);
  Release(170, 270);
  EXPECT_EQ(shell.settingsOkPressed, 0);
  EXPECT_EQ(shell.ScreenState, Settings);
  EXPECT_EQ(At(90, 298), kWhite);
}

TEST_P(SettingsTest, CloseBoxAppliesTheVolumeAndTheActionKeyDoesNot) {
  Tap(62 + 30, 240);
  gameStatus.joystickControl = 1;
  Key(ce::VK_RETURN);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(gameStatus.volume, 30);
  EXPECT_EQ(ce::host::WaveOutputVolume() & 0xFFFF, 0xFFFFu);
  Tap(120, 280);
  Tap(226, 12);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(ce::host::WaveOutputVolume() & 0xFFFF, ce::DWORD(30 * 655.35));
}

TEST_P(SettingsTest, EnteringAgainShowsTheOkButtonUp) {
  Press(100, 290);
  Release(100, 295);
  ASSERT_EQ(shell.ScreenState, MainMenu);
  Tap(120, 280);
  EXPECT_EQ(shell.settingsOkPressed, 0);
  EXPECT_EQ(At(90, 298), kWhite);
}

TEST_P(SettingsTest, LandscapeLeavesForTheMainMenu) {
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(shell.ScreenState, MainMenu);
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, ce::RGB(204, 153, 255)));
}

TEST_P(SettingsTest, ADamagedSpeedShowsNoSpeedButton) {
  gameStatus.gameSpeed = 7;
  shell.BackgroundReady = 0;
  InvalidateScreen(window, display.DisplayMode);
  ce::host::PumpMessages();
  EXPECT_EQ(At(100, 150), Rgb(222, 223, 222));
  EXPECT_EQ(At(100, 194), Rgb(222, 223, 222));
}

INSTANTIATE_TEST_SUITE_P(BothScreens, SettingsTest, ::testing::Values(kSmall, kLarge),
                         [](const auto& info) { return std::string(SizeName(info.param)); });

}  // namespace
