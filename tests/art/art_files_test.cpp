// Checks every file of the staged tree as the programs will see it: each
// picture through the programs' own loader at 16 bits, each sound as the
// sound library reads it, the music through the MP3 decoder.
#include <cairo.h>
#include <gtest/gtest.h>
#include <mpg123.h>
#include <spawn.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "launcher/bitmap_font.h"
#include "platform/win/bitmap.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

enum class Key { Blue, Black, BlackFree, Opaque };

constexpr uint16_t kBlue565 = 0x001F;
constexpr uint16_t kBlack565 = 0x0000;

struct Picture {
  const char* path;  // relative to the launcher's directory
  int w, h;          // 0 for "any" (fonts' widths)
  Key key;
  int faces;         // horizontal faces that must differ (buttons), else 0
};

// The launcher's files, then the game's.
const Picture kPictures[] = {
    {"background.bmp", 800, 600, Key::BlackFree, 0},
    {"PageArrowsLeft.bmp", 112, 56, Key::Blue, 2},
    {"PageArrowsRight.bmp", 112, 56, Key::Blue, 2},
    {"Info.bmp", 152, 40, Key::Blue, 2},
    {"SmallExit.bmp", 152, 40, Key::Blue, 2},
    {"GameButton.bmp", 750, 100, Key::Blue, 3},
    {"CollectButton.bmp", 250, 100, Key::Blue, 0},
    {"PageNumbers.bmp", 160, 24, Key::Blue, 10},
    {"infoscreen.bmp", 760, 420, Key::Black, 0},
    {"backbutton.bmp", 128, 40, Key::Blue, 2},
    {"PlayButton.bmp", 300, 56, Key::Blue, 2},
    {"HowToPlayButton.bmp", 300, 56, Key::Blue, 2},
    {"HighScoresButton.bmp", 300, 56, Key::Blue, 2},
    {"MenuButton.bmp", 300, 56, Key::Blue, 2},
    {"CreditsButton.bmp", 300, 56, Key::Blue, 2},
    {"ExitButton.bmp", 300, 56, Key::Blue, 2},
    {"PlayersButton.bmp", 480, 52, Key::Blue, 2},
    {"sfx.bmp", 100, 50, Key::Blue, 2},
    {"music.bmp", 100, 50, Key::Blue, 2},
    {"PlayerInfo.bmp", 694, 564, Key::Black, 0},
    {"EnterButton.bmp", 210, 44, Key::Blue, 2},
    {"RemoveButton.bmp", 210, 44, Key::Blue, 2},
    {"BackButton.bmp", 128, 40, Key::Blue, 2},
    {"yesno.bmp", 180, 44, Key::Blue, 2},
    {"HallOfFameScreen.bmp", 694, 564, Key::Black, 0},
    {"UploadButton.bmp", 260, 50, Key::Blue, 2},
    {"ClearScores.bmp", 260, 50, Key::Blue, 2},
    {"ClearQuestion.bmp", 440, 250, Key::Black, 0},
    {"ClearYes.bmp", 260, 44, Key::Blue, 2},
    {"ClearNo.bmp", 260, 44, Key::Blue, 2},
    {"Quibbleton/background.bmp", 800, 600, Key::BlackFree, 0},
    {"Quibbleton/backgroundtouch.bmp", 800, 600, Key::BlackFree, 0},
    {"Quibbleton/quibbleton.bmp", 205, 275, Key::Blue, 0},
    {"Quibbleton/crumbleanim.bmp", 287, 1375, Key::Blue, 0},
    {"Quibbleton/slaveanims.bmp", 574, 110, Key::Blue, 0},
    {"Quibbleton/scoring.bmp", 200, 510, Key::Blue, 0},
    {"Quibbleton/scoremultipliers.bmp", 40, 425, Key::Blue, 0},
    {"Quibbleton/scorefont.bmp", 120, 20, Key::Opaque, 10},
    {"Quibbleton/timerdots.bmp", 45, 9, Key::Blue, 5},
    {"Quibbleton/quibbletoncb.bmp", 205, 275, Key::Blue, 0},
    {"Quibbleton/crumbleanimcb.bmp", 287, 1375, Key::Blue, 0},
    {"Quibbleton/scoringcb.bmp", 200, 510, Key::Blue, 0},
    {"Quibbleton/timerdotscb.bmp", 45, 9, Key::Blue, 5},
    {"Quibbleton/congrats.bmp", 310, 180, Key::Blue, 0},
    {"Quibbleton/GameOverOOT.bmp", 310, 180, Key::Black, 0},
    {"Quibbleton/hallfamepop.bmp", 164, 100, Key::Black, 0},
    {"Quibbleton/paused.bmp", 615, 550, Key::Opaque, 0},
    {"Quibbleton/nomoves.bmp", 310, 150, Key::Blue, 0},
    {"Quibbleton/summary.bmp", 310, 250, Key::Blue, 0},
    {"Quibbleton/notlisted.bmp", 120, 20, Key::Opaque, 0},
    {"Quibbleton/scoreglyphs.bmp", 110, 17, Key::Blue, 0},
    {"Quibbleton/newgame.bmp", 234, 48, Key::Blue, 3},
    {"Quibbleton/howto.bmp", 234, 48, Key::Blue, 3},
    {"Quibbleton/back.bmp", 234, 48, Key::Blue, 3},
    {"Quibbleton/exit.bmp", 234, 48, Key::Blue, 3},
    {"Quibbleton/title/HowToPlay.bmp", 694, 564, Key::Black, 0},
    {"Quibbleton/title/HowToPlayTouch.bmp", 694, 564, Key::Black, 0},
    {"Quibbleton/title/Credits.bmp", 694, 564, Key::Black, 0},
    {"Quibbleton/title/titlebackground.bmp", 800, 600, Key::BlackFree, 0},
    {"Quibbleton/LobboButton.bmp", 250, 100, Key::Blue, 0},
};

