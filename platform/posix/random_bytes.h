// Bytes from the operating system's random source, for secrets a program
// keeps (a player's key), never the game's generator.
#pragma once

#include <cstddef>

namespace platform {

// Fills out with size unpredictable bytes; false (out then unusable) when
// the system could not give them.
bool RandomBytes(void* out, size_t size);

}  // namespace platform
