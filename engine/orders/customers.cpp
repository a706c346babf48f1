// Customer accounts: registration under a free username with the next customer id, the update
// of an account's contact, card and bank details, and the logon that hands the account back.
#include <array>
#include <utility>

#include "error_modes.h"
#include "kestrin/ecat.h"
#include "numbering.h"
#include "text.h"

namespace kestrin {

namespace {

// Keys of the logon record and the columns they come from, in the record's order.
constexpr std::array<std::pair<const char*, const char*>, 26> kLogonFields = {{
    {"cname", "cname"},
    {"fname", "fname"},
    {"mname", "mname"},
    {"lname", "lname"},
    {"address", "address"},
    {"city", "city"},
    {"state", "state"},
    {"zipcode", "zip"},
    {"country", "country"},
    {"phone", "phone"},
    {"fax", "fax"},
    {"email", "email"},
    {"ccname", "ccname"},
    {"ccaddress", "ccaddress"},
    {"cccity", "cccity"},
    {"ccstate", "ccstate"},
    {"cczipcode", "cczip"},
    {"cccountry", "cccountry"},
    {"ccnumber", "cccardnum"},
    {"cctype", "cccardtype"},
    {"ccexpire", "ccexpirati"},
    {"cebankname", "cebankname"},
    {"ceacctno", "ceaccountn"},
    {"ceabarouting", "ceabarouti"},
    {"username", "username"},
    {"password", "password"},
}};

}  // namespace

bool eCat::usernameTaken(const std::string& username) {
  sql = "select username from customer where username='" + sqlEscape(username) + "'";
  return !conn.execute(sql).eof();
}

std::string eCat::AddCustomer(const std::string& username, const std::string& Password,
                              const std::string& cname, const std::string& fname,
                              const std::string& mname, const std::string& lname,
                              const std::string& address, const std::string& city,
                              const std::string& state, const std::string& zip,
                              const std::string& Country, const std::string& phone,
                              const std::string& fax, const std::string& EMAIL,
                              const std::string& mRate, const std::string& egroup,
                              const std::string& siteID, const std::string& sitePassword) {
  (void)mRate;  // a new customer's markup rate is always 0
  // The values, copied before opendb can change any public variable they may name.
  const std::array<std::string, 16> values = {username, Password, "",    cname, fname, mname,
                                              lname,    address,  city,  state, zip,   Country,
                                              phone,    fax,      EMAIL, egroup};
  const std::string& user = values[0];
  const std::string takenMessage = "Error: The username <b>" + htmlEscape(user) +
                                   "</b> is taken. Please choose a different username";
  opendb(false, siteID, sitePassword);

  std::string result;
  if (usernameTaken(user)) {
    result = takenMessage;
  } else {
    const std::string today = shortDate(localNow());
    try {
      const std::string id = orders::storeUnderNextId(
          conn, sql, orders::kCustomerIds, orders::nextId(conn, sql, orders::kCustomerIds),
          [&](const std::string& customerId) {
            std::string insert =
                "INSERT INTO customer (customerid,username,password,date,cname,fname,mname,"
                "lname,address,city,state,zip,country,phone,fax,email,egroup) VALUES ('" +
                sqlEscape(customerId) + "',";
            for (size_t i = 0; i < values.size(); ++i) {
              insert += "'" + sqlEscape(i == 2 ? today : values[i]) +
                        (i + 1 < values.size() ? "'," : "')");
            }
            sql = insert;
            conn.execute(sql);
            sql = "insert into markup (markupid,rate,customerid) values ('cust'," +
                  std::string("0") + ",'" + sqlEscape(customerId) + "')";
            conn.execute(sql);
          });
      result = "Passed|" + id;
    } catch (const Error&) {
      // The username is a unique key: a registration of the same name that got in first
      // makes this one's insert fail, and the name is taken after all.
      if (!usernameTaken(user)) throw;
      result = takenMessage;
    }
  }
  closedb();
  return endCheck(EndCheckForm::Listing, result);
}

bool eCat::UpdateCustomer(const std::string& customerid, const std::string& cname,
                          const std::string& fname, const std::string& mname,
                          const std::string& lname, const std::string& address,
                          const std::string& city, const std::string& state, const std::string& zip,
                          const std::string& Country, const std::string& phone,
                          const std::string& fax, const std::string& EMAIL,
                          const std::string& cctype, const std::string& CCNumber,
                          const std::string& CCExpire, const std::string& cebankname,
                          const std::string& ceacctno, const std::string& ceabarouting,
                          const std::string& siteID, const std::string& sitePassword) {
  const std::array<std::pair<const char*, std::string>, 18> assignments = {{
      {"cname", cname},
      {"fname", fname},
      {"mname", mname},
      {"lname", lname},
      {"address", trim(address)},
      {"city", city},
      {"state", state},
      {"zip", zip},
      {"country", Country},
      {"phone", phone},
      {"fax", fax},
      {"email", EMAIL},
      {"cccardnum", CCNumber},
      {"cccardtype", cctype},
      {"ccexpirati", CCExpire},
      {"cebankname", cebankname},
      {"ceaccountn", ceacctno},
      {"ceabarouti", ceabarouting},
  }};
  const std::string customer = customerid;
  opendb(false, siteID, sitePassword);
  std::string update = "UPDATE customer SET ";
  for (size_t i = 0; i < assignments.size(); ++i) {
    if (i > 0) update += ", ";
    update += std::string(assignments[i].first) + "='" + sqlEscape(assignments[i].second) + "'";
  }
  sql = update + " where customerid='" + sqlEscape(customer) + "'";
  conn.execute(sql);
  closedb();
  return !currentError().isSet();
}

std::string eCat::logon(const std::string& username, const std::string& strPassword,
                        const std::string& siteID, const std::string& sitePassword) {
  const std::string user = username, password = strPassword;
  opendb(false, siteID, sitePassword);
  sql = "select * FROM customer where username = '" + sqlEscape(user) + "'";
  std::string result = "Failed";
  {
    db::Recordset account = conn.execute(sql);
    if (!account.eof() && trim(account.field("password").text()) == password) {
      result = "logon=yes|customerid=" + account.field("customerid").text();
      for (const auto& [key, column] : kLogonFields)
        result += std::string("|") + key + "=" + trim(account.field(column).text());
    }
  }
  closedb();
  return result;
}

}  // namespace kestrin
