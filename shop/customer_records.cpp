#include "customer_records.h"

#include "kestrin/db.h"
#include "text.h"

namespace kestrin::shop {

namespace {
std::string q(const std::string& value) { return "'" + sqlEscape(value) + "'"; }
}  // namespace

std::optional<CustomerDetails> CustomerRecords::find(const std::string& customerid) const {
  if (customerid.empty()) return std::nullopt;
  db::Connection conn;
  conn.open(connectionString_);
  db::Recordset rs = conn.execute("select * from customer where customerid=" + q(customerid));
  if (rs.eof()) return std::nullopt;
  auto f = [&rs](const char* name) { return trim(rs.field(name).text()); };
  CustomerDetails c;
  c.customerid = f("customerid");
  c.username = f("username");
  c.cname = f("cname");
  c.fname = f("fname");
  c.mname = f("mname");
  c.lname = f("lname");
  c.address = f("address");
  c.city = f("city");
  c.state = f("state");
  c.zip = f("zip");
  c.country = f("country");
  c.phone = f("phone");
  c.fax = f("fax");
  c.email = f("email");
  c.cccardtype = f("cccardtype");
  c.cccardnum = f("cccardnum");
  c.ccexpirati = f("ccexpirati");
  c.cebankname = f("cebankname");
  c.ceaccountn = f("ceaccountn");
  c.ceabarouti = f("ceabarouti");
  return c;
}

std::vector<std::string> CustomerRecords::orderIds(const std::string& customerid) const {
  db::Connection conn;
  conn.open(connectionString_);
  db::Recordset rs = conn.execute(
      "select orderid from orderinfo where customerid=" + q(customerid) + " order by orderid");
  std::vector<std::string> ids;
  for (; !rs.eof(); rs.moveNext()) ids.push_back(trim(rs.field("orderid").text()));
  return ids;
}

void CustomerRecords::emptyCart(const std::string& cartId) const {
  db::Connection conn;
  conn.open(connectionString_);
  conn.execute("delete from cart where sessionid=" + q(cartId));
}

void CustomerRecords::moveCart(const std::string& from, const std::string& to) const {
  db::Connection conn;
  conn.open(connectionString_);
  conn.execute("update cart set sessionid=" + q(to) + " where sessionid=" + q(from));
}

long long CustomerRecords::pictureId(const std::string& partno, const std::string& descr) const {
  db::Connection conn;
  conn.open(connectionString_);
  db::Recordset rs = conn.execute("select id from pictures where part_num=" + q(partno) +
                                  " and descr=" + q(descr) + " order by positions");
  return rs.eof() ? 0 : static_cast<long long>(rs.field("id").number());
}

}  // namespace kestrin::shop
