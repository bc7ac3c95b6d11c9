// The head colours the player plays with: the usual set, or the colour-blind
// set whose colours stay apart for every kind of dichromacy. The choice is
// kept in options.ini beside the sound switches, so it holds from one game
// to the next; each palette has its own sheets of the same sizes and
// layout, so changing it only changes which files are loaded.
#pragma once

#include "records/shared_files.h"

enum class Palette { kUsual, kColourBlind };

// The palette options.ini names; a missing file or key, or any other value,
// reads as the usual palette.
Palette ReadPalette(const char* optionsFile = records::kOptionsFromGame);
// Keeps the choice (the file is replaced whole); false when it cannot be written.
bool WritePalette(Palette palette, const char* optionsFile = records::kOptionsFromGame);
// The palette's value in options.ini (and the game's details): "usual" or "colourblind".
const char* PaletteName(Palette palette);
// The palette the key switches to from this one.
Palette OtherPalette(Palette palette);

// The game's sheets whose colours follow the heads', in the game's folder.
const char* HeadsFile(Palette palette);      // 5 x 5 heads of 41 x 55
const char* CrumbleFile(Palette palette);    // 7 frames of each head's crumble
const char* ScoringFile(Palette palette);    // a column of points per colour
const char* TimerDotsFile(Palette palette);  // a dot per colour
