// Replays posted to the built server: an honest one stores its entry as
// verified (and verifies the same plain upload from before), every tampered
// one is refused with 422 and stores nothing, and the boards tell the two
// kinds of entry apart.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "launcher/upload_address.h"
#include "server/storage.h"
#include "tests/server/fake_web_build.h"
#include "tests/server/running_server.h"

namespace {

using quibbleton::Replay;

constexpr char kPlayer[] = "Ann:1 Main St::Y";
constexpr char kEscapedPlayer[] = "Ann:1%20Main%20St::Y";

httplib::Result PostReplay(const RunningServer& server, const std::string& body, int32_t score,
                           const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", server.Port());
  client.set_read_timeout(10, 0);
  const std::string target =
      "/api/replays?game=Quibbleton&name=" + std::string(kEscapedPlayer) + "&score=" + std::to_string(score);
  return client.Post(target.c_str(), headers, body, "text/plain");
}

size_t Entries(const RunningServer& server) { return score::OpenStorage(server.Database())->Dump("Quibbleton").size(); }

nlohmann::json Scores(const RunningServer& server, const std::string& query = "") {
  return nlohmann::json::parse(server.Get("/api/games/Quibbleton/scores" + query)->body);
}

TEST(ReplayUpload, TamperedReplaysAreRefusedAndStoreNothing) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const Replay honest = quibbleton::PlayBotGame(4242, 2, 300, 40);
  const quibbleton::Verdict verdict = quibbleton::VerifyReplay(honest);
  ASSERT_TRUE(verdict.ok) << verdict.reason;
  const std::string text = quibbleton::FormatReplay(honest);

  auto tampered = [&](auto change) {
    Replay copy = honest;
    change(copy);
    return quibbleton::FormatReplay(copy);
  };
  // The cell the game's actions have emptied first.
  quibbleton::Rules rules;
  quibbleton::Lcg random(honest.seed);
  rules.Deal(random);
  for (const auto& timed : honest.actions) rules.Apply(timed.action);
  int empty = 0;
  while (rules.GetBoard().At(empty)) ++empty;

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"an action inside the previous animation", tampered([](Replay& r) { r.actions[5].ms = r.actions[4].ms + 1; })},
      {"a click on an empty cell", tampered([&](Replay& r) {
         r.actions.push_back({r.actions.back().ms + 10000, {quibbleton::Action::Kind::kClickColour, empty}, 0});
       })},
      {"an action after the end", text + "300020 push 10\n"},
      {"a different seed", tampered([](Replay& r) { ++r.seed; })},
      {"a game longer than its game time", tampered([](Replay& r) { r.endMs += quibbleton::kEndSlackMs + 10; })},
      {"an action after the countdown", tampered([](Replay& r) { r.actions.back().ms = 300000; })},
      {"no replay at all", ""},
  };
  for (const auto& [what, body] : refused) {
    auto res = PostReplay(server, body, verdict.score);
    ASSERT_TRUE(res) << what;
    EXPECT_EQ(res->status, 422) << what << ": " << res->body;
    EXPECT_NE(nlohmann::json::parse(res->body).at("error").get<std::string>().find("refused"), std::string::npos)
        << res->body;
  }
  auto higher = PostReplay(server, text, verdict.score + 1);
  EXPECT_EQ(higher->status, 422);
  EXPECT_NE(higher->body.find("reaches " + std::to_string(verdict.score)), std::string::npos) << higher->body;
  EXPECT_EQ(PostReplay(server, std::string(quibbleton::kMaxReplayBytes + 1, '#'), 1)->status, 413);
  EXPECT_EQ(Entries(server), 0u);
  // A replay is only ever posted.
  EXPECT_EQ(server.Get("/api/replays?game=Quibbleton&name=Ann:::N&score=1")->status, 405);
}

