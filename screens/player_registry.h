// The eight player profiles and the current player's number, kept in the
// shared settings file ("..\options.ini" from a game). Index i lives in the
// INI section "Player<i+1>".
//
// An index outside 0..7 (a hand-edited "playerid", say) is treated as player
// 0 by every operation that picks a record, so nothing ever reads or writes
// past the eight records. ReadCurrentId still reports the number that the
// file holds: the launcher then highlights no player, and a later choice
// overwrites the bad value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#pragma pack(push, 1)
struct PlayerRecord {
  char name[64];
  char address[64];
  char email[64];
  char send[2];  // "Y" or "N"
};
#pragma pack(pop)

static_assert(sizeof(PlayerRecord) == 194);
static_assert(offsetof(PlayerRecord, name) == 0);
static_assert(offsetof(PlayerRecord, address) == 64);
static_assert(offsetof(PlayerRecord, email) == 128);
static_assert(offsetof(PlayerRecord, send) == 192);

class PlayerRegistry {
 public:
  static constexpr int kPlayers = 8;
  // Room for the longest FormatPlayer text: three 63-character fields, the
  // send character, three ":" and the terminator.
  static constexpr size_t kPlayerTextSize = 3 * 63 + 1 + 3 + 1;

  // The record index an operation uses for i: i itself for 0..7, else 0.
  static int RecordIndex(int i) { return (i >= 0 && i < kPlayers) ? i : 0; }

  // A null path changes nothing.
  void SetPath(const char* path);
  const std::string& Path() const { return iniPath_; }

  // "playerid" of section "setup" (0 while no path is set), stored and
  // returned as it stands, also when it is outside 0..7.
  int ReadCurrentId();
  // Does nothing, currentId included, while no path is set. False when the
  // file could not be written (currentId changes all the same).
  bool WriteCurrentId(int id);
  int CurrentId() const { return currentId_; }

  void ReadPlayer(int i);
  // ReadCurrentId and ReadPlayer of that number from one read of the file.
  int ReadCurrentPlayer();
  // ReadCurrentId and ReadPlayer of all eight from one read of the file.
  int ReadAllPlayers();
  // Writes name, address, email and send as one save, then reads record i
  // back from the file. record may be the registry's own record i. False
  // (errno set) when the file could not be written; the in-memory record
  // then stays as it was.
  bool WritePlayer(int i, const PlayerRecord& record);
  // All eight in-memory records as one save, read back after it; with an
  // edited record, that one in place of record slot's.
  bool WritePlayers(int slot = -1, const PlayerRecord* edited = nullptr);
  // Reads record i, then writes its player string into out (cut to at most
  // outSize - 1 bytes of whole UTF-8 characters, always terminated when
  // outSize > 0).
  void FormatPlayer(int i, char* out, size_t outSize);
  // The in-memory record i as the player string "name:address:email:send".
  std::string PlayerString(int i) const;
  // Clears record i to a never-edited player ("Player<i+1>", send "Y") and
  // writes it at once, its key removed (whoever takes the slot next is
  // another player); false when that write failed.
  bool ResetPlayer(int i);

  // Each profile's key, by which the score server knows the player's
  // uploads: 32 lowercase hex digits from the system's random source, kept
  // beside the record (not in it: the record's layout is fixed) as "key" in
  // the player's section. The in-memory key of i, as the last read found
  // it; empty when the profile has none (or an unreadable one).
  const std::string& Key(int i) const { return keys_[RecordIndex(i)]; }
  // Record i's key, made and saved first when the file has none. Reading
  // alone never makes one. Empty when a new key could not be saved: a key
  // the file does not keep would tie the name to a key lost at once.
  std::string KeepKey(int i);
  // The first record whose player string is text, or -1.
  int FindPlayer(std::string_view text) const;
  static bool IsKey(std::string_view key);

  // The in-memory record for i (player 0 when i is outside 0..7).
  PlayerRecord& Player(int i) { return players_[RecordIndex(i)]; }
  const PlayerRecord& Player(int i) const { return players_[RecordIndex(i)]; }

 private:
  int currentId_ = 0;
  int CurrentIdFrom(const std::string& text);
  void PlayerFrom(const std::string& text, int i);
  // Appends the four writes of record (copied, terminated, into text) for slot i.
  struct RecordText;
  // dropKeys: the records' keys are removed in the same save.
  bool WriteRecords(const int* slots, const PlayerRecord* const* records, int count, bool dropKeys = false);
  bool WriteOne(int i, const PlayerRecord& record, bool dropKey);

  PlayerRecord players_[kPlayers] = {};
  std::string keys_[kPlayers];
  std::string iniPath_;
};

extern PlayerRegistry playerRegistry;
