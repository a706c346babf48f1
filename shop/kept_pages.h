// Fragments of catalog pages kept whole between requests. A listing is made only from answers
// that the site's change counters cover (kept answers, counted tables); while the counters stay as
// they were, the same method with the same values gives the same fragment, so the host keeps the
// fragment under the counters and skips the engine call. Each call is watched: a fragment is kept
// only when the call read nothing that the counters do not cover (a statement on an uncounted
// table, a database without its triggers, another database), wrote nothing and left no error.
// A change made anywhere moves a counter, and the next request makes the fragment anew.
// Only catalog methods are kept this way: they read nothing but the site's databases (no clock,
// no files, no distributor), so the watch sees every input besides the request's values.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine_call.h"
#include "site_look.h"

namespace kestrin::shop {

class KeptPages {
 public:
  explicit KeptPages(const EngineCaller& engine) : engine_(engine) {}

  // The text of `method` called with `args` on a fresh engine object, as the site holds it at
  // `counters` (read by this request before the call).
  std::string text(std::string_view method, const NamedValues& args,
                   const SiteCounters& counters) const;

  // Fragments kept now (tests, measurements).
  size_t size() const;

 private:
  void keep(const std::string& key, std::shared_ptr<const std::string> text,
            const SiteCounters& counters) const;

  const EngineCaller& engine_;
  mutable std::mutex mutex_;
  mutable SiteCounters keptUnder_;
  mutable std::unordered_map<std::string, std::shared_ptr<const std::string>> texts_;
  mutable size_t bytes_ = 0;
};

}  // namespace kestrin::shop
