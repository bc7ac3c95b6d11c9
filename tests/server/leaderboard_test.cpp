// The boards people read, through the Service on a clock of the test's
// own: all time, this week and today, every entry or each player's best,
// pages, a player's standing; and pages kept in memory until their game
// changes.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "server/board_cache.h"
#include "server/leaderboard.h"
#include "server/service.h"
#include "server/storage.h"

namespace {

// Wednesday 9 December 2026, 12:00 UTC: the week began on Monday the 7th.
constexpr int64_t kNoon = 1796817600;
constexpr int64_t kDay = 86400;

class Boards : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/score_boardsXXXXXX";
    folder_ = mkdtemp(pattern);
    storage_ = score::OpenStorage(folder_ + "/scores.db");
    score::ServiceOptions options;
    options.uploadsPerMinute = 0;
    options.wallClock = [this] { return now_.load(); };
    service_ = std::make_unique<score::Service>(*storage_, options);
  }
  void TearDown() override {
    service_.reset();
    storage_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  score::Response Get(const std::string& target) {
    score::Request request;
    request.method = "GET";
    request.target = target;
    request.client = "127.0.0.1";
    return service_->Handle(request);
  }
  void Upload(const std::string& name, int32_t score, int64_t when) {
    now_ = when;
    const score::Response r =
        Get("/cgi-bin/hiscore.cgi?game=Q&name=" + name + ":::N&score=" + std::to_string(score ^ 0x07B7B7B7));
    ASSERT_EQ(r.status, 200) << name << r.body;
  }
  nlohmann::json Json(const std::string& target, int status = 200) {
    const score::Response r = Get(target);
    EXPECT_EQ(r.status, status) << target << "\n" << r.body;
    EXPECT_EQ(r.contentType, "application/json") << target;
    return nlohmann::json::parse(r.body);
  }
  // "name score #rank" of each row of a board.
  std::vector<std::string> Rows(const std::string& query) {
    const nlohmann::json doc = Json("/api/games/Q/scores" + query);
    std::vector<std::string> rows;
    for (const auto& row : doc.at("scores")) {
      rows.push_back(row.at("name").get<std::string>() + " " + std::to_string(row.at("score").get<int>()) + " #" +
                     std::to_string(row.at("rank").get<int>()));
    }
    return rows;
  }

  std::string folder_;
  std::atomic<int64_t> now_{kNoon};
  std::unique_ptr<score::Storage> storage_;
  std::unique_ptr<score::Service> service_;
};

using Names = std::vector<std::string>;

TEST(PeriodStart, DaysAndWeeksBeginAtMidnightUtcWeeksOnMonday) {
  EXPECT_EQ(score::PeriodStart(score::Period::kAllTime, kNoon), 0);
  EXPECT_EQ(score::PeriodStart(score::Period::kToday, kNoon), kNoon - 12 * 3600);
  EXPECT_EQ(score::PeriodStart(score::Period::kWeek, kNoon), kNoon - 12 * 3600 - 2 * kDay);
  // Sunday's last second is still the week of Monday the 7th; Monday the 14th begins the next.
  const int64_t monday14 = kNoon - 12 * 3600 + 5 * kDay;
  EXPECT_EQ(score::PeriodStart(score::Period::kWeek, monday14 - 1), monday14 - 7 * kDay);
  EXPECT_EQ(score::PeriodStart(score::Period::kWeek, monday14), monday14);
  EXPECT_EQ(score::PeriodStart(score::Period::kToday, monday14 - 1), monday14 - kDay);
}

