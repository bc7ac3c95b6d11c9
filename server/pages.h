// The server's HTML pages and JSON. Only a player's name is ever written
// out; every text from a client is escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/leaderboard.h"
#include "server/storage.h"

namespace score {

std::string EscapeHtml(std::string_view text);
// "2026-12-08" for a time in seconds since 1970, UTC.
// A time in UTC, as strftime writes it with FORMAT (at most 31 characters).
std::string FormatUtc(int64_t seconds, const char* format);
std::string FormatDate(int64_t seconds);

struct Board {
  std::string game;
  std::vector<Row> rows;
  bool playable = false;  // the web build holds the game: link to /play/NAME/
};

// A page of the home page: each game with its best rows, most recently
// played first, with links to the pages before and after (and to /play/
// when the server has the programs' web build).
std::string HomePage(const std::vector<Board>& boards, int64_t page, int64_t pages, bool play = false);
// A page of one of a game's boards, with links to its other boards and
// pages; names link to the players' standings.
struct BoardHeading {
  std::string game;
  View view;
  int64_t total = 0;    // the rows of this board
  int64_t entries = 0;  // the game's entries, all time
  int64_t pages = 1;
  bool playable = false;  // the web build holds the game: link to /play/NAME/
};
std::string LeaderboardPage(const BoardHeading& heading, const std::vector<Row>& rows);
std::string LeaderboardJson(const BoardHeading& heading, const std::vector<Row>& rows);
// A player's best of all time, this week and today, and where each stands.
struct PeriodStanding {
  Period period;
  Standing standing;
};
std::string PlayerPage(const std::string& game, const std::string& name, const std::vector<PeriodStanding>& periods);
std::string PlayerJson(const std::string& game, const std::string& name, const std::vector<PeriodStanding>& periods);
// The upload's answer: the entry's rank and the rows around it, and why its
// replay was refused when the server refused one for it a moment ago.
std::string UploadPage(const std::string& game, const Placed& placed, const std::vector<Row>& around,
                       std::string_view replayRefusal = "");
// An error or refusal: a title and one sentence.
std::string MessagePage(std::string_view title, std::string_view sentence);

}  // namespace score
