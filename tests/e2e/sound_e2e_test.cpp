// What the game plays, captured as a WAV file: the start-up sound and the
// music, and silence where "options.ini" switches them off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

class GameSound : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qbsoundXXXXXX";
    root_ = mkdtemp(tmpl);
    game_ = root_ + "/Quibbleton";
    fs::create_directories(game_);
    for (const auto& entry : fs::directory_iterator(fs::path(QB_GAME_EXE).parent_path())) {
      const std::string name = entry.path().filename().string();
      if (name == "Quibbleton" || name == "hiscore.dat") continue;
      fs::create_symlink(entry.path(), fs::path(game_) / name);
    }
  }
  void TearDown() override { fs::remove_all(root_); }

  // Plays 3 s with the switches given and returns the captured 16-bit samples.
  std::vector<int16_t> Capture(const char* music, const char* sfx, int* rate, int* channels) {
    std::ofstream(root_ + "/options.ini") << "[setup]\nmusic=" << music << "\nSFX=" << sfx << "\n";
    std::ofstream(root_ + "/script.txt") << "3000 tap ESC\n";
    std::string wav = root_ + "/out.wav";
    auto r = RunProgram(QB_GAME_EXE, {root_},
                        {{"QB_VIDEO", "headless"}, {"QB_CLOCK", "virtual"}, {"QB_AUDIO", "wav:" + wav},
                         {"QB_SEED", "3"}, {"QB_SCRIPT", root_ + "/script.txt"}, {"QB_MAX_TICKS", "4000"}},
                        game_);
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::ifstream in(wav, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 44 || std::string(d.begin(), d.begin() + 4) != "RIFF") return {};
    *channels = d[22] | d[23] << 8;
    *rate = d[24] | d[25] << 8 | d[26] << 16 | d[27] << 24;
    EXPECT_EQ(d[34], 16);  // bits per sample
    std::vector<int16_t> samples((d.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(d[44 + 2 * i] | d[45 + 2 * i] << 8);
    return samples;
  }

  static double Rms(const std::vector<int16_t>& s, int rate, int channels, double from, double to) {
    size_t a = static_cast<size_t>(from * rate) * channels, b = static_cast<size_t>(to * rate) * channels;
    if (b > s.size() || a >= b) return -1;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(b - a));
  }

  std::string root_, game_;
};

TEST_F(GameSound, StartUpSoundAndMusicAreHeardAndEachSwitchSilencesItsPart) {
  int rate = 0, channels = 0;
  auto both = Capture("Y", "Y", &rate, &channels);
  ASSERT_GE(both.size(), static_cast<size_t>(rate) * channels * 2.9);
  EXPECT_GT(Rms(both, rate, channels, 0.0, 0.5), 300);  // the reveal as the board is dealt, over the music
  EXPECT_GT(Rms(both, rate, channels, 2.0, 2.9), 300);  // the music goes on

  auto effectsOnly = Capture("N", "Y", &rate, &channels);
  EXPECT_GT(Rms(effectsOnly, rate, channels, 0.0, 0.5), 300);
  EXPECT_EQ(Rms(effectsOnly, rate, channels, 2.0, 2.9), 0);

  auto none = Capture("N", "N", &rate, &channels);
  ASSERT_FALSE(none.empty());
  EXPECT_EQ(Rms(none, rate, channels, 0.0, 2.9), 0);
}

}  // namespace
