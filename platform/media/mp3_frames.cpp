#include "platform/media/mp3_frames.h"

#include <cstring>

namespace platform {
namespace {

struct FrameHeader {
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint32_t samplesPerFrame = 0;
  uint32_t bitrate = 0;
  uint32_t bytes = 0;
  size_t sideInfo = 0;  // bytes after the 4-byte header, where an info frame's tag starts
};

// A layer III frame header at p (4 bytes), or false. Free-format frames
// (bitrate index 0) have no length the header tells, and are not read.
bool ReadHeader(const uint8_t* p, FrameHeader* h) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
  const int layer = (p[1] >> 1) & 3;    // 1: layer III
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  static constexpr uint16_t kMpeg1Kbps[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr uint16_t kMpeg2Kbps[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static constexpr uint32_t kMpeg1Rates[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  h->bitrate = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex] * 1000u;
  h->rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  h->channels = (p[3] >> 6) == 3 ? 1 : 2;
  h->samplesPerFrame = mpeg1 ? 1152 : 576;
  const uint32_t padding = (p[2] >> 1) & 1;
  h->bytes = (mpeg1 ? 144 : 72) * h->bitrate / h->rate + padding;
  h->sideInfo = mpeg1 ? (h->channels == 1 ? 17 : 32) : (h->channels == 1 ? 9 : 17);
  return true;
}

uint32_t Big32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Whether the frame is the encoder's info frame (which carries no audio);
// reads the delay and padding from its LAME tag when it has one.
bool ReadInfoFrame(const uint8_t* frame, const FrameHeader& h, Mp3Stream* stream) {
  const size_t at = 4 + h.sideInfo;
  if (h.bytes < at + 8) return false;
  const uint8_t* x = frame + at;
  if (std::memcmp(x, "Xing", 4) != 0 && std::memcmp(x, "Info", 4) != 0) return false;
  const uint32_t flags = Big32(x + 4);
  size_t tag = at + 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
  // The LAME tag: the encoder's name, then at byte 21 the delay and the
  // padding, twelve bits each.
  if (tag + 24 <= h.bytes) {
    const uint8_t* t = frame + tag;
    if (std::memcmp(t, "LAME", 4) == 0 || std::memcmp(t, "Lavc", 4) == 0 || std::memcmp(t, "Lavf", 4) == 0) {
      stream->gapless = true;
      stream->encoderDelay = (uint32_t{t[21]} << 4) | (t[22] >> 4);
      stream->encoderPadding = ((uint32_t{t[22]} & 0x0F) << 8) | t[23];
    }
  }
  return true;
}

// Where the audio starts: past an ID3v2 tag (and its footer) if there is one.
size_t SkipId3(const uint8_t* data, size_t size) {
  if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
  const uint8_t* s = data + 6;
  if ((s[0] | s[1] | s[2] | s[3]) & 0x80) return 0;
  size_t length = 10 + ((size_t{s[0]} << 21) | (size_t{s[1]} << 14) | (size_t{s[2]} << 7) | s[3]);
  if (data[5] & 0x10) length += 10;
  return length < size ? length : size;
}

}  // namespace

uint64_t Mp3Stream::GaplessFrames() const {
  const uint64_t all = static_cast<uint64_t>(frames.size()) * samplesPerFrame;
  if (!gapless) return all;
  const uint64_t dropped = uint64_t{encoderDelay} + encoderPadding;
  return all > dropped ? all - dropped : 0;
}

bool ScanMp3(const uint8_t* data, size_t size, Mp3Stream* stream) {
  *stream = Mp3Stream();
  size_t pos = SkipId3(data, size);
  // The first frame: a header whose frame is followed by another header of
  // the same stream (or the end), so that stray sync bits are not taken.
  FrameHeader first;
  for (;; ++pos) {
    if (pos + 4 > size) return false;
    if (!ReadHeader(data + pos, &first)) continue;
    const size_t next = pos + first.bytes;
    FrameHeader h;
    if (next == size || (next + 4 <= size && ReadHeader(data + next, &h) && h.rate == first.rate &&
                         h.channels == first.channels))
      break;
  }
  stream->rate = first.rate;
  stream->channels = first.channels;
  stream->samplesPerFrame = first.samplesPerFrame;
  stream->bitrate = first.bitrate;
  if (pos + first.bytes <= size && ReadInfoFrame(data + pos, first, stream)) pos += first.bytes;
  FrameHeader h;
  while (pos + 4 <= size && ReadHeader(data + pos, &h) && h.rate == first.rate && h.channels == first.channels &&
         pos + h.bytes <= size) {
    if (stream->frames.empty()) stream->bitrate = h.bitrate;  // the info frame's says nothing of the audio's
    stream->frames.push_back({pos, h.bytes});
    pos += h.bytes;
  }
  return !stream->frames.empty();
}

}  // namespace platform