struct FontFile {
  const char* path;
  int maxHeight;
};
const FontFile kFonts[] = {
    {"n_font.bmp", 26}, {"h_font.bmp", 26}, {"HallBlackFont.bmp", 24}, {"HallPurpleFont.bmp", 24}};

const char* kSounds[] = {"cheer", "negative", "reveal", "bonus", "squish", "metal",
                         "slide3", "ahh", "huh", "yessir", "click", "blockhit"};

std::string Dist(const std::string& rel) { return std::string(QB_DIST_DIR) + "/" + rel; }

// A picture loaded by the programs' loader, released when done.
class Loaded {
 public:
  explicit Loaded(const std::string& path) : s_(platform::LoadBitmapSurface(path.c_str(), 16)) {}
  ~Loaded() {
    if (s_) s_->Release();
  }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  bool ok() const { return s_ != nullptr; }
  int w() const { return s_->Width(); }
  int h() const { return s_->Height(); }
  uint16_t At(int x, int y) const {
    uint16_t v;
    std::memcpy(&v, s_->Pixels() + y * s_->Pitch() + x * 2, 2);
    return v;
  }

 private:
  IDirectDrawSurface* s_;
};

int R5(uint16_t p) { return p >> 11; }
int G6(uint16_t p) { return (p >> 5) & 63; }
int B5(uint16_t p) { return p & 31; }

// Counts pixels of a region that differ between two equally sized regions.
int Differing(const Loaded& a, int ax, int bx, int w, int h) {
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) n += a.At(ax + x, y) != a.At(bx + x, y);
  return n;
}

