// The launcher's decisions that need no window: which folders are games,
// the page arithmetic, choosing a game by command line, and the upload
// address with its escaping.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "launcher/game_pages.h"
#include "launcher/title_screen.h"
#include "launcher/upload_address.h"
#include "platform/posix/files.h"
#include "widgets/redraw_manager.h"
#include "screens/screen_manager.h"
#include "tests/support/temp_dir.h"
#include "tests/widgets/framework_test_support.h"

namespace {

namespace fs = std::filesystem;

void MakeGame(const std::string& folder) {
  fs::create_directories(folder);
  fwtest::WriteSolidBmp(folder + "/LobboButton.bmp", 4, 4, 0x808080);
}

std::vector<std::string> Names(const std::vector<GameFolder>& folders) {
  std::vector<std::string> names;
  for (const GameFolder& f : folders) names.push_back(f.name);
  return names;
}

TEST(GameScan, OnlyPlainVisibleFoldersWithAButtonPictureAreGames) {
  TempDir dir;
  MakeGame("Alpha");
  MakeGame("Beta Game");
  MakeGame(".hidden");
  MakeGame("Locked");
  ::chmod("Locked", 0555);  // a folder that cannot be written (an installed game) is still a game
  fs::create_directories("NoPicture");
  TempDir::Write("File.txt", "not a folder");
  MakeGame(std::string(59, 'x'));  // 59 + ".exe" fills the 64-byte field
  MakeGame(std::string(60, 'y'));  // does not fit: skipped, not cut
  MakeGame("alpine");
  MakeGame("Zeta");
  MakeGame("game02");
  MakeGame("Game10");
  const auto folders = FindGameFolders(dir.Path());
  // In alphabetical order whatever the case, as a player reads them.
  EXPECT_EQ(Names(folders), (std::vector<std::string>{"Alpha", "alpine", "Beta Game", "game02", "Game10", "Locked",
                                                      std::string(59, 'x'), "Zeta"}));
  for (const GameFolder& f : folders) EXPECT_EQ(f.directory, dir.Path() + "\\" + f.name);
  ::chmod("Locked", 0755);
}

TEST(PageLayout, ExtraSlotAndNextPage) {
  struct Case {
    int games, extraPage, extraSlot;
    bool firstHasNext;
  };
  for (const Case& c : {Case{3, 0, 4, false}, Case{11, 0, 12, false}, Case{12, 1, 1, true}, Case{14, 1, 3, true}}) {
    EXPECT_EQ(PageLayout::ExtraPage(c.games), c.extraPage) << c.games;
    EXPECT_EQ(PageLayout::ExtraSlot(c.games), c.extraSlot) << c.games;
    EXPECT_EQ(PageLayout::HasNextPage(0, c.games), c.firstHasNext) << c.games;
    EXPECT_FALSE(PageLayout::HasNextPage(c.extraPage, c.games)) << c.games;
  }
  EXPECT_EQ(PageLayout::IndexOf(1, 3), 14);
}

TEST(GamePages, CommandLineSelectsTheLastGameWhoseExecutableBeginsWithIt) {
  fwtest::EnsureGraphics();
  TempDir dir;
  for (const char* name : {"Quibbleton", "Quib", "Other"}) MakeGame(dir.Path() + "/" + name);
  screenManager.Add(&gamePagesScreen);
  screenManager.Add(&titleScreen);
  screenManager.SwitchTo("Lobbo");
  ASSERT_EQ(gamePagesScreen.GameCount(), 3);

  gamePagesScreen.SelectByCommandLine("Nothing");
  EXPECT_EQ(screenManager.Current(), &gamePagesScreen);
  gamePagesScreen.SelectByCommandLine("quib");  // case counts
  EXPECT_EQ(screenManager.Current(), &gamePagesScreen);

  const GameEntry* last = nullptr;
  for (int i = 0; i < 3; ++i)
    if (std::string(gamePagesScreen.Game(i)->name).rfind("Quib", 0) == 0) last = gamePagesScreen.Game(i);
  gamePagesScreen.SelectByCommandLine("Quib");
  EXPECT_EQ(screenManager.Current(), &titleScreen);
  EXPECT_EQ(titleScreen.entry, last);
  // The title menu reaches the game's files by its folder; the process stays where it works.
  EXPECT_EQ(titleScreen.launcherDirectory, dir.Path());
  EXPECT_EQ(fs::current_path().string(), dir.Path());
  screenManager.LeaveAll();
}

// A picture that is there but is not one (a folder, a damaged file, one
// larger than the page) makes no game, and the scan says so; a "\\" in a
// folder's name is part of the name, not a separator.
TEST(GameScan, PicturesThatAreNoButtonsAreSkippedAndSaidAndBackslashesStayInNames) {
  TempDir dir;
  MakeGame("Good");
  MakeGame("back\\slash");
  fs::create_directories("Folder/LobboButton.bmp");
  TempDir::Write("Damaged/LobboButton.bmp", "BM not a picture");
  fwtest::WriteSolidBmp("Huge/LobboButton.bmp", 801, 2, 0x808080);
  fs::create_directories("NoPicture");
  testing::internal::CaptureStderr();
  const auto folders = FindGameFolders(dir.Path());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Names(folders), (std::vector<std::string>{"back\\slash", "Good"}));  // listed alphabetically
  for (const char* name : {"Folder", "Damaged", "Huge"})
    EXPECT_NE(said.find(std::string("\"") + name + "\": its LobboButton.bmp"), std::string::npos) << name << said;
  EXPECT_EQ(said.find("NoPicture"), std::string::npos) << said;
  EXPECT_EQ(platform::MapPath((dir.Path() + "\\back\\slash\\LobboButton.bmp").c_str()),
            dir.Path() + "/back\\slash/LobboButton.bmp");
}

