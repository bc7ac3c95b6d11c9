#include "server/board_cache.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace score {
namespace {

size_t Size(const std::string& key, const CachedPage& page) {
  return key.size() + page.contentType.size() + page.body.size() + page.tag.size() + 64;
}

}  // namespace

uint64_t BoardCache::Local(const std::string& game) const {
  const auto found = local_.find(game);
  return found == local_.end() ? 0 : found->second;
}

void BoardCache::Outdate(Game& game) {
  for (auto& [key, slot] : game.pages) {
    auto [older, fresh] = game.outdated.try_emplace(key, slot);
    if (!fresh) {
      bytes_ -= Size(key, *older->second.page);
      older->second = std::move(slot);
    }
  }
  game.pages.clear();
}

std::shared_ptr<const CachedPage> BoardCache::Use(Pages& pages, const std::string& key) {
  const auto found = pages.find(key);
  if (found == pages.end()) return nullptr;
  found->second.used = ++reads_;
  return found->second.page;
}

void BoardCache::MakeRoom(size_t size) {
  if (bytes_ + size <= maxBytes_) return;
  // Down to three quarters, so that this is rare: the outdated pages
  // first, then by their last read.
  struct Held {
    bool current;
    uint64_t used;
    Game* game;
    const std::string* key;
  };
  std::vector<Held> held;
  for (auto& [name, game] : games_) {
    for (const auto& [key, slot] : game.outdated) held.push_back({false, slot.used, &game, &key});
    for (const auto& [key, slot] : game.pages) held.push_back({true, slot.used, &game, &key});
  }
  std::sort(held.begin(), held.end(),
            [](const Held& a, const Held& b) { return std::tie(a.current, a.used) < std::tie(b.current, b.used); });
  const size_t goal = maxBytes_ / 4 * 3;
  for (const Held& h : held) {
    if (bytes_ + size <= goal) break;
    Pages& pages = h.current ? h.game->pages : h.game->outdated;
    const auto found = pages.find(*h.key);
    bytes_ -= Size(found->first, *found->second.page);
    pages.erase(found);
  }
}

std::shared_ptr<const CachedPage> BoardCache::Get(const std::string& game, const std::string& key,
                                                  const std::function<std::shared_ptr<const CachedPage>()>& build) {
  // The mark is read before the generation, and both before the page is
  // built: a page is never older than what they say, so a change after
  // them moves them on and outdates it.
  const uint64_t mark = storage_.ChangeMark();
  {
    std::lock_guard lock(mutex_);
    const auto found = games_.find(game);
    if (found != games_.end() && found->second.mark == mark) {
      if (auto page = Use(found->second.pages, key)) return page;
    }
  }
  // The front pages show every game, so any change elsewhere outdates them.
  const int64_t generation = game.empty() ? static_cast<int64_t>(mark) : storage_.Generation(game);
  uint64_t before = 0;
  const std::string building = game + '\n' + key;
  {
    std::unique_lock lock(mutex_);
    const auto found = games_.find(game);
    if (found != games_.end()) {
      Game& kept = found->second;
      if (kept.generation != generation) {
        Outdate(kept);
        kept.generation = generation;
      }
      kept.mark = mark;
      if (auto page = Use(kept.pages, key)) return page;
    }
    // Readers arriving together take the page one of them is building,
    // for a while: the database builds it once.
    if (building_.count(building) &&
        built_.wait_for(lock, kShareBuild, [&] { return building_.count(building) == 0; })) {
      const auto again = games_.find(game);
      if (again != games_.end() && again->second.generation == generation) {
        if (auto page = Use(again->second.pages, key)) return page;
      }
    }
    building_.insert(building);
    before = Local(game);
  }
  struct Built {
    BoardCache& cache;
    const std::string& building;
    ~Built() {
      {
        std::lock_guard lock(cache.mutex_);
        cache.building_.erase(building);
      }
      cache.built_.notify_all();
    }
  } built{*this, building};

  std::shared_ptr<const CachedPage> page = build();
  if (!page) return page;

  std::lock_guard lock(mutex_);
  // This server changed the game while the page was built: it may be
  // older than the change, so it is served but not kept as current.
  if (Local(game) != before) return page;
  const size_t size = Size(key, *page);
  if (size > maxBytes_) return page;
  MakeRoom(size);
  const auto [found, fresh] = games_.try_emplace(game);
  Game& kept = found->second;
  if (fresh) {
    kept.generation = generation;
    kept.mark = mark;
  } else if (kept.generation != generation) {
    return page;  // another read saw another generation: keep theirs
  }
  if (const auto older = kept.outdated.find(key); older != kept.outdated.end()) {
    bytes_ -= Size(key, *older->second.page);
    kept.outdated.erase(older);
  }
  const auto [slot, added] = kept.pages.try_emplace(key, Slot{page, ++reads_});
  if (!added) {
    bytes_ -= Size(key, *slot->second.page);
    slot->second = Slot{page, reads_};
  }
  bytes_ += size;
  return page;
}

std::shared_ptr<const CachedPage> BoardCache::Peek(const std::string& game, const std::string& key) {
  const std::optional<uint64_t> mark = storage_.KnownMark();
  if (!mark) return nullptr;
  std::lock_guard lock(mutex_);
  const auto found = games_.find(game);
  if (found == games_.end() || found->second.mark != *mark) return nullptr;
  return Use(found->second.pages, key);
}

std::shared_ptr<const CachedPage> BoardCache::Last(const std::string& game, const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto found = games_.find(game);
  if (found == games_.end()) return nullptr;
  if (auto page = Use(found->second.pages, key)) return page;
  return Use(found->second.outdated, key);
}

void BoardCache::Changed(const std::string& game) {
  std::lock_guard lock(mutex_);
  for (const std::string* name : {&game, &kEveryGame}) {
    ++local_[*name];
    const auto found = games_.find(*name);
    if (found != games_.end()) Outdate(found->second);
  }
}

size_t BoardCache::Bytes() {
  std::lock_guard lock(mutex_);
  return bytes_;
}

}  // namespace score