TEST(ArtFiles, EveryPictureLoadsWithItsSize) {
  for (const Picture& p : kPictures) {
    SCOPED_TRACE(p.path);
    ASSERT_TRUE(fs::exists(Dist(p.path))) << "missing";
    Loaded img(Dist(p.path));
    ASSERT_TRUE(img.ok()) << "the loader cannot decode it";
    EXPECT_EQ(img.w(), p.w);
    EXPECT_EQ(img.h(), p.h);
  }
  Loaded caret(Dist("blockcursor.bmp"));
  ASSERT_TRUE(caret.ok());
  EXPECT_GE(caret.w(), 6);
  EXPECT_LE(caret.w(), 14);
  EXPECT_GE(caret.h(), 18);
  EXPECT_LE(caret.h(), 26);
}

// Blue-keyed sprites must have transparency and no blue halo: a pixel that
// shows may be neither the key nor a near-key blue. Black-keyed pictures
// likewise with black. Black-free and opaque pictures have no key pixel at all.
TEST(ArtFiles, PicturesObeyTheirKeyRule) {
  std::vector<std::string> all;
  for (const Picture& p : kPictures) all.push_back(p.path);
  all.push_back("blockcursor.bmp");
  for (const FontFile& f : kFonts) all.push_back(f.path);
  for (const std::string& path : all) {
    SCOPED_TRACE(path);
    Key key = Key::Blue;
    for (const Picture& p : kPictures)
      if (path == p.path) key = p.key;
    Loaded img(Dist(path));
    ASSERT_TRUE(img.ok());
    int keyed = 0, fringe = 0;
    for (int y = 0; y < img.h(); ++y) {
      for (int x = 0; x < img.w(); ++x) {
        uint16_t v = img.At(x, y);
        switch (key) {
          case Key::Blue:
            keyed += v == kBlue565;
            fringe += v != kBlue565 && B5(v) >= 24 && R5(v) <= 3 && G6(v) <= 8;
            break;
          case Key::Black:
            keyed += v == kBlack565;
            fringe += v != kBlack565 && R5(v) <= 1 && G6(v) <= 2 && B5(v) <= 1;
            break;
          case Key::BlackFree:
            keyed += v == kBlack565;
            break;
          case Key::Opaque:
            keyed += v == kBlue565;
            break;
        }
      }
    }
    EXPECT_EQ(fringe, 0) << "pixels that almost vanish into the key colour";
    if (key == Key::BlackFree || key == Key::Opaque)
      EXPECT_EQ(keyed, 0) << "pixels that would be keyed out";
    else
      EXPECT_GT(keyed, 0) << "a keyed picture with nothing transparent";
    if (key == Key::Black) {
      // Pop-up pictures show fully in the middle.
      EXPECT_NE(img.At(img.w() / 2, img.h() / 2), kBlack565);
    }
  }
}

TEST(ArtFiles, ButtonFacesAreClearlyDifferent) {
  for (const Picture& p : kPictures) {
    if (p.faces < 2) continue;
    SCOPED_TRACE(p.path);
    Loaded img(Dist(p.path));
    ASSERT_TRUE(img.ok());
    int fw = img.w() / p.faces;
    for (int a = 0; a < p.faces; ++a)
      for (int b = a + 1; b < p.faces; ++b)
        EXPECT_GT(Differing(img, a * fw, b * fw, fw, img.h()), fw * img.h() / 20)
            << "faces " << a << " and " << b << " look alike";
    // A button's faces are drawn over each other: each covers what the others cover.
    // (Digits are not faces; the slot frame's faces are drawn over the game's own picture, which the
    // screen redraws under them.)
    if (std::string(p.path).find("PageNumbers") != std::string::npos ||
        std::string(p.path).find("GameButton") != std::string::npos)
      continue;
    int uncovered = 0;
    for (int y = 0; y < img.h(); ++y)
      for (int x = 0; x < fw; ++x)
        for (int f = 1; f < p.faces; ++f) uncovered += (img.At(x, y) == kBlue565) != (img.At(f * fw + x, y) == kBlue565);
    EXPECT_EQ(uncovered, 0) << "faces cover different pixels";
  }
}

