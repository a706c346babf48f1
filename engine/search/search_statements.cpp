#include "search_statements.h"

#include <vector>

#include "search_words.h"
#include "text.h"

namespace kestrin::search {

namespace {

std::vector<std::string> escapedWords(const std::string& text) {
  std::vector<std::string> words = searchWords(text);
  for (std::string& w : words) w = sqlEscape(w);
  return words;
}

std::vector<std::string> escapedVariants(const std::string& text) {
  std::vector<std::string> variants = partNumberVariants(text);
  for (std::string& v : variants) v = sqlEscape(v);
  return variants;
}

// "products.descr like '%w1%' and products.descr like '%w2%' ...": every word in the
// description. Empty for a text without words.
std::string everyWordInDescription(const std::vector<std::string>& words) {
  std::string terms;
  for (size_t i = 0; i < words.size(); ++i) {
    terms += std::string(i == 0 ? "" : "and ") + "products.descr like '%" + words[i] + "%' ";
  }
  return terms;
}

const char* const kListingHeadUpper =
    "SELECT distinct products.grp as grp,products.descr as p_descr, products.manu_part as "
    "p_manu_part, products.part_num as p_part_num, products.qty as p_qty, products.cost as "
    "p_cost, products.status as p_status, manuf.vend_name as m_name FROM products,manuf WHERE ";
const char* const kListingHeadLower =
    "select distinct products.grp as grp,products.descr as p_descr, products.manu_part as "
    "p_manu_part, products.part_num as p_part_num, products.qty as p_qty, products.cost as "
    "p_cost, products.status as p_status, manuf.vend_name as m_name from products,manuf where ";

// Closes the legacy search's match condition.
const char* const kLegacyExclusions =
    "and products.status <> '4' and products.status <> '9' and products.cost > 0 and descr not "
    "like 'AE %' and descr not like '% AE' and descr not like 'NFR %' and descr not like '% NFR')";

}  // namespace

std::optional<std::string> groupStatement(const std::string& sType, const std::string& text,
                                          const std::string& filterClause) {
  const std::string t = sqlEscape(text);
  const std::vector<std::string> words = escapedWords(text);
  if (sType == "manuf") {
    std::string statement =
        "SELECT distinct grp FROM products WHERE (manu_part like '%" + t + "%' ";
    for (const std::string& v : escapedVariants(text))
      statement += "or manu_part like '%" + v + "%' ";
    for (const std::string& w : words) statement += "or manu_part like '%" + w + "%' ";
    return statement + ") " + filterClause + " ORDER by grp";
  }
  if (sType == "keyword") {
    if (words.empty()) return std::nullopt;
    return "SELECT distinct grp FROM products WHERE (" + everyWordInDescription(words) + " )" +
           filterClause + " ORDER BY grp";
  }
  if (sType == "all") {
    std::string statement =
        "select distinct products.grp from products where (products.manu_part like '%" + t + "%' ";
    for (const std::string& w : words) statement += "or products.descr like '%" + w + "%' ";
    for (const std::string& v : escapedVariants(text))
      statement += "or products.manu_part like '%" + v + "%' ";
    return statement + ") " + filterClause + " ORDER BY grp";
  }
  return std::nullopt;
}

std::string contentPagesStatement(const std::string& text) {
  const std::string t = sqlEscape(text);
  std::string statement = "select * from pages Where (pTitle like '%" + t + "%' or pDescr like '%" +
                          t + "%' or pDetails like '%" + t + "%' ";
  for (const std::string& w : escapedWords(text)) {
    statement +=
        "or pTitle like '%" + w + "%' or pDescr like '%" + w + "%' or pDetails like '%" + w + "%' ";
  }
  return statement + ") order by pTitle";
}

std::optional<std::string> listingStatement(const std::string& sType, const std::string& text,
                                            const std::string& grp,
                                            const std::string& filterClause) {
  const std::string t = sqlEscape(text);
  const std::vector<std::string> words = escapedWords(text);
  if (sType == "manuf") {
    // A part number is searched in every group.
    std::string statement = std::string(kListingHeadUpper) + "(manu_part like '%" + t + "%' ";
    for (const std::string& v : escapedVariants(text))
      statement += "or manu_part like '%" + v + "%' ";
    return statement + ") and (products.vend_code=manuf.vend_code)" + filterClause +
           " ORDER by grp";
  }
  if (sType == "keyword") {
    if (words.empty()) return std::nullopt;
    std::string statement = std::string(kListingHeadUpper) + "(" + everyWordInDescription(words);
    if (!grp.empty()) statement += "and grp='" + sqlEscape(grp) + "' ";
    return statement + "and products.vend_code=manuf.vend_code)" + filterClause + " ORDER BY grp";
  }
  if (sType == "all") {
    std::string statement =
        std::string(kListingHeadLower) + "(products.manu_part like '%" + t + "%' ";
    for (const std::string& w : words) {
      statement += "or products.descr like '%" + w + "%' or products.manu_part like '%" + w + "%' ";
    }
    for (const std::string& v : escapedVariants(text))
      statement += "or manu_part like '%" + v + "%' ";
    statement += ") and ";
    if (!grp.empty()) statement += "grp='" + sqlEscape(grp) + "' and ";
    return statement + "products.vend_code=manuf.vend_code " + filterClause + " ORDER BY grp";
  }
  return std::nullopt;
}

std::optional<std::string> legacyGroupStatement(bool partNumber, const std::string& text,
                                                const std::string& filterClause) {
  if (partNumber) {
    return "SELECT distinct grp FROM products WHERE (manu_part like '%" + sqlEscape(text) + "%' " +
           kLegacyExclusions + filterClause + " ORDER by grp";
  }
  const std::string terms = everyWordInDescription(escapedWords(text));
  if (terms.empty()) return std::nullopt;
  return "SELECT distinct grp FROM products WHERE (" + terms + kLegacyExclusions + filterClause +
         " ORDER BY grp";
}

std::optional<std::string> legacyProductStatement(bool partNumber, const std::string& text,
                                                  const std::string& grp,
                                                  const std::string& filterClause) {
  const std::string inGroup = "and grp='" + sqlEscape(grp) +
                              "' and products.cost > 0 and products.vend_code=manuf.vend_code)";
  if (partNumber) {
    return "SELECT distinct * FROM products,manuf WHERE (manu_part like '%" + sqlEscape(text) +
           "%' " + inGroup + filterClause + " ORDER by grp";
  }
  const std::string terms = everyWordInDescription(escapedWords(text));
  if (terms.empty()) return std::nullopt;
  return "SELECT distinct * FROM products,manuf WHERE (" + terms + inGroup + filterClause +
         " ORDER BY grp";
}

std::string sortColumn(const std::string& orderby) {
  if (orderby == "descr" || orderby == "cost" || orderby == "products.descr") return orderby;
  if (orderby == "vend_code") return "products.vend_code";
  return "products.descr";
}

std::string sortLinkValue(const std::string& orderby) {
  if (orderby == "descr" || orderby == "vend_code" || orderby == "cost" ||
      orderby == "products.descr")
    return orderby;
  return "products.descr";
}

}  // namespace kestrin::search
