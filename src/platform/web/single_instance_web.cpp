// One copy per data folder does not apply in a browser: every page is the
// only copy there is, and nothing can ask another page to come to the front.
#include "platform/single_instance.h"

namespace ce {

bool ClaimInstance(std::function<void()>) { return true; }

bool AskRunningInstanceToActivate() { return false; }

void ReleaseInstance() {}

}  // namespace ce
