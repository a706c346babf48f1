// The page host's application: routes a request to its page, gives the page its session,
// values and the engine, and wraps the page's fragment in the shop's layout.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine_call.h"
#include "form_values.h"
#include "http_types.h"
#include "kept_pages.h"
#include "sessions.h"
#include "site_look.h"
#include "static_files.h"

namespace kestrin::shop {

struct ShopConfig {
  std::string siteId;
  std::string password;
  std::string wwwDir;  // stylesheet and images
};

class Shop;

// One request as a page sees it.
class PageContext {
 public:
  PageContext(Shop& shop, const HttpRequest& request);

  Shop& shop;
  const HttpRequest& request;
  const FormValues values;

  std::string value(std::string_view name) const { return values.get(name); }
  bool isPost() const { return request.method == "POST"; }

  // The shopper's session, when the request brought a valid cookie (loaded once).
  const ShopSession* session();
  // The session, made (and its cookie set) when there is none yet.
  ShopSession& ensureSession();
  // Stores changes of the session's customer or admin flag; with `renew`, under a new id.
  void saveSession(bool renew);
  void endSession();
  // The logged-on customer's id, or empty text.
  std::string customerId();
  bool isAdmin();
  // The site's change counters, read once per request (by the look, or before a kept page).
  const SiteCounters& counters();
  // The text of a catalog method that reads and writes nothing but counted tables, kept between
  // requests while the site's counters stay (KeptPages).
  std::string keptText(std::string_view method, const NamedValues& args);
  // The site's look, read once per request.
  const SiteLook& look();
  // True when the POST carries the session's token.
  bool tokenMatches();
  // The hidden form field with the session's token.
  std::string tokenField();

  // The page: `content` in the layout, with the session's cookie when one was set. Forms that
  // post get the token field.
  HttpResponse page(const std::string& title, std::string content, int status = 200);
  HttpResponse redirect(const std::string& location);

 private:
  void setCookie(const std::string& id);

  std::optional<std::optional<ShopSession>> session_;  // outer: looked up yet
  std::optional<SiteCounters> counters_;
  long long countersWrites_ = 0;  // the thread's writes when counters_ was read
  std::shared_ptr<const SiteLook> look_;
  std::vector<std::string> cookies_;
};

using PageHandler = std::function<HttpResponse(PageContext&)>;

struct PageRoute {
  PageHandler handler;
  bool admin = false;  // needs the admin log-on
};

class Shop {
 public:
  explicit Shop(ShopConfig config);

  HttpResponse handle(const HttpRequest& request);

  const EngineCaller& engine() const { return engine_; }
  const SessionStore& sessions() const { return sessions_; }
  SiteLookCache& look() { return look_; }
  const KeptPages& keptPages() const { return kept_; }
  const ShopConfig& config() const { return config_; }
  // The site's main database, for the pages that read or write shop tables the engine has no
  // method for (order invoices, content pages).
  const std::string& mainConnection() const { return mainConnection_; }

  // Adds a page under its name (matched without regard to case, as the classic server did).
  void addPage(const std::string& name, PageHandler handler, bool admin = false);

 private:
  HttpResponse route(PageContext& ctx, const std::string& name);

  ShopConfig config_;
  std::string mainConnection_;
  EngineCaller engine_;
  SessionStore sessions_;
  SiteLookCache look_;
  KeptPages kept_;
  StaticFiles static_;
  std::map<std::string, PageRoute> pages_;
};

// The site's main connection string, read from its configuration file (checks the password).
std::string mainConnectionString(const std::string& siteId, const std::string& password);

// Page sets, each in its own file.
void addCatalogPages(Shop& shop);
void addAdminPages(Shop& shop);
void addAdminPrefsPage(Shop& shop);
void addSearchPages(Shop& shop);
void addProductPages(Shop& shop);
void addMailPages(Shop& shop);
void addCartPages(Shop& shop);
void addAccountPages(Shop& shop);
void addCheckoutPages(Shop& shop);
void addOrderPages(Shop& shop);
void addAdminOrdersPage(Shop& shop);
void addContentPages(Shop& shop);
void addComparePage(Shop& shop);

}  // namespace kestrin::shop
