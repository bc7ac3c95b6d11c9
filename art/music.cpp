// The game's music: a bouncy 32-bar tune at 128 beats a minute (exactly 60
// seconds), rendered into a ring so every tail that runs past the end
// sounds at the start, which makes the loop seamless; encoded with lame.
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "art/audio.h"
#include "art/generator.h"

namespace art {

namespace {

constexpr double kTau = 2 * M_PI;
constexpr double kBpm = 128;
constexpr double kBeat = 60.0 / kBpm;
constexpr double kEighth = kBeat / 2;
constexpr int kBars = 32;
// About 9 dB under the effects' loudest 50 ms (-16 to -14.5 dBFS): at -14,
// level with them, the music buried the effects that tell the player what
// happened.
constexpr double kMusicRmsDb = -24;
constexpr double kMusicPeakDb = kMusicRmsDb + 9;

struct Ring {
  Wave w;
  explicit Ring(size_t n) : w(n, 0.0) {}
  void Add(long i, double v) { w[static_cast<size_t>(((i % (long)w.size()) + (long)w.size()) % (long)w.size())] += v; }
};

long At(double seconds) { return std::lround(seconds * kRate); }

// Parses a bar of eight eighth-note slots: a note name ("C5", "F#4"), "-" to
// hold the previous note, "." for a rest. Gives (slot, midi, slots) triples.
struct Note {
  int slot, midi, len;
};
int NoteNumber(const std::string& s) {
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  int n = base[s[0] - 'A'];
  size_t i = 1;
  if (s[i] == '#') {
    ++n;
    ++i;
  }
  return n + 12 * (std::stoi(s.substr(i)) + 1);
}
std::vector<Note> ParseBar(const std::string& bar) {
  std::istringstream in(bar);
  std::string tok;
  std::vector<Note> out;
  int slot = 0;
  while (in >> tok) {
    if (tok == "-") {
      if (!out.empty() && out.back().slot + out.back().len == slot) ++out.back().len;
    } else if (tok != ".") {
      out.push_back({slot, NoteNumber(tok), 1});
    }
    ++slot;
  }
  return out;
}

// Chord of each bar: root (midi, bass octave) and the triad's upper tones.
struct Chord {
  int root;
  int tones[3];
};
const Chord kC{48, {60, 64, 67}}, kAm{45, {57, 60, 64}}, kF{41, {57, 60, 65}},
    kG{43, {55, 59, 62}}, kDm{50, {57, 62, 65}}, kEm{40, {55, 59, 64}};

const Chord* kProgression[kBars] = {
    &kC, &kAm, &kF, &kG, &kC, &kAm, &kDm, &kG,   // A
    &kF, &kG, &kEm, &kAm, &kDm, &kG, &kC, &kC,   // B
    &kC, &kAm, &kF, &kG, &kC, &kAm, &kDm, &kG,   // A again
    &kAm, &kF, &kC, &kG, &kAm, &kF, &kG, &kG,    // bridge, leading home
};

const char* kMelody[kBars] = {
    "C5 E5 G5 E5 C6 - G5 -", "A5 - G5 E5 C5 - E5 -", "F5 - A5 - C6 A5 F5 -", "G5 - - D5 G5 A5 B5 -",
    "C6 - B5 C6 G5 - E5 -", "A5 G5 E5 C5 E5 - A5 -", "D5 F5 A5 - F5 D5 F5 -", "G5 - F5 - E5 - D5 -",
    "A5 - C6 - A5 G5 F5 -", "B5 - D6 - B5 A5 G5 -", "G5 - E5 - B4 - E5 G5", "A5 - - - C6 - B5 A5",
    "F5 - A5 - D6 - C6 A5", "B5 - G5 - D5 - G5 -", "E5 G5 C6 G5 E5 G5 C6 -", ". . . . G5 A5 B5 -",
    "C6 E6 - C6 G5 - E5 -", "A5 - C6 A5 E5 - C5 -", "F5 A5 C6 - A5 - F5 -", "G5 - B5 - D6 - B5 -",
    "C6 - B5 C6 E6 - C6 -", "A5 G5 E5 C5 E5 - A5 -", "D5 F5 A5 - D6 - C6 -", "B5 - A5 - B5 - D6 -",
    "E5 - - - A5 - - -", "F5 - - - C5 - - -", "E5 - G5 - C6 - - -", "D6 - - - B5 - G5 -",
    "A5 - C6 - E6 - C6 -", "A5 - C6 - F6 - C6 -", "B5 - D6 - G6 - F6 -", "D6 - B5 - G5 - D5 -",
};

void Kick(Ring& r, double t0, double gain) {
  long a = At(t0);
  double ph = 0;
  for (long i = 0; i < At(0.3); ++i) {
    double t = i / double(kRate);
    ph += kTau * (48 + 110 * std::exp(-t / 0.025)) / kRate;
    r.Add(a + i, std::sin(ph) * Env(t, 0.001, 0.11) * gain);
  }
}

void Snare(Ring& r, double t0, double gain, Noise& n) {
  long a = At(t0);
  Biquad bp = Biquad::BandPass(2200, 0.8);
  for (long i = 0; i < At(0.2); ++i) {
    double t = i / double(kRate);
    double v = bp.Run(n.Next()) * Env(t, 0.001, 0.05) * 1.4 + std::sin(kTau * 190 * t) * Env(t, 0.001, 0.03) * 0.5;
    r.Add(a + i, v * gain);
  }
}

void Hat(Ring& r, double t0, double gain, Noise& n) {
  long a = At(t0);
  Biquad hp = Biquad::HighPass(7000, 0.7);
  for (long i = 0; i < At(0.06); ++i) {
    double t = i / double(kRate);
    r.Add(a + i, hp.Run(n.Next()) * Env(t, 0.0005, 0.012) * gain);
  }
}

// Round, plucked bass: a few harmonics with a falling brightness.
void Bass(Ring& r, double t0, double dur, int midi, double gain) {
  double f = MidiHz(midi);
  long a = At(t0);
  for (long i = 0; i < At(dur + 0.08); ++i) {
    double t = i / double(kRate);
    double bright = std::exp(-t / 0.12);
    double v = std::sin(kTau * f * t) + 0.45 * bright * std::sin(2 * kTau * f * t) +
               0.2 * bright * std::sin(3 * kTau * f * t);
    double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.5) * (t > dur ? std::max(0.0, 1 - (t - dur) / 0.08) : 1);
    r.Add(a + i, v * env * gain);
  }
}

// Marimba-like chord stabs on the off-beats.
void Mallet(Ring& r, double t0, int midi, double gain) {
  double f = MidiHz(midi);
  long a = At(t0);
  for (long i = 0; i < At(0.45); ++i) {
    double t = i / double(kRate);
    double v = std::sin(kTau * f * t) * Env(t, 0.002, 0.16) + 0.35 * std::sin(kTau * 4 * f * t) * Env(t, 0.001, 0.025);
    r.Add(a + i, v * gain);
  }
}

// The lead: a soft band-limited square with a little delayed vibrato.
void Lead(Ring& r, double t0, double dur, int midi, double gain) {
  double f = MidiHz(midi);
  long a = At(t0);
  double ph = 0;
  for (long i = 0; i < At(dur + 0.06); ++i) {
    double t = i / double(kRate);
    double vib = 1 + 0.006 * std::sin(kTau * 5.5 * t) * std::min(1.0, std::max(0.0, (t - 0.15) / 0.15));
    ph += kTau * f * vib / kRate;
    double v = 0;
    for (int n = 1; n * f < 7000 && n <= 9; n += 2) v += std::sin(n * ph) / (n * 1.3);
    v += 0.3 * std::sin(2 * ph);
    double env = std::min(1.0, t / 0.01) * (0.75 + 0.25 * std::exp(-t / 0.08)) *
                 (t > dur ? std::max(0.0, 1 - (t - dur) / 0.06) : 1);
    r.Add(a + i, v * env * gain);
  }
}

}  // namespace

