// Every test process of the Windows build runs headless on the virtual clock
// without audio, unless the environment asks otherwise (MinGW has no setenv).
#include <cstdlib>

namespace {
void Default(const char* name, const char* value) {
  if (!std::getenv(name)) _putenv_s(name, value);
}
struct TestEnvironment {
  TestEnvironment() {
    Default("QB_VIDEO", "headless");
    Default("QB_CLOCK", "virtual");
    Default("QB_AUDIO", "null");
  }
} testEnvironment;
}  // namespace
