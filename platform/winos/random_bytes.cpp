#include "platform/posix/random_bytes.h"

#include <windows.h>
#include <bcrypt.h>

namespace platform {

bool RandomBytes(void* out, size_t size) {
  auto* bytes = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ULONG part = static_cast<ULONG>(size < (1u << 30) ? size : (1u << 30));
    if (BCryptGenRandom(nullptr, bytes, part, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return false;
    bytes += part;
    size -= part;
  }
  return true;
}

}  // namespace platform
