#include "records/upload_address.h"

#include <cstring>

#include "records/player_string.h"
#include "records/upload.h"

namespace {

constexpr char kEscaped[] = " \"#%;<>?[\\]^{|}~";

}  // namespace

std::string EscapeQuery(const char* text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  if (!text) return out;
  out.reserve(std::strlen(text));
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (std::strchr(kEscaped, c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

std::string Address(const char* server, const char* path, const char* game, const char* playerString, int32_t sent) {
  std::string query = "game=";
  query += game ? game : "";
  query += "&name=";
  query += records::PlayerStringToSend(playerString ? playerString : "");
  query += "&score=" + std::to_string(sent);
  std::string address = server ? server : "";
  address += path;
  address += '?';
  return address + EscapeQuery(query.c_str());
}

}  // namespace

std::string UploadAddress(const char* server, const char* game, const char* playerString, int32_t score) {
  return Address(server, records::kUploadPath, game, playerString, records::MaskScore(score));
}

std::string ReplayAddress(const char* server, const char* game, const char* playerString, int32_t score) {
  return Address(server, records::kReplayPath, game, playerString, score);
}
