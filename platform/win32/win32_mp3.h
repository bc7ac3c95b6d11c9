// Windows' own MP3 decoder (the Audio Compression Manager's), fed whole
// frames, its output made gapless as the native player's is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/device/music_decoder.h"
#include "platform/media/mp3_frames.h"

namespace platform {

// An MP3 file larger than this is not music the programs play, and music
// that decodes to more than this is refused: six minutes of 44.1 kHz stereo.
constexpr size_t kMaxWin32MusicFile = size_t{64} << 20;
constexpr uint64_t kMaxWin32MusicBytes = uint64_t{64} << 20;

// Decodes the MP3 in data, whose frames ScanMp3 found as s, to 16-bit PCM
// at its own rate and channels, the encoder's delay and padding dropped when
// its LAME tag tells them. False for music too long, or that the system
// cannot decode.
bool DecodeMp3WithAcm(const uint8_t* data, const Mp3Stream& s, DecodedMusic* music);

}  // namespace platform
