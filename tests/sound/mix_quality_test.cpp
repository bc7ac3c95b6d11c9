// What the mixer does to the sound itself: the images a rate conversion
// leaves, and the master limiter's two promises (one voice untouched, any
// number of loud voices kept below full scale without flat tops).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/win/dsound.h"
#include "platform/media/limiter.h"
#include "platform/media/mixer.h"
#include "sound_test_support.h"

using namespace soundtest;

namespace {

std::vector<uint8_t> Sine16(uint32_t frames, double hz, uint32_t rate, double amplitude) {
  std::vector<uint8_t> v;
  for (uint32_t i = 0; i < frames; ++i)
    Put16(v, static_cast<uint16_t>(static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)))));
  return v;
}

// Power of one frequency in a windowed stretch of the left channel (Goertzel).
double Power(const std::vector<double>& x, double hz) {
  const double w = 2 * M_PI * hz / platform::kMixRate;
  const double c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (double v : x) {
    const double s0 = v + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

class Mix : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
    ASSERT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
  }
  void TearDown() override {
    for (IDirectSoundBuffer* b : buffers_) b->Release();
    ds_->Release();
    Render(platform::kMixRate);  // the limiter recovers before the next test
  }
  IDirectSoundBuffer* Play(const std::vector<uint8_t>& samples, uint32_t rate) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_STATIC, static_cast<DWORD>(samples.size()), 0, &f};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    void* p1;
    void* p2;
    DWORD n1, n2;
    b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
    std::copy(samples.begin(), samples.end(), static_cast<uint8_t*>(p1));
    b->Unlock(p1, n1, p2, n2);
    b->Play(0, 0, 0);
    buffers_.push_back(b);
    return b;
  }
  static std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> out(frames * 2);
    platform::Mixer::Get().Render(out.data(), frames);
    return out;
  }
  IDirectSound* ds_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

TEST_F(Mix, A22kToneIsRaisedTo44kWithItsImagesBelowMinus50dB) {
  // One second of 5 kHz at 22050 Hz; its first image lies at 22050 - 5000 Hz.
  Play(Sine16(22050, 5000, 22050, 12000), 22050);
  std::vector<int16_t> out = Render(platform::kMixRate / 2);
  // 8192 frames from the middle, under a Blackman-Harris window (side lobes
  // at -92 dB, so the tone's leakage does not hide what lies far from it).
  const size_t n = 8192, from = 8000;
  std::vector<double> x(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = 2 * M_PI * i / (n - 1);
    const double window = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    x[i] = out[2 * (from + i)] * window;
  }
  const double tone = Power(x, 5000);
  ASSERT_GT(tone, 0);
  const double image = Power(x, 17050);
  EXPECT_LT(10 * std::log10(image / tone), -50) << "the first image";
  // Nothing anywhere above the source's Nyquist frequency comes near.
  double worst = 0, worstHz = 0;
  for (double hz = 11500; hz < 22000; hz += 25) {
    const double p = Power(x, hz);
    if (p > worst) worst = p, worstHz = hz;
  }
  EXPECT_LT(10 * std::log10(worst / tone), -50) << "at " << worstHz << " Hz";
  RecordProperty("image_db", std::to_string(10 * std::log10(image / tone)));
  RecordProperty("worst_above_11k_db", std::to_string(10 * std::log10(worst / tone)));
}

TEST_F(Mix, TheLimiterLeavesOneVoiceUntouchedAndKeepsManyLoudOnesBelowFullScale) {
  // One voice at about -6 dBFS: out sample for sample.
  const std::vector<uint8_t> normal = Sine16(4410, 440, 44100, 16400);
  Play(normal, 44100);
  std::vector<int16_t> out = Render(4410);
  for (uint32_t i = 0; i < 4410; ++i) {
    const int16_t in = static_cast<int16_t>(normal[2 * i] | normal[2 * i + 1] << 8);
    ASSERT_EQ(out[2 * i], in) << "frame " << i;
    ASSERT_EQ(out[2 * i + 1], in) << "frame " << i;
  }

  // Twelve voices near full scale starting at the same instant, each a
  // tone of its own: their sum would reach ten times full scale.
  for (int v = 0; v < 12; ++v) Play(Sine16(22050, 300 + 45 * v, 22050, 30000), 22050);
  out = Render(44100);
  int peak = 0, flat = 0;
  for (size_t i = 2; i < out.size(); ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(out[i])));
    // A sample equal to the one before it near the top is a flat top: a
    // hard edge.
    if (std::abs(out[i]) > platform::Limiter::kThreshold && out[i] == out[i - 2]) ++flat;
  }
  EXPECT_LT(peak, 32767);
  EXPECT_LE(peak, platform::Limiter::kCeiling);
  EXPECT_EQ(flat, 0);
  // Turned down, not silenced: the sum still peaks near the threshold once
  // the envelope has caught it.
  int latePeak = 0;
  for (size_t i = 8820 * 2; i < out.size(); ++i) latePeak = std::max(latePeak, std::abs(static_cast<int>(out[i])));
  EXPECT_GT(latePeak, platform::Limiter::kThreshold * 9 / 10);
  RecordProperty("peak_of_twelve_voices", peak);
}

}  // namespace
