// The game's sound effects, synthesised, and its three voices, spoken by
// espeak-ng and then shaped.
#include <algorithm>
#include <cmath>

#include "art/audio.h"
#include "art/generator.h"

namespace art {

namespace {

constexpr double kTau = 2 * M_PI;
// Every effect at one loudness (its loudest 50 ms), peaking at -6 dBFS at
// most, so that several together and the music leave the mix headroom.
constexpr double kEffectLoudestDb = -16;
constexpr double kEffectPeakDb = -6;

// Band-limited sawtooth-like buzz (for voices in the crowd): harmonics
// falling off as 1/n, up to below Nyquist.
double Buzz(double phase, double f) {
  double s = 0;
  for (int n = 1; n * f < kRate * 0.42 && n <= 24; ++n) s += std::sin(n * phase) / n;
  return s * 0.6;
}

Wave Cheer() {
  Wave w(Samples(2.1), 0.0);
  Noise rnd{0xC4EE12u};
  auto uni = [&] { return (rnd.Next() + 1) / 2; };
  // A crowd: voices shouting a vowel, each with its own pitch and start.
  for (int v = 0; v < 16; ++v) {
    double f0 = 170 + uni() * 260, start = uni() * 0.25, len = 1.1 + uni() * 0.6;
    double vibF = 4.5 + uni() * 3, vibA = 0.02 + uni() * 0.03;
    double f1 = 650 + uni() * 200, f2 = 1100 + uni() * 600;
    Biquad form1 = Biquad::BandPass(f1, 5), form2 = Biquad::BandPass(f2, 6);
    double phase = 0;
    int a = Samples(start), n = Samples(len);
    for (int i = 0; i < n && a + i < static_cast<int>(w.size()); ++i) {
      double t = i / double(kRate);
      double glide = 1 + 0.25 * std::min(1.0, t / 0.15) - 0.12 * (t / len);
      double f = f0 * glide * (1 + vibA * std::sin(kTau * vibF * t));
      phase += kTau * f / kRate;
      double src = Buzz(phase, f) + 0.15 * rnd.Next();
      double env = std::min(1.0, t / 0.08) * std::min(1.0, (len - t) / 0.4);
      w[a + i] += (form1.Run(src) * 1.0 + form2.Run(src) * 0.6) * env * 0.5;
    }
  }
  // Hand claps scattered through it.
  Biquad clapBp = Biquad::BandPass(1500, 1.2);
  std::vector<int> claps;
  for (int k = 0; k < 34; ++k) claps.push_back(Samples(0.05 + uni() * 1.6));
  std::sort(claps.begin(), claps.end());
  for (size_t i = 0; i < w.size(); ++i) {
    double e = 0;
    for (int c : claps) {
      int d = static_cast<int>(i) - c;
      if (d >= 0 && d < Samples(0.05)) e += std::exp(-d / double(Samples(0.008)));
    }
    w[i] += clapBp.Run(rnd.Next() * e) * 1.6;
  }
  // a whistle on top
  double ph = 0;
  for (int i = 0; i < Samples(0.7); ++i) {
    double t = i / double(kRate);
    double f = 1800 + 900 * std::min(1.0, t / 0.25) - 300 * std::max(0.0, t - 0.45);
    ph += kTau * f / kRate;
    w[Samples(0.35) + i] += std::sin(ph) * 0.12 * std::min(1.0, t / 0.05) * std::min(1.0, (0.7 - t) / 0.2);
  }
  Shape(w, 0.89, 10, 300);
  return w;
}

Wave Negative() {
  // "nuh-uh": two low, buzzy notes falling.
  Wave w(Samples(0.55), 0.0);
  Biquad lp = Biquad::LowPass(1400, 0.8);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / double(kRate);
    bool second = t >= 0.25;
    double tn = second ? t - 0.25 : t;
    double f = (second ? 147 : 196) * (1 - 0.06 * tn / 0.25);
    phase += kTau * f / kRate;
    double sq = 0;
    for (int n = 1; n * f < 5000; n += 2) sq += std::sin(n * phase) / n;
    double env = std::min(1.0, tn / 0.01) * (second ? std::exp(-tn / 0.2) : std::min(1.0, (0.23 - tn) / 0.03));
    w[i] = lp.Run(sq * std::max(0.0, env));
  }
  Shape(w, 0.85, 3, 40);
  return w;
}

Wave Reveal() {
  // A rising, sparkling arpeggio over a whoosh.
  Wave w(Samples(1.0), 0.0);
  const int notes[] = {72, 76, 79, 84, 88, 91};
  for (int k = 0; k < 6; ++k) {
    double f = MidiHz(notes[k]);
    int a = Samples(0.065 * k);
    for (int i = 0; a + i < static_cast<int>(w.size()); ++i) {
      double t = i / double(kRate);
      double env = Env(t, 0.004, 0.18);
      w[a + i] += (std::sin(kTau * f * t) + 0.3 * std::sin(kTau * 2 * f * t) * std::exp(-t / 0.05)) *
                  env * 0.35;
    }
  }
  Noise n{77};
  Biquad bp;
  for (int i = 0; i < Samples(0.5); ++i) {
    double t = i / double(kRate);
    bp.SetBandPass(600 + 5000 * t / 0.5, 2.5);
    w[i] += bp.Run(n.Next()) * 0.5 * std::sin(M_PI * t / 0.5);
  }
  Shape(w, 0.85, 3, 120);
  return w;
}

Wave Bonus() {
  // Bright two-step ding: FM bells.
  Wave w(Samples(0.75), 0.0);
  for (int k = 0; k < 2; ++k) {
    double f = k == 0 ? 1568 : 2093;
    int a = Samples(0.07 * k);
    for (int i = 0; a + i < static_cast<int>(w.size()); ++i) {
      double t = i / double(kRate);
      double idx = 2.2 * std::exp(-t / 0.08);
      double s = std::sin(kTau * f * t + idx * std::sin(kTau * f * 3.5 * t));
      w[a + i] += s * Env(t, 0.002, 0.22) * (k == 0 ? 0.5 : 0.6);
    }
  }
  Shape(w, 0.85, 2, 80, false);
  return w;
}

Wave Squish() {
  // Wet squish: noise through a falling resonance, with a few bubbles.
  Wave w(Samples(0.42), 0.0);
  Noise n{4242};
  Biquad bp, lp = Biquad::LowPass(2500, 0.7);
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / double(kRate);
    bp.SetBandPass(1400 * std::exp(-t / 0.12) + 220, 4);
    double env = std::min(1.0, t / 0.01) * std::exp(-t / 0.13);
    w[i] = lp.Run(bp.Run(n.Next()) * env * 3);
  }
  for (int b = 0; b < 4; ++b) {
    double f0 = 380 + b * 110, start = 0.04 + b * 0.06;
    int a = Samples(start);
    double ph = 0;
    for (int i = 0; i < Samples(0.06) && a + i < static_cast<int>(w.size()); ++i) {
      double t = i / double(kRate);
      ph += kTau * f0 * (1 + 2.5 * t / 0.06) / kRate;
      w[a + i] += std::sin(ph) * std::sin(M_PI * t / 0.06) * 0.25;
    }
  }
  Shape(w, 0.85, 3, 60);
  return w;
}

