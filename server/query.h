// Reading the upload the launcher sends: its query string and the player
// string inside it. Pure functions, so tests and the fuzz target call them
// without a server or a database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace score {

// Undoes per-cent escapes (either case of hex digit). A "+" stays a plus:
// the launcher escapes spaces as %20 and never writes "+" for them.
// Returns nothing when a "%" is not followed by two hex digits.
std::optional<std::string> PercentDecode(std::string_view text);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// True when the text holds a C0 or C1 control character or DEL.
bool HasControlCharacter(std::string_view text);

// The raw query split into the given keys' values, still escaped. The
// launcher does not escape "&" or "=" inside a value, so a piece that does
// not begin with one of the keys and "=" belongs to the value before it.
// The error is one sentence for the client.
struct QueryFields {
  std::vector<std::pair<std::string, std::string>> values;  // key, raw value
  const std::string* Find(std::string_view key) const;
};
std::variant<QueryFields, std::string> SplitQuery(std::string_view query, const std::vector<std::string>& keys);

// The first value of `key` in an ordinary query ("a=1&b=2"), still escaped;
// nothing when the key is absent.
std::optional<std::string> QueryValue(std::string_view query, std::string_view key);

// The player string (records/player_string.h), split and checked.
struct Player {
  std::string name, address, email, send;
};
std::variant<Player, std::string> SplitPlayer(std::string_view text);

// One upload, checked and decoded.
struct Upload {
  std::string game;
  Player player;
  int32_t score = 0;  // as the game counted it, never negative
};
// The raw query of "/cgi-bin/hiscore.cgi"; on failure, the one sentence that
// the 400 answer gives. In the launcher's order (game, name, score) the name
// runs from the first "&name=" to the last "&score=", so it may hold any
// "&" and "="; other orders are split by SplitQuery.
// A replay's upload sends its score as it is (maskedScore false).
std::variant<Upload, std::string> ParseUpload(std::string_view query, bool maskedScore = true);

// A game's name as the launcher sends it: its directory name.
bool IsPlainDirectoryName(std::string_view name);

// Largest field lengths in bytes, from the launcher's records.
inline constexpr size_t kMaxGameName = 63;
inline constexpr size_t kMaxPlayerField = 63;
inline constexpr size_t kMaxSend = 1;

}  // namespace score
