// The framing of an MP3 file, read without decoding it: where the audio
// frames are and how long each is, the stream's rate and channels, and what
// the encoder's info frame (Xing/Info with a LAME tag) says of its length,
// delay and padding. For a decoder that must be fed whole frames (Windows'
// own) and told the format up front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// What a decoder's output has before its first real sample: the synthesis
// filter's delay, which gapless decoding drops along with the encoder's.
constexpr uint32_t kMp3DecoderDelay = 529;

struct Mp3Frame {
  size_t offset = 0;  // in the file
  uint32_t bytes = 0;
};

struct Mp3Stream {
  uint32_t rate = 0;
  uint32_t channels = 0;          // 1 or 2
  uint32_t samplesPerFrame = 0;   // 1152, or 576 for MPEG-2 and 2.5
  uint32_t bitrate = 0;           // of the first audio frame, bits per second
  std::vector<Mp3Frame> frames;   // the audio frames, the info frame left out
  // From the LAME tag when there is one: the samples to drop at the start
  // and the end of the decoded frames.
  bool gapless = false;
  uint32_t encoderDelay = 0;
  uint32_t encoderPadding = 0;

  // The sample frames a gapless decoding gives: all the frames' samples,
  // less the encoder's delay and padding when the tag tells them.
  uint64_t GaplessFrames() const;
};

// Finds the frames of a layer III stream in data (after an ID3v2 tag if
// any): frames must follow each other with the first one's rate and
// channels; the scan stops at the first that does not (a trailing tag, or
// damage). False when there is no such frame at all.
bool ScanMp3(const uint8_t* data, size_t size, Mp3Stream* stream);

}  // namespace platform
