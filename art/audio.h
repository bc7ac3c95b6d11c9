// Sample buffers and the little DSP kit the effects and the music are made with.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace art {

constexpr int kRate = 22050;
using Wave = std::vector<double>;

inline int Samples(double seconds) { return static_cast<int>(std::lround(seconds * kRate)); }

// 16-bit PCM mono 22050 Hz; samples are clamped to [-1, 1].
void WriteWav(const std::string& path, const Wave& w);
// Reads a 16-bit PCM WAV (mono, or the first channel); gives its rate.
Wave ReadWav(const std::string& path, int* rate);
// Band-limited resampling by windowed sinc; also changes speed and pitch
// together when used with a pretended source rate.
Wave Resample(const Wave& in, double fromRate, double toRate);

// Trims near-silence at both ends, scales the peak to `peak`, and fades the
// ends so the sample starts and stops at zero.
void Shape(Wave& w, double peak = 0.89, double fadeInMs = 4, double fadeOutMs = 25,
           bool trim = true);
void Normalise(Wave& w, double peak);

// Levels for a mix with headroom, in dB relative to full scale.
double PeakDb(const Wave& w);
double RmsDb(const Wave& w);
// The RMS of the loudest 50 ms: how loud a short effect sounds.
double LoudestDb(const Wave& w);
// Scales an effect to a common loudness, but never above a peak of peakDb.
void LevelEffect(Wave& w, double loudestDb, double peakDb);
// Scales the music to an RMS of rmsDb, rounding its peaks off smoothly so
// they stay under peakDb.
void LevelMusic(Wave& w, double rmsDb, double peakDb);

// Deterministic white noise in [-1, 1].
struct Noise {
  uint32_t s = 0x12345678u;
  double Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return (s / 4294967295.0) * 2.0 - 1.0;
  }
};

// RBJ biquad filters.
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  static Biquad LowPass(double f, double q);
  static Biquad HighPass(double f, double q);
  static Biquad BandPass(double f, double q);  // 0 dB peak gain
  void SetBandPass(double f, double q);
  double Run(double x) {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// Exponential decay envelope with a short linear attack.
inline double Env(double t, double attack, double decay) {
  if (t < 0) return 0;
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / decay);
}

double MidiHz(double note);

}  // namespace art
