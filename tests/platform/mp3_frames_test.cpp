// The MP3 framing Windows' decoder is fed by: frames found and bounded as
// the stream says, the encoder's info frame taken out and its gapless
// length the one the native player (libmpg123) gives for the same file.
#include "platform/media/mp3_frames.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#endif

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/mp3_header.h"

#if __has_include(<mpg123.h>) && !defined(_WIN32)
#include <mpg123.h>
#endif
#ifndef _WIN32
#include "../support/temp_dir.h"

extern char** environ;
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// An MPEG-1 layer III frame of 64 kbit/s at 44.1 kHz: 208 bytes (209 padded).
Bytes Frame(bool mono, bool padded = false, uint8_t fill = 0x55) {
  Bytes f(208 + (padded ? 1 : 0), fill);
  f[0] = 0xFF, f[1] = 0xFB, f[2] = static_cast<uint8_t>(0x50 | (padded ? 2 : 0));
  f[3] = mono ? 0xC4 : 0x44;
  return f;
}

// The encoder's info frame with a LAME tag giving delay and padding; flags
// say which of the frame count, byte count, seek table and quality come
// before the tag.
Bytes InfoFrame(bool mono, uint32_t delay, uint32_t padding, uint32_t flags = 1, const char* encoder = "LAME3.100") {
  Bytes f = Frame(mono, false, 0);
  size_t at = 4 + (mono ? 17 : 32);
  std::copy_n("Info", 4, f.begin() + at);
  f[at + 7] = static_cast<uint8_t>(flags);
  const size_t tag = at + 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
  std::copy_n(encoder, 4, f.begin() + tag);
  f[tag + 21] = static_cast<uint8_t>(delay >> 4);
  f[tag + 22] = static_cast<uint8_t>(((delay & 15) << 4) | (padding >> 8));
  f[tag + 23] = static_cast<uint8_t>(padding & 0xFF);
  return f;
}

void Append(Bytes* to, const Bytes& more) {
  for (uint8_t b : more) to->push_back(b);  // (insert at the end trips a false bounds warning of GCC 12)
}

TEST(Mp3Frames, FramesFollowOneAnotherPastTagsAndUpToDamage) {
  Bytes file = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 3};  // a tag of 131 bytes (seven bits a byte)...
  Append(&file, Bytes(128, 0));
  Append(&file, {0xFF, 0xFB, 0});  // ...holding a false sync
  Append(&file, {0xFF, 0xFB, 0x11});  // stray sync bits before the stream
  const size_t start = file.size();
  Append(&file, Frame(false));
  Append(&file, Frame(false, true));
  Append(&file, Frame(false));
  Append(&file, {'T', 'A', 'G', 0xFF, 0xFB, 0x50});
  platform::Mp3Stream s;
  ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s));
  EXPECT_EQ(s.rate, 44100u);
  EXPECT_EQ(s.channels, 2u);
  EXPECT_EQ(s.samplesPerFrame, 1152u);
  EXPECT_EQ(s.bitrate, 64000u);
  ASSERT_EQ(s.frames.size(), 3u);
  EXPECT_EQ(s.frames[0].offset, start);
  EXPECT_EQ(s.frames[1].bytes, 209u);
  EXPECT_EQ(s.frames[2].offset, start + 208 + 209);
  EXPECT_FALSE(s.gapless);
  EXPECT_EQ(s.GaplessFrames(), 3u * 1152);

  // A frame cut short ends the stream before it; a frame of another format too.
  Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(start + 208 + 100));
  ASSERT_TRUE(platform::ScanMp3(cut.data(), cut.size(), &s));
  EXPECT_EQ(s.frames.size(), 1u);
  Bytes mixed = Frame(false);
  Append(&mixed, Frame(true));
  ASSERT_TRUE(platform::ScanMp3(mixed.data(), mixed.size(), &s));
  EXPECT_EQ(s.frames.size(), 1u);

  for (const Bytes& none : {Bytes{}, Bytes{0xFF, 0xFB, 0x50}, Bytes(5000, 0xFF), Bytes(5000, 0)})
    EXPECT_FALSE(platform::ScanMp3(none.data(), none.size(), &s));
}

TEST(Mp3Frames, TheInfoFrameIsNoAudioAndItsTagGivesTheGaplessLength) {
  Bytes file = InfoFrame(true, 576, 1500);
  for (int i = 0; i < 4; ++i) Append(&file, Frame(true));
  platform::Mp3Stream s;
  ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s));
  EXPECT_EQ(s.channels, 1u);
  ASSERT_EQ(s.frames.size(), 4u);
  EXPECT_EQ(s.frames[0].offset, 208u);
  EXPECT_TRUE(s.gapless);
  EXPECT_EQ(s.encoderDelay, 576u);
  EXPECT_EQ(s.encoderPadding, 1500u);
  EXPECT_EQ(s.GaplessFrames(), 4u * 1152 - 576 - 1500);
  // Every field but the frame count before the tag, another encoder's name,
  // every bit of both numbers.
  file = InfoFrame(false, 1105, 0x7AB, 14, "Lavf");
  Append(&file, Frame(false));
  ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s));
  ASSERT_EQ(s.frames.size(), 1u);
  EXPECT_TRUE(s.gapless);
  EXPECT_EQ(s.encoderDelay, 1105u);
  EXPECT_EQ(s.encoderPadding, 0x7ABu);
  // An info frame of an encoder that says nothing of its delay: no audio, no gap dropped.
  file = InfoFrame(false, 1105, 0x7AB, 0, "Abcd");
  Append(&file, Frame(false));
  ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s));
  EXPECT_EQ(s.frames.size(), 1u);
  EXPECT_FALSE(s.gapless);
  // Delay and padding longer than the music leave nothing.
  file = InfoFrame(true, 4095, 4095);
  Append(&file, Frame(true));
  ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s));
  EXPECT_EQ(s.GaplessFrames(), 0u);
}

