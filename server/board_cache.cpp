#include "server/board_cache.h"

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

void BoardCache::Drop(Game& game) {
  for (const auto& [key, page] : game.pages) bytes_ -= Size(key, *page);
  game.pages.clear();
}

std::shared_ptr<const CachedPage> BoardCache::Get(const std::string& game, const std::string& key,
                                                  const std::function<std::shared_ptr<const CachedPage>()>& build) {
  // The mark is read before the generation, and both before the page is
  // built: a page is never older than what they say, so a change after
  // them moves them on and drops it.
  const uint64_t mark = storage_.ChangeMark();
  {
    std::lock_guard lock(mutex_);
    const auto found = games_.find(game);
    if (found != games_.end() && found->second.mark == mark) {
      const auto page = found->second.pages.find(key);
      if (page != found->second.pages.end()) return page->second;
    }
  }
  // The front pages show every game, so any change elsewhere drops them.
  const int64_t generation = game.empty() ? static_cast<int64_t>(mark) : storage_.Generation(game);
  uint64_t before = 0;
  {
    std::lock_guard lock(mutex_);
    const auto found = games_.find(game);
    if (found != games_.end()) {
      Game& kept = found->second;
      if (kept.generation != generation) {
        Drop(kept);
        kept.generation = generation;
      }
      kept.mark = mark;
      const auto page = kept.pages.find(key);
      if (page != kept.pages.end()) return page->second;
    }
    before = Local(game);
  }

  std::shared_ptr<const CachedPage> page = build();
  if (!page) return page;

  std::lock_guard lock(mutex_);
  // This server changed the game while the page was built: it may be
  // older than the change, so it is served but not kept.
  if (Local(game) != before) return page;
  const size_t size = Size(key, *page);
  if (size > maxBytes_) return page;
  if (bytes_ + size > maxBytes_) {
    games_.clear();
    bytes_ = 0;
  }
  const auto [found, fresh] = games_.try_emplace(game);
  Game& kept = found->second;
  if (fresh) {
    kept.generation = generation;
    kept.mark = mark;
  } else if (kept.generation != generation) {
    return page;  // another read saw another generation: keep theirs
  }
  const auto [slot, added] = kept.pages.try_emplace(key, page);
  if (!added) {
    bytes_ -= Size(key, *slot->second);
    slot->second = page;
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
  const auto page = found->second.pages.find(key);
  return page == found->second.pages.end() ? nullptr : page->second;
}

void BoardCache::Changed(const std::string& game) {
  std::lock_guard lock(mutex_);
  for (const std::string* name : {&game, &kEveryGame}) {
    ++local_[*name];
    const auto found = games_.find(*name);
    if (found != games_.end()) Drop(found->second);
  }
}

size_t BoardCache::Bytes() {
  std::lock_guard lock(mutex_);
  return bytes_;
}

}  // namespace score