TEST(ArtFiles, SlotFrameIsTransparentInside) {
  Loaded img(Dist("GameButton.bmp"));
  ASSERT_TRUE(img.ok());
  for (int face = 0; face < 3; ++face) {
    for (int y = 15; y < 85; ++y)
      for (int x = 15; x < 235; ++x) ASSERT_EQ(img.At(face * 250 + x, y), kBlue565) << face;
    EXPECT_NE(img.At(face * 250 + 125, 1), kBlue565) << "face " << face << " has no frame";
  }
}

// Every cell of a sheet shows something and has transparent corners, and
// no two cells of the heads are the same picture.
TEST(ArtFiles, SheetsHaveACharacterInEveryCell) {
  struct Sheet {
    const char* path;
    int cw, ch;
  };
  for (Sheet s : {Sheet{"Quibbleton/quibbleton.bmp", 41, 55}, Sheet{"Quibbleton/slaveanims.bmp", 41, 55},
                  Sheet{"Quibbleton/scoring.bmp", 40, 17}, Sheet{"Quibbleton/scoremultipliers.bmp", 40, 17},
                  Sheet{"Quibbleton/timerdots.bmp", 9, 9}, Sheet{"Quibbleton/quibbletoncb.bmp", 41, 55},
                  Sheet{"Quibbleton/scoringcb.bmp", 40, 17}, Sheet{"Quibbleton/timerdotscb.bmp", 9, 9}}) {
    SCOPED_TRACE(s.path);
    Loaded img(Dist(s.path));
    ASSERT_TRUE(img.ok());
    for (int cy = 0; cy < img.h() / s.ch; ++cy) {
      for (int cx = 0; cx < img.w() / s.cw; ++cx) {
        int shown = 0;
        for (int y = 0; y < s.ch; ++y)
          for (int x = 0; x < s.cw; ++x) shown += img.At(cx * s.cw + x, cy * s.ch + y) != kBlue565;
        EXPECT_GT(shown, s.cw * s.ch / 10) << "cell " << cx << "," << cy << " is (almost) empty";
        EXPECT_EQ(img.At(cx * s.cw, cy * s.ch), kBlue565) << "cell " << cx << "," << cy;
      }
    }
  }
  for (const char* path : {"Quibbleton/quibbleton.bmp", "Quibbleton/quibbletoncb.bmp"}) {
    SCOPED_TRACE(path);
    Loaded heads(Dist(path));
    ASSERT_TRUE(heads.ok());
    auto cell = [&](int t) {
      std::vector<uint16_t> px;
      for (int y = 0; y < 55; ++y)
        for (int x = 0; x < 41; ++x) px.push_back(heads.At((t % 5) * 41 + x, (t / 5) * 55 + y));
      return px;
    };
    for (int a = 0; a < 25; ++a)
      for (int b = a + 1; b < 25; ++b) EXPECT_NE(cell(a), cell(b)) << "heads " << a << " and " << b;
  }
}

