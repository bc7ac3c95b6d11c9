#include "art/audio.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "art/files.h"

namespace art {

namespace {
void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}
uint32_t GetLe(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}
}  // namespace

void WriteWav(const std::string& path, const Wave& w) {
  std::string f = "RIFF";
  uint32_t dataBytes = static_cast<uint32_t>(w.size() * 2);
  PutLe(f, 36 + dataBytes, 4);
  f += "WAVEfmt ";
  PutLe(f, 16, 4);
  PutLe(f, 1, 2);  // PCM
  PutLe(f, 1, 2);  // mono
  PutLe(f, kRate, 4);
  PutLe(f, kRate * 2, 4);
  PutLe(f, 2, 2);
  PutLe(f, 16, 2);
  f += "data";
  PutLe(f, dataBytes, 4);
  for (double v : w) {
    long s = std::lround(std::clamp(v, -1.0, 1.0) * 32767.0);
    PutLe(f, static_cast<uint32_t>(static_cast<int16_t>(s)) & 0xffffu, 2);
  }
  WriteFile(path, f);
}

Wave ReadWav(const std::string& path, int* rate) {
  std::string f = ReadFile(path);
  if (f.size() < 12 || f.compare(0, 4, "RIFF") != 0 || f.compare(8, 4, "WAVE") != 0)
    throw std::runtime_error("not a WAV file: " + path);
  int channels = 0, bits = 0;
  size_t at = 12;
  while (at + 8 <= f.size()) {
    uint32_t len = GetLe(f, at + 4, 4);
    size_t body = at + 8;
    // espeak-ng streams to a file and may leave the data length at its
    // maximum: take what is there.
    size_t avail = std::min<size_t>(len, f.size() - body);
    if (f.compare(at, 4, "fmt ") == 0 && avail >= 16) {
      if (GetLe(f, body, 2) != 1) throw std::runtime_error("not PCM: " + path);
      channels = static_cast<int>(GetLe(f, body + 2, 2));
      *rate = static_cast<int>(GetLe(f, body + 4, 4));
      bits = static_cast<int>(GetLe(f, body + 14, 2));
    } else if (f.compare(at, 4, "data") == 0) {
      if (bits != 16 || channels < 1) throw std::runtime_error("unsupported WAV: " + path);
      Wave w;
      size_t frame = 2 * static_cast<size_t>(channels);
      for (size_t p = body; p + frame <= body + avail; p += frame)
        w.push_back(static_cast<int16_t>(GetLe(f, p, 2)) / 32768.0);
      return w;
    }
    at = body + avail + (avail & 1);
  }
  throw std::runtime_error("no data in " + path);
}

Wave Resample(const Wave& in, double fromRate, double toRate) {
  double ratio = toRate / fromRate;
  size_t n = static_cast<size_t>(std::floor(in.size() * ratio));
  Wave out(n);
  double cutoff = std::min(1.0, ratio);  // low-pass when going down
  const int half = 16;
  for (size_t i = 0; i < n; ++i) {
    double src = i / ratio;
    long c = static_cast<long>(std::floor(src));
    double acc = 0, norm = 0;
    for (long k = c - half + 1; k <= c + half; ++k) {
      double x = (src - k) * cutoff;
      double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
      double win = 0.5 + 0.5 * std::cos(M_PI * (src - k) / half);  // Hann
      double wgt = sinc * win;
      norm += wgt;
      if (k >= 0 && k < static_cast<long>(in.size())) acc += in[k] * wgt;
    }
    out[i] = norm != 0 ? acc / norm : 0;
  }
  return out;
}

void Normalise(Wave& w, double peak) {
  double m = 0;
  for (double v : w) m = std::max(m, std::abs(v));
  if (m > 0)
    for (double& v : w) v *= peak / m;
}

namespace {
double Db(double v) { return 20 * std::log10(std::max(v, 1e-9)); }
double FromDb(double db) { return std::pow(10.0, db / 20); }
void Scale(Wave& w, double gain) {
  for (double& v : w) v *= gain;
}
}  // namespace

double PeakDb(const Wave& w) {
  double m = 0;
  for (double v : w) m = std::max(m, std::abs(v));
  return Db(m);
}

double RmsDb(const Wave& w) {
  double sum = 0;
  for (double v : w) sum += v * v;
  return Db(w.empty() ? 0 : std::sqrt(sum / w.size()));
}

