#include "platform/win/mp3_header.h"

#include <sys/types.h>

#include <cstdio>
#include <cstring>

#if __has_include(<mpg123.h>)
#include <mpg123.h>
#define QB_HAVE_MPG123 1
#endif

namespace platform {

#ifdef QB_HAVE_MPG123

bool Mp3LibraryReady() {
  static const bool ready = [] { return mpg123_init() == MPG123_OK; }();
  return ready;
}

Mp3Check ReadMp3Format(mpg123_handle* mh, Mp3Format* format) {
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
  // Always 16-bit signed, so the mixer sees one of its formats.
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || channels < 1 || channels > 2 || rate <= 0)
    return Mp3Check::kUnreadable;
  mpg123_format_none(mh);  // the format is fixed from here on
  mpg123_format(mh, rate, channels, MPG123_ENC_SIGNED_16);
  // The encoder's header gives the exact length; without one, count the frames.
  off_t length = mpg123_length(mh);
  if (length <= 0 && mpg123_scan(mh) == MPG123_OK) length = mpg123_length(mh);
  if (length <= 0) return Mp3Check::kUnreadable;
  if (static_cast<uint64_t>(length) > kMaxMusicBytes / (static_cast<uint64_t>(channels) * 2)) return Mp3Check::kTooLong;
  format->rate = rate;
  format->channels = channels;
  format->frames = static_cast<uint64_t>(length);
  return Mp3Check::kOk;
}

namespace {

struct MemoryReader {
  const unsigned char* data;
  size_t size;
  size_t position;
};

ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
  auto* m = static_cast<MemoryReader*>(handle);
  const size_t n = bytes < m->size - m->position ? bytes : m->size - m->position;
  std::memcpy(buffer, m->data + m->position, n);
  m->position += n;
  return static_cast<ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
  auto* m = static_cast<MemoryReader*>(handle);
  const long long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<long long>(m->position)
                                                                      : static_cast<long long>(m->size);
  const long long target = base + offset;
  if (target < 0 || target > static_cast<long long>(m->size)) return -1;
  m->position = static_cast<size_t>(target);
  return static_cast<off_t>(target);
}

}  // namespace

Mp3Check ReadMp3FormatFromMemory(const void* data, size_t size, Mp3Format* format) {
  if (!Mp3LibraryReady()) return Mp3Check::kUnreadable;
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (!mh) return Mp3Check::kUnreadable;
  MemoryReader reader{static_cast<const unsigned char*>(data), size, 0};
  Mp3Check result = Mp3Check::kUnreadable;
  if (mpg123_replace_reader_handle(mh, ReadMemory, SeekMemory, nullptr) == MPG123_OK &&
      mpg123_open_handle(mh, &reader) == MPG123_OK) {
    result = ReadMp3Format(mh, format);
    mpg123_close(mh);
  }
  mpg123_delete(mh);
  return result;
}

#else

bool Mp3LibraryReady() { return false; }
Mp3Check ReadMp3Format(mpg123_handle_struct*, Mp3Format*) { return Mp3Check::kUnreadable; }
Mp3Check ReadMp3FormatFromMemory(const void*, size_t, Mp3Format*) { return Mp3Check::kUnreadable; }

#endif

}  // namespace platform