TEST(Mp3Frames, MpegTwoAndTwoPointFiveRatesAndFrameLengths) {
  // MPEG-2 at 22.05 kHz and 64 kbit/s: 72 * 64000 / 22050 = 208 bytes of 576 samples.
  Bytes f(208, 0);
  f[0] = 0xFF, f[1] = 0xF3, f[2] = 0x80, f[3] = 0xC4;
  Bytes file = f;
  Append(&file, f);
  platform::Mp3Stream s;
  ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s));
  EXPECT_EQ(s.rate, 22050u);
  EXPECT_EQ(s.samplesPerFrame, 576u);
  EXPECT_EQ(s.frames.size(), 2u);
  // MPEG-2.5 at 8 kHz, 8 kbit/s: 72 bytes.
  Bytes g(72, 0);
  g[0] = 0xFF, g[1] = 0xE3, g[2] = 0x18, g[3] = 0xC4;
  ASSERT_TRUE(platform::ScanMp3(g.data(), g.size(), &s));
  EXPECT_EQ(s.rate, 8000u);
  EXPECT_EQ(s.frames[0].bytes, 72u);
}

#ifndef _WIN32  // the encoder and the native decoder are this machine's
// Encodes a second of sound with lame (no shell), raw 16-bit PCM in;
// empty when the machine has no encoder.
Bytes Encode(const std::string& dir, int rate, int channels, const std::vector<std::string>& options) {
  std::vector<int16_t> pcm(static_cast<size_t>(rate) * channels);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(0.05 * static_cast<double>(i)));
  const std::string raw = dir + "/in.raw", mp3 = dir + "/out.mp3";
  std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()), pcm.size() * 2);
  std::vector<std::string> args = {"lame", "--quiet", "-r", "-s", std::to_string(rate / 1000.0), "--signed",
                                   "--little-endian", "--bitwidth", "16", "-m", channels == 1 ? "m" : "j"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(raw);
  args.push_back(mp3);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) != pid ||
      !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {};
  std::ifstream in(mp3, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// The sample frames the native player decodes from a file (libmpg123,
// gapless, as platform/win/mp3_header sets it up), or -1 without it.
int64_t NativeDecodedFrames(const std::string& path) {
#if __has_include(<mpg123.h>)
  if (!platform::Mp3LibraryReady()) return -1;
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  int64_t frames = -1;
  if (mh && mpg123_open(mh, path.c_str()) == MPG123_OK) {
    platform::Mp3Format format;
    if (platform::ReadMp3Format(mh, &format) == platform::Mp3Check::kOk) {
      unsigned char buffer[16384];
      size_t bytes = 0, done = 0;
      int r;
      while ((r = mpg123_read(mh, buffer, sizeof buffer, &done)) == MPG123_OK || done) {
        bytes += done;
        if (r != MPG123_OK) break;
      }
      frames = static_cast<int64_t>(bytes / (2 * static_cast<size_t>(format.channels)));
    }
    mpg123_close(mh);
  }
  if (mh) mpg123_delete(mh);
  return frames;
#else
  (void)path;
  return -1;
#endif
}

// Files of every kind the encoder makes (rates of each MPEG version, mono
// and stereo, constant and variable bitrates, a tag in front; frames too
// small for the encoder's info frame): the frames' gapless length, rate and
// channels are what the native player decodes.
TEST(Mp3Frames, GaplessLengthIsTheNativePlayersForEncodedFiles) {
  TempDir dir;
  const std::vector<std::pair<std::pair<int, int>, std::vector<std::string>>> kinds = {
      {{44100, 1}, {"-b", "64"}},         {{44100, 2}, {"-b", "128"}},
      {{48000, 2}, {"-V", "4"}},          {{22050, 1}, {"-b", "32", "--add-id3v2", "--tt", "tune"}},
      {{22050, 1}, {"-b", "32"}},         {{24000, 2}, {"-b", "64"}},
      {{16000, 2}, {"-b", "24"}},         {{8000, 1}, {"-b", "8"}},
  };
  int gapless = 0;
  for (const auto& [format, options] : kinds) {
    const Bytes file = Encode(dir.Path(), format.first, format.second, options);
    if (file.empty()) GTEST_SKIP() << "no MP3 encoder on this machine";
    platform::Mp3Stream s;
    ASSERT_TRUE(platform::ScanMp3(file.data(), file.size(), &s)) << format.first;
    const int64_t native = NativeDecodedFrames(dir.Path() + "/out.mp3");
    if (native < 0) GTEST_SKIP() << "no native MP3 decoder in this build";
    platform::Mp3Format header;
    ASSERT_EQ(platform::ReadMp3FormatFromMemory(file.data(), file.size(), &header), platform::Mp3Check::kOk);
    EXPECT_EQ(s.rate, static_cast<uint32_t>(header.rate)) << format.first;
    EXPECT_EQ(s.channels, static_cast<uint32_t>(header.channels)) << format.first;
    EXPECT_EQ(s.GaplessFrames(), static_cast<uint64_t>(native)) << format.first << " Hz";
    // A second in, a second out (at the rate the encoder chose), when the
    // encoder said how much it added.
    if (s.gapless) {
      EXPECT_EQ(s.GaplessFrames(), s.rate) << format.first << " Hz";
      ++gapless;
    }
  }
  EXPECT_GE(gapless, 5);
}

#endif  // _WIN32

}  // namespace