// The game swaps a colour-blind sheet for the usual one and nothing else:
// the same pixels show and the same are transparent, while every colour's
// row (or column, or dot) is drawn in another colour.
TEST(ArtFiles, ColourBlindSheetsKeepTheUsualLayoutInOtherColours) {
  struct Pair {
    const char* usual;
    const char* blind;
    int bandW, bandH;  // one colour's band: a row of the heads, a column of the points
  };
  for (Pair p : {Pair{"quibbleton", "quibbletoncb", 205, 55}, Pair{"crumbleanim", "crumbleanimcb", 287, 275},
                 Pair{"scoring", "scoringcb", 40, 510}, Pair{"timerdots", "timerdotscb", 9, 9}}) {
    SCOPED_TRACE(p.blind);
    Loaded usual(Dist(std::string("Quibbleton/") + p.usual + ".bmp"));
    Loaded blind(Dist(std::string("Quibbleton/") + p.blind + ".bmp"));
    ASSERT_TRUE(usual.ok() && blind.ok());
    ASSERT_EQ(usual.w(), blind.w());
    ASSERT_EQ(usual.h(), blind.h());
    int maskDiffers = 0;
    for (int y = 0; y < usual.h(); ++y)
      for (int x = 0; x < usual.w(); ++x) maskDiffers += (usual.At(x, y) == kBlue565) != (blind.At(x, y) == kBlue565);
    EXPECT_EQ(maskDiffers, 0);
    for (int band = 0; band < 5; ++band) {
      int bx = p.bandW == usual.w() ? 0 : band * p.bandW, by = p.bandW == usual.w() ? band * p.bandH : 0;
      int recoloured = 0, shown = 0;
      for (int y = by; y < by + p.bandH; ++y)
        for (int x = bx; x < bx + p.bandW; ++x) {
          shown += usual.At(x, y) != kBlue565;
          recoloured += usual.At(x, y) != blind.At(x, y);
        }
      EXPECT_GT(recoloured, shown / 3) << "colour " << band << " is hardly changed";
    }
  }
}

// Each head's crumble starts from the head, ends as (almost) nothing, and
// shows less and less of it on the way.
TEST(ArtFiles, CrumblesFadeAway) {
  for (const char* path : {"Quibbleton/crumbleanim.bmp", "Quibbleton/crumbleanimcb.bmp"}) {
    SCOPED_TRACE(path);
    Loaded img(Dist(path));
    ASSERT_TRUE(img.ok());
    for (int t = 0; t < 25; ++t) {
      std::vector<int> shown;
      for (int f = 0; f < 7; ++f) {
        int n = 0;
        for (int y = 0; y < 55; ++y)
          for (int x = 0; x < 41; ++x) n += img.At(f * 41 + x, t * 55 + y) != kBlue565;
        shown.push_back(n);
      }
      EXPECT_GT(shown[0], 600) << t;
      EXPECT_LT(shown[6], shown[0] / 3) << t;
      EXPECT_GT(shown[6], 0) << t;
    }
  }
}

// The launcher's glyph scan: a glyph starts at a column with any non-key
// pixel and ends at the next all-key column. Every font has "!".."~", the
// launcher's extra letters and the placeholder, each whole.
TEST(ArtFiles, FontsScanIntoEveryGlyphTheLauncherReads) {
  for (const FontFile& f : kFonts) {
    SCOPED_TRACE(f.path);
    Loaded img(Dist(f.path));
    ASSERT_TRUE(img.ok());
    EXPECT_LE(img.h(), f.maxHeight);
    EXPECT_GE(img.h(), 16);
    auto blankColumn = [&](int x) {
      for (int y = 0; y < img.h(); ++y)
        if (img.At(x, y) != kBlue565) return false;
      return true;
    };
    int glyphs = 0, x = 0, widest = 0;
    while (x < img.w()) {
      while (x < img.w() && blankColumn(x)) ++x;
      if (x == img.w()) break;
      int start = x;
      while (x < img.w() && !blankColumn(x)) ++x;
      ASSERT_LT(x, img.w()) << "glyph " << glyphs << " has no blue column after it";
      widest = std::max(widest, x - start);
      ++glyphs;
    }
    EXPECT_EQ(glyphs, kFontMaxGlyphs);
    EXPECT_TRUE(blankColumn(0)) << "ink touches the left edge";
    EXPECT_TRUE(blankColumn(img.w() - 1)) << "ink touches the right edge";
    EXPECT_GE(widest, 8) << "glyphs too small to read";
    for (int xx = 0; xx < img.w(); ++xx) {  // blue all around the ink
      EXPECT_EQ(img.At(xx, 0), kBlue565);
      EXPECT_EQ(img.At(xx, img.h() - 1), kBlue565);
    }
  }
}

