// What every page shows around its fragment: the site's title, company details, colours and
// font from the preferences, and the manufacturer menu. The host keeps the look it made while
// the change counters of the site's main and catalog databases (raised by triggers on the
// preferences, the manufacturers and the other counted tables, whoever changes them) stay as
// they were when it was made: a request reads the two counters, not the preferences. So a change
// made anywhere (this host's admin pages, another host, kestrinctl, an administrator's SQL)
// shows in the next request. A database without the counter is read in full every time.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine_call.h"

namespace kestrin::shop {

struct SiteLook {
  std::string title, company, address, city, state, zip, country;
  std::string phone1, phone2, fax, email;
  std::string font = "verdana,arial";
  std::string dark = "#3F658B", group = "#A9C2DA", category = "#E6EDF4", border = "#666666";
  std::string manufacturerMenu;  // the engine's fragment
  std::string scheme;            // the stored colour scheme's name, or empty
  // The variables that the engine leaves to the page (listing, search and cart colours, the
  // card processor): the stored preference, or a default from the colour scheme.
  std::vector<std::pair<std::string, std::string>> pageVariables;
};

// Sets the page's variables of `look` on an engine object before a call.
void applyPageVariables(const SiteLook& look, eCat& cat);

// The site's main and catalog databases with their change counters, as a request read them;
// none when a database keeps no counter (or the site cannot be opened): then nothing is kept.
struct SiteCounters {
  std::vector<std::pair<std::string, std::string>> readings;  // database, counter value
  bool empty() const { return readings.empty(); }
  bool operator==(const SiteCounters&) const = default;
};

class SiteLookCache {
 public:
  explicit SiteLookCache(const EngineCaller& engine) : engine_(engine) {}

  // The site's counters now (read once per request: see PageContext::counters).
  SiteCounters counters() const;

  // The look as the database holds it at `counters`, shared with the other requests that see
  // the same.
  std::shared_ptr<const SiteLook> get(const SiteCounters& counters) const;

 private:
  // `complete` turns false when a part of the look could not be read: such a look is shown but
  // not kept, so that a database that was out of reach for a moment is read again next time.
  SiteLook read(bool& complete) const;

  const EngineCaller& engine_;
  mutable std::mutex mutex_;
  mutable SiteCounters keptUnder_;
  mutable std::shared_ptr<const SiteLook> kept_;
};

}  // namespace kestrin::shop
