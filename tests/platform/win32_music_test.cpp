// Windows' own MP3 decoder behind the music-decoder interface, run under
// Wine in the Windows test build: the game's music decoded as the native
// player decodes it (the same frames, gapless, and samples within rounding
// of the native decoding, which the build makes beside the tests), and
// damaged or foreign files failing without a crash or a hang.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "platform/device/music_decoder.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::string GameMusic() { return ReadAll(std::string(QB_DIST_DIR) + "/Quibbleton/sounds/music.mp3"); }

class Win32Music : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("qbmusic" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Starts the decoding and asks for it as the player does, every few
  // milliseconds, until it is ready or failed (a hang fails the test).
  platform::MusicState Decode(const std::string& path, platform::DecodedMusic* music) {
    if (!platform::StartMusicDecode(path)) return platform::MusicState::kFailed;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      const platform::MusicState state = platform::TakeDecodedMusic(path, music);
      if (state != platform::MusicState::kPending) return state;
      if (std::chrono::steady_clock::now() > give_up) {
        ADD_FAILURE() << "the decoding of " << path << " never ended";
        return state;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::filesystem::path dir_;
};

TEST_F(Win32Music, TheGamesMusicDecodesAsTheNativePlayerDecodesIt) {
  const std::string reference = ReadAll(QB_MUSIC_REFERENCE);  // a 44-byte WAV header, then 16-bit PCM
  ASSERT_GT(reference.size(), 44u) << QB_MUSIC_REFERENCE;
  const std::string path = Write("music.mp3", GameMusic());
  platform::DecodedMusic music;
  ASSERT_EQ(Decode(path, &music), platform::MusicState::kReady);
  const uint32_t refChannels = static_cast<uint8_t>(reference[22]);
  const uint32_t refRate = static_cast<uint8_t>(reference[24]) | static_cast<uint8_t>(reference[25]) << 8 |
                           static_cast<uint8_t>(reference[26]) << 16;
  EXPECT_EQ(music.rate, refRate);
  ASSERT_EQ(music.channels, refChannels);
  const uint64_t refFrames = (reference.size() - 44) / (2 * refChannels);
  EXPECT_EQ(music.frames, refFrames) << "the encoder's delay and padding are dropped as natively";
  ASSERT_EQ(music.pcm.size(), music.frames * music.channels * 2);
  // Decoders differ in their last bit of rounding only; a frame out of
  // place would differ by thousands.
  const auto* ours = reinterpret_cast<const int16_t*>(music.pcm.data());
  const auto* theirs = reinterpret_cast<const int16_t*>(reference.data() + 44);
  const uint64_t samples = std::min(music.frames, refFrames) * music.channels;
  int worst = 0;
  uint64_t worstAt = 0;
  for (uint64_t i = 0; i < samples; ++i) {
    const int d = std::abs(ours[i] - theirs[i]);
    if (d > worst) worst = d, worstAt = i;
  }
  EXPECT_LE(worst, 4) << "at sample " << worstAt;
}

TEST_F(Win32Music, DamagedAndForeignFilesFailWithoutACrashOrAHang) {
  const std::string whole = GameMusic();
  ASSERT_GT(whole.size(), 10000u);
  platform::DecodedMusic full;
  ASSERT_EQ(Decode(Write("whole.mp3", whole), &full), platform::MusicState::kReady);

  // No file, an empty one, and one cut inside its first frames: no music.
  platform::DecodedMusic music;
  EXPECT_FALSE(platform::StartMusicDecode((dir_ / "missing.mp3").string()));
  for (size_t length : {size_t{0}, size_t{3}, size_t{100}, size_t{300}}) {
    EXPECT_EQ(Decode(Write("cut" + std::to_string(length) + ".mp3", whole.substr(0, length)), &music),
              platform::MusicState::kFailed)
        << length;
  }
  // Cut in the middle: as natively, the frames that are there play, and
  // they are the start of the whole music.
  ASSERT_EQ(Decode(Write("half.mp3", whole.substr(0, whole.size() / 2)), &music), platform::MusicState::kReady);
  EXPECT_GT(music.frames, full.frames / 3);
  EXPECT_LT(music.frames, full.frames * 2 / 3);
  const auto compared = static_cast<std::ptrdiff_t>(music.pcm.size() / 2);
  EXPECT_TRUE(std::equal(music.pcm.begin(), music.pcm.begin() + compared, full.pcm.begin()));

  // Noise, and the music with its bytes scrambled: whatever comes out,
  // the decoding ends, and what it hands over is within what the frames hold.
  std::mt19937 random(34);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  EXPECT_EQ(Decode(Write("noise.mp3", noise), &music), platform::MusicState::kFailed);
  for (int round = 0; round < 3; ++round) {
    std::string scrambled = whole;
    for (size_t i = 1000; i < scrambled.size(); i += 1 + random() % 97) scrambled[i] = static_cast<char>(random());
    music = {};
    const platform::MusicState state = Decode(Write("scrambled.mp3", scrambled), &music);
    ASSERT_NE(state, platform::MusicState::kPending);
    if (state == platform::MusicState::kReady) {
      EXPECT_LE(music.frames, full.frames + 1152 * 2);
      EXPECT_EQ(music.pcm.size(), music.frames * music.channels * 2);
    }
  }
}

}  // namespace

#endif  // _WIN32