// A launcher directory with the pages' own pictures and count games.
void MakePagesTree(int count) {
  fwtest::WriteSolidBmp("background.bmp", 800, 600, 0x000000);
  fwtest::WriteSolidBmp("GameButton.bmp", 3 * 240, 100, 0x000000);  // three faces of 240 x 100
  for (int i = 0; i < count; ++i) MakeGame("Game" + std::to_string(100 + i));
}

// Only the page shown holds its pictures: 10,000 games cost no more memory
// than twelve. A picture larger than its slot shows only the slot's part.
TEST(GamePages, ThePageShownLoadsItsPicturesAndAPictureIsClippedToItsSlot) {
  fwtest::EnsureGraphics();
  TempDir dir;
  MakePagesTree(30);
  fwtest::WriteSolidBmp("Game100/LobboButton.bmp", 400, 300, 0xFF0000);
  screenManager.Add(&gamePagesScreen);
  screenManager.SwitchTo("Lobbo");
  ASSERT_EQ(gamePagesScreen.GameCount(), 30);
  auto loaded = [] {
    std::vector<int> indices;
    for (int i = 0; i < gamePagesScreen.GameCount(); ++i)
      if (gamePagesScreen.Game(i)->buttonImage) indices.push_back(i);
    return indices;
  };
  EXPECT_TRUE(loaded().empty()) << "nothing is loaded before the page is drawn";
  gamePagesScreen.Flip();
  EXPECT_EQ(loaded().size(), 12u);
  EXPECT_EQ(loaded().front(), 0);
  int red = -1;
  for (int i = 0; i < 12; ++i)
    if (std::string(gamePagesScreen.Game(i)->name) == "Game100") red = i;
  ASSERT_GE(red, 0);
  IDirectDrawSurface* target = redrawManager.GetTarget();
  constexpr int kColumns[] = {14, 271, 528}, kRows[] = {140, 247, 355, 461};
  const int slotX = kColumns[red % 3], slotY = kRows[red / 3];
  EXPECT_EQ(fwtest::Pixel(target, slotX + 239, slotY + 99), fwtest::kRed);
  EXPECT_NE(fwtest::Pixel(target, slotX + 245, slotY + 50), fwtest::kRed) << "drawn past its slot";
  EXPECT_NE(fwtest::Pixel(target, slotX + 50, slotY + 105), fwtest::kRed) << "drawn past its slot";

  gamePagesScreen.TurnPage(1);
  gamePagesScreen.Flip();
  const std::vector<int> second = loaded();
  ASSERT_EQ(second.size(), 12u);
  EXPECT_EQ(second.front(), 12);
  screenManager.LeaveAll();
  EXPECT_TRUE(loaded().empty());
}

