// Rows of the product page's tables for tests, and calls of displayDetail on the test site.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kestrin/ecat.h"
#include "site_fixture.h"

namespace kestrin::testing {

struct Product {
  std::string part;
  std::string manuPart = "MP-1";
  std::string descr = "Widget";
  std::string grp = "A1";
  std::string cat = "010";
  std::string sub = "01";
  std::optional<double> cost = 100.0;  // nullopt: NULL
  std::optional<std::string> priceOptions = "";
  std::string picture;
  // Flag columns set to 1 ("showSizes", "showPicture", ...).
  std::vector<std::string> flags;
};

class ProductTest : public SiteTest {
 protected:
  void SetUp() override;

  static std::string q(const std::string& s);
  void addProduct(Database db, const Product& p);
  // A group, category and subcategory with their descriptions, in `db`.
  void addTree(Database db, const std::string& grp, const std::string& cat, const std::string& sub,
               const std::string& subDescr, const std::string& subPicture = "");
  void addPicture(int id, const std::string& part, const std::string& picture,
                  const std::string& descr);
  void addOption(const std::string& table, int id, const std::string& part,
                 const std::string& descr);
  void addSpec(Database db, const std::string& part, int seq, const std::string& name,
               const std::string& value);
  void addRichDescription(Database db, const std::string& part, const std::string& descr);

  // The folder given as aPath, and a description file in it.
  std::string sitePath() const { return site.dir(); }
  void writeDescriptionFile(const std::string& part, const std::string& content) const;

  std::string shop(const std::string& part, I2 page = 1, const std::string& selectPic = "",
                   const std::string& picId = "", const std::string& customer = "");
  std::string distributor(const std::string& part, const std::string& aPath = "");

  eCat cat;
};

// The text from the first `from` to the end of the first `to` after it.
std::string between(const std::string& html, const std::string& from, const std::string& to);
int count(const std::string& html, const std::string& what);

}  // namespace kestrin::testing