TEST(ReplayUpload, AVerifiedEntryIsMarkedAndAForgedOneIsNot) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const Replay played = quibbleton::PlayBotGame(77, 2, 300, 30);
  const int32_t score = quibbleton::VerifyReplay(played).score;
  ASSERT_GT(score, 0);
  // The plain upload first, as a player of an older launcher would; then
  // the replay makes that same entry verified.
  ASSERT_EQ(server.Get(UploadAddress(server.Server().c_str(), "Quibbleton", kPlayer, score)
                           .substr(server.Server().size()))->status, 200);
  EXPECT_FALSE(Scores(server).at("scores").at(0).at("verified").get<bool>());
  auto posted = PostReplay(server, quibbleton::FormatReplay(played), score);
  ASSERT_EQ(posted->status, 200) << posted->body;
  const nlohmann::json answer = nlohmann::json::parse(posted->body);
  EXPECT_TRUE(answer.at("verified").get<bool>());
  EXPECT_EQ(answer.at("rank"), 1);
  EXPECT_EQ(Entries(server), 1u);
  // The same replay again is refused and stored once, and the plain
  // upload's answer says the entry is verified.
  EXPECT_EQ(PostReplay(server, quibbleton::FormatReplay(played), score)->status, 409);
  EXPECT_EQ(Entries(server), 1u);
  EXPECT_NE(server.Get(UploadAddress(server.Server().c_str(), "Quibbleton", kPlayer, score)
                           .substr(server.Server().size()))->body.find("id=\"verified\""), std::string::npos);

  // A forged plain upload tops the board, unverified.
  ASSERT_EQ(server.Get(UploadAddress(server.Server().c_str(), "Quibbleton", "Mallory:::N", 2147483647)
                           .substr(server.Server().size()))->status, 200);
  const nlohmann::json all = Scores(server).at("scores");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].at("name"), "Mallory");
  EXPECT_FALSE(all[0].at("verified").get<bool>());
  EXPECT_TRUE(all[1].at("verified").get<bool>());
  const nlohmann::json verified = Scores(server, "?verified=1").at("scores");
  ASSERT_EQ(verified.size(), 1u);
  EXPECT_EQ(verified[0].at("name"), "Ann");
  EXPECT_EQ(verified[0].at("rank"), 1);
  const std::string page = server.Get("/games/Quibbleton")->body;
  EXPECT_NE(page.find("Ann</a> <span class=\"v\" title=\"replay checked\">\u2713</span>"), std::string::npos) << page;
  EXPECT_EQ(page.find("Mallory</a> <span"), std::string::npos);
  EXPECT_EQ(server.Get("/games/Quibbleton?verified=1")->body.find("Mallory"), std::string::npos);
  // The front page lists the verified entry above the forged one.
  const std::string home = server.Get("/")->body;
  ASSERT_NE(home.find("Mallory"), std::string::npos) << home;
  EXPECT_LT(home.find("Ann <span class=\"v\""), home.find("Mallory")) << home;
}

TEST(ReplayUpload, ADealAndAKeyOverHttpRankTheGameAndItsReplayIsServed) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  httplib::Client client("127.0.0.1", server.Port());
  client.set_read_timeout(10, 0);
  auto dealt = client.Post("/api/games/Quibbleton/deals", "", "text/plain");
  ASSERT_TRUE(dealt);
  ASSERT_EQ(dealt->status, 200) << dealt->body;
  EXPECT_EQ(dealt->get_header_value("Cache-Control"), "no-store");
  const nlohmann::json deal = nlohmann::json::parse(dealt->body);
  Replay game = quibbleton::PlayBotGame(deal.at("seed").get<uint32_t>(), 2, 300, 30);
  game.deal = deal.at("deal");
  const std::string text = quibbleton::FormatReplay(game);
  const int32_t score = quibbleton::VerifyReplay(game).score;
  const std::string target = "/api/replays?game=Quibbleton&name=Ann:::N&score=" + std::to_string(score);
  const httplib::Headers wrongShape = {{"X-Player-Key", "not-a-key"}};
  EXPECT_EQ(client.Post(target.c_str(), wrongShape, text, "text/plain")->status, 400);
  const httplib::Headers key = {{"X-Player-Key", "00112233445566778899aabbccddeeff"}};
  auto posted = client.Post(target.c_str(), key, text, "text/plain");
  ASSERT_EQ(posted->status, 200) << posted->body;
  const nlohmann::json answer = nlohmann::json::parse(posted->body);
  EXPECT_TRUE(answer.at("ranked").get<bool>()) << posted->body;
  const auto kept = server.Get("/api/replays/" + std::to_string(answer.at("replay").get<int64_t>()));
  EXPECT_EQ(kept->status, 200);
  EXPECT_EQ(kept->body, text);
  EXPECT_EQ(Scores(server, "?ranked=1").at("scores").at(0).at("replay"), answer.at("replay"));
  // Under another name and key, the same replay is refused as a repeat.
  const httplib::Headers other = {{"X-Player-Key", "ffeeddccbbaa99887766554433221100"}};
  const std::string bob = "/api/replays?game=Quibbleton&name=Bob:::N&score=" + std::to_string(score);
  EXPECT_EQ(client.Post(bob.c_str(), other, text, "text/plain")->status, 409);
}