Wave Metal() {
  // A head cracking: a sharp crack and a short metallic ring.
  Wave w(Samples(0.4), 0.0);
  Noise n{9001};
  Biquad hp = Biquad::HighPass(1800, 0.7), lp = Biquad::LowPass(3500, 0.7);
  const double partials[] = {1230, 1887, 2745, 3420, 4410};
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / double(kRate);
    double crack = hp.Run(n.Next()) * std::exp(-t / 0.012) * 1.3;
    double crunch = lp.Run(n.Next()) * std::exp(-t / 0.05) * 0.4 * (std::sin(kTau * 90 * t) > 0 ? 1 : 0.3);
    double ring = 0;
    for (int k = 0; k < 5; ++k) ring += std::sin(kTau * partials[k] * t + k) * std::exp(-t / (0.14 - k * 0.02)) / (1 + k * 0.5);
    w[i] = crack + crunch + ring * 0.28 * std::min(1.0, t / 0.002);
  }
  // The game's most frequent sound: its first crack is many times louder
  // than the ring that follows, which left the whole sound quiet once its
  // peak was levelled. Saturating it brings the body up to the crack.
  Normalise(w, 1.0);
  for (double& v : w) v = std::tanh(3 * v) / std::tanh(3.0);
  Shape(w, 0.85, 1, 60, false);
  return w;
}

