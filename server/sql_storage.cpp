#include "server/sql_storage.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "server/player_name.h"
#include "server/sql.h"

namespace score {
namespace {

int64_t ToInt(const std::string& text) { return std::stoll(text); }
// A truth value as either backend writes it.
bool IsTrue(const std::string& text) { return text == "1" || text == "t" || text == "true"; }

std::vector<Row> ToRows(const std::vector<ResultRow>& result) {
  std::vector<Row> rows;
  rows.reserve(result.size());
  for (const ResultRow& r : result) {
    Row row;
    row.id = ToInt(r.at(0));
    row.name = r.at(1);
    row.score = static_cast<int32_t>(ToInt(r.at(2)));
    row.created = ToInt(r.at(3));
    row.verified = IsTrue(r.at(4));
    row.replay = IsTrue(r.at(5));
    row.ranked = IsTrue(r.at(6));
    rows.push_back(std::move(row));
  }
  return rows;
}

// The periods an entry uploaded at `created` counts in (see PERIOD_SCHEMA):
// its week, and its day unless that is the week's Monday.
constexpr int64_t kDay = 86400;
int64_t DayOf(int64_t t) { return t / kDay - (t % kDay < 0 ? 1 : 0); }
bool IsMonday(int64_t day) { return ((day + 3) % 7 + 7) % 7 == 0; }
int64_t StartOf(int64_t day) { return day == 0 ? 1 : day * kDay; }
std::vector<int64_t> PeriodsOf(int64_t created) {
  const int64_t day = DayOf(created);
  std::vector<int64_t> periods = {StartOf(day - ((day + 3) % 7 + 7) % 7)};
  if (!IsMonday(day)) periods.push_back(StartOf(day));
  return periods;
}
// The period a board since `since` reads: the day holding it, or its week on a Monday.
int64_t PeriodFrom(int64_t since) { return StartOf(DayOf(since)); }
std::string EntriesOf(int64_t period) { return "entries/" + std::to_string(period); }
std::string PlayersOf(int64_t period) { return "players/" + std::to_string(period); }

int64_t Total(Session& s, const std::string& game, const std::string& board) {
  const std::vector<ResultRow> rows = s.Run(sql::kTotal, {game, board});
  return rows.empty() ? 0 : ToInt(rows[0].at(0));
}
void AddToTotal(Session& s, const std::string& game, const std::string& board, int64_t n) {
  s.Run(sql::kTotalAdd, {game, board, n});
}

// Puts a visible entry on its periods' boards (step 1), or takes it off
// them (-1). An upload only ever raises its player's best; a hide or an
// unhide (`moderated`, with the hidden mark already changed) works the
// player's best of each period out again from their visible entries.
void KeepPeriods(Session& s, const std::string& game, const std::string& name, int64_t id, int32_t score,
                 int64_t created, int step, bool moderated) {
  const int64_t points = score;
  for (const int64_t period : PeriodsOf(created)) {
    s.Run(step > 0 ? sql::kPeriodEntryAdd : sql::kPeriodEntryDrop,
          step > 0 ? Params{id, period, game, points} : Params{id, period});
    s.Run(sql::kPeriodBuckets, {game, period, int64_t{step}, points >> 24, points >> 16, points >> 8, points});
    AddToTotal(s, game, EntriesOf(period), step);
    const std::vector<ResultRow> best = s.Run(sql::kPeriodBestOf, {game, period, name});
    const bool had = !best.empty();
    if (!moderated) {
      if (!had || ToInt(best[0].at(0)) < points) s.Run(sql::kPeriodBestSet, {game, period, name, id, points});
      if (!had) AddToTotal(s, game, PlayersOf(period), 1);
      continue;
    }
    const int64_t from = DayOf(period) * kDay, until = from + (IsMonday(DayOf(period)) ? 7 : 1) * kDay;
    const std::vector<ResultRow> found = s.Run(sql::kPeriodBestFind, {game, name, from, until});
    if (found.empty()) {
      s.Run(sql::kPeriodBestDrop, {game, period, name});
    } else {
      s.Run(sql::kPeriodBestSet, {game, period, name, ToInt(found[0].at(0)), ToInt(found[0].at(1))});
    }
    AddToTotal(s, game, PlayersOf(period), int64_t{!found.empty()} - int64_t{had});
  }
}

}  // namespace

Params RankParams(const std::string& game, int32_t score, int64_t id) {
  const int64_t s = score;
  return {game,
          s >> 24,
          s >> 16, ((s >> 24) + 1) << 8,
          s >> 8, ((s >> 16) + 1) << 8,
          s, (((s >> 8) + 1) << 8) - 1,
          id};
}

SessionPool::Lease SessionPool::Get() {
  {
    std::unique_lock lock(mutex_);
    if (limit_ > 0 && !returned_.wait_for(lock, wait_, [this] { return !idle_.empty() || open_count_ < limit_; })) {
      throw StorageError("every database connection stayed busy");
    }
    if (!idle_.empty()) {
      std::unique_ptr<Session> session = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(session));
    }
    ++open_count_;
  }
  try {
    return Lease(*this, open_());
  } catch (...) {
    Closed(1);
    throw;
  }
}

