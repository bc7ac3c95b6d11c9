#include "records/player_string.h"

namespace records {

std::string JoinPlayerString(std::string_view name, std::string_view address, std::string_view email,
                             std::string_view send) {
  std::string text;
  text.reserve(name.size() + address.size() + email.size() + send.size() + 3);
  text.append(name).append(1, ':').append(address).append(1, ':').append(email).append(1, ':').append(send);
  return text;
}

std::optional<PlayerFields> SplitPlayerString(std::string_view text) {
  const size_t first = text.find(':');
  const size_t last = text.rfind(':');
  const size_t beforeLast = last == std::string_view::npos || last == 0 ? std::string_view::npos
                                                                          : text.rfind(':', last - 1);
  if (first == std::string_view::npos || beforeLast == std::string_view::npos || beforeLast <= first)
    return std::nullopt;
  return PlayerFields{std::string(text.substr(0, first)), std::string(text.substr(first + 1, beforeLast - first - 1)),
                      std::string(text.substr(beforeLast + 1, last - beforeLast - 1)),
                      std::string(text.substr(last + 1))};
}

std::string PlayerStringToSend(std::string_view playerString) {
  const size_t firstColon = playerString.find(':');
  if (firstColon == std::string_view::npos) return std::string(playerString);
  if (playerString.substr(playerString.rfind(':') + 1) == "Y") return std::string(playerString);
  return std::string(playerString.substr(0, firstColon)) + ":::N";
}

}  // namespace records
