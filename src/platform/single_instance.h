// One copy of the game per data folder: a lock file (flock) and a Unix socket
// in the user's runtime folder ($MELVORIA_RUNTIME_DIR, else $XDG_RUNTIME_DIR,
// else /tmp/melvoria-<uid>), both named after a hash of the data folder, so
// copies with different data folders (parallel tests) never meet.
#pragma once

#include <functional>

namespace ce {

// True when this process is now the only copy: it then listens on the socket
// in a background thread and calls onActivateRequest from that thread each time
// another copy asks. False when another copy holds the lock. When the runtime
// folder cannot be used at all, the game runs anyway: true, with a note on stderr.
bool ClaimInstance(std::function<void()> onActivateRequest);
// Asks the copy that holds the lock to come to the front; true once it has
// handled the request.
bool AskRunningInstanceToActivate();
// Stops listening and frees the lock (no-op unless this process claimed it).
void ReleaseInstance();

}  // namespace ce
