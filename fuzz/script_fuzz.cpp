// Script parsing of any text: accepted scripts keep their events in tick
// order, typed text in events of whole NUL-terminated text; text written
// back as a "text" line (QB_RECORD) reads as the same text; rejected
// scripts say which line is wrong.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/automation/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  platform::Script script;
  std::string error;
  if (platform::ParseScript(text, "/base", &script, &error)) {
    for (size_t i = 1; i < script.events.size(); ++i)
      if (script.events[i].tick < script.events[i - 1].tick) std::abort();
    for (const auto& e : script.events) {
      if (e.event.kind != platform::DeviceEvent::Kind::Text) continue;
      const size_t n = strnlen(e.event.text, sizeof e.event.text);
      if (n == 0 || n == sizeof e.event.text) std::abort();
      platform::Script again;
      std::string why;
      const std::string line = "0 text " + platform::ScriptText(e.event.text) + "\n";
      if (!platform::ParseScript(line, "", &again, &why)) std::abort();
      std::string back;
      for (const auto& t : again.events) back += t.event.text;
      if (back != e.event.text) std::abort();
    }
    for (const auto* list : {&script.shots, &script.dumps})
      for (size_t i = 1; i < list->size(); ++i)
        if ((*list)[i].tick < (*list)[i - 1].tick || (*list)[i].path.empty()) std::abort();
  } else if (error.rfind("line ", 0) != 0) {
    std::abort();
  }
  return 0;
}
