// The SDL backend's keys as the layer's key codes.
#pragma once

#include <cstdint>

#include "platform/device/keys.h"

namespace platform {

// Letter keys by the layout's letter (the SDL keycode), so the game's letter
// keys are where the player's keyboard shows them (Z on a German Z); a
// layout without Latin letters keeps their positions, and a letter's position
// that types a sign is that sign's key. Every other key by its position (the
// SDL scancode). Key::None for a key the layer does not know.
Key KeyOfSdlKey(int scancode, int32_t keycode);

}  // namespace platform
