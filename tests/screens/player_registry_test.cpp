#include "screens/player_registry.h"
#include "../support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win/profile.h"

namespace {

namespace fs = std::filesystem;

// Each test runs inside a fresh game folder below a fresh launcher folder,
// so the registry's "..\options.ini" lands in the temporary launcher folder.
class PlayerRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(root_ / "Game");
    fs::current_path(root_ / "Game");
  }
  fs::path Ini() const { return root_ / "options.ini"; }
  void WriteIni(const std::string& text) const { std::ofstream(Ini(), std::ios::binary) << text; }
  std::string ReadIni() const {
    std::ifstream in(Ini(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Value(const char* section, const char* key) const {
    char buffer[256];
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, Ini().string().c_str());
    return buffer;
  }

  PlayerRegistry registry_;
  TempDir temp_;  // puts the current directory back when the test ends
  fs::path root_ = temp_.Path();
};

PlayerRecord Record(const char* name, const char* address, const char* email, const char* send) {
  PlayerRecord r{};
  std::strncpy(r.name, name, sizeof r.name);
  std::strncpy(r.address, address, sizeof r.address);
  std::strncpy(r.email, email, sizeof r.email);
  std::strncpy(r.send, send, sizeof r.send);
  return r;
}

TEST_F(PlayerRegistryTest, DefaultsWithoutAFile) {
  registry_.SetPath("..\\options.ini");
  EXPECT_EQ(registry_.ReadCurrentId(), 0);
  registry_.ReadPlayer(0);
  EXPECT_STREQ(registry_.Player(0).name, "Player1");
  EXPECT_STREQ(registry_.Player(0).address, "");
  EXPECT_STREQ(registry_.Player(0).email, "");
  EXPECT_STREQ(registry_.Player(0).send, "Y");
  char text[PlayerRegistry::kPlayerTextSize];
  registry_.FormatPlayer(1, text, sizeof text);
  EXPECT_STREQ(text, "Player2:::Y");
  EXPECT_FALSE(fs::exists(Ini())) << "reading must not create the file";
}

TEST_F(PlayerRegistryTest, NothingHappensBeforeSetPath) {
  WriteIni("[setup]\nplayerid=3\n[Player1]\nname=Ann\n");
  registry_.SetPath(nullptr);  // a null path changes nothing either
  EXPECT_EQ(registry_.ReadCurrentId(), 0);
  registry_.WriteCurrentId(5);
  EXPECT_EQ(registry_.CurrentId(), 0);
  registry_.ReadPlayer(0);
  EXPECT_STREQ(registry_.Player(0).name, "");
  registry_.ResetPlayer(0);  // clears memory but writes nothing
  EXPECT_STREQ(registry_.Player(0).name, "Player1");
  EXPECT_EQ(ReadIni(), "[setup]\nplayerid=3\n[Player1]\nname=Ann\n");
}

TEST_F(PlayerRegistryTest, CurrentIdRoundTrip) {
  WriteIni("[Setup]\nMusic=N\n");
  registry_.SetPath("..\\options.ini");
  registry_.WriteCurrentId(6);
  EXPECT_EQ(registry_.CurrentId(), 6);
  EXPECT_EQ(Value("setup", "playerid"), "6");
  EXPECT_EQ(Value("setup", "music"), "N") << "other keys are kept";
  PlayerRegistry other;
  other.SetPath("..\\options.ini");
  EXPECT_EQ(other.ReadCurrentId(), 6);
}

TEST_F(PlayerRegistryTest, PlayerIdOutsideTheEightTouchesOnlyPlayerOne) {
  WriteIni("[setup]\nplayerid=9\n[Player1]\nname=Ann\nsend=N\n[Player8]\nname=Hal\n");
  registry_.SetPath("..\\options.ini");
  const int id = registry_.ReadCurrentId();
  EXPECT_EQ(id, 9) << "the file's value is reported unchanged";
  registry_.ReadPlayer(id);
  EXPECT_EQ(&registry_.Player(id), &registry_.Player(0));
  EXPECT_STREQ(registry_.Player(id).name, "Ann");
  char text[PlayerRegistry::kPlayerTextSize];
  registry_.FormatPlayer(id, text, sizeof text);
  EXPECT_STREQ(text, "Ann:::N");
  registry_.FormatPlayer(-1, text, sizeof text);
  EXPECT_STREQ(text, "Ann:::N");

  registry_.ResetPlayer(-7);
  EXPECT_EQ(Value("Player1", "name"), "Player1");
  EXPECT_EQ(Value("Player8", "name"), "Hal");
  EXPECT_EQ(ReadIni().find("Player0"), std::string::npos);
  EXPECT_EQ(ReadIni().find("Player9"), std::string::npos);
  EXPECT_EQ(ReadIni().find("Player10"), std::string::npos);

  WriteIni("[setup]\nplayerid=banana\n");
  EXPECT_EQ(registry_.ReadCurrentId(), 0);
}

TEST_F(PlayerRegistryTest, ResetPlayerWritesADefaultSection) {
  WriteIni("[Player5]\nname=Zed\naddress=1 Road\nemail=z@x\nsend=N\n");
  registry_.SetPath("..\\options.ini");
  registry_.ReadPlayer(4);
  EXPECT_STREQ(registry_.Player(4).name, "Zed");
  registry_.ResetPlayer(4);
  EXPECT_EQ(Value("Player5", "name"), "Player5");
  EXPECT_EQ(Value("Player5", "address"), "");
  EXPECT_EQ(Value("Player5", "email"), "");
  EXPECT_EQ(Value("Player5", "send"), "Y");
  EXPECT_STREQ(registry_.Player(4).name, "Player5");
  EXPECT_STREQ(registry_.Player(4).send, "Y");
  // The rest of the record is zero, as the players dialog sees it.
  const PlayerRecord& p = registry_.Player(4);
  for (size_t i = sizeof "Player5"; i < sizeof p.name; ++i) EXPECT_EQ(p.name[i], 0);
  EXPECT_EQ(p.send[1], 0);
}

TEST_F(PlayerRegistryTest, WritePlayerStoresAndReadsBack) {
  registry_.SetPath("..\\options.ini");
  registry_.WritePlayer(2, Record("Bo", "2 Lane", "bo@example.org", "N"));
  EXPECT_EQ(Value("Player3", "name"), "Bo");
  EXPECT_EQ(Value("Player3", "address"), "2 Lane");
  EXPECT_EQ(Value("Player3", "email"), "bo@example.org");
  EXPECT_EQ(Value("Player3", "send"), "N");
  EXPECT_STREQ(registry_.Player(2).email, "bo@example.org");
  // The keys are written in the order name, address, email, send.
  const std::string ini = ReadIni();
  EXPECT_LT(ini.find("name"), ini.find("address"));
  EXPECT_LT(ini.find("address"), ini.find("email"));
  EXPECT_LT(ini.find("email"), ini.find("send"));

  char text[PlayerRegistry::kPlayerTextSize];
  registry_.FormatPlayer(2, text, sizeof text);
  EXPECT_STREQ(text, "Bo:2 Lane:bo@example.org:N");
  // A ":" inside a field is not escaped.
  registry_.WritePlayer(2, Record("a:b", "", "", "Y"));
  registry_.FormatPlayer(2, text, sizeof text);
  EXPECT_STREQ(text, "a:b:::Y");
}

TEST_F(PlayerRegistryTest, FullFieldsAreCutAndNeverOverrun) {
  registry_.SetPath("..\\options.ini");
  // Fields filled to the last byte with no terminator, as a text field
  // buffer might hand them over.
  PlayerRecord r;
  std::memset(r.name, 'n', sizeof r.name);
  std::memset(r.address, 'a', sizeof r.address);
  std::memset(r.email, 'e', sizeof r.email);
  r.send[0] = 'N';
  r.send[1] = 'o';
  registry_.WritePlayer(7, r);
  EXPECT_EQ(Value("Player8", "name"), std::string(64, 'n'));
  EXPECT_EQ(Value("Player8", "send"), "N");
  // Read back through 64-byte buffers: 63 characters each.
  const PlayerRecord& p = registry_.Player(7);
  EXPECT_EQ(std::string(p.name), std::string(63, 'n'));
  EXPECT_EQ(std::string(p.address), std::string(63, 'a'));
  EXPECT_EQ(std::string(p.email), std::string(63, 'e'));
  EXPECT_STREQ(p.send, "N");

  char text[PlayerRegistry::kPlayerTextSize];
  registry_.FormatPlayer(7, text, sizeof text);
  EXPECT_EQ(std::strlen(text), PlayerRegistry::kPlayerTextSize - 1) << "the longest text fits exactly";
  char small[8];
  std::memset(small, '#', sizeof small);
  registry_.FormatPlayer(7, small, sizeof small);
  EXPECT_STREQ(small, "nnnnnnn");
}

TEST_F(PlayerRegistryTest, LongValuesInTheFileAreCut) {
  WriteIni("[player2]\nNAME=" + std::string(100, 'x') + "\nsend=Never\n[setup]\nplayerid=" +
           std::string(40, '1') + "\n");
  registry_.SetPath("..\\options.ini");
  registry_.ReadPlayer(1);
  EXPECT_EQ(std::string(registry_.Player(1).name), std::string(63, 'x'));
  EXPECT_STREQ(registry_.Player(1).send, "N");
  // The 32-byte buffer keeps 31 digits, past the range of int: the id
  // clamps, and the record operations stay inside the eight.
  const int id = registry_.ReadCurrentId();
  EXPECT_EQ(id, INT_MAX);
  registry_.ReadPlayer(id);
  EXPECT_EQ(&registry_.Player(id), &registry_.Player(PlayerRegistry::RecordIndex(id)));
}

// Typed text is UTF-8: the 63-byte cut falls before a letter that would
// not fit whole, never inside it, in every field; a send value that is no
// one-byte letter reads as empty rather than half a character.
TEST_F(PlayerRegistryTest, CutsOfUtf8ValuesKeepWholeCharacters) {
  const std::string twoByte = "\xC5\x81", threeByte = "\xE2\x80\x99";  // "Ł", "'"
  WriteIni("[Player1]\nname=" + std::string(62, 'x') + twoByte + "z" + "\naddress=" + std::string(61, 'a') +
           threeByte + "\nemail=" + std::string(61, 'e') + twoByte + "\nsend=\xC3\xA9\n");
  registry_.SetPath("..\\options.ini");
  registry_.ReadPlayer(0);
  EXPECT_EQ(std::string(registry_.Player(0).name), std::string(62, 'x'));
  EXPECT_EQ(std::string(registry_.Player(0).address), std::string(61, 'a'));
  EXPECT_EQ(std::string(registry_.Player(0).email), std::string(61, 'e') + twoByte) << "63 bytes, whole";
  EXPECT_STREQ(registry_.Player(0).send, "");
  // Short ones stay as typed.
  registry_.WritePlayer(1, Record("Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m-O'Neil", "", "", "Y"));
  EXPECT_STREQ(registry_.Player(1).name, "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m-O'Neil");
  // The player string's own cut, into a short buffer, keeps whole characters too.
  char small[4];
  registry_.FormatPlayer(1, small, sizeof small);
  EXPECT_STREQ(small, "Zo");
}

// The key is made on first need, from the system's random source, and then
// kept: edits of the record leave it, a reset slot loses it, reads never
// make one.
TEST_F(PlayerRegistryTest, AKeyIsMadeOnceKeptAndGoesWithAResetSlot) {
  WriteIni("[Player3]\nname=Ann\nsend=Y\n");
  registry_.SetPath("..\\options.ini");
  registry_.ReadAllPlayers();
  EXPECT_EQ(registry_.Key(2), "");
  EXPECT_EQ(ReadIni(), "[Player3]\nname=Ann\nsend=Y\n") << "reading makes no key";

  const std::string key = registry_.KeepKey(2);
  EXPECT_TRUE(PlayerRegistry::IsKey(key)) << key;
  EXPECT_EQ(Value("Player3", "key"), key);
  EXPECT_EQ(registry_.KeepKey(2), key) << "made once";
  const std::string other = registry_.KeepKey(5);
  EXPECT_TRUE(PlayerRegistry::IsKey(other));
  EXPECT_NE(other, key);

  PlayerRegistry fresh;
  fresh.SetPath("..\\options.ini");
  fresh.ReadAllPlayers();
  EXPECT_EQ(fresh.Key(2), key);
  EXPECT_EQ(fresh.PlayerString(2).find(key), std::string::npos) << "the key is never part of what is shown or sent";

  ASSERT_TRUE(registry_.WritePlayer(2, Record("Ann Lee", "1 Main St", "ann@example.org", "N")));
  ASSERT_TRUE(registry_.WritePlayers());
  EXPECT_EQ(Value("Player3", "key"), key) << "an edit keeps the key";
  EXPECT_EQ(registry_.Key(2), key);

  ASSERT_TRUE(registry_.ResetPlayer(2));
  EXPECT_EQ(registry_.Key(2), "");
  EXPECT_EQ(Value("Player3", "key"), "<none>");
  EXPECT_EQ(Value("Player6", "key"), other) << "only the reset slot's key goes";
  const std::string next = registry_.KeepKey(2);
  EXPECT_TRUE(PlayerRegistry::IsKey(next));
  EXPECT_NE(next, key);
}

TEST_F(PlayerRegistryTest, ABadKeyIsReplacedAndAnUnsavedOneIsNeverUsed) {
  for (const char* bad : {"0123456789ABCDEF0123456789ABCDEF", "0123456789abcdef", "0123456789abcdef0123456789abcdefa",
                          "0123456789abcdeg0123456789abcdef"}) {
    WriteIni(std::string("[Player1]\nname=Ann\nkey=") + bad + "\n");
    registry_.SetPath("..\\options.ini");
    registry_.ReadPlayer(0);
    EXPECT_EQ(registry_.Key(0), "") << bad;
    const std::string made = registry_.KeepKey(0);
    EXPECT_TRUE(PlayerRegistry::IsKey(made)) << bad;
    EXPECT_NE(made, bad);
  }
  WriteIni("[Player1]\nname=Ann\n");
  fs::permissions(Ini(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(registry_.KeepKey(0), "") << "a key the file cannot keep is not handed out";
  EXPECT_EQ(registry_.Key(0), "");
  EXPECT_EQ(ReadIni(), "[Player1]\nname=Ann\n");
}

TEST_F(PlayerRegistryTest, FindPlayerMatchesTheWholePlayerString) {
  WriteIni("[Player2]\nname=Ann\naddress=1 Main St\nemail=a@b.c\nsend=N\n[Player5]\nname=Ann\n");
  registry_.SetPath("..\\options.ini");
  registry_.ReadAllPlayers();
  EXPECT_EQ(registry_.FindPlayer("Ann:1 Main St:a@b.c:N"), 1);
  EXPECT_EQ(registry_.FindPlayer("Ann:::Y"), 4);
  EXPECT_EQ(registry_.FindPlayer("Player8:::Y"), 7);
  EXPECT_EQ(registry_.FindPlayer("Ann:1 Main St:a@b.c:Y"), -1);
  EXPECT_EQ(registry_.FindPlayer("Ann"), -1);
}

}  // namespace
