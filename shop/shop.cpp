#include "shop.h"

#include <strings.h>

#include <cstdio>
#include <stdexcept>

#include "db/change_cache.h"
#include "kestrin/error.h"
#include "layout.h"
#include "text.h"

namespace kestrin::shop {

namespace {

constexpr const char* kSessionCookie = "KESTRIN_SESSION";

void logFailure(const HttpRequest& request, const std::string& what) {
  std::fprintf(stderr, "kestrin-shop: %s %s: %s\n", request.method.c_str(), request.target.c_str(),
               what.c_str());
}

// Where the next form tag of `html` opens, at or after `from`, written in any case.
size_t findFormTag(std::string_view html, size_t from) {
  for (size_t at = html.find('<', from); at != std::string_view::npos;
       at = html.find('<', at + 1)) {
    if (html.size() - at > 5 && strncasecmp(html.data() + at + 1, "form", 4) == 0) return at;
  }
  return std::string_view::npos;
}

// Adds the token field to every form of `html` that posts, right after its opening tag; the
// first form tag opens at `first`.
std::string withTokenFields(const std::string& html, size_t first, const std::string& field) {
  std::string out;
  size_t from = 0;
  for (size_t at = first; at != std::string::npos; at = findFormTag(html, at + 5)) {
    size_t end = html.find('>', at);
    if (end == std::string::npos) break;
    const std::string tag = lower(std::string_view(html).substr(at, end - at));
    if (tag.find("method=\"post\"") == std::string::npos &&
        tag.find("method='post'") == std::string::npos &&
        tag.find("method=post") == std::string::npos) {
      continue;
    }
    out.append(html, from, end + 1 - from);
    out += field;
    from = end + 1;
  }
  out.append(html, from, std::string::npos);
  return out;
}

}  // namespace

std::string mainConnectionString(const std::string& siteId, const std::string& password) {
  eCat cat;
  std::string text = cat.getConnString(siteId, password);
  if (text.starts_with("Error")) {
    throw std::runtime_error("cannot use the site '" + siteId + "': " + text);
  }
  return text.substr(0, text.find('|'));
}

// ---- PageContext ----

PageContext::PageContext(Shop& s, const HttpRequest& r)
    : shop(s),
      request(r),
      values(r.query(),
             r.method == "POST" &&
                     r.header("content-type").starts_with("application/x-www-form-urlencoded")
                 ? std::string_view(r.body)
                 : std::string_view()) {}

const ShopSession* PageContext::session() {
  if (!session_) {
    std::string id = cookieValue(request.header("cookie"), kSessionCookie);
    session_.emplace(id.empty() ? std::nullopt : shop.sessions().find(id));
  }
  return *session_ ? &**session_ : nullptr;
}

ShopSession& PageContext::ensureSession() {
  if (!session()) {
    session_->emplace(shop.sessions().create());
    setCookie((**session_).id);
  }
  return **session_;
}

void PageContext::saveSession(bool renew) {
  ShopSession& s = ensureSession();
  shop.sessions().save(s);
  if (renew) {
    s = shop.sessions().renew(s);
    setCookie(s.id);
  }
}

void PageContext::endSession() {
  if (!session()) return;
  ShopSession& s = **session_;
  s.customerid.clear();
  s.username.clear();
  s.admin = false;
  saveSession(true);
}

std::string PageContext::customerId() {
  const ShopSession* s = session();
  return s ? s->customerid : std::string();
}

bool PageContext::isAdmin() {
  const ShopSession* s = session();
  return s && s->admin;
}

bool PageContext::tokenMatches() {
  const ShopSession* s = session();
  // Only from the form body: a token in a link would leak through logs and referers.
  std::vector<std::string> tokens = values.formAll("token");
  return s && tokens.size() == 1 && sameSecret(tokens.front(), s->token);
}

std::string PageContext::tokenField() {
  return "<input type=\"hidden\" name=\"token\" value=\"" + ensureSession().token + "\">";
}

void PageContext::setCookie(const std::string& id) {
  cookies_.push_back(std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Lax");
}

const SiteCounters& PageContext::counters() {
  // A page that changed rows since the reading reads the counters again: what it kept or shows
  // afterwards must be of the tables as it left them.
  if (!counters_ || countersWrites_ != db::writesInThread()) {
    countersWrites_ = db::writesInThread();
    counters_ = shop.look().counters();
  }
  return *counters_;
}

std::string PageContext::keptText(std::string_view method, const NamedValues& args) {
  return shop.keptPages().text(method, args, counters());
}

const SiteLook& PageContext::look() {
  if (!look_) look_ = shop.look().get(counters());
  return *look_;
}

HttpResponse PageContext::page(const std::string& title, std::string content, int status) {
  if (const size_t form = findFormTag(content, 0); form != std::string::npos) {
    content = withTokenFields(content, form, tokenField());
  }
  LayoutInfo info;
  info.pageTitle = title;
  const ShopSession* s = session();
  if (s) {
    info.customerName = s->username;
    info.admin = s->admin;
  }
  info.searchKeyword = value("keyword");
  info.searchType = value("sType");
  HttpResponse r = HttpResponse::html(status, renderLayout(look(), info, content));
  for (const auto& c : cookies_) r.addHeader("Set-Cookie", c);
  r.setHeader("Cache-Control", "no-store");
  return r;
}

HttpResponse PageContext::redirect(const std::string& location) {
  HttpResponse r = HttpResponse::redirect(location);
  for (const auto& c : cookies_) r.addHeader("Set-Cookie", c);
  return r;
}

// ---- Shop ----

Shop::Shop(ShopConfig config)
    : config_(std::move(config)),
      mainConnection_(mainConnectionString(config_.siteId, config_.password)),
      engine_(config_.siteId, config_.password),
      sessions_(mainConnection_),
      look_(engine_),
      kept_(engine_),
      static_(config_.wwwDir) {
  sessions_.checkTable();
  addCatalogPages(*this);
  addAdminPages(*this);
  addAdminPrefsPage(*this);
  addSearchPages(*this);
  addProductPages(*this);
  addMailPages(*this);
  addCartPages(*this);
  addAccountPages(*this);
  addCheckoutPages(*this);
  addOrderPages(*this);
  addAdminOrdersPage(*this);
  addContentPages(*this);
  addComparePage(*this);
}

void Shop::addPage(const std::string& name, PageHandler handler, bool admin) {
  pages_[lower(name)] = {std::move(handler), admin};
}

HttpResponse Shop::handle(const HttpRequest& request) {
  std::string path = request.path();
  if (request.method == "GET" || request.method == "HEAD") {
    if (auto file = static_.serve(path)) return *file;
  }
  std::string name = lower(path.substr(path.find_first_not_of('/') == std::string::npos
                                           ? path.size()
                                           : path.find_first_not_of('/')));
  if (name.empty()) name = "default.asp";
  if (request.method != "GET" && request.method != "HEAD" && request.method != "POST") {
    HttpResponse r = HttpResponse::text(405, "This method is not allowed here.\n");
    r.setHeader("Allow", "GET, HEAD, POST");
    return r;
  }
  // The current error belongs to the thread; a request must not inherit one from the last.
  clearCurrentError();
  // The look and the page read each database's change counter once between them.
  db::CounterScope counters;
  PageContext ctx(*this, request);
  try {
    return route(ctx, name);
  } catch (const BadValue& e) {
    return HttpResponse::html(
        400, plainErrorPage("Bad request", "The value \"" + e.value() + "\" of " + e.name() +
                                               " cannot be used here: " + e.what()));
  } catch (const Error& e) {
    logFailure(request, "engine error " + std::to_string(e.number()) + ": " + e.description() +
                            " (" + e.source() + ")");
  } catch (const std::exception& e) {
    logFailure(request, e.what());
  }
  return HttpResponse::html(
      500, plainErrorPage("Sorry, something went wrong",
                          "This page could not be made just now. The error has been logged; "
                          "please try again later."));
}

HttpResponse Shop::route(PageContext& ctx, const std::string& name) {
  auto it = pages_.find(name);
  if (it == pages_.end()) {
    return ctx.page(
        "Page not found",
        "<div class=\"error\">There is no page " + htmlEscape(urlDecode(ctx.request.path())) +
            " in this shop.</div><p><a href=\"default.asp\">Go to the home page</a></p>",
        404);
  }
  if (ctx.isPost() && !ctx.tokenMatches()) {
    return ctx.page("Form expired",
                    "<div class=\"error\">This form has expired or did not come from this shop. "
                    "Please go back, reload the page and send it again.</div>",
                    403);
  }
  if (it->second.admin && !ctx.isAdmin()) {
    return ctx.redirect("admin.asp?next=" + urlEncode(ctx.request.target.substr(1)));
  }
  return it->second.handler(ctx);
}

}  // namespace kestrin::shop
