// One copy per page: the page (pre.js) holds the Web Lock named for its folder
// before the program starts, and starts it only once the lock is its own, so
// a program that runs is always the only copy. A second tab asks the first to
// hand the game over through the page, not through the device.
#include "device/port.h"

namespace ce {

bool ClaimInstance(const std::string&, std::function<void()>) {
  return true;
}

bool AskRunningInstanceToActivate(const std::string&) {
  return false;
}

void ReleaseInstance() {}

}  // namespace ce
