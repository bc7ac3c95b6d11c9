// Ranked play from the player's side, against a score server of the test's
// own: the built game asks for a deal and plays it (the board its seed deals,
// the replay naming it), plays its own deal when the server is no help or a
// seed is set, a game on a deal is sent to the server when it ends, and the
// launcher's upload carries the player's key.
#ifdef SCORE_SERVER_EXE
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"
#include "launcher_tree.h"
#include "records/high_score_table.h"
#include "run_program.h"
#include "screens/player_registry.h"
#include "tests/support/fake_score_server.h"

namespace {

namespace fs = std::filesystem;

// A launcher folder whose setup.ini names the server, with Quibbleton/
// linking the staged game's files and settings of its own (groups of one,
// a two-second game).
fs::path MakeTree(const std::string& server) {
  const fs::path dist = fs::path(QB_LAUNCHER_EXE).parent_path();
  const fs::path root = MakeLauncherTree(dist, "qbranked");
  fs::remove(root / "setup.ini");
  std::ofstream(root / "setup.ini") << "[setup]\nfullscreen=0\n[server]\nscores=" << server << "/\n";
  const fs::path game = root / "Quibbleton";
  fs::create_directories(game);
  for (const auto& entry : fs::directory_iterator(dist / "Quibbleton")) {
    const fs::path name = entry.path().filename();
    if (name != "hiscore.dat" && name != "setup.ini" && name != "replays") fs::create_symlink(entry.path(), game / name);
  }
  std::ofstream(game / "setup.ini") << "[setup]\nfullscreen=0\n\n[default]\nballoons=1\ngametime=2\n";
  return root;
}

std::string DealJson(const char* id, uint32_t seed, int gameTime = 2) {
  return std::string(R"({"deal":")") + id + R"(","seed":)" + std::to_string(seed) +
         R"(,"balloons":1,"gametime":)" + std::to_string(gameTime) +
         R"(,"expires":)" + std::to_string(std::time(nullptr) + 3600) + "}";
}

struct Played {
  ProgramResult result;
  double seconds = 0;
  std::string replay;  // the one replay the game kept
  int score = -1;      // the hall of fame's best
};

// On the real clock, as a player: the deal has a second and a half to
// arrive, then N starts a game, a head is removed, the two seconds run out,
// and Escape passes the game-over picture and the hall-of-fame notice; or
// the script given.
Played PlayOneGame(const fs::path& root, std::map<std::string, std::string> settings = {}, std::string script = {}) {
  if (script.empty())
    script = "1500 tap N\n1600 dump " + (root / "dealt.txt").string() + "\n1700 click left 157 37\n7000 tap ESC\n";
  std::ofstream(root / "game.txt") << script;
  settings.insert({{"QB_VIDEO", "headless"},
                   {"QB_CLOCK", "real"},
                   {"QB_AUDIO", "null"},
                   {"QB_SCRIPT", (root / "game.txt").string()},
                   {"QB_MAX_TICKS", "20000"}});
  const fs::path game = root / "Quibbleton";
  Played played;
  const auto start = std::chrono::steady_clock::now();
  played.result = RunProgram(QB_GAME_EXE, {root.string()}, settings, game.string());
  played.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (fs::is_directory(game / "replays"))
    for (const auto& entry : fs::directory_iterator(game / "replays")) played.replay = ReadAll(entry.path());
  HighScoreTable table;
  table.Resize(20);
  if (table.Load((game / "hiscore.dat").c_str()) == 1 && table.Entry(0)) played.score = table.Entry(0)->score;
  return played;
}

std::string BoardOf(const std::string& dump) {
  const size_t from = dump.find("board\n"), to = dump.find("guys");
  return from == std::string::npos || to == std::string::npos ? "" : dump.substr(from, to - from);
}

TEST(RankedPlay, TheGamePlaysTheServersDealAndItsReplayNamesIt) {
  FakeScoreServer server;
  server.Answer({200, DealJson("e2e-7", 4242)});
  const fs::path root = MakeTree(server.Address());
  const Played played = PlayOneGame(root);
  ASSERT_EQ(played.result.exitCode, 0) << played.result.errors;

  const std::vector<FakeScoreServer::Request> asked = server.Requests();
  ASSERT_GE(asked.size(), 2u) << "one deal when the screen opened, the next after New game took it";
  EXPECT_EQ(asked[0].method, "POST");
  EXPECT_EQ(asked[0].path, "/api/games/Quibbleton/deals");

  const quibbleton::ReplayParse replay = quibbleton::ParseReplay(played.replay);
  ASSERT_TRUE(replay.ok) << replay.error << "\n" << played.replay;
  EXPECT_EQ(replay.replay.seed, 4242u);
  EXPECT_EQ(replay.replay.deal, "e2e-7");
  const quibbleton::Verdict verdict = quibbleton::VerifyReplay(replay.replay);
  EXPECT_TRUE(verdict.ok) << verdict.reason;
  EXPECT_EQ(verdict.score, played.score);
  EXPECT_GT(played.score, 0);
  bool sent = false;
  for (const FakeScoreServer::Request& request : asked)
    sent = sent || (request.path == "/api/replays" && request.body == played.replay);
  EXPECT_TRUE(sent) << "a game ended by its countdown is sent too";

  // The board is the one QB_SEED=4242 deals first.
  std::ofstream(root / "seeded.txt") << "100 dump " << (root / "seeded-board.txt").string() << "\n200 tap ESC\n";
  const ProgramResult seeded =
      RunProgram(QB_GAME_EXE, {root.string()},
                 {{"QB_VIDEO", "headless"}, {"QB_CLOCK", "virtual"}, {"QB_AUDIO", "null"}, {"QB_SEED", "4242"},
                  {"QB_SCRIPT", (root / "seeded.txt").string()}, {"QB_MAX_TICKS", "5000"}},
                 (root / "Quibbleton").string());
  ASSERT_EQ(seeded.exitCode, 0) << seeded.errors;
  const std::string board = BoardOf(ReadAll(root / "seeded-board.txt"));
  ASSERT_FALSE(board.empty());
  EXPECT_EQ(BoardOf(ReadAll(root / "dealt.txt")), board);
  fs::remove_all(root);
}

// A server that answers garbage, or never answers while the game is played:
// the game plays its own deal as it always has, unranked, on time.
TEST(RankedPlay, WithoutAUsableAnswerTheGameIsThePlayersOwn) {
  for (const FakeScoreServer::Reply& reply : {FakeScoreServer::Reply{200, "<html>no</html>"},
                                             FakeScoreServer::Reply{200, DealJson("e2e-8", 1), true}}) {
    SCOPED_TRACE(reply.hang ? "silent" : "garbage");
    FakeScoreServer server;
    server.Answer(reply);
    const fs::path root = MakeTree(server.Address());
    const Played played = PlayOneGame(root);
    ASSERT_EQ(played.result.exitCode, 0) << played.result.errors;
    EXPECT_GE(server.Requests().size(), 1u);
    const quibbleton::ReplayParse replay = quibbleton::ParseReplay(played.replay);
    ASSERT_TRUE(replay.ok) << replay.error;
    EXPECT_EQ(replay.replay.deal, "");
    EXPECT_TRUE(quibbleton::VerifyReplay(replay.replay).ok);
    EXPECT_GT(played.score, 0) << "the click at 1.7 s was played";
    // The script's last tap is at 7 s; nothing waited for the server.
    EXPECT_LT(played.seconds, 8.5);
    fs::remove_all(root);
  }
}

TEST(RankedPlay, ASeededRunAsksForNoDeal) {
  FakeScoreServer server;
  server.Answer({200, DealJson("e2e-9", 7)});
  const fs::path root = MakeTree(server.Address());
  const Played played = PlayOneGame(root, {{"QB_SEED", "5"}, {"QB_CLOCK", "virtual"}});
  ASSERT_EQ(played.result.exitCode, 0) << played.result.errors;
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(played.replay.find("\ndeal "), std::string::npos) << played.replay;
  fs::remove_all(root);
}

// A game on the server's deal ended by New game is posted by the game
// itself, its own replay with the player's key and the player string as the
// upload sends it (send=N: the name alone); a game on the player's own deal
// posts nothing.
TEST(RankedPlay, AGameOnADealIsSentToTheServerWhenItEnds) {
  for (const bool ranked : {true, false}) {
    SCOPED_TRACE(ranked ? "on the server's deal" : "on the player's own");
    FakeScoreServer server;
    server.Answer({200, ranked ? DealJson("e2e-10", 777, 60) : "{}"});
    const fs::path root = MakeTree(server.Address());
    // A minute's game, so that only New game ends it, however slow the run.
    std::ofstream(root / "Quibbleton" / "setup.ini") << "[setup]\nfullscreen=0\n\n[default]\nballoons=1\ngametime=60\n";
    std::ofstream(root / "options.ini") << "[setup]\nplayerid=1\n[Player2]\nname=Ann Lee\naddress=1 Main St\n"
                                           "email=ann@example.org\nsend=N\n";
    // N deals, a head is removed, N again (its animation long over) ends that
    // game; Escape passes its notice and closes the game in the next one.
    const Played played = PlayOneGame(root, {}, "2500 tap N\n2700 click left 157 37\n4500 tap N\n5000 tap ESC\n6000 tap ESC\n");
    ASSERT_EQ(played.result.exitCode, 0) << played.result.errors;
    const std::string& kept = played.replay;
    ASSERT_FALSE(kept.empty()) << "the ended game's replay is in the hall of fame";

    std::vector<FakeScoreServer::Request> posts;
    for (const FakeScoreServer::Request& request : server.Requests())
      if (request.path == "/api/replays") posts.push_back(request);
    if (!ranked) {
      EXPECT_TRUE(posts.empty());
      EXPECT_EQ(kept.find("\ndeal "), std::string::npos);
      fs::remove_all(root);
      continue;
    }
    ASSERT_EQ(posts.size(), 1u) << "the game ended by New game, once; the one closed in play is not ended";
    const FakeScoreServer::Request& post = posts[0];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.body, kept) << "the game's own replay";
    const quibbleton::ReplayParse replay = quibbleton::ParseReplay(post.body);
    ASSERT_TRUE(replay.ok) << replay.error;
    EXPECT_EQ(replay.replay.deal, "e2e-10");
    const quibbleton::Verdict verdict = quibbleton::VerifyReplay(replay.replay);
    ASSERT_TRUE(verdict.ok) << verdict.reason;
    EXPECT_GT(verdict.score, 0);
    EXPECT_EQ(post.query.at("game"), "Quibbleton");
    EXPECT_EQ(post.query.at("name"), "Ann Lee:::N") << "address and e-mail stay home";
    EXPECT_EQ(post.query.at("score"), std::to_string(verdict.score)) << "unmasked";
    PlayerRegistry players;
    players.SetPath((root / "options.ini").c_str());
    players.ReadAllPlayers();
    ASSERT_TRUE(PlayerRegistry::IsKey(players.Key(1))) << ReadAll(root / "options.ini");
    EXPECT_EQ(post.playerKey, players.Key(1)) << "the profile's key, made and kept";
    fs::remove_all(root);
  }
}

// The hall of fame's upload posts the best entry's replay with the key of
// the profile whose player string is the entry's, made at the first upload
// and the same at the next; an entry of no profile goes without one.
TEST(RankedPlay, TheUploadCarriesThePlayersKey) {
  FakeScoreServer server;
  server.Answer({200, "{}"});
  const fs::path root = MakeTree(server.Address());
  const fs::path game = root / "Quibbleton";
  std::ofstream(root / "options.ini") << "[Player2]\nname=Ann Lee\naddress=1 Main St\nemail=ann@example.org\nsend=Y\n";
  const auto upload = [&](const char* entry) {
    fs::remove(game / "hiscore.dat");
    HighScoreTable table;
    table.Resize(20);
    table.Insert(entry, 1200);
    EXPECT_TRUE(table.Save((game / "hiscore.dat").c_str()));
    fs::create_directories(game / "replays");
    std::ofstream(game / "replays" / quibbleton::ReplayFileName(entry, 1200)) << "quibbleton-replay 1\n";
    std::ofstream(root / "script.txt") << "100 click left 127 393\n300 click left 670 131\n500 tap ESC\n";
    const ProgramResult launcher = RunProgram(QB_LAUNCHER_EXE, {"Quibbleton"},
                                              {{"QB_VIDEO", "headless"},
                                               {"QB_CLOCK", "virtual"},
                                               {"QB_AUDIO", "null"},
                                               {"QB_SCRIPT", (root / "script.txt").string()},
                                               {"QB_SHELL", "record:" + (root / "shell.txt").string()},
                                               {"QB_MAX_TICKS", "5000"}},
                                              root.string());
    EXPECT_EQ(launcher.exitCode, 0) << launcher.errors;
  };
  upload("Ann Lee:1 Main St:ann@example.org:Y");
  PlayerRegistry players;
  players.SetPath((root / "options.ini").c_str());
  players.ReadAllPlayers();
  const std::string key = players.Key(1);
  ASSERT_TRUE(PlayerRegistry::IsKey(key)) << ReadAll(root / "options.ini");
  upload("Ann Lee:1 Main St:ann@example.org:Y");
  upload("Ann Lee:::Y");

  const std::vector<FakeScoreServer::Request> posts = server.Requests();
  ASSERT_EQ(posts.size(), 3u);
  for (const FakeScoreServer::Request& post : posts) {
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.path, "/api/replays");
    EXPECT_EQ(post.body, "quibbleton-replay 1\n");
  }
  EXPECT_EQ(posts[0].playerKey, key);
  EXPECT_EQ(posts[1].playerKey, key) << "the key is kept";
  EXPECT_FALSE(posts[2].hasKey) << "no profile is \"Ann Lee:::Y\"";
  fs::remove_all(root);
}

}  // namespace
#endif