TEST_F(Boards, EachPeriodAndEachPlayerBestRankItsOwnRows) {
  Upload("Ann", 900, kNoon - 40 * kDay);  // last month
  Upload("Bob", 800, kNoon - 40 * kDay);
  Upload("Ann", 500, kNoon - 2 * kDay);  // Monday
  Upload("Cy", 700, kNoon - 2 * kDay);
  Upload("Bob", 600, kNoon - 3600);  // today
  Upload("Cy", 650, kNoon - 3000);
  Upload("Dee", 650, kNoon - 2000);  // ties rank by upload order
  Upload("Ann", 400, kNoon - 1000);
  now_ = kNoon;

  EXPECT_EQ(Rows(""), (Names{"Ann 900 #1", "Bob 800 #2", "Cy 700 #3", "Cy 650 #4", "Dee 650 #5", "Bob 600 #6",
                             "Ann 500 #7", "Ann 400 #8"}));
  EXPECT_EQ(Rows("?by=player"), (Names{"Ann 900 #1", "Bob 800 #2", "Cy 700 #3", "Dee 650 #4"}));
  EXPECT_EQ(Rows("?period=week"),
            (Names{"Cy 700 #1", "Cy 650 #2", "Dee 650 #3", "Bob 600 #4", "Ann 500 #5", "Ann 400 #6"}));
  EXPECT_EQ(Rows("?period=week&by=player"), (Names{"Cy 700 #1", "Dee 650 #2", "Bob 600 #3", "Ann 500 #4"}));
  EXPECT_EQ(Rows("?period=today&by=player"), (Names{"Cy 650 #1", "Dee 650 #2", "Bob 600 #3", "Ann 400 #4"}));
  const nlohmann::json today = Json("/api/games/Q/scores?period=today&limit=3&page=2");
  EXPECT_EQ(today.at("total"), 4);
  EXPECT_EQ(today.at("pages"), 2);
  EXPECT_EQ(today.at("period"), "today");
  EXPECT_EQ(today.at("scores").size(), 1u);
  EXPECT_EQ(today.at("scores")[0].at("rank"), 4);

  // A player's standing in each period, among the entries and among the players.
  const nlohmann::json ann = Json("/api/games/Q/players/Ann").at("periods");
  EXPECT_EQ(ann.at("all"), (nlohmann::json{{"score", 900}, {"date", "2026-10-30"}, {"verified", false}, {"rank", 1},
                                           {"entries", 8}, {"playerRank", 1}, {"players", 4}}));
  EXPECT_EQ(ann.at("week").at("score"), 500);
  EXPECT_EQ(ann.at("week").at("rank"), 5);
  EXPECT_EQ(ann.at("week").at("entries"), 6);
  EXPECT_EQ(ann.at("week").at("playerRank"), 4);
  EXPECT_EQ(ann.at("today").at("rank"), 4);
  const nlohmann::json dee = Json("/api/games/Q/players/Dee").at("periods");
  EXPECT_EQ(dee.at("all").at("rank"), 5);
  EXPECT_EQ(dee.at("all").at("playerRank"), 4);
  EXPECT_EQ(dee.at("today").at("rank"), 2);
  EXPECT_EQ(dee.at("today").at("playerRank"), 2);
  // Looked up in the form names are stored in (a full-width "Ａ" is an "A").
  EXPECT_EQ(Json("/api/games/Q/players/%EF%BC%A1nn").at("name"), "Ann");
  const std::string page = Get("/games/Q/players/Bob").body;
  EXPECT_NE(page.find("<td class=\"n\">800</td><td class=\"d\">2026-10-30</td><td class=\"n\">2 of 8</td>"
                      "<td class=\"n\">2 of 4</td>"),
            std::string::npos)
      << page;
  Json("/api/games/Q/players/Zed", 404);
  EXPECT_EQ(Get("/games/Q/players/%E2%80%AEnnA").status, 404);  // a name no upload can have
  EXPECT_EQ(Get("/games/Other/players/Ann").status, 404);

  // Next Monday this week's board starts empty; all time stays.
  now_ = kNoon + 5 * kDay;
  EXPECT_TRUE(Rows("?period=week").empty());
  const score::Response empty = Get("/games/Q?period=week");
  EXPECT_EQ(empty.status, 200);
  EXPECT_NE(empty.body.find("No scores this week yet."), std::string::npos);
  EXPECT_EQ(Rows("?by=player").size(), 4u);
  EXPECT_TRUE(Json("/api/games/Q/players/Ann").at("periods").at("today").is_null());
  EXPECT_NE(Get("/games/Q/players/Ann").body.find("<td colspan=\"4\">No score</td>"), std::string::npos);
}

