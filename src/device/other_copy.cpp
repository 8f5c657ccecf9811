// One copy of the game: a second start finds the first through a stand-in
// window and asks it to come to the front.
#include "device/world.h"

namespace ce {

namespace {
Window g_standIn;
bool g_otherCopyRunning = false;
bool g_claimed = false;
std::string g_dataDir;  // the folder claimed
}  // namespace

HWND RemoteWindowStandIn() {
  return g_otherCopyRunning ? &g_standIn : nullptr;
}

bool ActivateRunningCopy() {
  return g_otherCopyRunning && AskRunningInstanceToActivate(g_dataDir);
}

namespace host {
bool ClaimSingleCopy() {
  g_dataDir = DataDir();
  g_claimed = ClaimInstance(g_dataDir, [] { RequestRaiseFromOtherThread(); });
  g_otherCopyRunning = !g_claimed;
  return g_claimed;
}

void ReleaseSingleCopy() {
  if (g_claimed) ReleaseInstance();
  g_claimed = false;
  g_otherCopyRunning = false;
}
}  // namespace host

}  // namespace ce
