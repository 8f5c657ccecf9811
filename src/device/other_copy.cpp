// One copy of the game: a second start finds the first through a stand-in
// window and asks it to come to the front.
#include "desktop/single_instance.h"
#include "device/world.h"

namespace ce {

void RequestRaiseFromOtherThread();

namespace {
Window g_standIn;
bool g_otherCopyRunning = false;
bool g_claimed = false;
}  // namespace

HWND RemoteWindowStandIn() { return g_otherCopyRunning ? &g_standIn : nullptr; }

bool ActivateRunningCopy() { return g_otherCopyRunning && AskRunningInstanceToActivate(); }

namespace host {
bool ClaimSingleCopy() {
  g_claimed = ClaimInstance([] { RequestRaiseFromOtherThread(); });
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
