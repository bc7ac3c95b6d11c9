// The statements both backends run, written once with PostgreSQL's "$N"
// parameters; the SQLite backend turns them into its own "?N".
#pragma once

namespace score::sql {

// Ties rank by upload order (the lower id first), so a rank is a position.
inline constexpr const char* kRank =
    "SELECT (SELECT count(*) FROM scores WHERE game = $1 AND score > $2)"
    " + (SELECT count(*) FROM scores WHERE game = $1 AND score = $2 AND id < $3)";
inline constexpr const char* kCount = "SELECT entries FROM games WHERE name = $1";
inline constexpr const char* kTop =
    "SELECT id, name, score, created FROM scores WHERE game = $1 ORDER BY score DESC, id ASC LIMIT $2";
// The four neighbour queries each follow the leaderboard index in one direction.
inline constexpr const char* kAboveTied =
    "SELECT id, name, score, created FROM scores WHERE game = $1 AND score = $2 AND id < $3"
    " ORDER BY id DESC LIMIT $4";
inline constexpr const char* kAbove =
    "SELECT id, name, score, created FROM scores WHERE game = $1 AND score > $2"
    " ORDER BY score ASC, id DESC LIMIT $3";
inline constexpr const char* kBelowTied =
    "SELECT id, name, score, created FROM scores WHERE game = $1 AND score = $2 AND id > $3"
    " ORDER BY id ASC LIMIT $4";
inline constexpr const char* kBelow =
    "SELECT id, name, score, created FROM scores WHERE game = $1 AND score < $2"
    " ORDER BY score DESC, id ASC LIMIT $3";
inline constexpr const char* kFind =
    "SELECT id FROM scores WHERE game = $1 AND score = $2 AND name = $3 AND address = $4 AND email = $5"
    " AND send = $6";
inline constexpr const char* kInsert =
    "INSERT INTO scores (game, name, address, email, send, score, created) VALUES ($1, $2, $3, $4, $5, $6, $7)"
    " ON CONFLICT DO NOTHING RETURNING id";
inline constexpr const char* kCountUp =
    "INSERT INTO games (name, entries) VALUES ($1, 1)"
    " ON CONFLICT (name) DO UPDATE SET entries = games.entries + 1";
inline constexpr const char* kGames = "SELECT name FROM games WHERE entries > 0 ORDER BY name";
inline constexpr const char* kDump =
    "SELECT game, name, address, email, send, score, created FROM scores WHERE game = $1 ORDER BY id";

// The leaderboard index holds game and score, and the row's id (SQLite adds
// the rowid to every index by itself), so a board read and a rank count
// never touch the table.
inline constexpr const char* kSqliteSchema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY, game TEXT NOT NULL, name TEXT NOT NULL, address TEXT NOT NULL,"
    " email TEXT NOT NULL, send TEXT NOT NULL, score INTEGER NOT NULL, created INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_entry ON scores (game, score, name, address, email, send);"
    "CREATE INDEX IF NOT EXISTS scores_board ON scores (game, score DESC);"
    "CREATE TABLE IF NOT EXISTS games (name TEXT PRIMARY KEY, entries INTEGER NOT NULL);";
inline constexpr const char* kPostgresSchema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id BIGSERIAL PRIMARY KEY, game TEXT NOT NULL, name TEXT NOT NULL, address TEXT NOT NULL,"
    " email TEXT NOT NULL, send TEXT NOT NULL, score INTEGER NOT NULL, created BIGINT NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_entry ON scores (game, score, name, address, email, send);"
    "CREATE INDEX IF NOT EXISTS scores_board ON scores (game, score DESC, id);"
    "CREATE TABLE IF NOT EXISTS games (name TEXT PRIMARY KEY, entries BIGINT NOT NULL);";

}  // namespace score::sql