TEST(ReplayUpload, PagesLinkWatchAndTheAnswerPageTellsTheTruth) {
  const FakeWebBuild web;
  RunningServer server({"--web", web.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();
  auto plain = [&](const char* player, int32_t score) {
    return server.Get(UploadAddress(server.Server().c_str(), "Quibbleton", player, score).substr(server.Server().size()))
        ->body;
  };
  // The launcher posts the replay, then opens the plain upload's page: its
  // first upload, not a repeat.
  const Replay played = quibbleton::PlayBotGame(31, 2, 300, 30);
  const int32_t score = quibbleton::VerifyReplay(played).score;
  auto posted = PostReplay(server, quibbleton::FormatReplay(played), score);
  ASSERT_EQ(posted->status, 200) << posted->body;
  const int64_t id = nlohmann::json::parse(posted->body).at("id");
  const std::string answer = plain(kPlayer, score);
  EXPECT_EQ(answer.find("uploaded before"), std::string::npos) << answer;
  EXPECT_NE(answer.find("Replay checked"), std::string::npos) << answer;
  // A plain upload twice is a repeat, and says so.
  plain("Bob:::N", 10);
  EXPECT_NE(plain("Bob:::N", 10).find("uploaded before"), std::string::npos);
  // A refused replay: the page opened next says why.
  Replay tampered = quibbleton::PlayBotGame(32, 2, 300, 30);
  const int32_t tamperedScore = quibbleton::VerifyReplay(tampered).score;
  tampered.actions[3].ms = tampered.actions[2].ms + 1;
  ASSERT_EQ(PostReplay(server, quibbleton::FormatReplay(tampered), tamperedScore)->status, 422);
  const std::string refused = plain(kPlayer, tamperedScore);
  EXPECT_NE(refused.find("Its replay was refused: The replay was refused: line"), std::string::npos) << refused;
  EXPECT_NE(refused.find("animation"), std::string::npos) << refused;

  // Each kept replay is watched in the web build; the marks say what they mean.
  const std::string watch = "<a class=\"watch\" href=\"/play/Quibbleton/?replay=" + std::to_string(id) + "\">watch</a>";
  for (const std::string path : {"/games/Quibbleton", "/"}) {
    const std::string page = server.Get(path)->body;
    EXPECT_NE(page.find(watch), std::string::npos) << path << page;
    EXPECT_EQ(page.find("class=\"watch\"", page.find(watch) + watch.size()), std::string::npos) << path;  // Bob has no replay
    EXPECT_NE(page.find("replay checked: the server played"), std::string::npos) << path;
    EXPECT_NE(page.find("ranked: played on a deal this server handed out"), std::string::npos) << path;
  }
  const std::string board = server.Get("/games/Quibbleton")->body;
  EXPECT_NE(board.find("href=\"/games/Quibbleton?ranked=1\">Ranked</a>"), std::string::npos) << board;
  EXPECT_NE(board.find("href=\"/games/Quibbleton?daily=today\">Today&#39;s deal</a>"), std::string::npos) << board;
  const std::string daily = server.Get("/games/Quibbleton?daily=today")->body;
  EXPECT_NE(daily.find("No ranked games of this deal yet."), std::string::npos) << daily;
}

}  // namespace

namespace {

// What a browser marks on a request, by who made it.
const httplib::Headers kImageElsewhere = {
    {"Sec-Fetch-Site", "cross-site"}, {"Sec-Fetch-Mode", "no-cors"}, {"Sec-Fetch-Dest", "image"}};
const httplib::Headers kLinkElsewhere = {
    {"Sec-Fetch-Site", "cross-site"}, {"Sec-Fetch-Mode", "navigate"}, {"Sec-Fetch-Dest", "document"}};
// The launcher opening the address in the player's browser.
const httplib::Headers kOpenedByTheLauncher = {
    {"Sec-Fetch-Site", "none"}, {"Sec-Fetch-Mode", "navigate"}, {"Sec-Fetch-Dest", "document"}};

int PlainUpload(const RunningServer& server, const char* player, int32_t score, const httplib::Headers& headers) {
  httplib::Client client("127.0.0.1", server.Port());
  const auto res = client.Get(UploadAddress("", "Quibbleton", player, score), headers);
  return res ? res->status : 0;
}

}  // namespace

TEST(SameOrigin, ThePlainUploadRefusesWhatAnotherSiteMakesABrowserSend) {
  RunningServer server({"--upload-limit", "0"});
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string self = "http://127.0.0.1:" + std::to_string(server.Port());
  const httplib::Headers refused[] = {kImageElsewhere, kLinkElsewhere, {{"Origin", "http://evil.example"}},
                                      {{"Origin", "null"}}, {{"Origin", "http://127.0.0.1.evil.example"}}};
  for (const httplib::Headers& headers : refused) {
    EXPECT_EQ(PlainUpload(server, "Mallory:::N", 999, headers), 403) << headers.begin()->second;
  }
  EXPECT_EQ(score::OpenStorage(server.Database())->Dump("Quibbleton").size(), 0u);
  EXPECT_EQ(PlainUpload(server, "Ann:::N", 10, kOpenedByTheLauncher), 200);
  EXPECT_EQ(PlainUpload(server, "Bob:::N", 20, {}), 200);  // a browser that marks nothing, or another client
  EXPECT_EQ(PlainUpload(server, "Cy:::N", 30, {{"Sec-Fetch-Site", "same-origin"}, {"Origin", self}}), 200);
  EXPECT_EQ(score::OpenStorage(server.Database())->Dump("Quibbleton").size(), 3u);
}

TEST(SameOrigin, AReplayPostedFromAnotherSiteIsRefusedAndTheServersOwnPagesPostOne) {
  RunningServer server({"--upload-limit", "0"});
  ASSERT_TRUE(server.Up()) << server.Log();
  const Replay played = quibbleton::PlayBotGame(91, 2, 300, 30);
  const int32_t score = quibbleton::VerifyReplay(played).score;
  const std::string text = quibbleton::FormatReplay(played);
  const std::string self = "http://127.0.0.1:" + std::to_string(server.Port());
  const httplib::Headers refused[] = {{{"Sec-Fetch-Site", "cross-site"}, {"Origin", "http://evil.example"}},
                                      {{"Origin", "https://evil.example"}},
                                      {{"Sec-Fetch-Site", "cross-site"}}};
  for (const httplib::Headers& headers : refused) {
    auto answer = PostReplay(server, text, score, headers);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 403) << answer->body;
    EXPECT_NE(answer->body.find("another site"), std::string::npos) << answer->body;
  }
  EXPECT_EQ(Entries(server), 0u);
  auto own = PostReplay(server, text, score,
                        {{"Sec-Fetch-Site", "same-origin"}, {"Sec-Fetch-Mode", "cors"}, {"Origin", self}});
  ASSERT_TRUE(own);
  EXPECT_EQ(own->status, 200) << own->body;
  EXPECT_EQ(Entries(server), 1u);
}