Wave Slide() {
  Wave w(Samples(0.3), 0.0);
  Noise n{555};
  Biquad bp;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / double(kRate);
    bp.SetBandPass(700 * std::pow(4.0, t / 0.3), 3);
    w[i] = bp.Run(n.Next()) * std::sin(M_PI * t / 0.3);
  }
  Shape(w, 0.8, 5, 40, false);
  return w;
}

Wave Click() {
  Wave w(Samples(0.045), 0.0);
  Noise n{31};
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / double(kRate);
    w[i] = (std::sin(kTau * 2200 * t) * 0.8 + n.Next() * 0.25) * std::exp(-t / 0.006);
  }
  Shape(w, 0.75, 0.5, 10, false);
  return w;
}

Wave BlockHit() {
  Wave w(Samples(0.28), 0.0);
  Noise n{1212};
  Biquad lp = Biquad::LowPass(900, 0.7);
  double ph = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / double(kRate);
    ph += kTau * (55 + 75 * std::exp(-t / 0.03)) / kRate;
    w[i] = std::sin(ph) * Env(t, 0.002, 0.09) + lp.Run(n.Next()) * std::exp(-t / 0.015) * 0.8;
  }
  Shape(w, 0.89, 1, 50, false);
  return w;
}

// Speaks `text` with espeak-ng into work/name.raw.wav, then shapes it:
// to 22050 Hz (with `speed` raising pitch and pace together), trimmed,
// normalised, with soft ends.
Wave Voice(const std::string& work, const std::string& name, const std::string& text,
           const std::string& voice, int pitch, int wpm, double speed) {
  std::string raw = work + "/" + name + ".raw.wav";
  Run({"espeak-ng", "-v", voice, "-p", std::to_string(pitch), "-s", std::to_string(wpm), "-a", "150",
       "-w", raw, text});
  int rate = 0;
  Wave w = ReadWav(raw, &rate);
  w = Resample(w, rate * speed, kRate);
  // a touch of brightness for the small speakers of laptops
  Biquad hp = Biquad::HighPass(120, 0.7);
  for (double& v : w) v = hp.Run(v);
  Shape(w, 0.89, 6, 40);
  return w;
}

void WriteEffect(const std::string& path, Wave w) {
  LevelEffect(w, kEffectLoudestDb, kEffectPeakDb);
  WriteWav(path, w);
}

}  // namespace

void MakeSounds(const std::string& gameDir, const std::string& work) {
  std::string dir = gameDir + "/sounds";
  MakeDirs(dir);
  MakeDirs(work);
  WriteEffect(dir + "/cheer.wav", Cheer());
  WriteEffect(dir + "/negative.wav", Negative());
  WriteEffect(dir + "/reveal.wav", Reveal());
  WriteEffect(dir + "/bonus.wav", Bonus());
  WriteEffect(dir + "/squish.wav", Squish());
  WriteEffect(dir + "/metal.wav", Metal());
  WriteEffect(dir + "/slide3.wav", Slide());
  WriteEffect(dir + "/click.wav", Click());
  WriteEffect(dir + "/blockhit.wav", BlockHit());
  WriteEffect(dir + "/yessir.wav", Voice(work, "yessir", "Yes sir!", "en-us+m3", 70, 175, 1.12));
  WriteEffect(dir + "/ahh.wav", Voice(work, "ahh", "Aaaahh!", "en-us+m3", 85, 130, 1.15));
  WriteEffect(dir + "/huh.wav", Voice(work, "huh", "Huh?", "en-us+m3", 60, 160, 1.1));
}

}  // namespace art
