// Boards served from memory. A page (a board, a player's standing, the
// front page) is built from the database once and kept until its game
// changes: at once when this server stores an upload for it, and, for
// changes made elsewhere (another server on the same PostgreSQL, the
// administrator's command), as soon as the storage's change mark moves and
// the game's generation in the database turns out different. Reads of an
// unchanged board cost a lookup, not a query. A page outdated so is not
// thrown away but kept aside until it is built again: while the database
// is down or its threads are all busy, the last page built is a better
// answer than none.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "server/storage.h"

namespace score {

struct CachedPage {
  std::string contentType;
  std::string body;
  std::string tag;  // the body's entity tag, worked out once
};

class BoardCache {
 public:
  // The front pages, which show every game, are kept under this name.
  static inline const std::string kEveryGame;
  static constexpr std::chrono::milliseconds kShareBuild{200};

  // Pages of `maxBytes` in all at most; past it, the outdated pages go
  // first, then those read least lately.
  BoardCache(Storage& storage, size_t maxBytes) : storage_(storage), maxBytes_(maxBytes) {}

  // The page `key` of `game`, kept or built now by `build`, which returns
  // nothing for an answer that is not to be kept (a refusal, a missing
  // board). Throws what the storage throws.
  // A page under way for another reader is waited for, kShareBuild at most.
  std::shared_ptr<const CachedPage> Get(const std::string& game, const std::string& key,
                                        const std::function<std::shared_ptr<const CachedPage>()>& build);
  // The page when it is kept and known to be current without asking the
  // database (the storage's last look is still fresh); never waits.
  std::shared_ptr<const CachedPage> Peek(const std::string& game, const std::string& key);
  // The page last built for `key`, current or not; never waits.
  std::shared_ptr<const CachedPage> Last(const std::string& game, const std::string& key);
  // This server changed `game` (and so the front pages).
  void Changed(const std::string& game);
  size_t Bytes();

 private:
  struct Slot {
    std::shared_ptr<const CachedPage> page;
    uint64_t used = 0;  // the read count when it was last read
  };
  using Pages = std::unordered_map<std::string, Slot>;
  struct Game {
    int64_t generation = 0;
    uint64_t mark = 0;
    Pages pages;     // current as of `generation`
    Pages outdated;  // built before, kept for when no current one can be
  };
  uint64_t Local(const std::string& game) const;
  // The game's pages are outdated: each takes the place of its older copy.
  void Outdate(Game& game);
  // The page of `key` among `pages`, marked read now; null without one.
  std::shared_ptr<const CachedPage> Use(Pages& pages, const std::string& key);
  // Room for `size` more bytes, dropping the least useful pages.
  void MakeRoom(size_t size);

  Storage& storage_;
  size_t maxBytes_;
  std::mutex mutex_;
  size_t bytes_ = 0;
  uint64_t reads_ = 0;
  // The pages being built now ("game\nkey"), and their end.
  std::unordered_set<std::string> building_;
  std::condition_variable built_;
  std::unordered_map<std::string, Game> games_;
  // Counts this server's changes per game: a page built while one happened
  // is not kept. Grows only with games that took uploads.
  std::unordered_map<std::string, uint64_t> local_;
};

}  // namespace score
