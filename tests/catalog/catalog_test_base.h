// Rows of the catalog tables for tests, and the site they are written to.
#pragma once

#include <optional>
#include <string>

#include "kestrin/ecat.h"
#include "site_fixture.h"

namespace kestrin::testing {

struct ProductRow {
  std::string part;
  std::string manuPart;
  std::string descr;
  std::string grp = "A1";
  std::string cat = "010";
  std::string sub = "";
  std::string vend = "AC";
  int qty = 5;
  std::optional<double> cost = 10.0;  // nullopt: NULL
  std::string status = "";
  std::optional<std::string> priceOptions;  // nullopt: NULL
  bool showColors = false;
};

class CatalogTest : public SiteTest {
 protected:
  static std::string q(const std::string& s);

  void addGroup(Database db, const std::string& grp, const std::string& descr,
                const std::string& letter = "");
  void addCategory(Database db, const std::string& grp, const std::string& cat,
                   const std::string& descr);
  void addSub(Database db, const std::string& grp, const std::string& cat, const std::string& sub,
              const std::string& descr);
  void addManuf(Database db, const std::string& code, const std::string& name);
  void addProduct(Database db, const ProductRow& p);
  void addFilter(const std::string& kind, const std::string& items);
  void addMarkup(const std::string& code, double rate, const std::string& customer = "");
  void addPicture(const std::string& part, const std::string& picture, int position);

  // opendb-free page call helpers.
  std::string items(const std::string& grp, const std::string& cat, const std::string& subcat = "",
                    I2 page = 0, bool custDb = false);

  eCat cat;
};

}  // namespace kestrin::testing
