#include "server/query.h"

#include <charconv>

#include "records/player_string.h"
#include "records/upload.h"

namespace score {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Checks a decoded text field: encoding, control characters, length.
std::optional<std::string> CheckText(std::string_view what, std::string_view text, size_t maxLength) {
  if (!IsValidUtf8(text)) return "The " + std::string(what) + " is not valid UTF-8.";
  if (HasControlCharacter(text)) return "The " + std::string(what) + " contains control characters.";
  if (text.size() > maxLength) return "The " + std::string(what) + " is longer than the launcher allows.";
  return std::nullopt;
}

// A signed 32-bit decimal as the launcher prints it with %d.
std::optional<int32_t> ParseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '-' && text.size() == 1) return std::nullopt;
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int length = 0;
    uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000)) return false;  // overlong
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    if (code > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

bool HasControlCharacter(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) return true;
    // C1 controls U+0080..U+009F are encoded C2 80..C2 9F.
    if (c == 0xC2 && i + 1 < text.size()) {
      const unsigned char next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

const std::string* QueryFields::Find(std::string_view key) const {
  for (const auto& [k, v] : values) {
    if (k == key) return &v;
  }
  return nullptr;
}

std::optional<std::string> QueryValue(std::string_view query, std::string_view key) {
  while (!query.empty()) {
    const size_t end = query.find('&');
    const std::string_view piece = query.substr(0, end);
    if (piece.size() > key.size() && piece.starts_with(key) && piece[key.size()] == '=') {
      return std::string(piece.substr(key.size() + 1));
    }
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::variant<QueryFields, std::string> SplitQuery(std::string_view query, const std::vector<std::string>& keys) {
  QueryFields fields;
  if (query.empty()) return fields;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view piece = query.substr(start, end - start);
    const size_t equals = piece.find('=');
    const std::string_view key = equals == std::string_view::npos ? std::string_view() : piece.substr(0, equals);
    bool known = false;
    for (const auto& k : keys) known = known || (equals != std::string_view::npos && key == k);
    if (known) {
      if (fields.Find(key)) return "The field " + std::string(key) + " is given twice.";
      fields.values.emplace_back(std::string(key), std::string(piece.substr(equals + 1)));
    } else if (!fields.values.empty()) {
      fields.values.back().second += '&';
      fields.values.back().second += piece;
    } else {
      return std::string("The query begins with an unknown field.");
    }
    start = end + 1;
  }
  return fields;
}

std::variant<Player, std::string> SplitPlayer(std::string_view text) {
  // The launcher joins the fields with ":" unescaped; records/ says how the
  // fields come apart again.
  std::optional<records::PlayerFields> fields = records::SplitPlayerString(text);
  if (!fields) return std::string("The player string needs four fields: name, address, e-mail and send.");
  Player player{std::move(fields->name), std::move(fields->address), std::move(fields->email),
                std::move(fields->send)};
  if (player.name.empty()) return std::string("The player's name is empty.");
  const std::pair<const char*, const std::string*> checks[] = {
      {"player's name", &player.name}, {"player's address", &player.address}, {"player's e-mail", &player.email}};
  for (const auto& [what, value] : checks) {
    if (auto error = CheckText(what, *value, kMaxPlayerField)) return *error;
  }
  if (auto error = CheckText("send value", player.send, kMaxSend)) return *error;
  // The launcher sends "N" for any choice but "Y" (records/player_string).
  if (player.send != "Y" && player.send != "N") return std::string("The send value must be Y or N.");
  return player;
}

bool IsPlainDirectoryName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  // Characters a directory name cannot hold on the system the games were
  // written for, and both path separators.
  for (const char c : name) {
    if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::variant<Upload, std::string> ParseUpload(std::string_view query, bool maskedScore) {
  QueryFields fields;
  // In the launcher's own order the name is everything between the first
  // "&name=" and the last "&score=", whatever "&" and "=" it holds.
  const size_t nameAt = query.starts_with("game=") ? query.find("&name=") : std::string_view::npos;
  const size_t scoreAt = query.rfind("&score=");
  if (nameAt != std::string_view::npos && scoreAt != std::string_view::npos && scoreAt > nameAt) {
    fields.values = {{"game", std::string(query.substr(5, nameAt - 5))},
                     {"name", std::string(query.substr(nameAt + 6, scoreAt - nameAt - 6))},
                     {"score", std::string(query.substr(scoreAt + 7))}};
  } else {
    auto split = SplitQuery(query, {"game", "name", "score"});
    if (auto* error = std::get_if<std::string>(&split)) return *error;
    fields = std::move(std::get<QueryFields>(split));
  }

  const std::string* rawGame = fields.Find("game");
  const std::string* rawName = fields.Find("name");
  const std::string* rawScore = fields.Find("score");
  if (!rawGame || rawGame->empty()) return std::string("The upload needs a game name.");
  if (!rawName) return std::string("The upload needs a name field.");
  if (!rawScore || rawScore->empty()) return std::string("The upload needs a score.");

  std::optional<std::string> game = PercentDecode(*rawGame);
  std::optional<std::string> name = PercentDecode(*rawName);
  std::optional<std::string> score = PercentDecode(*rawScore);
  if (!game || !name || !score) return std::string("The query has a malformed per-cent escape.");

  Upload upload;
  if (auto error = CheckText("game name", *game, kMaxGameName)) return *error;
  if (!IsPlainDirectoryName(*game)) return std::string("The game name must be a plain directory name.");
  upload.game = std::move(*game);

  // An empty table sends an empty name: there is nothing to store.
  if (name->empty()) return std::string("No score to upload.");
  auto player = SplitPlayer(*name);
  if (auto* error = std::get_if<std::string>(&player)) return *error;
  upload.player = std::move(std::get<Player>(player));

  const std::optional<int32_t> sent = ParseDecimal(*score);
  if (!sent) return std::string("The score must be a decimal number.");
  upload.score = maskedScore ? records::MaskScore(*sent) : *sent;
  if (upload.score < 0) return std::string(maskedScore ? "The score decodes to a negative number." : "The score is negative.");
  return upload;
}

}  // namespace score