// A screen whose picture failed to load leaves the redraw manager with no
// surface: the last screen's surfaces are freed when it leaves.
TEST(GamePages, AFailedBackgroundLeavesNoSurfaceOfTheLastScreen) {
  fwtest::EnsureGraphics();
  TempDir dir;
  MakeGame("Quibbleton");
  IDirectDrawSurface* last = fwtest::NewSurface(8, 8);
  redrawManager.SetTarget(last);
  redrawManager.SetBackground(last);
  screenManager.Add(&gamePagesScreen);
  screenManager.SwitchTo("Lobbo");  // no background.bmp here
  EXPECT_EQ(redrawManager.GetTarget(), nullptr);
  EXPECT_EQ(redrawManager.GetBackground(), nullptr);
  screenManager.LeaveAll();
  last->Release();
}

TEST(Upload, EscapesExactlyTheSixteenCharacters) {
  EXPECT_EQ(EscapeQuery(" \"#%;<>?[\\]^{|}~"), "%20%22%23%25%3b%3c%3e%3f%5b%5c%5d%5e%7b%7c%7d%7e");
  const std::string kept = "&=:/@!$'()*+,-._`azAZ09\t\x7f\xe9";
  EXPECT_EQ(EscapeQuery(kept.c_str()), kept);
  EXPECT_EQ(EscapeQuery(""), "");
}

TEST(Upload, AddressCarriesTheWholePlayerStringAndTheMaskedScore) {
  EXPECT_EQ(UploadAddress("http://scores.example", "Quibbleton", "Ann:1 Main St::Y", 1200),
            "http://scores.example/cgi-bin/hiscore.cgi?game=Quibbleton&name=Ann:1%20Main%20St::Y&score=" +
                std::to_string(1200 ^ 0x07B7B7B7));
  // An empty table sends an empty name and 0 XOR the mask; a game with a space is escaped.
  EXPECT_EQ(UploadAddress("http://h", "Big Game", "", 0),
            "http://h/cgi-bin/hiscore.cgi?game=Big%20Game&name=&score=129480631");
  // The mask can make the sent number negative; it is printed signed.
  EXPECT_NE(UploadAddress("http://h", "G", "", static_cast<int32_t>(0xF0000000u)).find("score=-"), std::string::npos);
}

// A player who said "no" to sending their details sends only their name.
TEST(Upload, AddressAndEmailGoOnlyWhenThePlayerChoseToSendThem) {
  const auto sent = [](const char* player) {
    const std::string address = UploadAddress("http://h", "G", player, 0);
    const size_t name = address.find("name=") + 5;
    return address.substr(name, address.find("&score=") - name);
  };
  EXPECT_EQ(sent("Dora:5 Oak Lane:dora@example.net:N"), "Dora:::N");
  EXPECT_EQ(sent("Dora:5 Oak Lane:dora@example.net:Y"), "Dora:5%20Oak%20Lane:dora@example.net:Y");
  // Written before ":" was refused: the name is the first field, the choice the last.
  EXPECT_EQ(sent("Eve Ray:Flat 3: 7 High Rd:eve@example.net:N"), "Eve%20Ray:::N");
  EXPECT_EQ(sent("Eve:Flat 3: 7 High Rd:eve@example.net:Y"), "Eve:Flat%203:%207%20High%20Rd:eve@example.net:Y");
  // Anything but "Y" is no; a bare name and an empty entry go as they are.
  EXPECT_EQ(sent("Fay:1 Elm St:fay@example.net:"), "Fay:::N");
  EXPECT_EQ(sent("Fay:1 Elm St:fay@example.net:y"), "Fay:::N");
  EXPECT_EQ(sent("Gus"), "Gus");
  EXPECT_EQ(sent(""), "");
}

TEST(Upload, LongPlayerStringsAreNeverCut) {
  const std::string field(63, 'w');
  const std::string player = "Ann Lee:" + std::string(50, ' ') + field + ":" + field + "@x:Y";
  const std::string address = UploadAddress("http://h", "Quibbleton", player.c_str(), 5);
  const std::string query = address.substr(address.find('?') + 1);
  EXPECT_GT(query.size(), 300u);
  EXPECT_EQ(query, "game=Quibbleton&name=" + EscapeQuery(player.c_str()) + "&score=" + std::to_string(5 ^ 0x07B7B7B7));
  const std::string tail = "&score=" + std::to_string(5 ^ 0x07B7B7B7);
  EXPECT_EQ(query.substr(query.size() - tail.size()), tail);
}

}  // namespace