void SessionPool::Return(std::unique_ptr<Session> session) {
  {
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(session));
  }
  returned_.notify_one();
}

void SessionPool::Closed(int count) {
  {
    std::lock_guard lock(mutex_);
    open_count_ -= count;
  }
  returned_.notify_all();
}

void SessionPool::DropIdle() {
  std::vector<std::unique_ptr<Session>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(idle_);
  }
  Closed(static_cast<int>(dropped.size()));
}

template <class Fn>
auto SqlStorage::With(Fn fn) -> decltype(fn(std::declval<SessionPool::Lease&>())) {
  SessionPool::Lease lease = pool_.Get();
  try {
    return fn(lease);
  } catch (const StorageError&) {
    lease.Discard();
    throw;
  } catch (const std::exception& e) {
    lease.Discard();
    throw StorageError(e.what());
  }
}

namespace {

// The "game" of the names table under which games' own names are kept.
const std::string kGameNames;

// Stores the entry inside the caller's write (see Storage::Add). A refusal
// (banned, look-alike, hidden) leaves the write for the caller to roll back.
Placed AddIn(Session& s, const Entry& e) {
  Placed placed;
  const std::string skeleton = Skeleton(e.name);
  if (const std::vector<ResultRow> banned = s.Run(sql::kBannedLike, {skeleton}); !banned.empty()) {
    placed.banned = banned[0].at(0);
    return placed;
  }
  // Games' names are kept beside the players' under the game "", which no
  // upload can name; another rule set's board is its game's.
  const std::string gameSkeleton = IsRuleSetBoard(e.game) ? "" : Skeleton(e.game);
  std::vector<ResultRow> game;
  if (!gameSkeleton.empty()) game = s.Run(sql::kNameLike, {kGameNames, gameSkeleton});
  if (!game.empty() && game[0].at(0) != e.game) {
    placed.lookalikeGame = game[0].at(0);
    return placed;
  }
  const std::vector<ResultRow> like = s.Run(sql::kNameLike, {e.game, skeleton});
  if (!like.empty() && like[0].at(0) != e.name) {
    placed.lookalike = like[0].at(0);
    return placed;
  }
  const Params key = {e.game, int64_t{e.score}, e.name};
  std::vector<ResultRow> inserted =
      s.Run(sql::kInsert, {e.game, e.name, e.address, e.email, e.send, int64_t{e.score}, e.created});
  if (!inserted.empty()) {
    placed.inserted = true;
    placed.id = ToInt(inserted[0].at(0));
    s.Run(sql::kCountUp, {e.game});
    if (like.empty()) s.Run(sql::kNameAdd, {e.game, skeleton, e.name});
    if (game.empty() && !gameSkeleton.empty()) s.Run(sql::kNameAdd, {kGameNames, gameSkeleton, e.game});
    // Another rule set's board is not a game of its own on the front page.
    if (!IsRuleSetBoard(e.game)) s.Run(sql::kActivity, {e.game, placed.id});
    s.Run(sql::kBucketsUp,
          {e.game, int64_t{e.score >> 24}, int64_t{e.score >> 16}, int64_t{e.score >> 8}, int64_t{e.score}});
    if (s.Run(sql::kBestOf, {e.game, e.name}).empty()) AddToTotal(s, e.game, "players", 1);
    s.Run(sql::kBestUp, {e.game, e.name, placed.id, int64_t{e.score}});
    KeepPeriods(s, e.game, e.name, placed.id, e.score, e.created, 1, false);
    s.Run(sql::kChanged, {e.game});
  } else {
    std::vector<ResultRow> found = s.Run(sql::kFind, key);
    if (found.empty()) throw StorageError("an entry that conflicted on insert cannot be found");
    placed.id = ToInt(found[0].at(0));
    // Uploading a hidden entry again does not bring it back.
    if (!s.Run(sql::kIsHidden, {placed.id}).empty()) {
      placed.hidden = true;
      return placed;
    }
  }
  if (e.verified) {
    if (!s.Run(sql::kVerify, {placed.id, e.game, int64_t{e.score}}).empty()) AddToTotal(s, e.game, "verified", 1);
    if (!placed.inserted) s.Run(sql::kChanged, {e.game});  // its mark appears on the boards
  }
  placed.verified = e.verified || !s.Run(sql::kIsVerified, {placed.id}).empty();
  placed.rank = 1 + ToInt(s.Run(placed.inserted ? sql::kRankNew : sql::kRank,
                                RankParams(e.game, e.score, placed.id)).at(0).at(0));
  placed.total = ToInt(s.Run(sql::kCount, {e.game}).at(0).at(0));
  return placed;
}

bool Refused(const Placed& placed) {
  return !placed.banned.empty() || !placed.lookalike.empty() || !placed.lookalikeGame.empty() || placed.hidden;
}

// Why the entry just placed does not count on a ranked board, or nothing
// once it is ranked there (the deal taken, the ranked row in).
std::optional<std::string> Rank(Session& s, const Entry& e, const Proof& proof, Placed& placed) {
  if (proof.keyHash.empty()) return "it was sent without a player key";
  const GameRules* rules = RulesFor(e.game);
  if (!rules) return "it was played by other rules than the standard ones";
  const quibbleton::Replay& replay = proof.replay;
  std::optional<Deal> deal;
  bool used = false;
  if (proof.daily) {
    deal = proof.daily;
    used = !s.Run(sql::kDailyPlayed, {e.game, deal->id, e.name}).empty();
  } else if (!replay.deal.empty()) {
    const std::vector<ResultRow> found = s.Run(sql::kDealFind, {replay.deal});
    if (!found.empty() && found[0].at(0) == e.game) {
      const ResultRow& r = found[0];
      deal = Deal{replay.deal, r.at(0), static_cast<uint32_t>(ToInt(r.at(1))), static_cast<int>(ToInt(r.at(2))),
                  static_cast<int>(ToInt(r.at(3))), ToInt(r.at(4))};
      used = ToInt(r.at(5)) != 0;
    }
  }
  if (std::optional<std::string> refusal = DealRefusal(replay, deal, used, proof.now)) return refusal;
  // Taken only now, and only if still free: two uploads of one deal at
  // once cannot both count.
  const std::string daily = proof.daily ? deal->id : "";
  const bool taken = proof.daily ? true : !s.Run(sql::kDealUse, {deal->id, placed.id}).empty();
  if (!taken || s.Run(sql::kRankedAdd, {placed.id, e.game, int64_t{e.score}, daily, e.name}).empty()) {
    return DealRefusal(replay, deal, true, proof.now);
  }
  AddToTotal(s, e.game, "ranked/" + daily, 1);
  s.Run(sql::kChanged, {e.game});
  placed.rankedRank = 1 + ToInt(s.Run(sql::kRankedAhead, {e.game, daily, int64_t{e.score}, placed.id}).at(0).at(0));
  placed.rankedTotal = Total(s, e.game, "ranked/" + daily);
  return std::nullopt;
}

}  // namespace

