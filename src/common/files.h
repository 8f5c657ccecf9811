// Files as the program opens what a player or a script may hand it.
#pragma once

#include <string>

namespace ce {

// A regular file (or a link to one) opened for reading, never in a way that
// waits: a FIFO would block until a writer came. -1 with errno otherwise
// (EINVAL: not a regular file).
int OpenRegularFile(const std::string& path);

}  // namespace ce
