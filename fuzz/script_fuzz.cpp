// Script parsing of any text: accepted scripts keep their events in tick
// order; rejected ones say which line is wrong.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/automation/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  platform::Script script;
  std::string error;
  if (platform::ParseScript(text, "/base", &script, &error)) {
    for (size_t i = 1; i < script.events.size(); ++i)
      if (script.events[i].tick < script.events[i - 1].tick) std::abort();
    for (const auto* list : {&script.shots, &script.dumps})
      for (size_t i = 1; i < list->size(); ++i)
        if ((*list)[i].tick < (*list)[i - 1].tick || (*list)[i].path.empty()) std::abort();
  } else if (error.rfind("line ", 0) != 0) {
    std::abort();
  }
  return 0;
}