Placed SqlStorage::Add(const Entry& e) {
  return With([&](SessionPool::Lease& s) {
    s->BeginWrite();
    try {
      Placed placed = AddIn(*s.operator->(), e);
      if (Refused(placed)) {
        s->Rollback();
      } else {
        s->Commit();
      }
      return placed;
    } catch (...) {
      s->Rollback();
      throw;
    }
  });
}

Placed SqlStorage::AddVerified(const Entry& e, const Proof& proof) {
  return With([&](SessionPool::Lease& lease) {
    Session& s = *lease.operator->();
    s.BeginWrite();
    try {
      Placed placed;
      auto refuse = [&s](Placed refused) {
        s.Rollback();
        return refused;
      };
      if (!s.Run(sql::kReplaySeen, {proof.hash}).empty()) {
        placed.repeat = true;
        return refuse(placed);
      }
      // The first keyed upload of a name binds it; within this write, so a
      // refused upload binds nothing.
      if (!proof.keyHash.empty()) s.Run(sql::kBind, {e.name, proof.keyHash});
      const std::vector<ResultRow> bound = s.Run(sql::kKeyOf, {e.name});
      if (!bound.empty() && bound[0].at(0) != proof.keyHash) {
        placed.otherKey = true;
        return refuse(placed);
      }
      placed = AddIn(s, e);
      if (Refused(placed)) return refuse(placed);
      if (!s.Run(sql::kReplayOf, {placed.id}).empty()) {
        placed.replayed = true;
        return refuse(placed);
      }
      const FairPlay& f = proof.figures;
      if (s.Run(sql::kReplayKeep, {placed.id, proof.hash, proof.text, int64_t{f.actions}, int64_t{f.greedy},
                                   f.fastestMs, f.p10Ms}).empty()) {
        // The same replay came in at the same moment on another connection.
        placed.repeat = true;
        return refuse(placed);
      }
      if (std::optional<std::string> why = Rank(s, e, proof, placed)) {
        placed.unranked = std::move(*why);
      } else {
        placed.ranked = true;
      }
      s.Commit();
      return placed;
    } catch (...) {
      s.Rollback();
      throw;
    }
  });
}

