// The cost of each kind of board read at a million stored scores, on SQLite
// and on a throwaway PostgreSQL cluster: rows written straight into the
// tables (a few hundred players over the last 30 days, a tenth verified, a
// twentieth ranked, a day's deal a day per player, one in a thousand
// hidden), the storage opened over them (which fills what it keeps beside
// the scores), then every read timed a few times.
//
//   build/bench/server_reads [sqlite|postgresql|both] [rows] [players]
//
// Prints one line per read kind: its fastest and slowest time in ms.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "server/storage.h"
#include "tests/server/many_scores.h"
#include "tests/server/postgres_cluster.h"

namespace {

constexpr int64_t kDay = 86400;
constexpr const char* kGame = "Quibbleton";

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Timed {
  std::string kind;
  double fastest = 1e18, slowest = 0;
  std::string note;
};

Timed Time(const std::string& kind, int times, const std::function<std::string()>& read) {
  Timed t;
  t.kind = kind;
  for (int i = 0; i < times; ++i) {
    const auto start = std::chrono::steady_clock::now();
    std::string note;
    try {
      note = read();
    } catch (const score::StorageError& e) {
      note = std::string("failed: ") + e.what();
    }
    const double ms = Ms(std::chrono::steady_clock::now() - start);
    t.fastest = std::min(t.fastest, ms);
    t.slowest = std::max(t.slowest, ms);
    t.note = std::move(note);
  }
  return t;
}

std::string FormatDay(int64_t when) {
  const time_t t = static_cast<time_t>(when);
  tm parts{};
  gmtime_r(&t, &parts);
  char text[16];
  strftime(text, sizeof text, "%Y%m%d", &parts);
  return text;
}

int64_t DayStart(int64_t now) { return now / kDay * kDay; }
int64_t WeekStart(int64_t now) {
  const int64_t day = now / kDay;
  return (day - ((day + 3) % 7)) * kDay;
}

void Measure(const std::string& backend, const std::string& where, int64_t rows, int players) {
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  score::OpenStorage(where);  // the tables
  const auto fillStart = std::chrono::steady_clock::now();
  ManyScores many;
  many.game = kGame;
  many.rows = rows;
  many.players = players;
  many.first = now - 30 * kDay;
  many.last = now;
  FillScores(where, many);
  const double fillMs = Ms(std::chrono::steady_clock::now() - fillStart);
  // The first open fills what the storage keeps beside the scores, given
  // the time that takes; the reads then run with the usual deadlines.
  const auto openStart = std::chrono::steady_clock::now();
  score::StorageOptions patient;
  patient.seconds = 600;
  score::OpenStorage(where, patient);
  const double openMs = Ms(std::chrono::steady_clock::now() - openStart);
  std::unique_ptr<score::Storage> storage = score::OpenStorage(where);
  std::printf("%s: %lld rows, %d players: filled in %.0f ms, opened (kept tables filled) in %.0f ms\n",
              backend.c_str(), static_cast<long long>(rows), players, fillMs, openMs);

  const int64_t total = storage->Count(kGame);
  const int64_t last = std::max<int64_t>(1, (total + 99) / 100);
  const std::string daily = "daily-" + FormatDay(now);
  struct Kind {
    std::string name;
    score::BoardQuery q;
  };
  std::vector<Kind> kinds;
  auto add = [&](const std::string& name, int64_t since, bool byPlayer, int64_t page) {
    score::BoardQuery q;
    q.since = since;
    q.byPlayer = byPlayer;
    q.offset = (page - 1) * 100;
    kinds.push_back({name + " page " + std::to_string(page), q});
  };
  for (const auto& [period, since] : {std::pair<std::string, int64_t>{"all time", 0}, {"week", WeekStart(now)},
                                      {"today", DayStart(now)}}) {
    for (const bool byPlayer : {false, true}) {
      for (const int64_t page : {int64_t{1}, int64_t{100}, last}) {
        add(period + (byPlayer ? " by player" : " every entry"), since, byPlayer, page);
      }
    }
  }
  for (const int64_t page : {int64_t{1}, int64_t{100}, last}) {
    score::BoardQuery q;
    q.verifiedOnly = true;
    q.offset = (page - 1) * 100;
    kinds.push_back({"verified page " + std::to_string(page), q});
    q.verifiedOnly = false;
    q.rankedOnly = true;
    kinds.push_back({"ranked page " + std::to_string(page), q});
  }
  score::BoardQuery day;
  day.rankedOnly = true;
  day.daily = daily;
  kinds.push_back({"day's deal page 1", day});

  std::vector<Timed> results;
  for (const Kind& k : kinds) {
    results.push_back(Time(k.name, 3, [&] {
      const score::BoardPage page = storage->Board(kGame, k.q);
      return std::to_string(page.rows.size()) + " rows of " + std::to_string(page.total);
    }));
  }
  // The player with the most entries ahead of their best: the last of the board by player.
  score::BoardQuery lastPlayer;
  lastPlayer.byPlayer = true;
  lastPlayer.offset = players - 1;
  lastPlayer.limit = 1;
  const std::vector<score::Row> worst = storage->Board(kGame, lastPlayer).rows;
  const std::string name = worst.empty() ? "P1" : worst[0].name;
  for (const auto& [period, since] : {std::pair<std::string, int64_t>{"all time", 0}, {"week", WeekStart(now)},
                                      {"today", DayStart(now)}}) {
    results.push_back(Time("standing " + period, 3, [&, since = since] {
      const score::Standing s = storage->PlayerStanding(kGame, name, since);
      return name + " #" + std::to_string(s.best.rank) + " of " + std::to_string(s.entries) + ", player #" +
             std::to_string(s.playerRank) + " of " + std::to_string(s.players);
    }));
  }
  const Timed* slowest = &results[0];
  for (const Timed& t : results) {
    std::printf("  %-34s %9.2f ms %9.2f ms   %s\n", t.kind.c_str(), t.fastest, t.slowest, t.note.c_str());
    if (t.slowest > slowest->slowest) slowest = &t;
  }
  std::printf("%s: worst read %s, %.2f ms\n", backend.c_str(), slowest->kind.c_str(), slowest->slowest);
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string which = argc > 1 ? argv[1] : "both";
  const int64_t rows = argc > 2 ? std::atoll(argv[2]) : 1000000;
  const int players = argc > 3 ? std::atoi(argv[3]) : 300;
  for (const std::string backend : {"sqlite", "postgresql"}) {
    if (which != "both" && which != backend) continue;
    std::string folder;
    const std::string where = ThrowawayDatabase(backend, folder);
    if (where.empty()) {
      std::printf("%s: skipped (%s)\n", backend.c_str(), PostgresCluster::Problem().c_str());
      continue;
    }
    Measure(backend, where, rows, players);
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
  return 0;
}
