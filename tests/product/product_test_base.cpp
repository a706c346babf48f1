#include "product_test_base.h"

#include <filesystem>
#include <fstream>

namespace kestrin::testing {

void ProductTest::SetUp() {
  SiteTest::SetUp();
  site.setPreference("optTDdata", "yes");
  site.setPreference("colorSchema", "blue");
  site.setPreference("gfontName", "verdana,arial");
}

std::string ProductTest::q(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

void ProductTest::addProduct(Database db, const Product& p) {
  std::string columns = "part_num, manu_part, descr, grp, cat, sub, vend_code, cost, priceOptions";
  std::string values = q(p.part) + ", " + q(p.manuPart) + ", " + q(p.descr) + ", " + q(p.grp) +
                       ", " + q(p.cat) + ", " + q(p.sub) + ", 'AC', " +
                       (p.cost ? std::to_string(*p.cost) : "NULL") + ", " +
                       (p.priceOptions ? q(*p.priceOptions) : "NULL");
  if (!p.picture.empty()) {
    columns += ", picture";
    values += ", " + q(p.picture);
  }
  for (const std::string& flag : p.flags) {
    columns += ", " + flag;
    values += ", 1";
  }
  site.exec(db, "INSERT INTO products (" + columns + ") VALUES (" + values + ")");
}

void ProductTest::addTree(Database db, const std::string& grp, const std::string& c,
                          const std::string& sub, const std::string& subDescr,
                          const std::string& subPicture) {
  site.exec(db, "INSERT INTO comgrp (grp, descr) SELECT " + q(grp) + ", " + q("Group " + grp) +
                    " WHERE NOT EXISTS (SELECT 1 FROM comgrp WHERE grp = " + q(grp) + ")");
  site.exec(db, "INSERT INTO comcat (grp, cat, descr) SELECT " + q(grp) + ", " + q(c) + ", " +
                    q("Category " + c) + " WHERE NOT EXISTS (SELECT 1 FROM comcat WHERE grp = " +
                    q(grp) + " AND cat = " + q(c) + ")");
  site.exec(db, "INSERT INTO comsub (grp, cat, sub, descr, picture) VALUES (" + q(grp) + ", " +
                    q(c) + ", " + q(sub) + ", " + q(subDescr) + ", " + q(subPicture) + ")");
}

void ProductTest::addPicture(int id, const std::string& part, const std::string& picture,
                             const std::string& descr) {
  site.exec(Database::Main,
            "INSERT INTO pictures (id, part_num, picture, descr, positions) VALUES (" +
                std::to_string(id) + ", " + q(part) + ", " + q(picture) + ", " + q(descr) + ", " +
                std::to_string(id) + ")");
}

void ProductTest::addOption(const std::string& table, int id, const std::string& part,
                            const std::string& descr) {
  site.exec(Database::Main, "INSERT INTO " + table + " (id, part_num, descr) VALUES (" +
                                std::to_string(id) + ", " + q(part) + ", " + q(descr) + ")");
}

void ProductTest::addSpec(Database db, const std::string& part, int seq, const std::string& name,
                          const std::string& value) {
  site.exec(db, "INSERT INTO techspec (part_num, seq, attr_nme, attr_vnme) VALUES (" + q(part) +
                    ", " + std::to_string(seq) + ", " + q(name) + ", " + q(value) + ")");
}

void ProductTest::addRichDescription(Database db, const std::string& part,
                                     const std::string& descr) {
  site.exec(db,
            "INSERT INTO techdescr (part_num, descr) VALUES (" + q(part) + ", " + q(descr) + ")");
}

void ProductTest::writeDescriptionFile(const std::string& part, const std::string& content) const {
  const std::filesystem::path folder =
      std::filesystem::path(sitePath()) / "admin" / "productDescription";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / (part + ".descr"), std::ios::binary) << content;
}

std::string ProductTest::shop(const std::string& part, I2 page, const std::string& selectPic,
                              const std::string& picId, const std::string& customer) {
  return cat.displayDetail(part, sitePath(), "3", true, SiteFixture::kSiteId,
                           SiteFixture::kPassword, customer, page, selectPic, picId);
}

std::string ProductTest::distributor(const std::string& part, const std::string& aPath) {
  return cat.displayDetail(part, aPath.empty() ? sitePath() : aPath, "3", false,
                           SiteFixture::kSiteId, SiteFixture::kPassword);
}

std::string between(const std::string& html, const std::string& from, const std::string& to) {
  size_t a = html.find(from);
  if (a == std::string::npos) return "<missing " + from + ">";
  size_t b = html.find(to, a + from.size());
  return html.substr(a, b == std::string::npos ? std::string::npos : b + to.size() - a);
}

int count(const std::string& html, const std::string& what) {
  int n = 0;
  for (size_t at = html.find(what); at != std::string::npos; at = html.find(what, at + 1)) ++n;
  return n;
}

}  // namespace kestrin::testing