double LoudestDb(const Wave& w) {
  const size_t win = std::min(w.size(), static_cast<size_t>(Samples(0.05)));
  if (win == 0) return Db(0);
  double sum = 0, best = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    sum += w[i] * w[i];
    if (i >= win) sum -= w[i - win] * w[i - win];
    best = std::max(best, sum);
  }
  return Db(std::sqrt(best / win));
}

void LevelEffect(Wave& w, double loudestDb, double peakDb) {
  Scale(w, FromDb(std::min(loudestDb - LoudestDb(w), peakDb - PeakDb(w))));
}

void LevelMusic(Wave& w, double rmsDb, double peakDb) {
  // A knee 3 dB under the ceiling, leaving it with slope one; the curve
  // takes some of the RMS away, so scale and bend a few times over.
  const double ceiling = FromDb(peakDb), knee = ceiling * FromDb(-3), room = ceiling - knee;
  Wave original = w;
  double gain = FromDb(rmsDb - RmsDb(w));
  for (int pass = 0; pass < 4; ++pass) {
    for (size_t i = 0; i < w.size(); ++i) {
      const double x = original[i] * gain, a = std::abs(x);
      w[i] = a <= knee ? x : std::copysign(knee + room * std::tanh((a - knee) / room), x);
    }
    gain *= FromDb(rmsDb - RmsDb(w));
  }
}

void Shape(Wave& w, double peak, double fadeInMs, double fadeOutMs, bool trim) {
  if (w.empty()) return;
  if (trim) {
    double m = 0;
    for (double v : w) m = std::max(m, std::abs(v));
    double thr = m * 0.02;
    size_t a = 0, b = w.size();
    while (a < b && std::abs(w[a]) < thr) ++a;
    while (b > a && std::abs(w[b - 1]) < thr) --b;
    // keep a breath of lead-in and tail so soft onsets and decays survive
    a = a > static_cast<size_t>(Samples(0.004)) ? a - Samples(0.004) : 0;
    b = std::min(w.size(), b + Samples(0.03));
    w = Wave(w.begin() + a, w.begin() + b);
  }
  // remove any DC offset so the fades end at true zero
  double mean = 0;
  for (double v : w) mean += v;
  mean /= w.size();
  for (double& v : w) v -= mean;
  Normalise(w, peak);
  size_t fi = std::min(w.size(), static_cast<size_t>(Samples(fadeInMs / 1000)));
  size_t fo = std::min(w.size(), static_cast<size_t>(Samples(fadeOutMs / 1000)));
  for (size_t i = 0; i < fi; ++i) w[i] *= 0.5 - 0.5 * std::cos(M_PI * i / fi);
  for (size_t i = 0; i < fo; ++i) w[w.size() - 1 - i] *= 0.5 - 0.5 * std::cos(M_PI * i / fo);
}

namespace {
struct Coeffs {
  double w0, cosw, alpha;
};
Coeffs Prep(double f, double q) {
  double w0 = 2 * M_PI * std::clamp(f, 10.0, kRate * 0.45) / kRate;
  return {w0, std::cos(w0), std::sin(w0) / (2 * q)};
}
}  // namespace

Biquad Biquad::LowPass(double f, double q) {
  Coeffs c = Prep(f, q);
  double a0 = 1 + c.alpha;
  Biquad b;
  b.b0 = (1 - c.cosw) / 2 / a0;
  b.b1 = (1 - c.cosw) / a0;
  b.b2 = b.b0;
  b.a1 = -2 * c.cosw / a0;
  b.a2 = (1 - c.alpha) / a0;
  return b;
}

Biquad Biquad::HighPass(double f, double q) {
  Coeffs c = Prep(f, q);
  double a0 = 1 + c.alpha;
  Biquad b;
  b.b0 = (1 + c.cosw) / 2 / a0;
  b.b1 = -(1 + c.cosw) / a0;
  b.b2 = b.b0;
  b.a1 = -2 * c.cosw / a0;
  b.a2 = (1 - c.alpha) / a0;
  return b;
}

void Biquad::SetBandPass(double f, double q) {
  Coeffs c = Prep(f, q);
  double a0 = 1 + c.alpha;
  b0 = c.alpha / a0;
  b1 = 0;
  b2 = -c.alpha / a0;
  a1 = -2 * c.cosw / a0;
  a2 = (1 - c.alpha) / a0;
}

Biquad Biquad::BandPass(double f, double q) {
  Biquad b;
  b.SetBandPass(f, q);
  return b;
}

double MidiHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

}  // namespace art
