// The host's own reads and writes of the shop's tables where the engine offers no method: a
// customer's stored details (for the account page and to fill the checkout form), the number of
// the order just saved, and emptying a cart once its order is saved.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrin::shop {

struct CustomerDetails {
  std::string customerid, username;
  std::string cname, fname, mname, lname, address, city, state, zip, country;
  std::string phone, fax, email;
  // Kept as stored: UpdateCustomer writes every column, so the account form passes them back.
  std::string cccardtype, cccardnum, ccexpirati, cebankname, ceaccountn, ceabarouti;
};

class CustomerRecords {
 public:
  explicit CustomerRecords(std::string mainConnectionString)
      : connectionString_(std::move(mainConnectionString)) {}

  std::optional<CustomerDetails> find(const std::string& customerid) const;
  // The customer's order numbers, lowest first.
  std::vector<std::string> orderIds(const std::string& customerid) const;
  // Removes every line of the cart keyed `cartId`.
  void emptyCart(const std::string& cartId) const;
  // Moves every line of the cart keyed `from` to the key `to`, in one statement.
  void moveCart(const std::string& from, const std::string& to) const;
  // The id of the product's gallery picture described `descr`, or 0.
  long long pictureId(const std::string& partno, const std::string& descr) const;

 private:
  std::string connectionString_;
};

}  // namespace kestrin::shop
