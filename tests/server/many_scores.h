// Many stored scores written straight into a new database's tables, as an
// older server (or years of uploads) would have left them, for the tests
// and the bench of reads over large boards. The storage opened over them
// afterwards fills what it keeps beside the scores.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <pqxx/pqxx>
#include <stdexcept>
#include <string>
#include <vector>

struct ManyScores {
  std::string game = "Quibbleton";
  int64_t rows = 100000;
  int players = 300;
  int64_t first = 0, last = 0;  // uploaded at an even pace from first to last (seconds since 1970)
  // Besides the plain scores: a tenth verified, a twentieth ranked, another
  // twentieth on their day's deal (once a player a day), one in a thousand hidden.
  bool marks = true;
};

// Row i scores (7 i) mod 100003 by player i mod players: no (score, player)
// pair repeats below 100003 × players rows.
inline void FillScores(const std::string& where, const ManyScores& m) {
  const bool postgres = where.find("://") != std::string::npos;
  const std::string series = postgres ? "generate_series(1::bigint, " + std::to_string(m.rows) + ") AS n(i)" : "n";
  const std::string head = postgres ? "" : "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                                               std::to_string(m.rows) + ") ";
  std::vector<std::string> statements = {
      head + "INSERT INTO scores (game, name, address, email, send, score, created) SELECT '" + m.game +
      "', 'P' || (i % " + std::to_string(m.players) + "), '', '', 'N', (i * 7) % 100003, " + std::to_string(m.first) +
      " + (i - 1) * " + std::to_string(m.last - m.first) + " / " + std::to_string(m.rows) + " FROM " + series};
  if (m.marks) {
    const std::string day = postgres ? "to_char(to_timestamp(created) AT TIME ZONE 'UTC', 'YYYYMMDD')"
                                     : "strftime('%Y%m%d', created, 'unixepoch')";
    statements.push_back("INSERT INTO verified (id, game, score) SELECT id, game, score FROM scores WHERE id % 10 = 0");
    statements.push_back("INSERT INTO ranked (id, game, score, daily, name) SELECT id, game, score, '', name FROM scores"
                         " WHERE id % 20 = 0");
    statements.push_back(std::string("INSERT") + (postgres ? "" : " OR IGNORE") +
                         " INTO ranked (id, game, score, daily, name) SELECT id, game, score, 'daily-' || " + day +
                         ", name FROM scores WHERE id % 20 = 10" + (postgres ? " ON CONFLICT DO NOTHING" : ""));
    statements.push_back("INSERT INTO hidden (id) SELECT id FROM scores WHERE id % 1000 = 7");
  }
  if (postgres) {
    pqxx::connection c(where);
    pqxx::nontransaction w(c);
    for (const std::string& s : statements) w.exec(s);
    w.exec("ANALYZE");
    return;
  }
  sqlite3* db = nullptr;
  sqlite3_open(where.c_str(), &db);
  std::string all = "BEGIN;";
  for (const std::string& s : statements) all += s + ";";
  all += "COMMIT;";
  char* error = nullptr;
  const int rc = sqlite3_exec(db, all.c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("filling the scores: " + message);
}