std::optional<std::string> SqlStorage::ReplayText(int64_t id) {
  return With([&](SessionPool::Lease& s) -> std::optional<std::string> {
    const std::vector<ResultRow> rows = s->Run(sql::kReplayText, {id});
    if (rows.empty()) return std::nullopt;
    return rows[0].at(0);
  });
}

void SqlStorage::AddDeal(const Deal& d) {
  With([&](SessionPool::Lease& s) {
    s->Run(sql::kDealsForget, {d.expires - 2 * 86400});
    s->Run(sql::kDealAdd, {d.id, d.game, int64_t{d.seed}, int64_t{d.balloons}, int64_t{d.gameTime}, d.expires});
    return 0;
  });
}

std::string SqlStorage::Secret(const std::string& name) {
  return With([&](SessionPool::Lease& s) {
    s->Run(sql::kSecretAdd, {name, NewSecret()});
    return s->Run(sql::kSecret, {name}).at(0).at(0);
  });
}

std::vector<Row> SqlStorage::Top(const std::string& game, int limit, bool verifiedOnly) {
  std::vector<Row> rows = With([&](SessionPool::Lease& s) {
    return ToRows(s->Run(verifiedOnly ? sql::kTopVerified : sql::kTop, {game, int64_t{limit}, int64_t{0}}));
  });
  for (size_t i = 0; i < rows.size(); ++i) rows[i].rank = static_cast<int64_t>(i) + 1;
  return rows;
}