TEST_F(Boards, PagesOfAHundredAndMalformedChoicesRefused) {
  for (int i = 0; i < 205; ++i) Upload(std::string("P").append(std::to_string(1000 + i)), 10000 - i, kNoon);
  EXPECT_EQ(Rows("?page=3"), (Names{"P1200 9800 #201", "P1201 9799 #202", "P1202 9798 #203", "P1203 9797 #204",
                                    "P1204 9796 #205"}));
  EXPECT_EQ(Rows("?by=player&period=today&page=2").front(), "P1100 9900 #101");
  EXPECT_EQ(Rows("?limit=50&page=2").front(), "P1050 9950 #51");
  const score::Response second = Get("/games/Q?page=2&by=player");
  EXPECT_EQ(second.status, 200);
  EXPECT_NE(second.body.find("<td class=\"n\">101</td><td><a href=\"/games/Q/players/P1100\">P1100</a>"),
            std::string::npos);
  EXPECT_NE(second.body.find("Page 2 of 3. <a href=\"/games/Q?by=player\">Better scores</a> "
                             "<a href=\"/games/Q?by=player&amp;page=3\">More scores</a>"),
            std::string::npos)
      << second.body;
  EXPECT_EQ(Get("/games/Q?page=4").status, 404);
  Json("/api/games/Q/scores?page=4", 404);
  for (const char* query : {"?period=year", "?by=name", "?page=0", "?page=1e3", "?page=-1", "?verified=1&by=player",
                            "?verified=1&period=today"}) {
    EXPECT_EQ(Get(std::string("/games/Q") + query).status, 400) << query;
    Json(std::string("/api/games/Q/scores") + query, 400);
  }
  // The API's page size does not apply to the pages people read.
  Json("/api/games/Q/scores?limit=101", 400);
  EXPECT_EQ(Get("/games/Q?limit=101").status, 200);
}

// A page is built once and kept; an upload to its game replaces it at
// once, an upload to another game leaves it. A write made behind the
// server's back without counting as a change shows that a kept page is
// served from memory; a change counted in the database (as the admin
// command's are) is seen at the next read.
TEST_F(Boards, KeptPagesLastUntilTheirGameChanges) {
  Upload("Ann", 500, kNoon);
  now_ = kNoon;
  const score::Response first = Get("/games/Q");
  const std::string tag = first.tag;
  ASSERT_FALSE(tag.empty());
  EXPECT_EQ(Get("/games/Q").body, first.body);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ + "/scores.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE scores SET name = 'Behind' WHERE name = 'Ann'", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Get("/games/Q").body, first.body);
  EXPECT_EQ(Get("/games/Q").body.find("Behind"), std::string::npos);

  // Another game's upload leaves Q's page as it was.
  now_ = kNoon;
  ASSERT_EQ(Get("/cgi-bin/hiscore.cgi?game=R&name=Bo:::N&score=" + std::to_string(7 ^ 0x07B7B7B7)).status, 200);
  EXPECT_EQ(Get("/games/Q").body, first.body);
  // A change counted in the database, made by another process.
  ASSERT_EQ(sqlite3_exec(db, "INSERT INTO changes (game, n) VALUES ('Q', 1) ON CONFLICT (game) DO UPDATE SET n = n + 1",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  // Seen within the storage's look at the database (20 times a second).
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (Get("/games/Q").body == first.body && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(Get("/games/Q").body.find(">Behind<"), std::string::npos);

  // This server's own upload is on the board at the next read, in every view.
  const std::string before = Get("/api/games/Q/scores?by=player").body;
  Upload("Cy", 900, kNoon);
  EXPECT_NE(Get("/games/Q").body.find(">Cy<"), std::string::npos);
  EXPECT_NE(Get("/api/games/Q/scores?by=player").body, before);
  EXPECT_NE(Get("/").body.find(">Cy<"), std::string::npos);
  EXPECT_NE(Get("/games/Q").tag, tag);
  EXPECT_GT(storage_->Generation("Q"), 0);
}

// What the connection's own thread may answer without the database: a
// kept page known to be current, never an upload, never a page to build.
TEST_F(Boards, OnlyKeptPagesAreAnsweredAtOnce) {
  Upload("Ann", 500, kNoon);
  score::Request request;
  request.method = "GET";
  request.client = "127.0.0.1";
  request.target = "/cgi-bin/hiscore.cgi?game=Q&name=Bob:::N&score=" + std::to_string(600 ^ 0x07B7B7B7);
  EXPECT_FALSE(service_->AtOnce(request));
  EXPECT_EQ(storage_->Count("Q"), 1);
  request.target = "/games/Q?by=player";
  EXPECT_FALSE(service_->AtOnce(request));  // not kept yet
  // Kept, it is answered at once while the storage's last look is fresh.
  bool answered = false;
  for (int i = 0; i < 20 && !answered; ++i) {
    const std::string body = Get(request.target).body;
    const std::optional<score::Response> now = service_->AtOnce(request);
    answered = now.has_value();
    if (answered) {
      EXPECT_EQ(now->status, 200);
      EXPECT_EQ(now->body, body);
    }
  }
  EXPECT_TRUE(answered);
  request.target = "/healthz";
  EXPECT_EQ(service_->AtOnce(request)->body, "ok\n");
}

// Pages are read on other threads while uploads arrive: none is kept
// from before the last upload, whichever view it is.
TEST_F(Boards, ReadsAlongsideUploadsNeverKeepAnOlderPage) {
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!done) {
        for (const char* target : {"/games/Q", "/api/games/Q/scores?by=player&period=today", "/",
                                   "/api/games/Q/players/P0"}) {
          const int status = Get(target).status;
          EXPECT_TRUE(status == 200 || status == 404) << target << " " << status;
        }
      }
    });
  }
  for (int i = 0; i < 40; ++i) Upload(std::string("P").append(std::to_string(i)), 100 + i, kNoon);
  done = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(Json("/api/games/Q/scores").at("total"), 40);
  EXPECT_EQ(Json("/api/games/Q/scores?by=player&period=today").at("scores")[0].at("name"), "P39");
  EXPECT_NE(Get("/").body.find(">P39<"), std::string::npos);
  EXPECT_EQ(Json("/api/games/Q/players/P0").at("periods").at("all").at("rank"), 40);
}

}  // namespace

