// What makes a game ranked: the rules a game is played by on the standard
// boards, the deals this server hands out (a seed nobody chose), the day's
// deal everyone plays, and the player's key. Pure functions but for the
// random numbers, so tests and the fuzz target call them without a server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/rules/replay.h"

namespace score {

// The rules the server can check a game's replays by, and its standard
// settings (the shipped setup.ini): only games of these settings go on the
// standard boards.
struct GameRules {
  std::string_view game;
  int balloons = 0;
  int gameTime = 0;  // seconds
};
// Nothing for a game whose replays this server cannot check.
const GameRules* RulesFor(std::string_view game);
// The games RulesFor knows.
std::vector<std::string> GamesWithRules();

// A replay's settings as the name of their rule set, "BALLOONS-GAMETIME".
std::string RuleSetName(int balloons, int gameTime);
// "1-86400" back into its settings; nothing unless both are whole numbers
// in the ranges a replay may have.
std::optional<std::pair<int, int>> ReadRuleSet(std::string_view text);
// Where the storage keeps a game's entries of a rule set: the game's own name
// for its standard rules, "GAME/BALLOONS-GAMETIME" otherwise. A game's name
// never holds '/', so no upload can name another rule set's board.
std::string BoardKey(const GameRules& rules, int balloons, int gameTime);
inline bool IsRuleSetBoard(std::string_view key) { return key.find('/') != std::string_view::npos; }

// A deal as the server hands it out and keeps it.
struct Deal {
  std::string id;
  std::string game;
  uint32_t seed = 0;
  int balloons = 0, gameTime = 0;
  int64_t expires = 0;  // seconds since 1970: the replay must arrive before
};

// How long after its game time a deal's replay may still arrive. The game
// asks for a deal ahead of New game and keeps it until a game on it could no
// longer arrive with ten minutes to spare (How to play stops the countdown,
// a cleared board counts its bonus), then sends the replay itself at the
// game's end.
inline constexpr int64_t kDealMarginSeconds = 1800;

// A fresh deal of a game's standard rules, its seed and name from the
// system's random source.
Deal NewDeal(const GameRules& rules, int64_t now, int64_t margin = kDealMarginSeconds);

// The day's deal: "daily-YYYYMMDD" of the UTC day holding `now`, its seed
// the HMAC-SHA-256 of its game and name under the server's secret, so nobody
// can work it out before the day, and everyone gets the same that day. Its
// replays count until the day's end plus a game and the margin.
Deal DailyDeal(const GameRules& rules, std::string_view secret, int64_t now, int64_t margin = kDealMarginSeconds);
// The day's deal of a given name ("daily-20261209"); nothing when the name
// is not one.
std::optional<Deal> DailyDealNamed(const GameRules& rules, std::string_view secret, std::string_view id,
                                   int64_t margin = kDealMarginSeconds);
bool IsDailyId(std::string_view id);
// "daily-20261209" for a day given as "20261209"; nothing when it is not a
// date.
std::optional<std::string> DailyIdOfDay(std::string_view day);

// Why a replay played on a deal does not count, or nothing when it does.
// `deal` is the server's record of the replay's deal (nothing: not one of
// this server's); `used` whether a replay counted on it already.
std::optional<std::string> DealRefusal(const quibbleton::Replay& replay, const std::optional<Deal>& deal, bool used,
                                       int64_t now);

// The deal's JSON answer: {"deal","seed","balloons","gametime","expires"}.
std::string DealJson(const Deal& deal);

// A player's key as sent in X-Player-Key: 32 lowercase hex digits.
bool IsPlayerKey(std::string_view key);
// SHA-256 in lowercase hex: what is stored of a key, and a replay's name.
std::string Sha256Hex(std::string_view bytes);
// A new server secret: 32 random bytes in hex.
std::string NewSecret();

}  // namespace score
