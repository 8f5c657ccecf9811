// Linked into the program and the tests of a sanitizer build only. Libraries
// of the system keep a few allocations of their own until the process ends
// (fontconfig's configuration, the bus library's connection state); they are
// not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n";
}