struct Wav {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> samples;
};

Wav ReadWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Wav w;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(f[at + i]);
    return v;
  };
  if (f.size() < 12 || f.compare(0, 4, "RIFF") || f.compare(8, 4, "WAVE")) return w;
  for (size_t at = 12; at + 8 <= f.size();) {
    size_t len = le(at + 4, 4), body = at + 8;
    if (body + len > f.size()) return Wav{};
    if (!f.compare(at, 4, "fmt ") && len >= 16) {
      w.format = static_cast<int>(le(body, 2));
      w.channels = static_cast<int>(le(body + 2, 2));
      w.rate = static_cast<int>(le(body + 4, 4));
      w.bits = static_cast<int>(le(body + 14, 2));
    } else if (!f.compare(at, 4, "data")) {
      for (size_t p = body; p + 2 <= body + len; p += 2) w.samples.push_back(static_cast<int16_t>(le(p, 2)));
    }
    at = body + len + (len & 1);
  }
  return w;
}

// The RMS of the loudest 50 ms at 22050 Hz, in dB of full scale: how loud a short effect sounds.
double LoudestDb(const std::vector<int16_t>& samples) {
  const size_t win = std::min<size_t>(samples.size(), 22050 / 20);
  double sum = 0, best = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    sum += double(samples[i]) * samples[i];
    if (i >= win) sum -= double(samples[i - win]) * samples[i - win];
    best = std::max(best, sum);
  }
  return 10 * std::log10(best / win / (32768.0 * 32768.0));
}

TEST(ArtFiles, SoundsAreShortCleanPcmWithHeadroomAndInLine) {
  std::map<std::string, double> loudest;  // RMS of the loudest 50 ms, in dB
  for (const char* name : kSounds) {
    SCOPED_TRACE(name);
    Wav w = ReadWav(Dist(std::string("Quibbleton/sounds/") + name + ".wav"));
    EXPECT_EQ(w.format, 1);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 22050);
    EXPECT_EQ(w.bits, 16);
    ASSERT_GT(w.samples.size(), 22050u / 50) << "too short to hear";
    EXPECT_LT(w.samples.size(), 22050u * 3) << "an effect, not a song";
    int peak = 0, atLimit = 0;
    for (int16_t s : w.samples) {
      peak = std::max(peak, std::abs(static_cast<int>(s)));
      atLimit += s >= 32767 || s <= -32767;
    }
    EXPECT_GT(peak, 32768 / 8) << "(nearly) silent";
    EXPECT_LE(peak, 16800) << "peaks above -6 dBFS leave a mix no headroom";
    EXPECT_EQ(atLimit, 0) << "clipped";
    loudest[name] = LoudestDb(w.samples);
    // No click at either end: it starts and stops near zero.
    EXPECT_LT(std::abs(w.samples.front()), 300);
    EXPECT_LT(std::abs(w.samples.back()), 300);
  }
  // None stands out above the others, and the most frequent ("crack", in
  // metal.wav) is among the loudest.
  double top = -100;
  for (const auto& [name, db] : loudest) top = std::max(top, db);
  for (const char* name : {"negative", "metal", "slide3", "bonus", "reveal"})
    EXPECT_GT(loudest[name], top - 2) << name;
}

