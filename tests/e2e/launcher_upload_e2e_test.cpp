// The whole upload path: the launcher's hall of fame builds the address from
// a game's "hiscore.dat" and the server named in its "setup.ini"; opening that
// address on a running score server stores the entry, and the leaderboard
// shows it with the player's name only.
#ifdef SCORE_SERVER_EXE
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "launcher/upload_address.h"
#include "launcher_tree.h"
#include "run_program.h"
#include "tests/server/running_server.h"
#include "records/high_score_table.h"

namespace {

namespace fs = std::filesystem;

// A launcher tree whose setup.ini names the running server, with the game's
// files linked into Quibbleton/ (without a hall of fame).
fs::path MakeUploadTree(const RunningServer& server) {
  const fs::path dist = fs::path(QB_LAUNCHER_EXE).parent_path();
  const fs::path root = MakeLauncherTree(dist, "qbupload");
  fs::remove(root / "setup.ini");  // this run's own, with the server's address
  std::ofstream(root / "setup.ini") << "[setup]\nfullscreen=0\n[server]\nscores=" << server.Server() << "/\n";
  const fs::path game = root / "Quibbleton";
  fs::create_directories(game);
  for (const auto& entry : fs::directory_iterator(dist / "Quibbleton")) {
    const fs::path name = entry.path().filename();
    if (name != "hiscore.dat" && name != "setup.ini") fs::create_symlink(entry.path(), game / name);
  }
  std::ofstream(game / "setup.ini") << "[setup]\nfullscreen=0\n\n[default]\nballoons=1\ngametime=5\n";
  return root;
}

// The launcher opens Quibbleton's hall of fame, presses "upload" and quits.
ProgramResult PressUpload(const std::string& root) {
  std::ofstream(root + "/script.txt") << "100 click left 127 393\n300 click left 670 131\n500 tap ESC\n";
  return RunProgram(QB_LAUNCHER_EXE, {"Quibbleton"},
                    {{"QB_VIDEO", "headless"},
                     {"QB_CLOCK", "virtual"},
                     {"QB_AUDIO", "null"},
                     {"QB_SCRIPT", root + "/script.txt"},
                     {"QB_SHELL", "record:" + root + "/shell.txt"},
                     {"QB_MAX_TICKS", "5000"}},
                    root);
}

nlohmann::json Scores(const RunningServer& server, const std::string& query = "") {
  return nlohmann::json::parse(server.Get("/api/games/Quibbleton/scores" + query)->body);
}

TEST(LauncherUpload, RecordedUploadLandsOnTheLeaderboard) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string root = MakeUploadTree(server).string();
  const std::string game = root + "/Quibbleton";
  {
    HighScoreTable table;
    table.Resize(20);
    table.Insert("Ann Lee:1 Main St:ann@example.org:Y", 1200);
    table.Insert("Bob:::N", 700);
    ASSERT_TRUE(table.Save((game + "/hiscore.dat").c_str()));
  }

  const ProgramResult launcher = PressUpload(root);
  ASSERT_EQ(launcher.exitCode, 0) << launcher.errors;

  std::ifstream recorded(root + "/shell.txt");
  std::string verb, address;
  ASSERT_TRUE(std::getline(recorded, verb, '\t') && std::getline(recorded, address, '\t'));
  ASSERT_EQ(address.rfind(server.Server() + "/cgi-bin/hiscore.cgi?", 0), 0u) << address;

  auto answer = server.Get(address.substr(server.Server().size()));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200) << answer->body;
  EXPECT_NE(answer->body.find("number 1 of 1 in Quibbleton"), std::string::npos) << answer->body;

  auto json = server.Get("/api/games/Quibbleton/scores?limit=10");
  ASSERT_TRUE(json);
  const nlohmann::json doc = nlohmann::json::parse(json->body);
  ASSERT_EQ(doc["scores"].size(), 1u);
  EXPECT_EQ(doc["scores"][0]["name"], "Ann Lee");
  EXPECT_EQ(doc["scores"][0]["score"], 1200);
  EXPECT_EQ(json->body.find("Main St"), std::string::npos);
  EXPECT_EQ(json->body.find("example.org"), std::string::npos);
  fs::remove_all(root);
}

// A seeded game played to its end by the built game; the launcher's upload
// posts its replay, and its rule set's board shows the entry verified. A forged plain
// upload above it is listed, unverified, and left out of the verified board.
TEST(LauncherUpload, TheBestEntrysReplayIsPostedAndVerified) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const fs::path root = MakeUploadTree(server);
  const fs::path game = root / "Quibbleton";
  // New game, one head removed (groups of one count), the 5 s run out, the
  // game-over picture and the hall-of-fame notice.
  std::ofstream(root / "game.txt") << "200 click left 50 375\n600 click left 157 37\n10000 tap ESC\n";
  const ProgramResult played = RunProgram(QB_GAME_EXE, {root.string()},
                                          {{"QB_VIDEO", "headless"},
                                           {"QB_CLOCK", "virtual"},
                                           {"QB_AUDIO", "null"},
                                           {"QB_SEED", "5"},
                                           {"QB_SCRIPT", (root / "game.txt").string()},
                                           {"QB_MAX_TICKS", "20000"}},
                                          game.string());
  ASSERT_EQ(played.exitCode, 0) << played.errors;
  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((game / "hiscore.dat").c_str()), 1);
  ASSERT_GT(table.Entry(0)->score, 0);
  ASSERT_TRUE(fs::is_directory(game / "replays"));

  const ProgramResult launcher = PressUpload(root.string());
  ASSERT_EQ(launcher.exitCode, 0) << launcher.errors;
  // A game of other settings than the shipped ones is ranked on its rule
  // set's board alone.
  const nlohmann::json own = Scores(server, "?rules=1-5").at("scores");
  ASSERT_EQ(own.size(), 1u) << server.Log();
  EXPECT_EQ(own[0].at("score"), table.Entry(0)->score);
  EXPECT_TRUE(own[0].at("verified").get<bool>());

  ASSERT_EQ(server.Get(UploadAddress(server.Server().c_str(), "Quibbleton", "Mallory:::N", 99999999)
                           .substr(server.Server().size()))->status, 200);
  const nlohmann::json standard = Scores(server).at("scores");
  ASSERT_EQ(standard.size(), 1u);
  EXPECT_EQ(standard[0].at("name"), "Mallory");
  EXPECT_FALSE(standard[0].at("verified").get<bool>());
  EXPECT_TRUE(Scores(server, "?verified=1").at("scores").empty());
  EXPECT_EQ(Scores(server, "?rules=1-5").at("scores").size(), 1u);
  fs::remove_all(root);
}

}  // namespace
#endif
