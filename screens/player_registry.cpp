#include "screens/player_registry.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win/profile.h"

PlayerRegistry playerRegistry;

namespace {

constexpr const char* kSetupSection = "setup";
constexpr const char* kIdKey = "playerid";

void SectionName(int i, char (&out)[20]) { std::snprintf(out, sizeof out, "Player%d", i + 1); }

// A record handed in by a caller (a text field's buffer, say) need not be
// terminated; copy at most the field's size so the write never reads past it.
template <size_t N>
void Terminated(const char (&field)[N], char (&out)[N + 1]) {
  const size_t n = strnlen(field, N);
  std::memcpy(out, field, n);
  out[n] = '\0';
}

// atoi's reading of the value, but a number past the range of int clamps to
// its end instead of being undefined.
int ParseId(const char* text) {
  const long v = std::strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

void PlayerRegistry::SetPath(const char* path) {
  if (path == nullptr) return;
  iniPath_ = path;
}

int PlayerRegistry::ReadCurrentId() {
  if (iniPath_.empty()) {
    currentId_ = 0;
    return 0;
  }
  char value[32];
  GetPrivateProfileStringA(kSetupSection, kIdKey, "0", value, sizeof value, iniPath_.c_str());
  currentId_ = ParseId(value);
  return currentId_;
}

void PlayerRegistry::WriteCurrentId(int id) {
  if (iniPath_.empty()) return;
  char value[16];
  std::snprintf(value, sizeof value, "%d", id);
  WritePrivateProfileStringA(kSetupSection, kIdKey, value, iniPath_.c_str());
  currentId_ = id;
}

void PlayerRegistry::ReadPlayer(int i) {
  if (iniPath_.empty()) return;
  i = RecordIndex(i);
  char section[20];
  SectionName(i, section);
  PlayerRecord& p = players_[i];
  const char* file = iniPath_.c_str();
  GetPrivateProfileStringA(section, "name", section, p.name, sizeof p.name, file);
  GetPrivateProfileStringA(section, "address", "", p.address, sizeof p.address, file);
  GetPrivateProfileStringA(section, "email", "", p.email, sizeof p.email, file);
  GetPrivateProfileStringA(section, "send", "Y", p.send, sizeof p.send, file);
}

void PlayerRegistry::WritePlayer(int i, const PlayerRecord& record) {
  i = RecordIndex(i);
  if (!iniPath_.empty()) {
    // Copies first: record may be players_[i], and the fields may lack a
    // terminator.
    char name[65], address[65], email[65], send[3];
    Terminated(record.name, name);
    Terminated(record.address, address);
    Terminated(record.email, email);
    Terminated(record.send, send);
    send[1] = '\0';  // the flag is one character
    char section[20];
    SectionName(i, section);
    const char* file = iniPath_.c_str();
    WritePrivateProfileStringA(section, "name", name, file);
    WritePrivateProfileStringA(section, "address", address, file);
    WritePrivateProfileStringA(section, "email", email, file);
    WritePrivateProfileStringA(section, "send", send, file);
  }
  // What the file now says is what the registry holds.
  ReadPlayer(i);
}

void PlayerRegistry::FormatPlayer(int i, char* out, size_t outSize) {
  i = RecordIndex(i);
  ReadPlayer(i);
  if (out == nullptr || outSize == 0) return;
  char name[65], address[65], email[65], send[3];
  const PlayerRecord& p = players_[i];
  Terminated(p.name, name);
  Terminated(p.address, address);
  Terminated(p.email, email);
  Terminated(p.send, send);
  std::snprintf(out, outSize, "%s:%s:%s:%s", name, address, email, send);
}

void PlayerRegistry::ResetPlayer(int i) {
  i = RecordIndex(i);
  PlayerRecord& p = players_[i];
  std::memset(&p, 0, sizeof p);
  char section[20];
  SectionName(i, section);
  std::memcpy(p.name, section, std::strlen(section) + 1);
  p.send[0] = 'Y';
  WritePlayer(i, p);
}