TEST(ArtFiles, MusicDecodesToAboutAMinuteWellUnderTheEffects) {
  ASSERT_EQ(mpg123_init(), MPG123_OK);
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  ASSERT_NE(mh, nullptr);
  ASSERT_EQ(mpg123_open(mh, Dist("Quibbleton/sounds/music.mp3").c_str()), MPG123_OK);
  long rate = 0;
  int channels = 0, encoding = 0;
  ASSERT_EQ(mpg123_getformat(mh, &rate, &channels, &encoding), MPG123_OK);
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(channels, 1);
  std::vector<unsigned char> buf(16384);
  size_t total = 0, done = 0;
  double sumSq = 0;
  int rc;
  while ((rc = mpg123_read(mh, buf.data(), buf.size(), &done)) == MPG123_OK || done > 0) {
    if (encoding == MPG123_ENC_SIGNED_16) {
      for (size_t i = 0; i + 1 < done; i += 2) {
        int16_t s;
        std::memcpy(&s, &buf[i], 2);
        sumSq += double(s) * s;
      }
    }
    total += done;
    if (rc != MPG123_OK) break;
  }
  EXPECT_EQ(rc, MPG123_DONE);
  mpg123_close(mh);
  mpg123_delete(mh);
  ASSERT_EQ(encoding, MPG123_ENC_SIGNED_16);
  double seconds = total / 2.0 / channels / rate;
  EXPECT_GT(seconds, 50);
  EXPECT_LT(seconds, 75);
  const double musicDb = 20 * std::log10(std::sqrt(sumSq / (total / 2.0)) / 32768);
  // Well under the effects, or they are lost in it: 8 to 10 dB under the
  // loudest moment of the most frequent one ("crack").
  const double effectDb = LoudestDb(ReadWav(Dist("Quibbleton/sounds/metal.wav")).samples);
  EXPECT_GE(effectDb - musicDb, 8) << musicDb << " against " << effectDb;
  EXPECT_LE(effectDb - musicDb, 10.5) << musicDb << " against " << effectDb;
}

TEST(ArtFiles, SetupFilesHoldTheDefaults) {
  auto read = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  std::string game = read(Dist("Quibbleton/setup.ini"));
  for (const char* s : {"[setup]", "fullscreen=0", "nowindow=0", "[default]", "balloons=2", "gametime=300"})
    EXPECT_NE(game.find(s), std::string::npos) << s;
  std::string launcher = read(Dist("setup.ini"));
  for (const char* s : {"[setup]", "fullscreen=0", "nowindow=0"})
    EXPECT_NE(launcher.find(s), std::string::npos) << s;
  EXPECT_EQ(launcher.find("[default]"), std::string::npos);
}

// The web app's icons: the sizes the manifest names; the plain ones keep the
// tile's rounded corners clear, the maskable one fills its square to the
// edge (a phone cuts its own shape out of it) with the tile's colours.
TEST(ArtFiles, WebAppIconsHaveTheirSizesAndTheMaskableOneFillsItsSquare) {
  struct Icon {
    const char* name;
    int size;
    bool filled;
  };
  for (const Icon& icon : {Icon{"web-192.png", 192, false}, Icon{"web-512.png", 512, false},
                           Icon{"web-maskable-512.png", 512, true}}) {
    const std::string path = std::string(QB_BINARY_DIR) + "/icons/" + icon.name;
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS) << path;
    EXPECT_EQ(cairo_image_surface_get_width(png), icon.size) << icon.name;
    EXPECT_EQ(cairo_image_surface_get_height(png), icon.size) << icon.name;
    const unsigned char* data = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    const int last = icon.size - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{last, 0}, std::pair{0, last}, std::pair{last, last},
                               std::pair{icon.size / 2, icon.size / 2}}) {
      uint32_t pixel;
      std::memcpy(&pixel, data + y * stride + x * 4, 4);
      const bool corner = x != icon.size / 2;
      // Cairo's ARGB32: the alpha in the top byte.
      if (icon.filled || !corner) {
        EXPECT_EQ(pixel >> 24, 255u) << icon.name << " at " << x << "," << y;
      } else {
        EXPECT_EQ(pixel >> 24, 0u) << icon.name << " at " << x << "," << y;
      }
    }
    cairo_surface_destroy(png);
  }
}

