// The page's keys and typed text in the layer's terms, apart from the
// browser so that they can be checked natively: a key as the page's
// KeyboardEvent names it, and text as the page's hidden field receives it.
#pragma once

#include <string_view>
#include <vector>

#include "platform/device/device_event.h"
#include "platform/device/keys.h"

namespace platform {

// code: KeyboardEvent.code, the key's place ("KeyZ", "Period", "ArrowUp");
// key: KeyboardEvent.key, what the layout makes of it ("y", "Shift", "Dead").
// A key that types a letter A-Z is that letter's key wherever the layout put
// it, so the game's letter keys follow the letters printed on the keys; a
// letter's place that types a sign is that sign's key (none when a US
// keyboard types it only shifted); any other key is the key at its place. Key::None for a key the layer has not.
Key PageKey(std::string_view code, std::string_view key);

// Appends typed UTF-8 text as Text events of whole characters, each at most
// kTextBytes - 1 bytes. Control characters (the field's line breaks, tabs)
// are left out, the keys that move between fields come as keys; so are
// bytes that are no well-formed character.
void AppendPageText(std::string_view utf8, std::vector<DeviceEvent>& out);

}  // namespace platform