namespace {

// The cache alone: a page is built once per change of its game, the front
// pages with any change, and the memory kept stays within its bound.
TEST(BoardCache, BuildsOncePerChangeAndKeepsWithinItsBound) {
  char pattern[] = "/tmp/score_cacheXXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::unique_ptr<score::Storage> storage = score::OpenStorage(folder + "/scores.db");
  score::BoardCache cache(*storage, 10000);
  int builds = 0;
  auto page = [&builds](size_t bytes) {
    return [&builds, bytes] {
      ++builds;
      auto built = std::make_shared<score::CachedPage>();
      built->body.assign(bytes, 'x');
      return std::shared_ptr<const score::CachedPage>(built);
    };
  };
  cache.Get("Q", "a", page(3000));
  cache.Get("Q", "a", page(3000));
  cache.Get("", "home", page(100));
  EXPECT_EQ(builds, 2);
  cache.Changed("R");  // another game: Q's page stays, the front pages go
  cache.Get("Q", "a", page(3000));
  cache.Get("", "home", page(100));
  EXPECT_EQ(builds, 3);
  cache.Changed("Q");
  cache.Get("Q", "a", page(3000));
  EXPECT_EQ(builds, 4);
  // Nothing to keep: built every time.
  EXPECT_EQ(cache.Get("Q", "none", [&builds] { ++builds; return std::shared_ptr<const score::CachedPage>(); }),
            nullptr);
  EXPECT_EQ(builds, 5);
  for (const char* key : {"b", "c", "d", "e"}) cache.Get("Q", key, page(3000));
  EXPECT_LE(cache.Bytes(), 10000u);
  EXPECT_GE(cache.Bytes(), 3000u);
  const int before = builds;
  cache.Get("Q", "e", page(3000));  // the latest is kept
  cache.Get("Q", "big", page(20000));
  cache.Get("Q", "big", page(20000));  // past the bound: never kept
  EXPECT_EQ(builds, before + 2);
  EXPECT_LE(cache.Bytes(), 10000u);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace
