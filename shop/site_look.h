// What every page shows around its fragment: the site's title, company details, colours and
// font from the preferences, and the manufacturer menu. Reading them costs a database session
// and a menu query, so the host keeps them for a few seconds rather than per request; a change
// made through this host's admin pages shows at once, one made elsewhere within kTtl.
#pragma once

#include <chrono>
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

class SiteLookCache {
 public:
  static constexpr std::chrono::seconds kTtl{10};

  explicit SiteLookCache(const EngineCaller& engine) : engine_(engine) {}

  SiteLook get();
  void invalidate();

 private:
  SiteLook read() const;

  const EngineCaller& engine_;
  std::mutex dataMutex_;
  std::mutex refreshMutex_;  // one reader refreshes; the others keep using the old look
  SiteLook look_;
  bool valid_ = false;
  std::chrono::steady_clock::time_point readAt_;
};

}  // namespace kestrin::shop
