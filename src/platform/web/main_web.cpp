// The page's entry: the device's own main() (built under another name), then
// word to the page that the program has ended, with its exit code. Under
// Asyncify main() returns to the browser at its first wait, long before the
// program ends, so the page cannot learn it from the runtime.
#include <emscripten.h>

int melvoria_main();

// clang-format off
EM_JS(void, web_program_ended, (int code), {
  if (Module.onProgramEnd) Module.onProgramEnd(code);
});
// clang-format on

int main() {
  int rc = melvoria_main();
  web_program_ended(rc);
  return rc;
}