// Windows' icon file: each of its entries a PNG of the size its directory
// entry says, where the entry says it is.
TEST(ArtFiles, TheWindowsIconHoldsEachSizeAsAPng) {
  std::ifstream in(std::string(QB_BINARY_DIR) + "/icons/lobbo.ico", std::ios::binary);
  const std::string ico((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(ico[at]) | static_cast<uint8_t>(ico[at + 1]) << 8); };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  auto be32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(ico[at]) << 24 | static_cast<uint8_t>(ico[at + 1]) << 16 |
                                 static_cast<uint8_t>(ico[at + 2]) << 8 | static_cast<uint8_t>(ico[at + 3]));
  };
  ASSERT_GT(ico.size(), 6u);
  EXPECT_EQ(u16(0), 0u);
  EXPECT_EQ(u16(2), 1u);
  const uint32_t count = u16(4);
  ASSERT_GE(count, 4u);
  std::vector<uint32_t> sizes;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    const uint32_t size = static_cast<uint8_t>(ico[entry]) == 0 ? 256 : static_cast<uint8_t>(ico[entry]);
    const uint32_t bytes = u32(entry + 8), offset = u32(entry + 12);
    ASSERT_LE(uint64_t{offset} + bytes, ico.size()) << "entry " << i;
    ASSERT_EQ(ico.compare(offset, 8, "\x89PNG\r\n\x1a\n"), 0) << "entry " << i;
    EXPECT_EQ(be32(offset + 16), size) << "entry " << i;  // the IHDR's width
    EXPECT_EQ(be32(offset + 20), size) << "entry " << i;
    sizes.push_back(size);
  }
  for (uint32_t wanted : {16u, 32u, 48u, 256u})
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), wanted), sizes.end()) << wanted;
}

// Windows names files in any case: two names of the tree that differ only in
// case are one file there, so they must hold the same bytes.
TEST(ArtFiles, NamesThatDifferOnlyInCaseHoldTheSamePicture) {
  std::map<std::string, fs::path> byFoldedName;
  int pairs = 0;
  for (const auto& e : fs::recursive_directory_iterator(QB_DIST_DIR)) {
    if (!e.is_regular_file()) continue;
    std::string folded = fs::relative(e.path(), QB_DIST_DIR).generic_string();
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto [it, added] = byFoldedName.emplace(folded, e.path());
    if (added) continue;
    ++pairs;
    std::ifstream a(it->second, std::ios::binary), b(e.path(), std::ios::binary);
    const std::string first((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
    const std::string second((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
    EXPECT_EQ(first, second) << it->second << " and " << e.path();
  }
  EXPECT_EQ(pairs, 1);  // BackButton.bmp and backbutton.bmp
}

// A second run of the generator into a fresh tree gives the same bytes.
TEST(ArtFiles, GeneratorIsDeterministic) {
  fs::path out = fs::temp_directory_path() / ("art-rerun-" + std::to_string(getpid()));
  fs::remove_all(out);
  fs::create_directories(out);
  std::string dist = (out / "dist").string(), game = dist + "/Quibbleton",
              preview = (out / "preview.png").string(), work = (out / "work").string(),
              icons = (out / "icons").string();
  const char* argv[] = {QB_ART_EXE, dist.c_str(), game.c_str(), preview.c_str(), work.c_str(), icons.c_str(),
                        nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, QB_ART_EXE, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  auto bytes = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  int compared = 0;
  for (auto& e : fs::recursive_directory_iterator(dist)) {
    if (!e.is_regular_file()) continue;
    fs::path rel = fs::relative(e.path(), dist);
    EXPECT_EQ(bytes(e.path()), bytes(fs::path(QB_DIST_DIR) / rel)) << rel;
    ++compared;
  }
  EXPECT_EQ(compared, 80);
  for (auto& e : fs::directory_iterator(icons)) {
    EXPECT_EQ(bytes(e.path()), bytes(fs::path(QB_BINARY_DIR) / "icons" / e.path().filename())) << e.path();
    ++compared;
  }
  EXPECT_EQ(compared, 80 + 9);
  fs::remove_all(out);
}

}  // namespace
