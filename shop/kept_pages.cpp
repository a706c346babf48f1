#include "kept_pages.h"

#include "db/change_cache.h"
#include "kestrin/error.h"

namespace kestrin::shop {

namespace {

// What the kept fragments may take; past it they are all dropped and kept anew. Request values
// are part of the keys, so a crawler's many pages must not grow the host without end.
constexpr size_t kMaxBytes = 16 * 1024 * 1024;

// The method and its values, each value with its length, so that no two calls share a key.
std::string keyOf(std::string_view method, const NamedValues& args) {
  std::string key(method);
  for (const auto& [name, value] : args) {
    key += '\n';
    key += name;
    key += '=';
    key += std::to_string(value.size());
    key += ':';
    key += value;
  }
  return key;
}

}  // namespace

std::string KeptPages::text(std::string_view method, const NamedValues& args,
                            const SiteCounters& counters) const {
  if (counters.empty()) {
    eCat cat;
    return engine_.text(cat, method, args);
  }
  const std::string key = keyOf(method, args);
  std::shared_ptr<const std::string> kept;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (counters == keptUnder_) {
      if (auto found = texts_.find(key); found != texts_.end()) kept = found->second;
    }
  }
  if (kept) return *kept;
  std::shared_ptr<const std::string> made;
  bool covered = false;
  {
    db::CounterDependence watch;
    eCat cat;
    made = std::make_shared<const std::string>(engine_.text(cat, method, args));
    covered = watch.coveredBy(counters.readings) && !currentError().isSet();
  }
  if (covered) keep(key, made, counters);
  return *made;
}

void KeptPages::keep(const std::string& key, std::shared_ptr<const std::string> text,
                     const SiteCounters& counters) const {
  const size_t bytes = key.size() + text->size();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!(counters == keptUnder_) || bytes_ + bytes > kMaxBytes) {
    texts_.clear();
    bytes_ = 0;
    keptUnder_ = counters;
  }
  if (texts_.try_emplace(key, std::move(text)).second) bytes_ += bytes;
}

size_t KeptPages::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_.size();
}

}  // namespace kestrin::shop
