#include "cart_test_base.h"

namespace kestrin::testing {

void CartTest::SetUp() {
  SiteTest::SetUp();
  site.setPreference("optTDdata", "yes");
  site.setPreference("colorSchema", "blue");
  site.setPreference("gfontName", "verdana,arial");
}

std::string CartTest::q(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

void CartTest::addProduct(Database db, const CartProduct& p) {
  site.exec(db,
            "INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, cost, "
            "shipwgth, noshipping) VALUES (" +
                q(p.part) + ", " + q(p.manuPart) + ", " + q(p.descr) + ", " + q(p.grp) +
                ", '010', '01', " + q(p.vendCode) + ", " + std::to_string(p.cost) + ", " +
                q(p.shipwgth) + ", " + (p.noShipping ? "'1'" : "'0'") + ")");
}

void CartTest::addMaker(Database db, const std::string& code, const std::string& name) {
  site.exec(db,
            "INSERT INTO manuf (vend_code, vend_name) VALUES (" + q(code) + ", " + q(name) + ")");
}

void CartTest::addOption(const std::string& table, int id, const std::string& part,
                         const std::string& descr) {
  site.exec(Database::Main, "INSERT INTO " + table + " (id, part_num, descr) VALUES (" +
                                std::to_string(id) + ", " + q(part) + ", " + q(descr) + ")");
}

void CartTest::addLine(const CartLine& l) {
  site.exec(Database::Main,
            "INSERT INTO cart (sessionid, partno, descr, price, qty, tag, tweight, custdb, "
            "prSizes, prColors, prStyles, prTextures, prFlavors, prPackaging, prSingle, "
            "prGender, prPicture) VALUES (" +
                q(l.session) + ", " + q(l.part) + ", " + q(l.descr) + ", " + l.price + ", " +
                std::to_string(l.qty) + ", 'Zelo', " + l.weight + ", " + (l.shop ? "'1'" : "'0'") +
                ", " + l.options + ")");
}

void CartTest::removeTechData() { site.removeDatabase(Database::TechData); }

bool CartTest::ran(const db::StatementTrace& trace, const std::string& sql) {
  for (const db::TracedStatement& s : trace.statements()) {
    if (s.sql == sql) return true;
  }
  return false;
}

void CartTest::markup(const std::string& code, double rate, const std::string& customer) {
  site.exec(Database::Main, "INSERT INTO markup (markupid, rate, customerid) VALUES (" + q(code) +
                                ", " + std::to_string(rate) + ", " +
                                (customer.empty() ? "NULL" : q(customer)) + ")");
}

std::vector<CartTest::StoredLine> CartTest::lines(const std::string& session) {
  auto col = [&](const std::string& column) {
    return site.column(Database::Main, "SELECT " + column + " FROM cart WHERE sessionid = " +
                                           q(session) + " ORDER BY catid");
  };
  const auto parts = col("partno"), descrs = col("descr"), prices = col("price"), qtys = col("qty"),
             weights = col("tweight"), flags = col("custdb");
  static const char* const kOptions[] = {"prSizes",    "prColors",  "prStyles",
                                         "prTextures", "prFlavors", "prPackaging",
                                         "prSingle",   "prGender",  "prPicture"};
  std::vector<std::vector<std::string>> options;
  for (const char* column : kOptions) options.push_back(col(column));
  std::vector<StoredLine> out;
  for (size_t i = 0; i < parts.size(); ++i) {
    StoredLine l{
        parts[i], descrs[i], std::stod(prices[i]), std::stoi(qtys[i]), std::stod(weights[i]),
        flags[i], ""};
    for (size_t k = 0; k < options.size(); ++k) l.options += (k ? "," : "") + options[k][i];
    out.push_back(l);
  }
  return out;
}

}  // namespace kestrin::testing
