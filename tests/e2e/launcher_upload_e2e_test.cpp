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

#include "launcher_tree.h"
#include "run_program.h"
#include "tests/server/running_server.h"
#include "records/high_score_table.h"

namespace {

namespace fs = std::filesystem;

TEST(LauncherUpload, RecordedUploadLandsOnTheLeaderboard) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();

  const fs::path dist = fs::path(QB_LAUNCHER_EXE).parent_path();
  const std::string root = MakeLauncherTree(dist, "qbupload").string();
  fs::remove(root + "/setup.ini");  // this run's own, with the server's address
  std::ofstream(root + "/setup.ini") << "[setup]\nfullscreen=0\n[server]\nscores=" << server.Server() << "/\n";
  const std::string game = root + "/Quibbleton";
  fs::create_directories(game);
  for (const auto& entry : fs::directory_iterator(dist / "Quibbleton"))
    if (entry.path().filename() != "hiscore.dat") fs::create_symlink(entry.path(), fs::path(game) / entry.path().filename());
  {
    HighScoreTable table;
    table.Resize(20);
    table.Insert("Ann Lee:1 Main St:ann@example.org:Y", 1200);
    table.Insert("Bob:::N", 700);
    ASSERT_TRUE(table.Save((game + "/hiscore.dat").c_str()));
  }

  std::ofstream(root + "/script.txt") << "100 click left 127 393\n300 click left 670 131\n500 tap ESC\n";
  const ProgramResult launcher = RunProgram(QB_LAUNCHER_EXE, {"Quibbleton"},
                                            {{"QB_VIDEO", "headless"},
                                             {"QB_CLOCK", "virtual"},
                                             {"QB_AUDIO", "null"},
                                             {"QB_SCRIPT", root + "/script.txt"},
                                             {"QB_SHELL", "record:" + root + "/shell.txt"},
                                             {"QB_MAX_TICKS", "5000"}},
                                            root);
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

}  // namespace
#endif
