// One copy of the game per data folder: a lock file (flock) inside the data
// folder, whatever path or session reaches it, and a Unix socket in the
// holder's runtime folder ($MELVORIA_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else
// /tmp/melvoria-<uid>) whose path the lock file holds. Copies with different
// data folders (parallel tests) never meet.
#pragma once

#include <functional>

namespace ce {

// True when this process is now the only copy: it then listens on the socket
// in a background thread and calls onActivateRequest from that thread each time
// another copy asks. False when another copy holds the lock. When the data
// folder cannot be made or locked, the game runs anyway: true, with a note on
// stderr (and without a runtime folder it runs as the only copy, unwakeable).
bool ClaimInstance(std::function<void()> onActivateRequest);
// Asks the copy that holds the lock to come to the front; true once it has
// handled the request.
bool AskRunningInstanceToActivate();
// Stops listening and frees the lock (no-op unless this process claimed it).
void ReleaseInstance();

}  // namespace ce