std::vector<Row> SqlStorage::Around(const std::string& game, int64_t id, int32_t score, int64_t rank, int before,
                                    int after) {
  return With([&](SessionPool::Lease& s) {
    const int64_t points = score;
    std::vector<Row> above = ToRows(s->Run(sql::kAboveTied, {game, points, id, int64_t{before}}));
    if (static_cast<int>(above.size()) < before) {
      std::vector<Row> more = ToRows(s->Run(sql::kAbove, {game, points, int64_t{before - int(above.size())}}));
      above.insert(above.end(), more.begin(), more.end());
    }
    std::vector<Row> below = ToRows(s->Run(sql::kBelowTied, {game, points, id, int64_t{after}}));
    // The nearest tied row at or above id + 1 is the entry itself.
    std::vector<Row> self = ToRows(s->Run(sql::kAboveTied, {game, points, id + 1, int64_t{1}}));
    if (static_cast<int>(below.size()) < after) {
      std::vector<Row> more = ToRows(s->Run(sql::kBelow, {game, points, int64_t{after - int(below.size())}}));
      below.insert(below.end(), more.begin(), more.end());
    }
    std::vector<Row> rows(above.rbegin(), above.rend());
    for (size_t i = 0; i < rows.size(); ++i) rows[i].rank = rank - static_cast<int64_t>(rows.size() - i);
    if (!self.empty() && self[0].id == id) {
      self[0].rank = rank;
      rows.push_back(self[0]);
    }
    for (size_t i = 0; i < below.size(); ++i) {
      below[i].rank = rank + 1 + static_cast<int64_t>(i);
      rows.push_back(below[i]);
    }
    return rows;
  });
}

std::vector<std::string> SqlStorage::Games() {
  return With([&](SessionPool::Lease& s) {
    std::vector<std::string> games;
    for (const ResultRow& r : s->Run(sql::kGames, {})) games.push_back(r.at(0));
    return games;
  });
}

std::vector<std::string> SqlStorage::RecentGames(int64_t offset, int limit) {
  return With([&](SessionPool::Lease& s) {
    std::vector<std::string> games;
    for (const ResultRow& r : s->Run(sql::kRecentGames, {int64_t{limit}, offset})) games.push_back(r.at(0));
    return games;
  });
}

int64_t SqlStorage::GameCount() {
  return With([&](SessionPool::Lease& s) { return ToInt(s->Run(sql::kGameCount, {}).at(0).at(0)); });
}

int64_t SqlStorage::Count(const std::string& game) {
  return With([&](SessionPool::Lease& s) {
    std::vector<ResultRow> rows = s->Run(sql::kCount, {game});
    return rows.empty() ? int64_t{0} : ToInt(rows[0].at(0));
  });
}

std::vector<Entry> SqlStorage::Dump(const std::string& game) {
  return With([&](SessionPool::Lease& s) {
    std::vector<Entry> entries;
    for (const ResultRow& r : s->Run(sql::kDump, {game})) {
      entries.push_back({r.at(0), r.at(1), r.at(2), r.at(3), r.at(4), static_cast<int32_t>(ToInt(r.at(5))),
                         ToInt(r.at(6)), IsTrue(r.at(7))});
    }
    return entries;
  });
}

void SqlStorage::Ping() {
  With([&](SessionPool::Lease& s) {
    s->Verify();
    return s->Run(sql::kGames, {}).size();
  });
}

