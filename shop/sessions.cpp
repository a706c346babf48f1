#include "sessions.h"

#include <sys/random.h>

#include <ctime>
#include <stdexcept>

#include "kestrin/db.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin::shop {

namespace {

// Touching a session on every request would make every page a write; once a while is enough
// to keep an active session alive.
constexpr long long kTouchAfterSeconds = 300;

long long now() { return static_cast<long long>(std::time(nullptr)); }

std::string q(const std::string& value) { return "'" + sqlEscape(value) + "'"; }

}  // namespace

std::string randomHex() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) throw std::runtime_error("the system's random source failed");
    got += static_cast<size_t>(n);
  }
  static const char* kHex = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

bool isSessionId(const std::string& id) {
  if (id.size() != 32) return false;
  for (char c : id) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool sameSecret(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

SessionStore::SessionStore(std::string mainConnectionString)
    : connectionString_(std::move(mainConnectionString)) {}

void SessionStore::checkTable() const {
  try {
    db::Connection conn;
    conn.open(connectionString_);
    conn.execute("select sessionid from shop_sessions where sessionid=''");
  } catch (const Error& e) {
    throw std::runtime_error(
        "the site's main database cannot keep sessions (" + e.description() +
        "); a site made before the table shop_sessions existed needs it: make the site again "
        "with kestrinctl site create --force, or add the table as db/sqlite/kestrin.sql "
        "(db/postgres/kestrin.sql on a database server) defines it");
  }
}

std::optional<ShopSession> SessionStore::find(const std::string& id) const {
  if (!isSessionId(id)) return std::nullopt;
  db::Connection conn;
  conn.open(connectionString_);
  db::Recordset rs = conn.execute(
      "select cartid, customerid, username, admin, token, lastseen from shop_sessions where "
      "sessionid=" +
      q(id));
  if (rs.eof()) return std::nullopt;
  long long lastSeen = static_cast<long long>(rs.field("lastseen").number());
  if (now() - lastSeen > kLifetimeSeconds) return std::nullopt;
  ShopSession s;
  s.id = id;
  s.cartId = rs.field("cartid").text();
  s.customerid = rs.field("customerid").text();
  s.username = rs.field("username").text();
  s.admin = rs.field("admin").number() != 0;
  s.token = rs.field("token").text();
  rs.close();
  if (now() - lastSeen > kTouchAfterSeconds) {
    conn.execute("update shop_sessions set lastseen=" + std::to_string(now()) +
                 " where sessionid=" + q(id));
  }
  return s;
}

ShopSession SessionStore::create() const {
  ShopSession s;
  s.id = randomHex();
  s.cartId = randomHex();
  s.token = randomHex();
  db::Connection conn;
  conn.open(connectionString_);
  long long t = now();
  conn.execute("delete from shop_sessions where lastseen < " +
               std::to_string(t - kLifetimeSeconds));
  conn.execute(
      "insert into shop_sessions (sessionid, cartid, customerid, username, admin, token, "
      "created, lastseen) values (" +
      q(s.id) + "," + q(s.cartId) + ",'','',0," + q(s.token) + "," + std::to_string(t) + "," +
      std::to_string(t) + ")");
  return s;
}

void SessionStore::save(const ShopSession& s) const {
  db::Connection conn;
  conn.open(connectionString_);
  conn.execute("update shop_sessions set customerid=" + q(s.customerid) +
               ", username=" + q(s.username) + ", admin=" + (s.admin ? "1" : "0") +
               ", lastseen=" + std::to_string(now()) + " where sessionid=" + q(s.id));
}

ShopSession SessionStore::renew(const ShopSession& old) const {
  ShopSession s = old;
  s.id = randomHex();
  s.token = randomHex();
  db::Connection conn;
  conn.open(connectionString_);
  long long t = now();
  conn.execute(
      "insert into shop_sessions (sessionid, cartid, customerid, username, admin, token, "
      "created, lastseen) values (" +
      q(s.id) + "," + q(s.cartId) + "," + q(s.customerid) + "," + q(s.username) + "," +
      (s.admin ? "1" : "0") + "," + q(s.token) + "," + std::to_string(t) + "," + std::to_string(t) +
      ")");
  conn.execute("delete from shop_sessions where sessionid=" + q(old.id));
  return s;
}

}  // namespace kestrin::shop
