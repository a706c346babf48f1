// The shop's page around a fragment: header with title, company and colour scheme; a left
// column with the seven main categories and the manufacturer menu; the search box; a footer
// with the company details. Values from preferences and requests are HTML-escaped here; the
// engine's fragments are written as they come.
#pragma once

#include <string>

#include "site_look.h"

namespace kestrin::shop {

struct MainCategory {
  const char* name;   // displayGRP's argument
  const char* image;  // the image number the engine's menus carry on
  const char* title;
};
// Systems, Storage, Components, Networking, Peripherals, Software, Training.
const MainCategory* mainCategories();
constexpr int kMainCategoryCount = 7;
const MainCategory* findMainCategory(const std::string& name);

struct LayoutInfo {
  std::string pageTitle;      // shown after the site's title
  std::string customerName;   // logged-on customer, or empty
  bool admin = false;         // the session is logged on as admin
  std::string searchKeyword;  // refilled into the search box
  std::string searchType;
};

std::string renderLayout(const SiteLook& look, const LayoutInfo& info, const std::string& content);

// A small page of its own (no database involved), for failures.
std::string plainErrorPage(const std::string& heading, const std::string& message);

}  // namespace kestrin::shop