void MakeMusic(const std::string& gameDir, const std::string& work) {
  const double barLen = 4 * kBeat;
  Ring ring(static_cast<size_t>(At(kBars * barLen)));
  Noise noise{2024};
  for (int bar = 0; bar < kBars; ++bar) {
    double t = bar * barLen;
    const Chord& ch = *kProgression[bar];
    bool bridge = bar >= 24;
    // drums: kick on 1 and 3 (and a skip before 3), clap on 2 and 4, hats on eighths
    for (int beat = 0; beat < 4; ++beat) {
      if (beat % 2 == 0) Kick(ring, t + beat * kBeat, bridge ? 0.45 : 0.6);
      else Snare(ring, t + beat * kBeat, bridge ? 0.18 : 0.25, noise);
    }
    if (!bridge && bar % 2 == 1) Kick(ring, t + 3.5 * kBeat, 0.35);
    for (int e = 0; e < 8; ++e) Hat(ring, t + e * kEighth, e % 2 ? 0.09 : 0.05, noise);
    // bass: root, root, fifth, octave in a bouncing eighth pattern
    const int pattern[8] = {0, -1, 0, 7, 12, -1, 7, 0};
    for (int e = 0; e < 8; ++e)
      if (pattern[e] >= 0) Bass(ring, t + e * kEighth, kEighth * 0.85, ch.root + pattern[e], 0.32);
    // off-beat chord stabs
    for (int e = 1; e < 8; e += 2)
      for (int tone : ch.tones) Mallet(ring, t + e * kEighth, tone, bridge ? 0.07 : 0.09);
    // melody
    for (const Note& n : ParseBar(kMelody[bar]))
      Lead(ring, t + n.slot * kEighth, n.len * kEighth * 0.9, n.midi, bridge ? 0.12 : 0.14);
  }
  Wave& w = ring.w;
  // Level for a mix with headroom: the effects play over it, and the
  // player's mixer limits only what goes above about -3 dBFS.
  LevelMusic(w, kMusicRmsDb, kMusicPeakDb);
  MakeDirs(work);
  std::string wav = work + "/music.wav";
  WriteWav(wav, w);
  MakeDirs(gameDir + "/sounds");
  std::string mp3 = gameDir + "/sounds/music.mp3";
  Run({"lame", "--quiet", "-m", "m", "-b", "64", "-q", "2", "--noreplaygain", wav, mp3 + ".tmp"});
  std::filesystem::rename(mp3 + ".tmp", mp3);
}

}  // namespace art