BoardPage SqlStorage::Board(const std::string& game, const BoardQuery& q) {
  return With([&](SessionPool::Lease& lease) {
    Session& s = *lease.operator->();
    BoardPage page;
    // Rows below the deepest are not read; totals come from the counts kept.
    const int64_t limit = std::clamp<int64_t>(kDeepestRows - q.offset, 0, q.limit);
    const Params range = {game, limit, q.offset};
    const char* rows = nullptr;
    Params params = range;
    if (q.since > 0) {
      const int64_t period = PeriodFrom(q.since);
      page.total = Total(s, game, q.byPlayer ? PlayersOf(period) : EntriesOf(period));
      rows = q.byPlayer ? sql::kTopPeriodPlayers : sql::kTopPeriod;
      params.push_back(period);
    } else if (q.byPlayer) {
      page.total = Total(s, game, "players");
      rows = sql::kTopPlayers;
    } else if (q.rankedOnly) {
      page.total = Total(s, game, "ranked/" + q.daily);
      rows = sql::kTopRanked;
      params.push_back(q.daily);
    } else if (q.verifiedOnly) {
      page.total = Total(s, game, "verified");
      rows = sql::kTopVerified;
    } else {
      const std::vector<ResultRow> count = s.Run(sql::kCount, {game});
      page.total = count.empty() ? 0 : ToInt(count[0].at(0));
      rows = sql::kTop;
    }
    if (limit > 0 && q.offset < page.total) page.rows = ToRows(s.Run(rows, params));
    for (size_t i = 0; i < page.rows.size(); ++i) page.rows[i].rank = q.offset + static_cast<int64_t>(i) + 1;
    return page;
  });
}

Standing SqlStorage::PlayerStanding(const std::string& game, const std::string& name, int64_t since) {
  return With([&](SessionPool::Lease& lease) {
    Session& s = *lease.operator->();
    Standing standing;
    const int64_t period = since > 0 ? PeriodFrom(since) : 0;
    std::vector<Row> best = ToRows(since > 0 ? s.Run(sql::kPeriodBest, {game, period, name})
                                             : s.Run(sql::kBest, {game, name}));
    if (best.empty()) return standing;
    standing.found = true;
    standing.best = best[0];
    const int64_t score = best[0].score, id = best[0].id;
    if (since > 0) {
      Params rank = RankParams(game, best[0].score, id);
      rank.push_back(period);
      standing.best.rank = 1 + ToInt(s.Run(sql::kPeriodRank, rank).at(0).at(0));
      standing.playerRank = 1 + ToInt(s.Run(sql::kPeriodPlayersAhead, {game, period, score, id}).at(0).at(0));
      standing.entries = Total(s, game, EntriesOf(period));
      standing.players = Total(s, game, PlayersOf(period));
    } else {
      // All time, from the counts kept for it: as cheap however many tie.
      standing.best.rank = 1 + ToInt(s.Run(sql::kRank, RankParams(game, best[0].score, id)).at(0).at(0));
      standing.playerRank = 1 + ToInt(s.Run(sql::kPlayersAhead, {game, score, id}).at(0).at(0));
      standing.entries = ToInt(s.Run(sql::kCount, {game}).at(0).at(0));
      standing.players = Total(s, game, "players");
    }
    return standing;
  });
}

