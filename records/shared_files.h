// The files the launcher and its games share, by the paths each program
// uses from its own directory, and the INI sections and keys they hold.
// A game runs in its own folder one level below the launcher's.
#pragma once

#include <string>

namespace records {

// name (a file, or a path below folder) in folder, joined as the programs
// write paths. The launcher reaches every file by its folder so, instead
// of changing the process's working directory.
inline std::string InFolder(const std::string& folder, const char* name) { return folder + "\\" + name; }

// The shared settings and the eight players, in the launcher's directory.
inline constexpr char kOptionsFromLauncher[] = "options.ini";
inline constexpr char kOptionsFromGame[] = "..\\options.ini";

// Each program's own set-up, and the launcher's as a game reaches it.
inline constexpr char kSetup[] = ".\\setup.ini";
inline constexpr char kLauncherSetupFromGame[] = "..\\setup.ini";

// A game's hall of fame, in the game's directory.
inline constexpr char kHighScores[] = "hiscore.dat";

// options.ini: section "setup" holds the switches and the current player;
// section "Player<n>" (n = 1..8) one player's fields.
inline constexpr char kSetupSection[] = "setup";
inline constexpr char kSfxKey[] = "SFX";
inline constexpr char kMusicKey[] = "Music";
inline constexpr char kPlayerIdKey[] = "playerid";
// The game's head colours: "usual" or "colourblind".
inline constexpr char kPaletteKey[] = "palette";
inline constexpr char kPlayerSectionPrefix[] = "Player";
inline constexpr char kNameKey[] = "name";
inline constexpr char kAddressKey[] = "address";
inline constexpr char kEmailKey[] = "email";
inline constexpr char kSendKey[] = "send";
// The player's key (32 lowercase hex digits), which the score server ties
// the player's name to; never shown.
inline constexpr char kPlayerKeyKey[] = "key";

// setup.ini: section "setup" the window ("fullscreen"), section "default" a
// game's settings, section "server" the launcher's addresses.
inline constexpr char kFullscreenKey[] = "fullscreen";
inline constexpr char kDefaultSection[] = "default";
inline constexpr char kServerSection[] = "server";
// The score server in front of its paths ("scores" of section "server"),
// which the launcher uploads to and the game asks for deals; a score server
// on this machine unless the file names another.
inline constexpr char kScoresKey[] = "scores";
inline constexpr char kDefaultScoresAddress[] = "http://localhost:8080";

}  // namespace records
