// The statements both backends run, written once with PostgreSQL's "$N"
// parameters; the SQLite backend turns them into its own "?N".
#pragma once

namespace score::sql {

// Whether the row of "scores" is verified, as a fifth column of the boards.
#define VERIFIED_OF_SCORES "EXISTS (SELECT 1 FROM verified WHERE verified.id = scores.id)"
// A board row's marks after its verified one: its replay is kept (it can be
// watched), and it was played on one of the server's deals (ranked).
#define KEPT_AND_RANKED_OF_SCORES                                   \
  "EXISTS (SELECT 1 FROM replays WHERE replays.id = scores.id), " \
  "EXISTS (SELECT 1 FROM ranked WHERE ranked.id = scores.id)"
#define MARKS_OF_SCORES VERIFIED_OF_SCORES ", " KEPT_AND_RANKED_OF_SCORES
// A row of "scores" the moderators have not hidden. Hidden rows stay (an
// unhide brings them back with their id); every board, rank and count
// leaves them out.
#define VISIBLE "NOT EXISTS (SELECT 1 FROM hidden WHERE hidden.id = scores.id)"

// A rank counts the better entries without walking them: score_counts
// holds, per game, how many entries fall in each score bucket at four
// levels (scores shifted right by 24, 16 and 8 bits, and the exact score at
// level 0). The better entries are those of the higher buckets at each level
// inside the entry's own bucket one level up, then the rows of its own
// 256-wide bucket from the index, then the earlier uploads of the same score
// (ties rank by upload order, so a rank is a position). See RankParams for
// $2..$9.
inline constexpr const char* kRank =
    "SELECT coalesce((SELECT sum(n) FROM score_counts WHERE game = $1 AND level = 24 AND bucket > $2), 0)"
    " + coalesce((SELECT sum(n) FROM score_counts WHERE game = $1 AND level = 16 AND bucket > $3"
    " AND bucket < $4), 0)"
    " + coalesce((SELECT sum(n) FROM score_counts WHERE game = $1 AND level = 8 AND bucket > $5"
    " AND bucket < $6), 0)"
    " + (SELECT count(*) FROM scores WHERE game = $1 AND score > $7 AND score <= $8 AND " VISIBLE ")"
    " + (SELECT count(*) FROM scores WHERE game = $1 AND score = $7 AND id < $9 AND " VISIBLE ")";
// A new entry has the greatest id of its score, so the earlier uploads of
// that score are its exact count less itself: a rank costs the same however
// many entries share the score.
inline constexpr const char* kRankNew =
    "SELECT coalesce((SELECT sum(n) FROM score_counts WHERE game = $1 AND level = 24 AND bucket > $2), 0)"
    " + coalesce((SELECT sum(n) FROM score_counts WHERE game = $1 AND level = 16 AND bucket > $3"
    " AND bucket < $4), 0)"
    " + coalesce((SELECT sum(n) FROM score_counts WHERE game = $1 AND level = 8 AND bucket > $5"
    " AND bucket < $6), 0)"
    " + (SELECT count(*) FROM scores WHERE game = $1 AND score > $7 AND score <= $8 AND " VISIBLE ")"
    " + (SELECT n FROM score_counts WHERE game = $1 AND level = 0 AND bucket = $7) - 1 + 0 * $9";
inline constexpr const char* kBucketsUp =
    "INSERT INTO score_counts (game, level, bucket, n) VALUES ($1, 24, $2, 1), ($1, 16, $3, 1), ($1, 8, $4, 1),"
    " ($1, 0, $5, 1)"
    " ON CONFLICT (game, level, bucket) DO UPDATE SET n = score_counts.n + 1";
// The verified board keeps its own copy of game and score, so it is read
// in order from its index however few of a board's entries are verified.
// (Every board's page is chosen from its index alone; only the page's rows
// meet the scores and have their marks worked out.)
inline constexpr const char* kTopVerified =
    "SELECT scores.id, name, scores.score, created, 1, " KEPT_AND_RANKED_OF_SCORES " FROM (SELECT id, score"
    " FROM verified WHERE game = $1 AND shown = 1"
    " ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3) AS page JOIN scores ON scores.id = page.id"
    " ORDER BY page.score DESC, page.id ASC";
inline constexpr const char* kVerify =
    "INSERT INTO verified (id, game, score) VALUES ($1, $2, $3) ON CONFLICT DO NOTHING RETURNING id";
inline constexpr const char* kIsVerified = "SELECT 1 FROM verified WHERE id = $1";
inline constexpr const char* kCount = "SELECT entries FROM games WHERE name = $1";
inline constexpr const char* kTop =
    "SELECT scores.id, name, scores.score, created, " MARKS_OF_SCORES " FROM (SELECT id, score FROM scores"
    " WHERE game = $1 AND shown = 1 ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3) AS page"
    " JOIN scores ON scores.id = page.id ORDER BY page.score DESC, page.id ASC";
// The four neighbour queries each follow the leaderboard index in one direction.
inline constexpr const char* kAboveTied =
    "SELECT id, name, score, created, " MARKS_OF_SCORES " FROM scores WHERE game = $1 AND score = $2 AND id < $3 AND " VISIBLE
    " ORDER BY id DESC LIMIT $4";
inline constexpr const char* kAbove =
    "SELECT id, name, score, created, " MARKS_OF_SCORES " FROM scores WHERE game = $1 AND score > $2 AND " VISIBLE
    " ORDER BY score ASC, id DESC LIMIT $3";
inline constexpr const char* kBelowTied =
    "SELECT id, name, score, created, " MARKS_OF_SCORES " FROM scores WHERE game = $1 AND score = $2 AND id > $3 AND " VISIBLE
    " ORDER BY id ASC LIMIT $4";
inline constexpr const char* kBelow =
    "SELECT id, name, score, created, " MARKS_OF_SCORES " FROM scores WHERE game = $1 AND score < $2 AND " VISIBLE
    " ORDER BY score DESC, id ASC LIMIT $3";
inline constexpr const char* kFind = "SELECT id FROM scores WHERE game = $1 AND score = $2 AND name = $3";
inline constexpr const char* kInsert =
    "INSERT INTO scores (game, name, address, email, send, score, created) VALUES ($1, $2, $3, $4, $5, $6, $7)"
    " ON CONFLICT DO NOTHING RETURNING id";
inline constexpr const char* kCountUp =
    "INSERT INTO games (name, entries) VALUES ($1, 1)"
    " ON CONFLICT (name) DO UPDATE SET entries = games.entries + 1";
inline constexpr const char* kGames = "SELECT name FROM games WHERE entries > 0 ORDER BY name";
// The first name of each confusable skeleton on a board; look-alikes of it
// are refused.
inline constexpr const char* kNameLike = "SELECT name FROM names WHERE game = $1 AND skeleton = $2";
inline constexpr const char* kNameAdd =
    "INSERT INTO names (game, skeleton, name) VALUES ($1, $2, $3) ON CONFLICT DO NOTHING";
inline constexpr const char* kNamesMissing =
    "SELECT (SELECT count(*) FROM names) = 0 AND EXISTS (SELECT 1 FROM scores)";
inline constexpr const char* kDistinctNames = "SELECT game, name, min(id) FROM scores GROUP BY game, name ORDER BY 3";
// Games by their latest entry (its id), for the home page's pages.
inline constexpr const char* kActivity =
    "INSERT INTO activity (game, last) VALUES ($1, $2) ON CONFLICT (game) DO UPDATE SET last = excluded.last";
inline constexpr const char* kRecentGames = "SELECT game FROM activity ORDER BY last DESC LIMIT $1 OFFSET $2";
inline constexpr const char* kGameCount = "SELECT count(*) FROM activity";
inline constexpr const char* kActivityMissing =
    "SELECT (SELECT count(*) FROM activity) = 0 AND EXISTS (SELECT 1 FROM scores)";
inline constexpr const char* kRebuildActivity =
    "INSERT INTO activity (game, last) SELECT game, max(id) FROM scores WHERE game NOT LIKE '%/%' GROUP BY game";
inline constexpr const char* kDump =
    "SELECT game, name, address, email, send, score, created, " VERIFIED_OF_SCORES " FROM scores WHERE game = $1 ORDER BY id";

// Ranked play, alike in both backends: the server's secrets (the day's
// deal is derived from one), the deals handed out, each name's key (its
// hash), the verified games' replays with their fair-play figures, and the
// ranked games (those of a deal; "daily" names the day's deal, each player
// counting once on it).
#define RANKED_SCHEMA \
    "CREATE TABLE IF NOT EXISTS secrets (name TEXT PRIMARY KEY, value TEXT NOT NULL);" \
    "CREATE TABLE IF NOT EXISTS deals (id TEXT PRIMARY KEY, game TEXT NOT NULL, seed BIGINT NOT NULL," \
    " balloons INTEGER NOT NULL, gametime INTEGER NOT NULL, expires BIGINT NOT NULL, used BIGINT NOT NULL);" \
    "CREATE INDEX IF NOT EXISTS deals_expires ON deals (expires);" \
    "CREATE TABLE IF NOT EXISTS players (name TEXT PRIMARY KEY, key_hash TEXT NOT NULL);" \
    "CREATE TABLE IF NOT EXISTS replays (id BIGINT PRIMARY KEY, hash TEXT NOT NULL UNIQUE, text TEXT NOT NULL," \
    " actions INTEGER NOT NULL, greedy INTEGER NOT NULL, fastest BIGINT NOT NULL, p10 BIGINT NOT NULL);" \
    "CREATE TABLE IF NOT EXISTS ranked (id BIGINT PRIMARY KEY, game TEXT NOT NULL, score INTEGER NOT NULL," \
    " daily TEXT NOT NULL, name TEXT NOT NULL," SHOWN_COLUMN ");" \
    "CREATE INDEX IF NOT EXISTS ranked_board ON ranked (game, daily, score DESC, id);" \
    "CREATE UNIQUE INDEX IF NOT EXISTS ranked_daily ON ranked (game, daily, name) WHERE daily <> '';"

// The boards of a period, kept as uploads arrive so that no read counts a
// period's entries. A period is a day, or a week from its Monday, named by
// its first second (the first day of 1970 by 1, as 0 is all time): an
// entry is in its week's and, unless uploaded on a Monday, its day's (a
// Monday's board from its midnight is its week's so far). Hidden entries
// are taken out of all of it and put back when shown. Per period: its
// entries in board order, their counts in score buckets as score_counts
// keeps them for all time, and each player's best. board_totals keeps
// every board's length: "entries/START" and "players/START" of a period,
// "players", "verified" and "ranked/DAILY" of all time.
#define PERIOD_SCHEMA \
    "CREATE TABLE IF NOT EXISTS period_entries (id BIGINT NOT NULL, start BIGINT NOT NULL, game TEXT NOT NULL," \
    " score INTEGER NOT NULL, PRIMARY KEY (id, start));" \
    "CREATE INDEX IF NOT EXISTS period_entries_board ON period_entries (game, start, score DESC, id);" \
    "CREATE TABLE IF NOT EXISTS period_counts (game TEXT NOT NULL, start BIGINT NOT NULL, level INTEGER NOT NULL," \
    " bucket INTEGER NOT NULL, n BIGINT NOT NULL, PRIMARY KEY (game, start, level, bucket));" \
    "CREATE TABLE IF NOT EXISTS period_bests (game TEXT NOT NULL, start BIGINT NOT NULL, name TEXT NOT NULL," \
    " id BIGINT NOT NULL, score INTEGER NOT NULL, PRIMARY KEY (game, start, name));" \
    "CREATE INDEX IF NOT EXISTS period_bests_board ON period_bests (game, start, score DESC, id);" \
    "CREATE TABLE IF NOT EXISTS board_totals (game TEXT NOT NULL, board TEXT NOT NULL, n BIGINT NOT NULL," \
    " PRIMARY KEY (game, board));"

// An entry is its game, player and score: the address, e-mail and send
// value that come with it are kept from its first upload and never make
// another entry. Older servers kept one per address, e-mail and send value,
// with names untrimmed; the migrations done are named here, and
// MigrateIdentity merges those entries once (its unique index is made
// there, after the merge).
#define IDENTITY_SCHEMA "CREATE TABLE IF NOT EXISTS migrations (name TEXT PRIMARY KEY);"
inline constexpr const char* kIdentityDone = "SELECT 1 FROM migrations WHERE name = 'identity'";
inline constexpr const char* kIdentityMark = "INSERT INTO migrations (name) VALUES ('identity') ON CONFLICT DO NOTHING";
inline constexpr const char* kIdentityIndex =
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_identity ON scores (game, score, name)";
// Rows of the all-time, verified and ranked boards carry whether they are
// shown (1) or hidden (0), kept with the hidden table, and each board is
// read from an index of its shown rows: a deep page skips its offset in one
// index range and meets the hidden table for none of it. A table an older
// server made gets the column at open (asked for, then added when missing:
// a table may be newer than the database); the indexes follow it, and every
// open hides again the rows of the hidden table still shown, as an older
// server or a hand-written row leaves them.
#define SHOWN_COLUMN " shown INTEGER NOT NULL DEFAULT 1"
inline constexpr const char* kShownAsked[] = {"SELECT shown FROM scores LIMIT 0",
                                              "SELECT shown FROM verified LIMIT 0",
                                              "SELECT shown FROM ranked LIMIT 0"};
inline constexpr const char* kShownAdded[] = {"ALTER TABLE scores ADD COLUMN" SHOWN_COLUMN,
                                              "ALTER TABLE verified ADD COLUMN" SHOWN_COLUMN,
                                              "ALTER TABLE ranked ADD COLUMN" SHOWN_COLUMN};
inline constexpr const char* kShownIndexes[] = {
    "CREATE INDEX IF NOT EXISTS scores_shown ON scores (game, shown, score DESC, id)",
    "DROP INDEX IF EXISTS verified_board",
    "CREATE INDEX IF NOT EXISTS verified_shown ON verified (game, shown, score DESC, id)",
    "CREATE INDEX IF NOT EXISTS ranked_shown ON ranked (game, daily, shown, score DESC, id)",
};
inline constexpr const char* kShownKept[] = {
    "UPDATE scores SET shown = 0 WHERE shown = 1 AND id IN (SELECT id FROM hidden)",
    "UPDATE verified SET shown = 0 WHERE shown = 1 AND id IN (SELECT id FROM hidden)",
    "UPDATE ranked SET shown = 0 WHERE shown = 1 AND id IN (SELECT id FROM hidden)",
};
// A hide or an unhide ($2: 0 or 1) of one entry.
inline constexpr const char* kShow[] = {
    "UPDATE scores SET shown = $2 WHERE id = $1",
    "UPDATE verified SET shown = $2 WHERE id = $1",
    "UPDATE ranked SET shown = $2 WHERE id = $1",
};
inline constexpr const char* kOldEntryIndexDrop = "DROP INDEX IF EXISTS scores_entry";
inline constexpr const char* kStoredNames = "SELECT DISTINCT name FROM scores";
// A name renamed to its kept form ($1 to $2): a day's ranked game or a key
// the kept form has already stays the kept form's.
inline constexpr const char* kRenameScores = "UPDATE scores SET name = $2 WHERE name = $1";
inline constexpr const char* kRenameRankedClash =
    "DELETE FROM ranked WHERE name = $1 AND daily <> '' AND EXISTS (SELECT 1 FROM ranked AS kept"
    " WHERE kept.game = ranked.game AND kept.daily = ranked.daily AND kept.name = $2)";
inline constexpr const char* kRenameRanked = "UPDATE ranked SET name = $2 WHERE name = $1";
inline constexpr const char* kRenamePlayerClash =
    "DELETE FROM players WHERE name = $1 AND EXISTS (SELECT 1 FROM players AS kept WHERE kept.name = $2)";
inline constexpr const char* kRenamePlayer = "UPDATE players SET name = $2 WHERE name = $1";
// Each later row of an entry with the entry's first: (later, first).
inline constexpr const char* kMerged =
    "SELECT scores.id, firsts.id FROM scores JOIN (SELECT game, score, name, min(id) AS id FROM scores"
    " GROUP BY game, score, name HAVING count(*) > 1) AS firsts ON scores.game = firsts.game"
    " AND scores.score = firsts.score AND scores.name = firsts.name WHERE scores.id <> firsts.id ORDER BY scores.id";
// The first row takes what the later one ($1) had and it lacks: hidden,
// verified, its replay, its ranking, the deal it used.
inline constexpr const char* kMergeHidden =
    "INSERT INTO hidden (id) SELECT CAST($2 AS BIGINT) WHERE EXISTS (SELECT 1 FROM hidden WHERE id = $1)"
    " ON CONFLICT DO NOTHING";
inline constexpr const char* kMergeVerified =
    "INSERT INTO verified (id, game, score) SELECT CAST($2 AS BIGINT), game, score FROM verified WHERE id = $1"
    " ON CONFLICT DO NOTHING";
inline constexpr const char* kMergeReplay =
    "UPDATE replays SET id = $2 WHERE id = $1 AND NOT EXISTS (SELECT 1 FROM replays AS kept WHERE kept.id = $2)";
inline constexpr const char* kMergeRanked =
    "UPDATE ranked SET id = $2 WHERE id = $1 AND NOT EXISTS (SELECT 1 FROM ranked AS kept WHERE kept.id = $2)";
inline constexpr const char* kMergeDeal = "UPDATE deals SET used = $2 WHERE used = $1";
inline constexpr const char* kDropVerified = "DELETE FROM verified WHERE id = $1";
inline constexpr const char* kDropReplay = "DELETE FROM replays WHERE id = $1";
inline constexpr const char* kDropRanked = "DELETE FROM ranked WHERE id = $1";
inline constexpr const char* kDropScore = "DELETE FROM scores WHERE id = $1";
// What is worked out from the rows again at open once emptied (see
// FillMissing and kCountsMissing); every kept page is built anew.
inline constexpr const char* kForgetCounts = "DELETE FROM score_counts";
inline constexpr const char* kForgetNames = "DELETE FROM names";
inline constexpr const char* kForgetBests = "DELETE FROM bests";
inline constexpr const char* kChangedAll = "UPDATE changes SET n = n + 1";
inline constexpr const char* kBans = "SELECT skeleton, name FROM banned";
inline constexpr const char* kBanDrop = "DELETE FROM banned WHERE skeleton = $1";

// The leaderboard index holds game and score, and the row's id (SQLite adds
// the rowid to every index by itself), so a board read and a rank count
// never touch the table.
inline constexpr const char* kSqliteSchema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY, game TEXT NOT NULL, name TEXT NOT NULL, address TEXT NOT NULL,"
    " email TEXT NOT NULL, send TEXT NOT NULL, score INTEGER NOT NULL, created INTEGER NOT NULL," SHOWN_COLUMN ");"
    "CREATE INDEX IF NOT EXISTS scores_board ON scores (game, score DESC);"
    "CREATE TABLE IF NOT EXISTS games (name TEXT PRIMARY KEY, entries INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS score_counts (game TEXT NOT NULL, level INTEGER NOT NULL, bucket INTEGER NOT NULL,"
    " n INTEGER NOT NULL, PRIMARY KEY (game, level, bucket));"
    "CREATE TABLE IF NOT EXISTS names (game TEXT NOT NULL, skeleton TEXT NOT NULL, name TEXT NOT NULL,"
    " PRIMARY KEY (game, skeleton));"
    "CREATE TABLE IF NOT EXISTS activity (game TEXT PRIMARY KEY, last BIGINT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS activity_last ON activity (last DESC);"
    "CREATE TABLE IF NOT EXISTS verified (id INTEGER PRIMARY KEY, game TEXT NOT NULL, score INTEGER NOT NULL," SHOWN_COLUMN ");"
    // Moderation, the players' bests, the weeks' and days' boards, and
    // each game's change count (see kChanged).
    "CREATE TABLE IF NOT EXISTS hidden (id BIGINT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS banned (skeleton TEXT PRIMARY KEY, name TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS bests (game TEXT NOT NULL, name TEXT NOT NULL, id BIGINT NOT NULL,"
    " score INTEGER NOT NULL, PRIMARY KEY (game, name));"
    "CREATE INDEX IF NOT EXISTS bests_board ON bests (game, score DESC, id);"
    "CREATE INDEX IF NOT EXISTS scores_player ON scores (game, name, score DESC, id);"
    "CREATE INDEX IF NOT EXISTS scores_recent ON scores (game, created);"
    "CREATE TABLE IF NOT EXISTS changes (game TEXT PRIMARY KEY, n BIGINT NOT NULL);"
    RANKED_SCHEMA PERIOD_SCHEMA IDENTITY_SCHEMA;
inline constexpr const char* kPostgresSchema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id BIGSERIAL PRIMARY KEY, game TEXT NOT NULL, name TEXT NOT NULL, address TEXT NOT NULL,"
    " email TEXT NOT NULL, send TEXT NOT NULL, score INTEGER NOT NULL, created BIGINT NOT NULL," SHOWN_COLUMN ");"
    "CREATE INDEX IF NOT EXISTS scores_board ON scores (game, score DESC, id);"
    "CREATE TABLE IF NOT EXISTS games (name TEXT PRIMARY KEY, entries BIGINT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS score_counts (game TEXT NOT NULL, level INTEGER NOT NULL, bucket INTEGER NOT NULL,"
    " n BIGINT NOT NULL, PRIMARY KEY (game, level, bucket));"
    "CREATE TABLE IF NOT EXISTS names (game TEXT NOT NULL, skeleton TEXT NOT NULL, name TEXT NOT NULL,"
    " PRIMARY KEY (game, skeleton));"
    "CREATE TABLE IF NOT EXISTS activity (game TEXT PRIMARY KEY, last BIGINT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS activity_last ON activity (last DESC);"
    "CREATE TABLE IF NOT EXISTS verified (id BIGINT PRIMARY KEY, game TEXT NOT NULL, score INTEGER NOT NULL," SHOWN_COLUMN ");"
    // Moderation, the players' bests, the weeks' and days' boards, and
    // each game's change count (see kChanged).
    "CREATE TABLE IF NOT EXISTS hidden (id BIGINT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS banned (skeleton TEXT PRIMARY KEY, name TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS bests (game TEXT NOT NULL, name TEXT NOT NULL, id BIGINT NOT NULL,"
    " score INTEGER NOT NULL, PRIMARY KEY (game, name));"
    "CREATE INDEX IF NOT EXISTS bests_board ON bests (game, score DESC, id);"
    "CREATE INDEX IF NOT EXISTS scores_player ON scores (game, name, score DESC, id);"
    "CREATE INDEX IF NOT EXISTS scores_recent ON scores (game, created);"
    "CREATE TABLE IF NOT EXISTS changes (game TEXT PRIMARY KEY, n BIGINT NOT NULL);"
    RANKED_SCHEMA PERIOD_SCHEMA IDENTITY_SCHEMA;
// Scores stored without their bucket counts (written by hand or by an
// older server) get them at start, together with the games' totals.
inline constexpr const char* kRebuildCounts =
    "DELETE FROM score_counts;"
    "INSERT INTO score_counts (game, level, bucket, n)"
    " SELECT game, 24, score / 16777216, count(*) FROM scores WHERE " VISIBLE " GROUP BY game, score / 16777216"
    " UNION ALL SELECT game, 16, score / 65536, count(*) FROM scores WHERE " VISIBLE " GROUP BY game, score / 65536"
    " UNION ALL SELECT game, 8, score / 256, count(*) FROM scores WHERE " VISIBLE " GROUP BY game, score / 256"
    " UNION ALL SELECT game, 0, score, count(*) FROM scores WHERE " VISIBLE " GROUP BY game, score;"
    "DELETE FROM games;"
    "INSERT INTO games (name, entries) SELECT game, count(*) FROM scores WHERE " VISIBLE " GROUP BY game;";
// Older servers kept no exact-score counts (level 0).
inline constexpr const char* kCountsMissing =
    "SELECT NOT EXISTS (SELECT 1 FROM score_counts WHERE level = 0) AND EXISTS (SELECT 1 FROM scores)";

// Every change to a game's boards (an upload, a verification, a hide or an
// unhide, by any process or server) counts up its row here, so a server
// that keeps boards in memory sees whether a game changed with one lookup.
inline constexpr const char* kChanged =
    "INSERT INTO changes (game, n) VALUES ($1, 1) ON CONFLICT (game) DO UPDATE SET n = changes.n + 1";
inline constexpr const char* kGeneration = "SELECT n FROM changes WHERE game = $1";
// SQLite only: changes whenever another connection, in this process or
// another, has committed since this connection last asked.
inline constexpr const char* kDataVersion = "PRAGMA data_version";

// A player's best entry on a board (ties: the earlier); a hide or unhide
// works the player's best out again.
inline constexpr const char* kBestUp =
    "INSERT INTO bests (game, name, id, score) VALUES ($1, $2, $3, $4) ON CONFLICT (game, name)"
    " DO UPDATE SET id = excluded.id, score = excluded.score WHERE excluded.score > bests.score";
inline constexpr const char* kBestDrop = "DELETE FROM bests WHERE game = $1 AND name = $2";
inline constexpr const char* kBestFind =
    "INSERT INTO bests (game, name, id, score) SELECT game, name, id, score FROM scores"
    " WHERE game = $1 AND name = $2 AND " VISIBLE " ORDER BY score DESC, id ASC LIMIT 1";
inline constexpr const char* kBestsMissing =
    "SELECT (SELECT count(*) FROM bests) = 0 AND EXISTS (SELECT 1 FROM scores)";
inline constexpr const char* kRebuildBests =
    "INSERT INTO bests (game, name, id, score) SELECT game, name, id, score FROM (SELECT game, name, id, score,"
    " row_number() OVER (PARTITION BY game, name ORDER BY score DESC, id ASC) AS k FROM scores WHERE " VISIBLE
    ") AS firsts WHERE k = 1";

// The players' board of all time, read in order from bests_board; only the
// page's rows meet the scores. Parameters: game, limit, offset.
inline constexpr const char* kTopPlayers =
    "SELECT scores.id, scores.name, scores.score, created, " MARKS_OF_SCORES " FROM (SELECT id, score FROM bests"
    " WHERE game = $1 ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3) AS page"
    " JOIN scores ON scores.id = page.id ORDER BY page.score DESC, page.id ASC";

// The players ahead of a player's best of all time.
inline constexpr const char* kPlayersAhead =
    "SELECT count(*) FROM bests WHERE game = $1 AND (score > $2 OR (score = $2 AND id < $3))";

// The period boards' upkeep (see PERIOD_SCHEMA). $3 of kPeriodBuckets is
// +1 or -1; the buckets are those of kBucketsUp.
inline constexpr const char* kPeriodEntryAdd =
    "INSERT INTO period_entries (id, start, game, score) VALUES ($1, $2, $3, $4) ON CONFLICT DO NOTHING";
inline constexpr const char* kPeriodEntryDrop = "DELETE FROM period_entries WHERE id = $1 AND start = $2";
inline constexpr const char* kPeriodBuckets =
    "INSERT INTO period_counts (game, start, level, bucket, n) VALUES ($1, $2, 24, $4, $3), ($1, $2, 16, $5, $3),"
    " ($1, $2, 8, $6, $3), ($1, $2, 0, $7, $3)"
    " ON CONFLICT (game, start, level, bucket) DO UPDATE SET n = period_counts.n + excluded.n";
inline constexpr const char* kTotalAdd =
    "INSERT INTO board_totals (game, board, n) VALUES ($1, $2, $3)"
    " ON CONFLICT (game, board) DO UPDATE SET n = board_totals.n + excluded.n";
inline constexpr const char* kTotal = "SELECT n FROM board_totals WHERE game = $1 AND board = $2";
inline constexpr const char* kBestOf = "SELECT score FROM bests WHERE game = $1 AND name = $2";
inline constexpr const char* kPeriodBestOf =
    "SELECT score FROM period_bests WHERE game = $1 AND start = $2 AND name = $3";
inline constexpr const char* kPeriodBestSet =
    "INSERT INTO period_bests (game, start, name, id, score) VALUES ($1, $2, $3, $4, $5)"
    " ON CONFLICT (game, start, name) DO UPDATE SET id = excluded.id, score = excluded.score";
inline constexpr const char* kPeriodBestDrop = "DELETE FROM period_bests WHERE game = $1 AND start = $2 AND name = $3";
// A player's best among their visible entries of [$3, $4), read in score
// order from scores_player.
inline constexpr const char* kPeriodBestFind =
    "SELECT id, score FROM scores WHERE game = $1 AND name = $2 AND +created >= $3 AND +created < $4 AND " VISIBLE
    " ORDER BY score DESC, id ASC LIMIT 1";
inline constexpr const char* kRankedDaily = "SELECT daily FROM ranked WHERE id = $1";

// The period boards, each read in order from its own index; only the page's
// rows meet the scores. Parameters: game, limit, offset, period.
inline constexpr const char* kTopPeriod =
    "SELECT scores.id, name, scores.score, created, " MARKS_OF_SCORES " FROM (SELECT id, score FROM period_entries"
    " WHERE game = $1 AND start = $4 ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3) AS page"
    " JOIN scores ON scores.id = page.id ORDER BY page.score DESC, page.id ASC";
inline constexpr const char* kTopPeriodPlayers =
    "SELECT scores.id, scores.name, scores.score, created, " MARKS_OF_SCORES " FROM (SELECT id, score FROM period_bests"
    " WHERE game = $1 AND start = $4 ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3) AS page"
    " JOIN scores ON scores.id = page.id ORDER BY page.score DESC, page.id ASC";
// A player's best of a period ($2; 0: all time) with its marks.
inline constexpr const char* kPeriodBest =
    "SELECT scores.id, scores.name, scores.score, created, " MARKS_OF_SCORES " FROM period_bests"
    " JOIN scores ON scores.id = period_bests.id WHERE period_bests.game = $1 AND start = $2 AND period_bests.name = $3";
inline constexpr const char* kBest =
    "SELECT scores.id, scores.name, scores.score, created, " MARKS_OF_SCORES " FROM bests"
    " JOIN scores ON scores.id = bests.id WHERE bests.game = $1 AND bests.name = $2";
// kRank within a period ($10).
inline constexpr const char* kPeriodRank =
    "SELECT coalesce((SELECT sum(n) FROM period_counts WHERE game = $1 AND start = $10 AND level = 24"
    " AND bucket > $2), 0)"
    " + coalesce((SELECT sum(n) FROM period_counts WHERE game = $1 AND start = $10 AND level = 16 AND bucket > $3"
    " AND bucket < $4), 0)"
    " + coalesce((SELECT sum(n) FROM period_counts WHERE game = $1 AND start = $10 AND level = 8 AND bucket > $5"
    " AND bucket < $6), 0)"
    " + (SELECT count(*) FROM period_entries WHERE game = $1 AND start = $10 AND score > $7 AND score <= $8)"
    " + (SELECT count(*) FROM period_entries WHERE game = $1 AND start = $10 AND score = $7 AND id < $9)";
inline constexpr const char* kPeriodPlayersAhead =
    "SELECT count(*) FROM period_bests WHERE game = $1 AND start = $2 AND (score > $3 OR (score = $3 AND id < $4))";

// What older servers did not keep, made at open from the visible scores
// (and made again whenever the bucket counts are).
#define WEEK_OF_CREATED "(created / 86400 - (created / 86400 + 3) % 7) * 86400"
#define DAY_OF_CREATED "CASE WHEN created / 86400 = 0 THEN 1 ELSE created / 86400 * 86400 END"
inline constexpr const char* kPeriodsMissing =
    "SELECT NOT EXISTS (SELECT 1 FROM board_totals) AND EXISTS (SELECT 1 FROM scores)";
inline constexpr const char* kRebuildPeriods[] = {
    "DELETE FROM period_entries",
    "DELETE FROM period_counts",
    "DELETE FROM period_bests",
    "DELETE FROM board_totals",
    "INSERT INTO period_entries (id, start, game, score) SELECT id, " WEEK_OF_CREATED ", game, score FROM scores"
    " WHERE " VISIBLE,
    "INSERT INTO period_entries (id, start, game, score) SELECT id, " DAY_OF_CREATED ", game, score FROM scores"
    " WHERE (created / 86400 + 3) % 7 <> 0 AND " VISIBLE,
    "INSERT INTO period_counts (game, start, level, bucket, n)"
    " SELECT game, start, 24, score / 16777216, count(*) FROM period_entries GROUP BY game, start, score / 16777216"
    " UNION ALL SELECT game, start, 16, score / 65536, count(*) FROM period_entries GROUP BY game, start, score / 65536"
    " UNION ALL SELECT game, start, 8, score / 256, count(*) FROM period_entries GROUP BY game, start, score / 256"
    " UNION ALL SELECT game, start, 0, score, count(*) FROM period_entries GROUP BY game, start, score",
    "INSERT INTO period_bests (game, start, name, id, score) SELECT game, start, name, id, score FROM"
    " (SELECT p.game, p.start, s.name, p.id, p.score, row_number() OVER (PARTITION BY p.game, p.start, s.name"
    " ORDER BY p.score DESC, p.id ASC) AS k FROM period_entries p JOIN scores s ON s.id = p.id) AS firsts WHERE k = 1",
    "INSERT INTO board_totals (game, board, n) SELECT game, 'entries/' || start, count(*) FROM period_entries"
    " GROUP BY game, start",
    "INSERT INTO board_totals (game, board, n) SELECT game, 'players/' || start, count(*) FROM period_bests"
    " GROUP BY game, start",
    "INSERT INTO board_totals (game, board, n) SELECT game, 'players', count(*) FROM bests GROUP BY game",
    "INSERT INTO board_totals (game, board, n) SELECT verified.game, 'verified', count(*) FROM verified"
    " JOIN scores ON scores.id = verified.id WHERE " VISIBLE " GROUP BY verified.game",
    "INSERT INTO board_totals (game, board, n) SELECT ranked.game, 'ranked/' || daily, count(*) FROM ranked"
    " JOIN scores ON scores.id = ranked.id WHERE " VISIBLE " GROUP BY ranked.game, daily",
};

// Moderation, from the administrator's command.
inline constexpr const char* kEntry =
    "SELECT game, name, score, EXISTS (SELECT 1 FROM hidden WHERE id = $1), created,"
    " EXISTS (SELECT 1 FROM verified WHERE id = $1) FROM scores WHERE id = $1";
inline constexpr const char* kHide = "INSERT INTO hidden (id) VALUES ($1)";
inline constexpr const char* kUnhide = "DELETE FROM hidden WHERE id = $1";
inline constexpr const char* kIsHidden = "SELECT 1 FROM hidden WHERE id = $1";
inline constexpr const char* kBucketsDown =
    "UPDATE score_counts SET n = n - 1 WHERE game = $1 AND ((level = 24 AND bucket = $2)"
    " OR (level = 16 AND bucket = $3) OR (level = 8 AND bucket = $4) OR (level = 0 AND bucket = $5))";
inline constexpr const char* kCountDown = "UPDATE games SET entries = entries - 1 WHERE name = $1";
inline constexpr const char* kBan =
    "INSERT INTO banned (skeleton, name) VALUES ($1, $2) ON CONFLICT DO NOTHING RETURNING name";
inline constexpr const char* kUnban = "DELETE FROM banned WHERE skeleton = $1 RETURNING name";
inline constexpr const char* kBannedLike = "SELECT name FROM banned WHERE skeleton = $1";

// Ranked play.
inline constexpr const char* kSecretAdd =
    "INSERT INTO secrets (name, value) VALUES ($1, $2) ON CONFLICT DO NOTHING";
inline constexpr const char* kSecret = "SELECT value FROM secrets WHERE name = $1";
inline constexpr const char* kDealAdd =
    "INSERT INTO deals (id, game, seed, balloons, gametime, expires, used) VALUES ($1, $2, $3, $4, $5, $6, 0)";
// Deals a day past their expiry are forgotten: their replays are "not one
// of this server's" rather than "expired" from then on.
inline constexpr const char* kDealsForget = "DELETE FROM deals WHERE expires < $1";
inline constexpr const char* kDealFind =
    "SELECT game, seed, balloons, gametime, expires, used FROM deals WHERE id = $1";
// Taking a deal is the check that nobody took it: two uploads of one deal
// at once cannot both count.
inline constexpr const char* kDealUse = "UPDATE deals SET used = $2 WHERE id = $1 AND used = 0 RETURNING id";
inline constexpr const char* kBind = "INSERT INTO players (name, key_hash) VALUES ($1, $2) ON CONFLICT DO NOTHING";
inline constexpr const char* kKeyOf = "SELECT key_hash FROM players WHERE name = $1";
inline constexpr const char* kReplaySeen = "SELECT id FROM replays WHERE hash = $1";
inline constexpr const char* kReplayOf = "SELECT 1 FROM replays WHERE id = $1";
inline constexpr const char* kReplayKeep =
    "INSERT INTO replays (id, hash, text, actions, greedy, fastest, p10) VALUES ($1, $2, $3, $4, $5, $6, $7)"
    " ON CONFLICT DO NOTHING RETURNING id";
inline constexpr const char* kReplayText =
    "SELECT text FROM replays WHERE id = $1 AND NOT EXISTS (SELECT 1 FROM hidden WHERE hidden.id = $1)";
inline constexpr const char* kRankedAdd =
    "INSERT INTO ranked (id, game, score, daily, name) VALUES ($1, $2, $3, $4, $5) ON CONFLICT DO NOTHING"
    " RETURNING id";
inline constexpr const char* kDailyPlayed = "SELECT id FROM ranked WHERE game = $1 AND daily = $2 AND name = $3";
// The ranked boards: a deal's games ($4 empty) or a day's deal's, read in
// order from their own index like the verified board.
inline constexpr const char* kTopRanked =
    "SELECT scores.id, scores.name, scores.score, created, 1, " KEPT_AND_RANKED_OF_SCORES " FROM (SELECT id, score"
    " FROM ranked WHERE game = $1 AND daily = $4 AND shown = 1"
    " ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3) AS page JOIN scores ON scores.id = page.id"
    " ORDER BY page.score DESC, page.id ASC";
inline constexpr const char* kRankedAhead =
    "SELECT count(*) FROM ranked JOIN scores ON scores.id = ranked.id WHERE ranked.game = $1 AND ranked.daily = $2"
    " AND (ranked.score > $3 OR (ranked.score = $3 AND ranked.id < $4)) AND " VISIBLE;
inline constexpr const char* kRecent =
    "SELECT scores.id, game, name, score, created, " VERIFIED_OF_SCORES ", NOT " VISIBLE ","
    " EXISTS (SELECT 1 FROM ranked WHERE ranked.id = scores.id), coalesce(replays.actions, -1),"
    " coalesce(replays.greedy, -1), coalesce(replays.fastest, -1), coalesce(replays.p10, -1)"
    " FROM scores LEFT JOIN replays ON replays.id = scores.id ORDER BY scores.id DESC LIMIT $1";

}  // namespace score::sql
