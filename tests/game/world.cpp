#include "app/program_state.h"
#include "game/world.h"

namespace testworld {

namespace {

ce::HWND mainWindow = nullptr;
std::size_t soundsSeen = 0;
int timerMessages = 0;

ce::LRESULT MainProc(ce::HWND w, ce::UINT m, ce::WPARAM wp, ce::LPARAM lp) {
  if (m == ce::WM_TIMER && wp == kGameTimer) ++timerMessages;
  return ce::DefWindowProcW(w, m, wp, lp);
}

}  // namespace

void ResetWorld() {
  ce::host::Start(ce::host::Options{});
  ResetProgramState();
  soundsSeen = 0;
  timerMessages = 0;

  ce::WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.lpszClassName = u"Melvoria";
  ce::RegisterClassW(&wc);
  mainWindow = ce::CreateWindowExW(0, u"Melvoria", u"Melvoria", ce::WS_VISIBLE, 0, 0, 480, 640, nullptr, 0,
                                   nullptr, nullptr);
  shell.mainWindow = mainWindow;
  ReadScreenDpi();
  display.DisplayMode =
      ClassifyDisplayMode(ce::GetSystemMetrics(ce::SM_CXSCREEN), ce::GetSystemMetrics(ce::SM_CYSCREEN));

  gameStatus.initialised = 1;
  gameStatus.volume = 80;
  gameStatus.helpEnabled = 0;
  gameStatus.soundOn = 1;
  gameStatus.gameSpeed = 1;
  ResetHiScores();
}

ce::HWND MainWindow() {
  return mainWindow;
}

int GameTimerMessages(ce::DWORD ms) {
  timerMessages = 0;
  ce::host::AdvanceTime(ms);
  ce::host::PumpMessages();
  return timerMessages;
}

bool Covers(const std::vector<ce::RECT>& region, const ce::RECT& r) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      bool in = false;
      for (const ce::RECT& q : region) in = in || (x >= q.left && x < q.right && y >= q.top && y < q.bottom);
      if (!in) return false;
    }
  return true;
}

void ServePaint() {
  ce::HWND w = mainWindow;
  if (requests.buttonToRedraw != 0) {
    if (engine.buttonPressed == 0) engine.buttonPressed = 1;
    requests.buttonToRedraw = 0;
  }
  switch (requests.spinButtonLook) {
    case 12:
      engine.buttonPressed = 1;
      engine.spinButtonReady = 1;
      requests.spinButtonLook = 0;
      break;
    case 13:
      requests.spinButtonLook = 0;
      break;
    case 14:
      engine.spinButtonReady = 0;
      requests.spinButtonLook = 0;
      break;
    default:
      break;
  }
  requests.reelsMovedDown = requests.reelsMovedUp = 0;
  if (requests.metersDirty > 0) {
    TransferScore(w);
    requests.metersDirty = 0;
  }
  requests.replaceDirty = requests.boardDirty = 0;
  switch (requests.panelRequest) {
    case 20:
      engine.reelButtonsReady = 1;
      break;
    case 22:
      engine.makeScoreReady = 1;
      break;
    case 23:
      engine.makeScoreReady = 0;
      break;
    case 24:
      engine.reelButtonsReady = 0;
      engine.makeScoreReady = 0;
      break;
    case 25:
      engine.reelButtonsReady = 0;
      engine.spinButtonReady = 0;
      engine.makeScoreReady = 0;
      break;
    case 30:
    case 31:
    case 32:
      engine.betKeysReady = 1;
      break;
    default:
      break;
  }
  requests.panelRequest = 0;
  requests.matchLinesDirty = 0;
  if (requests.refillRequest > 0) RefillBlankCells();
  if (engine.betUpState == 1) engine.betUpState = 2;
  if (requests.gameOverBanner == 1) requests.gameOverBanner = 2;
  if (requests.scoreBanner == 1) requests.scoreBanner = 2;
}

void FirstPlayPaint() {
  engine.boardX = 15;
  engine.boardY = 89;
  engine.replaceStep = gameStatus.gameSpeed == 1 ? 1 : 3;
  engine.reelButtonsReady = 1;  // the arrows drawn enabled
  if (engine.resumePending == 0) BeginNewGame();
  if (gameStatus.gameMode == Melvoria) engine.betKeysReady = 1;
  GameTick(mainWindow);
  if (engine.resumePending == 1) ContinueGame(mainWindow);
  ServePaint();
}

void Step(int ticks) {
  for (int i = 0; i < ticks; ++i) {
    GameTick(mainWindow);
    ServePaint();
  }
}

void Tap(std::int32_t command) {
  engine.buttonPressed = 1;
  ExecuteCommand(mainWindow, command);
  engine.comboLevel = 1;
  if (command >= ReelUp && command <= ReelDown + 4) gameStatus.lifeLoss += engine.moveCost;
}

void SetBoard(const std::vector<int>& items) {
  for (int i = 0; i < kCells; ++i) BoardValue(i) = items[std::size_t(i)] * 100;
}

void SettledGame(std::int32_t mode) {
  requests = RenderRequests{};
  gameStatus.gameMode = mode;
  ResetGame();
  engine.boardX = 15;
  engine.boardY = 89;
  engine.gamePhase = Running;
  engine.holdTicks = 10;
  engine.meterPeriod = 40;
  engine.checkPeriod = 90;
  engine.reelButtonsReady = 1;
  engine.spinButtonReady = 1;
  if (mode == Melvoria) engine.betKeysReady = 1;
  gameStatus.spinSettled = 1;
  // Countdowns far away, so a test's own ticks run no meter or detection step by accident.
  engine.meterCountdown = 1000000;
  engine.checkCountdown = 1000000;
  SetBoard({1, 2, 3, 4, 5, 4, 5, 1, 2, 3, 2, 3, 4, 5, 1});  // no group anywhere
}

void OpenSounds() {
  LoadSoundBank();
  soundsSeen = ce::host::WaveWrites().size();
}

std::vector<int> TakeSounds() {
  std::vector<ce::host::WaveEvent> writes = ce::host::WaveWrites();
  std::vector<int> ids;
  for (std::size_t i = soundsSeen; i < writes.size(); ++i) ids.push_back(writes[i].device);
  soundsSeen = writes.size();
  return ids;
}

}  // namespace testworld