Moderated SqlStorage::SetHidden(int64_t id, bool hidden) {
  return With([&](SessionPool::Lease& s) {
    s->BeginWrite();
    try {
      Moderated done;
      const std::vector<ResultRow> entry = s->Run(sql::kEntry, {id});
      if (entry.empty() || IsTrue(entry[0].at(3)) == hidden) {
        s->Rollback();
        done.found = !entry.empty();
        if (done.found) done.game = entry[0].at(0);
        return done;
      }
      done.found = done.changed = true;
      done.game = entry[0].at(0);
      const std::string& name = entry[0].at(1);
      const int64_t score = ToInt(entry[0].at(2)), created = ToInt(entry[0].at(4));
      const Params buckets = {done.game, score >> 24, score >> 16, score >> 8, score};
      // The counts behind ranks and totals leave the entry out, or count it again.
      s->Run(hidden ? sql::kHide : sql::kUnhide, {id});
      for (const char* statement : sql::kShow) s->Run(statement, {id, int64_t{!hidden}});
      s->Run(hidden ? sql::kBucketsDown : sql::kBucketsUp, buckets);
      s->Run(hidden ? sql::kCountDown : sql::kCountUp, {done.game});
      const int step = hidden ? -1 : 1;
      const bool hadBest = !s->Run(sql::kBestOf, {done.game, name}).empty();
      s->Run(sql::kBestDrop, {done.game, name});
      s->Run(sql::kBestFind, {done.game, name});
      const bool hasBest = !s->Run(sql::kBestOf, {done.game, name}).empty();
      AddToTotal(*s.operator->(), done.game, "players", int64_t{hasBest} - int64_t{hadBest});
      KeepPeriods(*s.operator->(), done.game, name, id, static_cast<int32_t>(score), created, step, true);
      if (IsTrue(entry[0].at(5))) AddToTotal(*s.operator->(), done.game, "verified", step);
      if (const std::vector<ResultRow> ranked = s->Run(sql::kRankedDaily, {id}); !ranked.empty()) {
        AddToTotal(*s.operator->(), done.game, "ranked/" + ranked[0].at(0), step);
      }
      s->Run(sql::kChanged, {done.game});
      s->Commit();
      return done;
    } catch (...) {
      s->Rollback();
      throw;
    }
  });
}

bool SqlStorage::Ban(const std::string& name) {
  return With([&](SessionPool::Lease& s) { return !s->Run(sql::kBan, {Skeleton(name), name}).empty(); });
}

bool SqlStorage::Unban(const std::string& name) {
  return With([&](SessionPool::Lease& s) { return !s->Run(sql::kUnban, {Skeleton(name)}).empty(); });
}

std::vector<Listed> SqlStorage::Recent(int limit) {
  return With([&](SessionPool::Lease& s) {
    std::vector<Listed> list;
    for (const ResultRow& r : s->Run(sql::kRecent, {int64_t{limit}})) {
      Listed e;
      e.id = ToInt(r.at(0));
      e.game = r.at(1);
      e.name = r.at(2);
      e.score = static_cast<int32_t>(ToInt(r.at(3)));
      e.created = ToInt(r.at(4));
      e.verified = IsTrue(r.at(5));
      e.hidden = IsTrue(r.at(6));
      e.ranked = IsTrue(r.at(7));
      e.replay = ToInt(r.at(8)) >= 0;
      e.figures = {static_cast<int>(ToInt(r.at(8))), static_cast<int>(ToInt(r.at(9))), ToInt(r.at(10)),
                   ToInt(r.at(11))};
      list.push_back(std::move(e));
    }
    return list;
  });
}

int64_t SqlStorage::Generation(const std::string& game) {
  return With([&](SessionPool::Lease& s) {
    const std::vector<ResultRow> rows = s->Run(sql::kGeneration, {game});
    return rows.empty() ? int64_t{0} : ToInt(rows[0].at(0));
  });
}

void FillMissing(Session& s, bool countsRebuilt) {
  auto missing = [&s](const char* statement) {
    const std::string yes = s.Run(statement, {}).at(0).at(0);
    return yes == "1" || yes == "t";
  };
  const bool names = missing(sql::kNamesMissing);
  const bool activity = missing(sql::kActivityMissing);
  const bool bests = missing(sql::kBestsMissing);
  const bool periods = countsRebuilt || missing(sql::kPeriodsMissing);
  if (!names && !activity && !bests && !periods) return;
  s.BeginWrite();
  try {
    if (names) {
      for (const ResultRow& r : s.Run(sql::kDistinctNames, {})) {
        s.Run(sql::kNameAdd, {r.at(0), Skeleton(r.at(1)), r.at(1)});
        if (!IsRuleSetBoard(r.at(0))) s.Run(sql::kNameAdd, {kGameNames, Skeleton(r.at(0)), r.at(0)});
      }
    }
    if (activity) s.Run(sql::kRebuildActivity, {});
    if (bests) s.Run(sql::kRebuildBests, {});
    if (periods) {
      for (const char* statement : sql::kRebuildPeriods) s.Run(statement, {});
    }
    s.Commit();
  } catch (...) {
    s.Rollback();
    throw;
  }
}

