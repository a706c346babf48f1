// Shopper sessions, kept in the site's main database (table shop_sessions) so that several
// kestrin-shop processes can serve one site: the cookie carries a random id, and the row
// holds the cart's key, the logged-on customer, the admin flag and the token that every POST
// must carry.
#pragma once

#include <optional>
#include <string>

namespace kestrin::shop {

struct ShopSession {
  std::string id;      // 32 hex digits, the cookie's value
  std::string cartId;  // 32 hex digits, the cart's key; never leaves the server
  std::string customerid;
  std::string username;
  bool admin = false;
  std::string token;  // 32 hex digits, sent back with every form that changes something
};

// 128 random bits as 32 hex digits (from the system's random source).
std::string randomHex();
// True for text that can be a session id or token: 32 lower-case hex digits.
bool isSessionId(const std::string& id);

// Compares secrets in a time that does not depend on where they differ.
bool sameSecret(const std::string& a, const std::string& b);

class SessionStore {
 public:
  // Sessions not seen for this long are deleted.
  static constexpr long long kLifetimeSeconds = 14 * 24 * 3600;

  explicit SessionStore(std::string mainConnectionString);

  // Throws std::runtime_error, saying what to do, when the database cannot hold sessions (a
  // site made before the table existed).
  void checkTable() const;

  // The session of a cookie's id, or nothing when the id is malformed, unknown or expired.
  std::optional<ShopSession> find(const std::string& id) const;
  // A new anonymous session, stored.
  ShopSession create() const;
  // Stores the customer, user name and admin flag of `session`.
  void save(const ShopSession& session) const;
  // Moves a session to a new id and token (on log-on and log-off, so that an id known before
  // a log-on is worthless after it). The cart stays, as it is keyed by cartId.
  ShopSession renew(const ShopSession& session) const;

  // The site's main database, for the host's own small reads (customer details, orders).
  const std::string& connectionString() const { return connectionString_; }

 private:
  std::string connectionString_;
};

}  // namespace kestrin::shop
