// What the game plays, captured as a WAV file: the start-up sound and the
// music, and silence where "options.ini" switches them off; a push of five
// heads over the music without a sample at full scale; the music's loop
// restarting without a gap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <iterator>
#include <sstream>

#include "game_frames.h"
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
  // A failed run keeps its capture for a look, and so does any run with QB_KEEP_FRAMES set.
  void TearDown() override {
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("capture kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }

  // Plays the script (3 s by default) with the switches given and returns
  // the captured 16-bit samples.
  std::vector<int16_t> Capture(const char* music, const char* sfx, int* rate, int* channels,
                               const std::string& script = "3000 tap ESC\n", int seed = 3, int maxTicks = 4000,
                               const char* clock = "virtual") {
    std::ofstream(root_ + "/options.ini") << "[setup]\nmusic=" << music << "\nSFX=" << sfx << "\n";
    std::ofstream(root_ + "/script.txt") << script;
    std::string wav = root_ + "/out.wav";
    auto r = RunProgram(QB_GAME_EXE, {root_},
                        {{"QB_VIDEO", "headless"}, {"QB_CLOCK", clock}, {"QB_AUDIO", "wav:" + wav},
                         {"QB_SEED", std::to_string(seed)}, {"QB_SCRIPT", root_ + "/script.txt"},
                         {"QB_MAX_TICKS", std::to_string(maxTicks)}},
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

std::string DumpedBoard(const std::string& path) {
  std::ifstream in(path);
  std::string line, board;
  while (std::getline(in, line) && line != "board") {
  }
  for (int row = 0; row < 10 && std::getline(in, line); ++row) board += line + "\n";
  return board;
}

TEST_F(GameSound, AFiveHeadPushOverTheMusicNeverReachesFullScale) {
  using namespace gamee2e;
  fs::remove(game_ + "/setup.ini");
  std::ofstream(game_ + "/setup.ini") << "[setup]\nfullscreen=0\nnowindow=0\n\n[default]\nballoons=1\ngametime=300\n";
  // Empty the top four cells of column 5 by clicking its top head (any group
  // goes at one head): row 3 then holds a run of five heads from the left
  // edge up to a gap, which its left-hand guy pushes one cell on, all five
  // at once. The first seed whose board allows that is taken.
  const int row = 3, column = 5;
  int seed = 0;
  Model m, before;
  std::ostringstream clicks;
  int t = 600;
  for (int candidate = 1; candidate < 200 && !seed; ++candidate) {
    lcg::srand(candidate);
    Deal();
    m = Model{Deal()};
    m.minimum = 1;
    clicks.str("");
    t = 600;
    for (;;) {
      int top = -1;
      for (int r = 0; r < 10 && top < 0; ++r)
        if (m.cells[column + r * 15] >= 0) top = column + r * 15;
      if (top < 0 || top / 15 >= 4) break;
      clicks << t << " click left " << 137 + column * 41 + 20 << " " << 10 + (top / 15) * 55 + 27 << "\n";
      t += 200 * m.Click(top, false) + 400;
    }
    bool run = true;
    for (int c = 0; c < column; ++c) run = run && m.cells[row * 15 + c] >= 0;
    if (run && m.cells[row * 15 + column] < 0) seed = candidate;
  }
  ASSERT_NE(seed, 0);
  before = m;
  m.PushRight(row);
  t += 1200;
  const int push = t + 100;
  std::ostringstream script;
  script << "200 click left 50 375\n" << clicks.str() << t << " dump " << root_ << "/before.txt\n"
         << push << " click left 119 " << row * 55 + 30 << "\n"
         << push + 6000 << " dump " << root_ << "/after.txt\n"
         << push + 6100 << " tap ESC\n";
  int rate = 0, channels = 0;
  auto s = Capture("Y", "Y", &rate, &channels, script.str(), seed, push + 7000);
  ASSERT_EQ(DumpedBoard(root_ + "/before.txt"), BoardText(before.cells));
  ASSERT_EQ(DumpedBoard(root_ + "/after.txt"), BoardText(m.cells)) << "the push moved the heads as the rules say";
  ASSERT_GT(s.size(), static_cast<size_t>(rate) * channels * (push + 3000) / 1000);

  int fullScale = 0, peak = 0, pushPeak = 0;
  const size_t pushFrom = static_cast<size_t>(rate) * push / 1000 * channels;
  const size_t pushTo = pushFrom + static_cast<size_t>(rate) * 3 * channels;
  for (size_t i = 0; i < s.size(); ++i) {
    const int a = std::abs(static_cast<int>(s[i]));
    fullScale += a >= 32767;
    peak = std::max(peak, a);
    if (i >= pushFrom && i < pushTo) pushPeak = std::max(pushPeak, a);
  }
  EXPECT_EQ(fullScale, 0);
  // The slides were heard together, over the music: louder than any one
  // effect alone (-6 dBFS).
  EXPECT_GT(pushPeak, 16500);
  RecordProperty("seed", seed);
  RecordProperty("peak", peak);
  RecordProperty("push_peak", pushPeak);
}

TEST_F(GameSound, TheMusicLoopsWithoutAGapOnTheRealClock) {
  // In place of the game's minute of music, 0.6 s of a steady tone (mono,
  // 22050 Hz, as the game's music is made), played on the real clock, where
  // the restart would otherwise wait for the game to handle the end's
  // notification between frames.
  const fs::path sounds = fs::path(game_) / "sounds";
  const fs::path original = fs::read_symlink(sounds);
  fs::remove(sounds);
  fs::create_directories(sounds);
  for (const auto& entry : fs::directory_iterator(original))
    if (entry.path().filename() != "music.mp3") fs::create_symlink(entry.path(), sounds / entry.path().filename());
  std::vector<uint8_t> wav(44, 0);
  const int n = 22050 * 6 / 10;
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 440 * i / 22050.0))));
    wav.push_back(v & 0xFF), wav.push_back(v >> 8);
  }
  auto put32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) wav[at + k] = static_cast<uint8_t>(v >> (8 * k));
  };
  std::memcpy(wav.data(), "RIFF", 4), put32(4, 36 + 2 * n), std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
  put32(16, 16), put32(20, 1 | 1 << 16), put32(24, 22050), put32(28, 44100), put32(32, 2 | 16 << 16);
  std::memcpy(wav.data() + 36, "data", 4), put32(40, 2 * n);
  std::ofstream(root_ + "/tone.wav", std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), wav.size());
  auto lame = RunProgram("/usr/bin/lame", {"--quiet", "-m", "m", "-b", "64", root_ + "/tone.wav", (sounds / "music.mp3").string()},
                         {}, root_);
  if (lame.exitCode != 0) GTEST_SKIP() << "no MP3 encoder on this machine";

  int rate = 0, channels = 0;
  auto s = Capture("Y", "N", &rate, &channels, "3000 tap ESC\n", 3, 4000, "real");
  ASSERT_GE(s.size(), static_cast<size_t>(rate) * channels * 29 / 10);
  // Over four restarts, the longest stretch whose 1 ms level falls below a
  // tenth of the tone's.
  const size_t window = static_cast<size_t>(rate) / 1000;
  const double quiet = 0.1 * 8000 / std::sqrt(2.0);
  size_t longest = 0, run = 0, at = 0;
  for (size_t f = static_cast<size_t>(rate) / 5; f < static_cast<size_t>(rate) * 28 / 10; ++f) {
    const double level = Rms(s, rate, channels, static_cast<double>(f) / rate, static_cast<double>(f + window) / rate);
    run = level < quiet ? run + 1 : 0;
    if (run > longest) longest = run, at = f;
  }
  const double gapMs = 1000.0 * static_cast<double>(longest) / rate;
  EXPECT_LT(gapMs, 15) << "at " << static_cast<double>(at) / rate << " s";
  RecordProperty("gap_ms", std::to_string(gapMs));
}

}  // namespace
