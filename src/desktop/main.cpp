// The desktop program's entry.
#include "session/session.h"

int main(int argc, char** argv) {
  return ce::RunProgram(argc, argv);
}
