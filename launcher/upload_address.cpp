#include "launcher/upload_address.h"

#include <cstring>

namespace {

constexpr char kEscaped[] = " \"#%;<>?[\\]^{|}~";
constexpr uint32_t kScoreMask = 0x07B7B7B7u;

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

std::string PlayerStringToSend(const char* playerString) {
  const std::string whole = playerString ? playerString : "";
  const size_t firstColon = whole.find(':');
  if (firstColon == std::string::npos) return whole;
  if (whole.substr(whole.rfind(':') + 1) == "Y") return whole;
  return whole.substr(0, firstColon) + ":::N";
}

namespace {

std::string Address(const char* server, const char* path, const char* game, const char* playerString, int32_t sent) {
  std::string query = "game=";
  query += game ? game : "";
  query += "&name=";
  query += PlayerStringToSend(playerString);
  query += "&score=" + std::to_string(sent);
  std::string address = server ? server : "";
  address += path;
  return address + EscapeQuery(query.c_str());
}

}  // namespace

std::string UploadAddress(const char* server, const char* game, const char* playerString, int32_t score) {
  const int32_t sent = static_cast<int32_t>(static_cast<uint32_t>(score) ^ kScoreMask);
  return Address(server, "/cgi-bin/hiscore.cgi?", game, playerString, sent);
}

std::string ReplayAddress(const char* server, const char* game, const char* playerString, int32_t score) {
  return Address(server, "/api/replays?", game, playerString, score);
}
