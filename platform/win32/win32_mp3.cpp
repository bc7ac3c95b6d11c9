// The ACM's MP3 codec, which every Windows has (and Wine has without any
// media framework), converts a batch of whole frames at a time to PCM. It
// is told the stream's format from the first frame's header, so nothing but
// the frames themselves goes in: not the ID3 tag, not the encoder's info
// frame, not a trailing tag.
#include "platform/win32/win32_mp3.h"

// clang-format off
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/media/mp3_frames.h"

namespace platform {
namespace {

// Frames given to the codec at once: a few hundred milliseconds.
constexpr size_t kBatchFrames = 16;

class AcmStream {
 public:
  ~AcmStream() {
    if (prepared_) {
      header_.cbSrcLength = srcCapacity_;
      header_.cbDstLength = static_cast<DWORD>(dst_.size());
      acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    if (stream_) acmStreamClose(stream_, 0);
  }

  bool Open(const Mp3Stream& s, size_t largestBatch) {
    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = static_cast<WORD>(s.channels);
    mp3.wfx.nSamplesPerSec = s.rate;
    mp3.wfx.nAvgBytesPerSec = s.bitrate / 8;
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    mp3.nBlockSize = static_cast<WORD>(s.samplesPerFrame / 8 * s.bitrate / s.rate);
    mp3.nFramesPerBlock = 1;
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(s.channels);
    pcm.nSamplesPerSec = s.rate;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(s.channels * 2);
    pcm.nAvgBytesPerSec = s.rate * pcm.nBlockAlign;
    if (acmStreamOpen(&stream_, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
      stream_ = nullptr;
      return false;
    }
    // Room for what the batch decodes to and what the codec may still hold
    // from the batch before.
    srcCapacity_ = static_cast<DWORD>(largestBatch);
    DWORD dstBytes = 0;
    if (acmStreamSize(stream_, srcCapacity_, &dstBytes, ACM_STREAMSIZEF_SOURCE) != 0) dstBytes = 0;
    const size_t frameBytes = size_t{s.samplesPerFrame} * pcm.nBlockAlign;
    src_.resize(srcCapacity_);
    dst_.resize(std::max<size_t>(dstBytes, (kBatchFrames + 4) * frameBytes));
    header_.cbStruct = sizeof header_;
    header_.pbSrc = src_.data();
    header_.cbSrcLength = srcCapacity_;
    header_.pbDst = dst_.data();
    header_.cbDstLength = static_cast<DWORD>(dst_.size());
    prepared_ = acmStreamPrepareHeader(stream_, &header_, 0) == 0;
    return prepared_;
  }

  // Converts bytes (at most the capacity) and appends the PCM to out; the
  // bytes the codec did not take are left at the start of the source.
  // False when the codec fails or stops taking anything.
  bool Convert(const uint8_t* bytes, size_t count, DWORD flags, std::vector<uint8_t>* out, size_t limit) {
    if (count) std::memcpy(src_.data() + pending_, bytes, count);
    DWORD length = static_cast<DWORD>(pending_ + count);
    for (int stalled = 0;;) {
      header_.cbSrcLength = length;
      header_.cbDstLength = static_cast<DWORD>(dst_.size());
      if (acmStreamConvert(stream_, &header_, flags) != 0) return false;
      const DWORD used = std::min(header_.cbSrcLengthUsed, length);
      const DWORD made = std::min(header_.cbDstLengthUsed, header_.cbDstLength);
      if (out->size() + made > limit) return false;
      out->insert(out->end(), dst_.begin(), dst_.begin() + made);
      std::memmove(src_.data(), src_.data() + used, length - used);
      length -= used;
      flags &= ~ACM_STREAMCONVERTF_START;
      // A full output buffer may leave more to come out of what went in.
      if (made == header_.cbDstLength) continue;
      if (length == 0 || (used == 0 && made == 0 && ++stalled > 2)) break;
    }
    pending_ = length;
    return true;
  }

  // Room left in the source for the next batch.
  size_t Room() const { return srcCapacity_ - pending_; }

 private:
  HACMSTREAM stream_ = nullptr;
  ACMSTREAMHEADER header_{};
  bool prepared_ = false;
  DWORD srcCapacity_ = 0;
  size_t pending_ = 0;
  std::vector<uint8_t> src_, dst_;
};

}  // namespace

bool DecodeMp3WithAcm(const uint8_t* data, const Mp3Stream& s, DecodedMusic* music) {
  const size_t block = size_t{s.channels} * 2;
  const uint64_t allFrames = static_cast<uint64_t>(s.frames.size()) * s.samplesPerFrame;
  if (allFrames * block > kMaxWin32MusicBytes) return false;
  size_t largest = 0;
  for (size_t i = 0; i < s.frames.size(); i += kBatchFrames) {
    const size_t last = std::min(s.frames.size(), i + kBatchFrames) - 1;
    largest = std::max(largest, s.frames[last].offset + s.frames[last].bytes - s.frames[i].offset);
  }
  AcmStream acm;
  // Twice a batch, for what the codec leaves of one when the next comes.
  if (!acm.Open(s, 2 * largest)) return false;
  std::vector<uint8_t> pcm;
  pcm.reserve(allFrames * block);
  const size_t limit = allFrames * block + 4 * size_t{s.samplesPerFrame} * block;
  DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START;
  for (size_t i = 0; i < s.frames.size(); i += kBatchFrames) {
    const size_t last = std::min(s.frames.size(), i + kBatchFrames) - 1;
    const size_t bytes = s.frames[last].offset + s.frames[last].bytes - s.frames[i].offset;
    if (bytes > acm.Room() || !acm.Convert(data + s.frames[i].offset, bytes, flags, &pcm, limit)) return false;
    flags &= ~ACM_STREAMCONVERTF_START;
  }
  // What the codec still holds.
  if (!acm.Convert(nullptr, 0, ACM_STREAMCONVERTF_END, &pcm, limit)) return false;

  // Gapless: the decoder's and the encoder's delay dropped at the start, the
  // padding at the end, as the native player does with the same tag.
  uint64_t frames = pcm.size() / block;
  uint64_t skip = 0;
  if (s.gapless) {
    skip = std::min<uint64_t>(frames, uint64_t{s.encoderDelay} + kMp3DecoderDelay);
    frames = std::min(frames - skip, s.GaplessFrames());
  }
  if (frames == 0) return false;
  music->rate = s.rate;
  music->channels = s.channels;
  music->frames = frames;
  pcm.erase(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(skip * block));
  pcm.resize(frames * block);
  music->pcm = std::move(pcm);
  return true;
}

}  // namespace platform
