#include "wendrel/asp/compiled_page_cache.h"

#include <algorithm>

namespace {

bool Unchanged(const CompiledPage& page) {
  return std::all_of(page.stamps.begin(), page.stamps.end(), [](const FileStamp& stamp) {
    std::optional<FileStamp> now = StampOf(stamp.path);
    return now && *now == stamp;
  });
}

}  // namespace

std::shared_ptr<const CompiledPage> CompiledPageCache::Find(const std::string& path,
                                                            const std::string& default_language) {
  std::shared_ptr<const CompiledPage> found;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(pages_.begin(), pages_.end(), [&](const auto& page) {
      return page->path == path && page->default_language == default_language;
    });
    if (it == pages_.end()) return nullptr;
    found = *it;
    pages_.splice(pages_.begin(), pages_, it);
  }
  // The files are looked at outside the lock: other pages go on meanwhile.
  if (Unchanged(*found)) return found;
  Drop(path);
  return nullptr;
}

void CompiledPageCache::Keep(std::shared_ptr<const CompiledPage> page) {
  std::lock_guard lock(mutex_);
  std::erase_if(pages_, [&](const auto& kept) {
    return kept->path == page->path && kept->default_language == page->default_language;
  });
  pages_.push_front(std::move(page));
  while (pages_.size() > kMaxPages) pages_.pop_back();
}

void CompiledPageCache::Drop(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::erase_if(pages_, [&](const auto& kept) { return kept->path == path; });
}

size_t CompiledPageCache::size() {
  std::lock_guard lock(mutex_);
  return pages_.size();
}