void MigrateIdentity(Session& s) {
  if (!s.Run(sql::kIdentityDone, {}).empty()) return;
  s.BeginWrite();
  try {
    // The old index would hold the renamed names apart.
    s.Run(sql::kOldEntryIndexDrop, {});
    // Names as they are kept now: trimmed, inner white space collapsed.
    for (const ResultRow& r : s.Run(sql::kStoredNames, {})) {
      const NameCheck kept = NormaliseName(r.at(0));
      if (!kept.refusal.empty() || kept.name == r.at(0)) continue;
      const Params rename = {r.at(0), kept.name};
      for (const char* statement :
           {sql::kRenameScores, sql::kRenameRankedClash, sql::kRenameRanked, sql::kRenamePlayerClash,
            sql::kRenamePlayer}) {
        s.Run(statement, rename);
      }
    }
    // The later rows of one entry fold into its first: hidden if any was,
    // verified if any was, with the one replay and ranking kept.
    for (const ResultRow& r : s.Run(sql::kMerged, {})) {
      const Params pair = {ToInt(r.at(0)), ToInt(r.at(1))};
      const Params later = {ToInt(r.at(0))};
      for (const char* statement :
           {sql::kMergeHidden, sql::kMergeVerified, sql::kMergeReplay, sql::kMergeRanked, sql::kMergeDeal}) {
        s.Run(statement, pair);
      }
      for (const char* statement :
           {sql::kUnhide, sql::kDropVerified, sql::kDropReplay, sql::kDropRanked, sql::kDropScore}) {
        s.Run(statement, later);
      }
    }
    s.Run(sql::kIdentityIndex, {});
    // Counts, bests and names (with the skeletons compared now) are made
    // again from the rows at open; bans take the new skeletons here.
    for (const char* statement : {sql::kForgetCounts, sql::kForgetNames, sql::kForgetBests, sql::kChangedAll}) {
      s.Run(statement, {});
    }
    for (const ResultRow& r : s.Run(sql::kBans, {})) {
      const std::string skeleton = Skeleton(r.at(1));
      if (skeleton == r.at(0)) continue;
      s.Run(sql::kBanDrop, {r.at(0)});
      s.Run(sql::kBan, {skeleton, r.at(1)});
    }
    s.Run(sql::kIdentityMark, {});
    s.Commit();
  } catch (...) {
    s.Rollback();
    throw;
  }
}

void KeepShown(Session& s) {
  // Asked outside the write: a failed statement would end it on PostgreSQL.
  std::vector<const char*> missing;
  for (size_t i = 0; i < std::size(sql::kShownAsked); ++i) {
    try {
      s.Run(sql::kShownAsked[i], {});
    } catch (const std::exception&) {
      missing.push_back(sql::kShownAdded[i]);
    }
  }
  s.BeginWrite();
  try {
    for (const char* statement : missing) s.Run(statement, {});
    for (const char* statement : sql::kShownIndexes) s.Run(statement, {});
    for (const char* statement : sql::kShownKept) s.Run(statement, {});
    s.Commit();
  } catch (...) {
    s.Rollback();
    throw;
  }
}

std::unique_ptr<Storage> OpenStorage(const std::string& where, const StorageOptions& options) {
  const size_t scheme = where.find("://");
  if (scheme == std::string::npos) return OpenSqlite(where, options);
  static const struct {
    const char* scheme;
    std::unique_ptr<Storage> (*open)(const std::string&, const StorageOptions&);
  } kBackends[] = {{"postgresql", OpenPostgres}, {"postgres", OpenPostgres}};
  const std::string name = where.substr(0, scheme);
  for (const auto& backend : kBackends) {
    if (name == backend.scheme) return backend.open(where, options);
  }
  throw StorageError("unknown database scheme \"" + name + "\" (use a file path or postgresql://)");
}

}  // namespace score
