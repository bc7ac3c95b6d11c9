// Paths matched case-insensitively take short cuts (one listing of the
// path's folder when only the last name is missing, nothing asked below a
// name found in no case, no second look for a "\" that cannot be part of a
// name): each must give what matching every name in turn gives.
#include <gtest/gtest.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/files.h"
#include "../support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The first entry of dir, in the order the system lists them, whose name
// equals name ignoring case.
std::string ListedInAnyCase(const std::string& dir, const std::string& name) {
  std::error_code error;
  for (fs::directory_iterator it(dir.empty() ? "." : dir, error), end; !error && it != end; it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (strcasecmp(entry.c_str(), name.c_str()) == 0) return entry;
  }
  return {};
}

// Every name looked up in turn from the top, each one missing as written
// taken from its folder's listing in any case.
std::string MatchedNameByName(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t pos = path[0] == '/' ? 1 : 0;
  while (pos <= path.size()) {
    const size_t slash = path.find('/', pos);
    const std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    pos = slash == std::string::npos ? path.size() + 1 : slash + 1;
    if (part.empty()) continue;
    std::string candidate = resolved + part;
    if (part != "." && part != ".." && !Exists(candidate)) {
      const std::string match = ListedInAnyCase(resolved, part);
      if (!match.empty()) candidate = resolved + match;
    }
    resolved = candidate;
    if (pos <= path.size()) resolved += '/';
  }
  return resolved;
}

// The game's folder with its sounds, a link that leads nowhere, and names
// that differ only in case (where the one as written must win); the test's
// folder is current.
class PathMatch : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDir::Write("Quibbleton/Sounds/Cheer.WAV", "cheer");
    TempDir::Write("Quibbleton/Sounds/Boom.wav", "boom");
    TempDir::Write("Quibbleton/Sounds/BOOM.WAV", "BOOM");
    TempDir::Write("Quibbleton/Music/Theme.mp3", "theme");
    TempDir::Write("Quibbleton/MUSIC/THEME.MP3", "THEME");
    TempDir::Write("Quibbleton/hiscore.dat", "table");
    fs::create_symlink("Nowhere.wav", "Quibbleton/Sounds/Gone.wav");
  }

  TempDir dir_;
};

TEST_F(PathMatch, TheLastNameInAFolderThereAsWrittenIsMatchedInAnyCase) {
  EXPECT_EQ(platform::MatchCase("Quibbleton/Sounds/cheer.wav"), "Quibbleton/Sounds/Cheer.WAV");
  EXPECT_EQ(platform::MatchCase("./Quibbleton//Sounds/CHEER.wav"), "./Quibbleton/Sounds/Cheer.WAV");
  EXPECT_EQ(platform::MatchCase(dir_.Path() + "/Quibbleton/Sounds/cheer.wav"),
            dir_.Path() + "/Quibbleton/Sounds/Cheer.WAV");
  EXPECT_EQ(platform::MatchCase("Quibbleton/Sounds/New.wav"), "Quibbleton/Sounds/New.wav");
  fs::current_path("Quibbleton");
  EXPECT_EQ(platform::MatchCase("HISCORE.DAT"), "hiscore.dat");
  EXPECT_EQ(platform::MatchCase("../Quibbleton/Sounds/cheer.wav"), "../Quibbleton/Sounds/Cheer.WAV");
}

TEST_F(PathMatch, AFolderMissingAsWrittenIsMatchedUnderAnotherCase) {
  EXPECT_EQ(platform::MatchCase("Quibbleton/sounds/Cheer.WAV"), "Quibbleton/Sounds/Cheer.WAV");
  EXPECT_EQ(platform::MatchCase("quibbleton/sounds/new.wav"), "Quibbleton/Sounds/new.wav");
  EXPECT_EQ(platform::MatchCase("QUIBBLETON/Sounds/"), "Quibbleton/Sounds/");
  // Below a folder found in no case the names stay as written, even those
  // that would match in the current folder.
  EXPECT_EQ(platform::MatchCase("Elsewhere/quibbleton/sounds"), "Elsewhere/quibbleton/sounds");
}

TEST_F(PathMatch, WhatIsKnownOfTheResultIsWhatTheSystemSays) {
  for (const std::string path : {"Quibbleton/Sounds/Cheer.WAV", "quibbleton/SOUNDS/cheer.wav", "Quibbleton/Sounds/none",
                                 "quibbleton/sounds/none", "Quibbleton/sounds/gone.wav", "Quibbleton/Sounds/gone.wav",
                                 "Quibbleton", "nothere/none"}) {
    platform::PathFacts facts;
    const std::string matched = platform::MatchCase(path, &facts);
    struct stat st;
    const bool present = ::stat(matched.c_str(), &st) == 0;
    EXPECT_EQ(platform::LookUp(matched, &facts), present) << path;
    if (present) {
      EXPECT_EQ(facts.mode, st.st_mode) << path;
    }
  }
}

TEST_F(PathMatch, EveryShortCutGivesWhatMatchingEachNameGives) {
  std::vector<std::string> paths;
  for (const std::string& top : {std::string(), std::string("./"), std::string("//"), dir_.Path() + "/"})
    for (const std::string folder : {"Quibbleton", "quibbleton", "QUIBBLETON", "Elsewhere"})
      for (const std::string inner : {"", "/Sounds", "/sounds", "//Sounds", "/./sounds", "/../Quibbleton/sounds",
                                        "/Music", "/MUSIC", "/music"})
        for (const std::string name : {"", "/", "/Cheer.WAV", "/cheer.wav", "/cheer.wav/", "/gone.wav", "/Gone.wav",
                                       "/Boom.wav", "/BOOM.WAV", "/boom.wav", "/Theme.mp3", "/THEME.MP3", "/theme.mp3",
                                       "/new.wav", "/..", "/.", "/../HISCORE.DAT"})
          paths.push_back(top + folder + inner + name);
  for (const std::string& path : paths) EXPECT_EQ(platform::MatchCase(path), MatchedNameByName(path)) << path;
}

// A Linux name may hold a "\"; only a "\" after a name can be one.
TEST_F(PathMatch, NamesHoldingABackslashAreFoundWhereverTheyStand) {
  TempDir::Write("Quibbleton/back\\slash/LobboButton.bmp", "button");
  TempDir::Write("odd\\name.txt", "odd");
  EXPECT_EQ(platform::MapPath("odd\\name.txt"), "odd\\name.txt");
  EXPECT_EQ(platform::MapPath(".\\ODD\\Name.txt"), "./odd\\name.txt");
  EXPECT_EQ(platform::MapPath("quibbleton\\back\\slash\\lobbobutton.bmp"), "Quibbleton/back\\slash/LobboButton.bmp");
  fs::current_path("Quibbleton/Sounds");
  EXPECT_EQ(platform::MapPath("..\\back\\slash\\LobboButton.bmp"), "../back\\slash/LobboButton.bmp");
  EXPECT_EQ(platform::MapPath("..\\..\\odd\\name.txt"), "../../odd\\name.txt");
  // A "\" after "." or ".." only separates.
  EXPECT_EQ(platform::MapPath("..\\HISCORE.dat"), "../hiscore.dat");
  EXPECT_EQ(platform::MapPath(".\\cheer.wav"), "./Cheer.WAV");
  EXPECT_EQ(platform::MapPath("..\\..\\none.txt"), "../../none.txt");
}

}  // namespace
