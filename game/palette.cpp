#include "game/palette.h"

#include <cstring>

#include "platform/win/profile.h"

namespace {

constexpr char kUsualValue[] = "usual";
constexpr char kColourBlindValue[] = "colourblind";

const char* Pick(Palette palette, const char* usual, const char* colourBlind) {
  return palette == Palette::kColourBlind ? colourBlind : usual;
}

}  // namespace

Palette ReadPalette(const char* optionsFile) {
  char value[16] = "";
  GetPrivateProfileStringA(records::kSetupSection, records::kPaletteKey, kUsualValue, value, sizeof value,
                           optionsFile);
  return std::strcmp(value, kColourBlindValue) == 0 ? Palette::kColourBlind : Palette::kUsual;
}

bool WritePalette(Palette palette, const char* optionsFile) {
  return WritePrivateProfileStringA(records::kSetupSection, records::kPaletteKey, PaletteName(palette), optionsFile) !=
         FALSE;
}

const char* PaletteName(Palette palette) { return Pick(palette, kUsualValue, kColourBlindValue); }

Palette OtherPalette(Palette palette) {
  return palette == Palette::kColourBlind ? Palette::kUsual : Palette::kColourBlind;
}

const char* HeadsFile(Palette palette) { return Pick(palette, "quibbleton.bmp", "quibbletoncb.bmp"); }
const char* CrumbleFile(Palette palette) { return Pick(palette, "crumbleanim.bmp", "crumbleanimcb.bmp"); }
const char* ScoringFile(Palette palette) { return Pick(palette, "scoring.bmp", "scoringcb.bmp"); }
const char* TimerDotsFile(Palette palette) { return Pick(palette, "timerdots.bmp", "timerdotscb.bmp"); }
