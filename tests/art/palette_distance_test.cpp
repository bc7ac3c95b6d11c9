// How far apart the heads' colours look, for normal vision and for the three
// kinds of dichromacy. Each colour is simulated with the matrices of Machado,
// Oliveira and Fernandes (2009) at severity 1.0, applied to linear RGB and
// clamped, then taken to CIELAB (D65) and compared by CIEDE2000. The colours
// are the art tool's own constants.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "art/canvas.h"

namespace {

using art::Rgb;

struct Lab {
  double L, a, b;
};

enum Vision { kNormal, kDeuteranopia, kProtanopia, kTritanopia, kVisions };
const char* const kVisionNames[kVisions] = {"normal", "deuteranopia", "protanopia", "tritanopia"};

using Matrix = double[3][3];
const Matrix kSimulation[kVisions] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    {{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}},
    {{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}},
    {{1.255528, -0.076749, -0.178779}, {-0.078411, 0.930809, 0.147602}, {0.004733, 0.691367, 0.303900}},
};

double Linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

Lab ToLab(const double lin[3]) {
  double x = 0.4124564 * lin[0] + 0.3575761 * lin[1] + 0.1804375 * lin[2];
  double y = 0.2126729 * lin[0] + 0.7151522 * lin[1] + 0.0721750 * lin[2];
  double z = 0.0193339 * lin[0] + 0.1191920 * lin[1] + 0.9503041 * lin[2];
  auto f = [](double t) {
    constexpr double d = 6.0 / 29;
    return t > d * d * d ? std::cbrt(t) : t / (3 * d * d) + 4.0 / 29;
  };
  double fx = f(x / 0.95047), fy = f(y), fz = f(z / 1.08883);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

Lab Seen(Rgb c, Vision v) {
  double lin[3] = {Linear(c.r), Linear(c.g), Linear(c.b)}, out[3];
  for (int i = 0; i < 3; ++i) {
    double s = 0;
    for (int j = 0; j < 3; ++j) s += kSimulation[v][i][j] * lin[j];
    out[i] = std::clamp(s, 0.0, 1.0);
  }
  return ToLab(out);
}

double Degrees(double rad) { return rad * 180 / M_PI; }
double Radians(double deg) { return deg * M_PI / 180; }

double Ciede2000(Lab p, Lab q) {
  double c1 = std::hypot(p.a, p.b), c2 = std::hypot(q.a, q.b);
  double cm7 = std::pow((c1 + c2) / 2, 7);
  double g = 0.5 * (1 - std::sqrt(cm7 / (cm7 + std::pow(25.0, 7))));
  double a1 = p.a * (1 + g), a2 = q.a * (1 + g);
  double c1p = std::hypot(a1, p.b), c2p = std::hypot(a2, q.b);
  auto hue = [](double b, double a) {
    double h = Degrees(std::atan2(b, a));
    return h < 0 ? h + 360 : h;
  };
  double h1 = c1p == 0 ? 0 : hue(p.b, a1), h2 = c2p == 0 ? 0 : hue(q.b, a2);
  bool grey = c1p * c2p == 0;
  double dh = grey ? 0 : h2 - h1;
  if (dh > 180) dh -= 360;
  if (dh < -180) dh += 360;
  double dL = q.L - p.L, dC = c2p - c1p;
  double dH = 2 * std::sqrt(c1p * c2p) * std::sin(Radians(dh / 2));
  double lm = (p.L + q.L) / 2, cpm = (c1p + c2p) / 2;
  double hm = h1 + h2;
  if (!grey) {
    if (std::abs(h1 - h2) <= 180) {
      hm /= 2;
    } else {
      hm = hm < 360 ? (hm + 360) / 2 : (hm - 360) / 2;
    }
  }
  double t = 1 - 0.17 * std::cos(Radians(hm - 30)) + 0.24 * std::cos(Radians(2 * hm)) +
             0.32 * std::cos(Radians(3 * hm + 6)) - 0.20 * std::cos(Radians(4 * hm - 63));
  double dTheta = 30 * std::exp(-std::pow((hm - 275) / 25, 2));
  double cpm7 = std::pow(cpm, 7);
  double rc = 2 * std::sqrt(cpm7 / (cpm7 + std::pow(25.0, 7)));
  double sl = 1 + 0.015 * (lm - 50) * (lm - 50) / std::sqrt(20 + (lm - 50) * (lm - 50));
  double sc = 1 + 0.045 * cpm, sh = 1 + 0.015 * cpm * t;
  double rt = -std::sin(Radians(2 * dTheta)) * rc;
  double l = dL / sl, c = dC / sc, h = dH / sh;
  return std::sqrt(l * l + c * c + h * h + rt * c * h);
}

struct Closest {
  double distance;
  int a, b;
};

Closest ClosestPair(const Rgb (&palette)[5], Vision v) {
  Closest best{1e9, -1, -1};
  for (int a = 0; a < 5; ++a)
    for (int b = a + 1; b < 5; ++b) {
      double d = Ciede2000(Seen(palette[a], v), Seen(palette[b], v));
      if (d < best.distance) best = {d, a, b};
    }
  return best;
}

// Published pairs (Sharma, Wu and Dalal 2005), among them the ones that
// catch a wrong mean hue across 0/360 degrees and a missing rotation term.
TEST(PaletteDistance, Ciede2000MatchesThePublishedPairs) {
  struct Pair {
    Lab p, q;
    double expected;
  };
  const Pair pairs[] = {
      {{50, 2.6772, -79.7751}, {50, 0, -82.7485}, 2.0425},
      {{50, 3.1571, -77.2803}, {50, 0, -82.7485}, 2.8615},
      {{50, -1.3802, -84.2814}, {50, 0, -82.7485}, 1.0000},
      {{50, 0, 0}, {50, -1, 2}, 2.3669},
      {{50, 2.49, -0.001}, {50, -2.49, 0.0009}, 7.1792},
      {{50, 2.49, -0.001}, {50, -2.49, 0.0011}, 7.2195},
      {{50, 2.5, 0}, {73, 25, -18}, 27.1492},
      {{50, 2.5, 0}, {61, -5, 29}, 22.8977},
      {{50, 2.5, 0}, {56, -27, -3}, 31.9030},
      {{50, 2.5, 0}, {58, 24, 15}, 19.4535},
  };
  for (const Pair& pair : pairs) {
    EXPECT_NEAR(Ciede2000(pair.p, pair.q), pair.expected, 1e-4);
    EXPECT_NEAR(Ciede2000(pair.q, pair.p), pair.expected, 1e-4);
  }
}

TEST(PaletteDistance, SimulationKeepsGreysAndLosesRedAgainstGreenForRedGreenBlindness) {
  Lab red = Seen(art::Hex(0xff0000), kNormal);
  EXPECT_NEAR(red.L, 53.24, 0.01);
  EXPECT_NEAR(red.a, 80.09, 0.01);
  EXPECT_NEAR(red.b, 67.20, 0.01);
  for (int v = 0; v < kVisions; ++v) {
    Lab grey = Seen(art::Hex(0x808080), Vision(v));
    EXPECT_NEAR(grey.a, 0, 0.3) << kVisionNames[v];
    EXPECT_NEAR(grey.b, 0, 0.3) << kVisionNames[v];
  }
  // A red and a green of the same lightness are far apart for normal vision
  // and for a tritanope, close for the other two.
  Rgb r = art::Hex(0xc05020), g = art::Hex(0x6f7d20);
  EXPECT_GT(Ciede2000(Seen(r, kNormal), Seen(g, kNormal)), 30);
  EXPECT_GT(Ciede2000(Seen(r, kTritanopia), Seen(g, kTritanopia)), 20);
  EXPECT_LT(Ciede2000(Seen(r, kDeuteranopia), Seen(g, kDeuteranopia)), 10);
  EXPECT_LT(Ciede2000(Seen(r, kProtanopia), Seen(g, kProtanopia)), 10);
}

// The usual set is what players see by default; its figures are printed
// beside the colour-blind set's so the two can be compared, and the pairs the
// colour-blind set exists for must show up as too close.
TEST(PaletteDistance, EveryTwoColourBlindHeadsStayApartUnderEveryVision) {
  for (int v = 0; v < kVisions; ++v) {
    Closest usual = ClosestPair(art::pal::kHead, Vision(v));
    Closest blind = ClosestPair(art::pal::kHeadColourBlind, Vision(v));
    std::printf("%-13s usual %5.2f (%d,%d)  colour-blind %5.2f (%d,%d)\n", kVisionNames[v], usual.distance, usual.a,
                usual.b, blind.distance, blind.a, blind.b);
    EXPECT_GE(blind.distance, 20) << kVisionNames[v] << ": heads " << blind.a << " and " << blind.b;
    if (v != kNormal) {
      EXPECT_LT(usual.distance, 20) << kVisionNames[v];
    }
  }
}

// Friendly heads with their ink faces: no colour is near-black or
// near-white, and each stands well apart from the ink.
TEST(PaletteDistance, ColourBlindHeadsAreNeitherDarkNorWashedOut) {
  Lab ink = Seen(art::pal::kInk, kNormal);
  for (Rgb c : art::pal::kHeadColourBlind) {
    Lab lab = Seen(c, kNormal);
    EXPECT_GE(lab.L, 40);
    EXPECT_LE(lab.L, 90);
    EXPECT_GE(std::hypot(lab.a, lab.b), 25) << "too grey to read as a colour";
    for (int v = 0; v < kVisions; ++v) EXPECT_GT(Ciede2000(Seen(c, Vision(v)), ink), 25) << kVisionNames[v];
  }
}

}  // namespace
