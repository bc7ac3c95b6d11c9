#include "platform/posix/random_bytes.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

bool RandomBytes(void* out, size_t size) {
  // getentropy gives at most 256 bytes a call; in a page it is the browser's
  // crypto.getRandomValues.
  auto* bytes = static_cast<unsigned char*>(out);
  while (size > 0) {
    const size_t part = size < 256 ? size : 256;
    if (getentropy(bytes, part) != 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += part;
    size -= part;
  }
  return true;
}

}  // namespace platform
