#include "catalog_test_base.h"

namespace kestrin::testing {

std::string CatalogTest::q(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

void CatalogTest::addGroup(Database db, const std::string& grp, const std::string& descr,
                           const std::string& letter) {
  site.exec(db, "INSERT INTO comgrp (grp, descr) VALUES (" + q(grp) + ", " + q(descr) + ")");
  if (!letter.empty())
    site.exec(db, "INSERT INTO maincat (maincat, item) VALUES (" + q(letter) + ", " + q(grp) + ")");
}

void CatalogTest::addCategory(Database db, const std::string& grp, const std::string& c,
                              const std::string& descr) {
  site.exec(db, "INSERT INTO comcat (grp, cat, descr) VALUES (" + q(grp) + ", " + q(c) + ", " +
                    q(descr) + ")");
}

void CatalogTest::addSub(Database db, const std::string& grp, const std::string& c,
                         const std::string& sub, const std::string& descr) {
  site.exec(db, "INSERT INTO comsub (grp, cat, sub, descr) VALUES (" + q(grp) + ", " + q(c) + ", " +
                    q(sub) + ", " + q(descr) + ")");
}

void CatalogTest::addManuf(Database db, const std::string& code, const std::string& name) {
  site.exec(db,
            "INSERT INTO manuf (vend_code, vend_name) VALUES (" + q(code) + ", " + q(name) + ")");
}

void CatalogTest::addProduct(Database db, const ProductRow& p) {
  site.exec(db,
            "INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, qty, "
            "cost, status, "
            "priceOptions, showColors) VALUES (" +
                q(p.part) + ", " + q(p.manuPart) + ", " + q(p.descr) + ", " + q(p.grp) + ", " +
                q(p.cat) + ", " + q(p.sub) + ", " + q(p.vend) + ", " + std::to_string(p.qty) +
                ", " + (p.cost ? std::to_string(*p.cost) : "NULL") + ", " + q(p.status) + ", " +
                (p.priceOptions ? q(*p.priceOptions) : "NULL") + ", " + (p.showColors ? "1" : "0") +
                ")");
}

void CatalogTest::addFilter(const std::string& kind, const std::string& itemsKey) {
  site.exec(Database::Main,
            "INSERT INTO filters (cat, items) VALUES (" + q(kind) + ", " + q(itemsKey) + ")");
}

void CatalogTest::addMarkup(const std::string& code, double rate, const std::string& customer) {
  site.exec(Database::Main, "INSERT INTO markup (markupid, rate, customerid) VALUES (" + q(code) +
                                ", " + std::to_string(rate) + ", " +
                                (customer.empty() ? "NULL" : q(customer)) + ")");
}

void CatalogTest::addPicture(const std::string& part, const std::string& picture, int position) {
  site.exec(Database::Main, "INSERT INTO pictures (part_num, picture, descr, positions) VALUES (" +
                                q(part) + ", " + q(picture) + ", 'view', " +
                                std::to_string(position) + ")");
}

std::string CatalogTest::items(const std::string& grp, const std::string& c,
                               const std::string& subcat, I2 page, bool custDb) {
  return cat.displayItems(grp, c, subcat, "", page, "", "", "", "", custDb, 0, SiteFixture::kSiteId,
                          SiteFixture::kPassword);
}

}  // namespace kestrin::testing
