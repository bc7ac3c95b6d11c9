#include "screens/player_registry.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/random_bytes.h"
#include "platform/win/profile.h"
#include "records/player_string.h"
#include "records/shared_files.h"
#include "records/utf8.h"

PlayerRegistry playerRegistry;

namespace {

using records::kSetupSection;
constexpr const char* kIdKey = records::kPlayerIdKey;

void SectionName(int i, char (&out)[20]) {
  std::snprintf(out, sizeof out, "%s%d", records::kPlayerSectionPrefix, i + 1);
}

// A record handed in by a caller (a text field's buffer, say) need not be
// terminated; copy at most the field's size so the write never reads past it.
template <size_t N>
void Terminated(const char (&field)[N], char (&out)[N + 1]) {
  const size_t n = strnlen(field, N);
  std::memcpy(out, field, n);
  out[n] = '\0';
}

// A profile value read into a field of N bytes: cut, like the profile
// functions' own cut, to N - 1 bytes, but on a character boundary, so a
// letter of typed UTF-8 that does not fit whole is left out, not halved.
// (The read itself goes through a buffer with room for the character that
// straddles the cut.)
template <size_t N>
void ReadField(const std::string& text, const char* section, const char* key, const char* fallback,
               char (&out)[N]) {
  char value[N + 4];
  platform::GetProfileStringFromText(text, section, key, fallback, value, sizeof value);
  const size_t n = records::WholeCharactersWithin(value, N - 1);
  std::memcpy(out, value, n);
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
  return CurrentIdFrom(platform::ReadProfileText(iniPath_.c_str()));
}

int PlayerRegistry::CurrentIdFrom(const std::string& text) {
  char value[32];
  platform::GetProfileStringFromText(text, kSetupSection, kIdKey, "0", value, sizeof value);
  currentId_ = ParseId(value);
  return currentId_;
}

int PlayerRegistry::ReadCurrentPlayer() {
  if (iniPath_.empty()) return ReadCurrentId();
  const std::string text = platform::ReadProfileText(iniPath_.c_str());
  const int id = CurrentIdFrom(text);
  PlayerFrom(text, id);
  return id;
}

int PlayerRegistry::ReadAllPlayers() {
  if (iniPath_.empty()) return ReadCurrentId();
  const std::string text = platform::ReadProfileText(iniPath_.c_str());
  for (int i = 0; i < kPlayers; ++i) PlayerFrom(text, i);
  return CurrentIdFrom(text);
}

bool PlayerRegistry::WriteCurrentId(int id) {
  if (iniPath_.empty()) return true;
  char value[16];
  std::snprintf(value, sizeof value, "%d", id);
  const bool written = WritePrivateProfileStringA(kSetupSection, kIdKey, value, iniPath_.c_str()) != FALSE;
  currentId_ = id;
  return written;
}

void PlayerRegistry::ReadPlayer(int i) {
  if (iniPath_.empty()) return;
  PlayerFrom(platform::ReadProfileText(iniPath_.c_str()), i);
}

void PlayerRegistry::PlayerFrom(const std::string& text, int i) {
  i = RecordIndex(i);
  char section[20];
  SectionName(i, section);
  PlayerRecord& p = players_[i];
  ReadField(text, section, records::kNameKey, section, p.name);
  ReadField(text, section, records::kAddressKey, "", p.address);
  ReadField(text, section, records::kEmailKey, "", p.email);
  ReadField(text, section, records::kSendKey, "Y", p.send);
  char key[40] = "";
  platform::GetProfileStringFromText(text, section, records::kPlayerKeyKey, "", key, sizeof key);
  keys_[i] = IsKey(key) ? key : "";
}

bool PlayerRegistry::IsKey(std::string_view key) {
  return key.size() == 32 &&
         key.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string PlayerRegistry::KeepKey(int i) {
  i = RecordIndex(i);
  if (iniPath_.empty()) return {};
  // Another program may have made it since this one read the file.
  ReadPlayer(i);
  if (!keys_[i].empty()) return keys_[i];
  unsigned char bytes[16];
  if (!platform::RandomBytes(bytes, sizeof bytes)) return {};
  char key[33];
  for (size_t n = 0; n < sizeof bytes; ++n) std::snprintf(key + 2 * n, 3, "%02x", bytes[n]);
  char section[20];
  SectionName(i, section);
  if (WritePrivateProfileStringA(section, records::kPlayerKeyKey, key, iniPath_.c_str()) == FALSE) return {};
  ReadPlayer(i);
  return keys_[i];
}

int PlayerRegistry::FindPlayer(std::string_view text) const {
  for (int i = 0; i < kPlayers; ++i)
    if (PlayerString(i) == text) return i;
  return -1;
}

// One record's text, copied first: the record may be the registry's own,
// and its fields may lack a terminator.
struct PlayerRegistry::RecordText {
  char section[20];
  char name[65], address[65], email[65], send[3];
};

bool PlayerRegistry::WriteRecords(const int* slots, const PlayerRecord* const* records, int count, bool dropKeys) {
  std::vector<RecordText> texts(static_cast<size_t>(count));
  std::vector<platform::ProfileWrite> writes;
  for (int n = 0; n < count; ++n) {
    RecordText& t = texts[static_cast<size_t>(n)];
    const PlayerRecord& record = *records[n];
    SectionName(slots[n], t.section);
    Terminated(record.name, t.name);
    Terminated(record.address, t.address);
    Terminated(record.email, t.email);
    Terminated(record.send, t.send);
    t.send[1] = '\0';  // the flag is one character
    writes.push_back({t.section, records::kNameKey, t.name});
    writes.push_back({t.section, records::kAddressKey, t.address});
    writes.push_back({t.section, records::kEmailKey, t.email});
    writes.push_back({t.section, records::kSendKey, t.send});
    if (dropKeys) writes.push_back({t.section, records::kPlayerKeyKey, nullptr});
  }
  // One save for the whole edit: a kill or a full disk leaves the old
  // details or the new ones, never a mix.
  const bool written = platform::WriteProfileStrings(writes.data(), writes.size(), iniPath_.c_str()) != FALSE;
  if (!written) return false;
  // What the file now says is what the registry holds: one read for all.
  const std::string text = platform::ReadProfileText(iniPath_.c_str());
  for (int n = 0; n < count; ++n) PlayerFrom(text, slots[n]);
  return true;
}

bool PlayerRegistry::WritePlayer(int i, const PlayerRecord& record) { return WriteOne(i, record, false); }

bool PlayerRegistry::WriteOne(int i, const PlayerRecord& record, bool dropKey) {
  i = RecordIndex(i);
  if (iniPath_.empty()) return true;
  const PlayerRecord* records[] = {&record};
  return WriteRecords(&i, records, 1, dropKey);
}

bool PlayerRegistry::WritePlayers(int slot, const PlayerRecord* edited) {
  if (iniPath_.empty()) return true;
  int slots[kPlayers];
  const PlayerRecord* records[kPlayers];
  for (int i = 0; i < kPlayers; ++i) {
    slots[i] = i;
    records[i] = edited && i == RecordIndex(slot) ? edited : &players_[i];
  }
  return WriteRecords(slots, records, kPlayers);
}

void PlayerRegistry::FormatPlayer(int i, char* out, size_t outSize) {
  ReadPlayer(i);
  if (out == nullptr || outSize == 0) return;
  const std::string text = PlayerString(i);
  const size_t n = records::WholeCharactersWithin(text, outSize - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

std::string PlayerRegistry::PlayerString(int i) const {
  char name[65], address[65], email[65], send[3];
  const PlayerRecord& p = Player(i);
  Terminated(p.name, name);
  Terminated(p.address, address);
  Terminated(p.email, email);
  Terminated(p.send, send);
  return records::JoinPlayerString(name, address, email, send);
}

bool PlayerRegistry::ResetPlayer(int i) {
  i = RecordIndex(i);
  PlayerRecord& p = players_[i];
  std::memset(&p, 0, sizeof p);
  char section[20];
  SectionName(i, section);
  std::memcpy(p.name, section, std::strlen(section) + 1);
  p.send[0] = 'Y';
  keys_[i].clear();
  return WriteOne(i, p, true);
}
