// Crashes on purpose, as the program under test would with a null call: the
// test harness must report it within seconds and name the crash.
#include <cstdio>

using TFn = void (*)();
TFn volatile GNull = nullptr;

int wmain() {
  std::puts("plover_crash: calling through a null pointer");
  std::fflush(stdout);
  GNull();
  return 0;
}
