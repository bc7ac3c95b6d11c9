// Text from the page's field, as the web backend makes events of it: any
// bytes give events of whole, well-formed characters within the event's
// size, no control characters, and the same events again from their own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/web/page_input.h"

namespace {

std::string Joined(std::string_view typed) {
  std::vector<platform::DeviceEvent> events;
  platform::AppendPageText(typed, events);
  std::string joined;
  for (const platform::DeviceEvent& e : events) {
    const size_t length = strnlen(e.text, sizeof e.text);
    if (e.kind != platform::DeviceEvent::Kind::Text || length == 0 || length >= sizeof e.text) std::abort();
    for (size_t i = 0; i < length; ++i) {
      const auto byte = static_cast<unsigned char>(e.text[i]);
      if (byte < 0x20 || byte == 0x7F) std::abort();
    }
    // A text never starts inside a character or ends before its last byte.
    if ((static_cast<unsigned char>(e.text[0]) & 0xC0) == 0x80) std::abort();
    joined.append(e.text, length);
  }
  if (joined.size() > typed.size()) std::abort();
  return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string typed(reinterpret_cast<const char*>(data), size);
  const std::string joined = Joined(typed);
  if (Joined(joined) != joined) std::abort();
  // Any code and label name a key or none.
  const size_t half = size / 2;
  platform::PageKey(std::string_view(typed).substr(0, half), std::string_view(typed).substr(half));
  return 0;
}
