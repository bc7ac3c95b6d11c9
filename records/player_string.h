// The player string: a player's four fields joined by ":" as
// "name:address:e-mail:send". The game writes it into hiscore.dat, the
// launcher uploads it, the score server splits it again.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace records {

struct PlayerFields {
  std::string name, address, email, send;
};

// "name:address:email:send", nothing escaped.
std::string JoinPlayerString(std::string_view name, std::string_view address, std::string_view email,
                             std::string_view send);

// The fields back. Nothing escapes ":" and a player may type one into a
// field, but the name never holds one (the hall of fame cuts it at the
// first) and the send value is one letter: so the name is the first field,
// the send value the last, the e-mail the one before it and the address
// whatever lies between, colons and all. Nothing when there are fewer than
// four fields.
std::optional<PlayerFields> SplitPlayerString(std::string_view text);

// What leaves the machine of a player string: the whole string when its
// send choice (the last field) is "Y", else the name alone with the choice
// "N" ("Dora:::N"), so an address and e-mail the player chose not to send
// are never sent. A string without ":" is only a name and goes as it is.
std::string PlayerStringToSend(std::string_view playerString);

}  // namespace records
