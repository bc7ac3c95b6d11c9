// Every test process runs headless on the virtual clock without audio,
// unless the environment asks otherwise.
#include <cstdlib>

namespace {
struct TestEnvironment {
  TestEnvironment() {
    setenv("QB_VIDEO", "headless", 0);
    setenv("QB_CLOCK", "virtual", 0);
    setenv("QB_AUDIO", "null", 0);
  }
} testEnvironment;
}  // namespace
