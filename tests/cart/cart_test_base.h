// Rows of products, manufacturers, options and cart lines for the cart tests, on the test site.
#pragma once

#include <string>

#include "kestrin/ecat.h"
#include "site_fixture.h"

namespace kestrin::testing {

struct CartProduct {
  std::string part;
  std::string descr = "Widget";
  double cost = 100;
  std::string grp = "A1";
  std::string shipwgth = "1 lbs";
  std::string manuPart = "MP-1";
  std::string vendCode = "AC";
  bool noShipping = false;
};

struct CartLine {
  std::string session = "sess1";
  std::string part;
  std::string descr = "Widget";
  std::string price = "10";
  int qty = 1;
  std::string weight = "1";
  bool shop = true;
  std::string options = "0,0,0,0,0,0,0,0,0";  // the nine option ids, sizes first
};

class CartTest : public SiteTest {
 protected:
  void SetUp() override;

  static std::string q(const std::string& s);
  void addProduct(Database db, const CartProduct& p);
  void addMaker(Database db, const std::string& code, const std::string& name);
  void addOption(const std::string& table, int id, const std::string& part,
                 const std::string& descr);
  void addLine(const CartLine& line);
  void markup(const std::string& code, double rate, const std::string& customer = "");

  // Makes the Tech Data catalog database disappear, so that opening it fails.
  void removeTechData();
  // The trace holds this statement.
  static bool ran(const db::StatementTrace& trace, const std::string& sql);

  void open() { cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword); }
  // Cart lines of a session, in the order added.
  struct StoredLine {
    std::string part, descr;
    double price = 0;
    int qty = 0;
    double weight = 0;
    std::string custdb;
    std::string options;  // the nine ids joined by ","
  };
  std::vector<StoredLine> lines(const std::string& session = "sess1");

  eCat cat;
};

}  // namespace kestrin::testing
