// The palette setting: kept in options.ini among the launcher's settings,
// read back as written, and naming sheets the art tool staged.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../support/temp_dir.h"
#include "game/palette.h"
#include "platform/win/bitmap.h"
#include "platform/win/profile.h"

namespace {

constexpr char kOptions[] =
    "[setup]\r\nSFX=N\r\nmusic=Y\r\nplayerid=2\r\n\r\n[Player2]\r\nname=Ada\r\nsend=1\r\n";

std::string Setting(const char* file, const char* section, const char* key) {
  char value[64] = "";
  GetPrivateProfileStringA(section, key, "(none)", value, sizeof value, file);
  return value;
}

TEST(PaletteSetting, RoundTripsThroughTheOptionsFileAndLeavesTheRestAlone) {
  TempDir dir;
  TempDir::Write("options.ini", kOptions);
  EXPECT_EQ(ReadPalette("options.ini"), Palette::kUsual);

  ASSERT_TRUE(WritePalette(Palette::kColourBlind, "options.ini"));
  EXPECT_EQ(ReadPalette("options.ini"), Palette::kColourBlind);
  EXPECT_EQ(Setting("options.ini", "setup", "palette"), "colourblind");
  EXPECT_EQ(Setting("options.ini", "setup", "SFX"), "N");
  EXPECT_EQ(Setting("options.ini", "setup", "playerid"), "2");
  EXPECT_EQ(Setting("options.ini", "Player2", "name"), "Ada");

  ASSERT_TRUE(WritePalette(OtherPalette(Palette::kColourBlind), "options.ini"));
  EXPECT_EQ(ReadPalette("options.ini"), Palette::kUsual);
  EXPECT_EQ(Setting("options.ini", "setup", "palette"), "usual");
  EXPECT_EQ(OtherPalette(Palette::kUsual), Palette::kColourBlind);
}

// The game runs one folder below the launcher and reaches its file by the
// shared relative path; a file that does not exist yet is made.
TEST(PaletteSetting, TheGameReachesTheLaunchersFileFromItsOwnFolder) {
  TempDir dir;
  std::filesystem::create_directory("Quibbleton");
  std::filesystem::current_path("Quibbleton");
  EXPECT_EQ(ReadPalette(), Palette::kUsual);
  ASSERT_TRUE(WritePalette(Palette::kColourBlind));
  EXPECT_EQ(ReadPalette(), Palette::kColourBlind);
  EXPECT_NE(TempDir::Read(dir.Path() + "/options.ini").find("palette=colourblind"), std::string::npos);
}

TEST(PaletteSetting, AnyOtherValueReadsAsUsual) {
  TempDir dir;
  for (const char* value : {"", "colour blind", "cb", "1", "colourblindness", "usual"}) {
    TempDir::Write("options.ini", std::string("[setup]\r\npalette=") + value + "\r\n");
    EXPECT_EQ(ReadPalette("options.ini"), Palette::kUsual) << '"' << value << '"';
  }
  TempDir::Write("options.ini", "[Setup]\r\nPalette = colourblind \r\n");
  EXPECT_EQ(ReadPalette("options.ini"), Palette::kColourBlind) << "sections, keys and spaces as INI files have them";
}

// Each palette names its own staged sheets, and the two of a kind have one size.
TEST(PaletteSetting, EachPalettesSheetsAreStagedWithTheSameSizes) {
  for (auto file : {HeadsFile, CrumbleFile, ScoringFile, TimerDotsFile}) {
    std::string usual = file(Palette::kUsual), blind = file(Palette::kColourBlind);
    SCOPED_TRACE(blind);
    EXPECT_NE(usual, blind);
    auto load = [](const std::string& name) {
      return platform::LoadBitmapSurface((std::string(QB_DIST_DIR) + "/Quibbleton/" + name).c_str(), 16);
    };
    IDirectDrawSurface* a = load(usual);
    IDirectDrawSurface* b = load(blind);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->Width(), b->Width());
    EXPECT_EQ(a->Height(), b->Height());
    a->Release();
    b->Release();
  }
  EXPECT_STREQ(HeadsFile(Palette::kUsual), "quibbleton.bmp");
  EXPECT_STREQ(TimerDotsFile(Palette::kUsual), "timerdots.bmp");
}

}  // namespace
