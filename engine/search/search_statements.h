// The statements of the searches, composed from a search text, its words and part-number
// spellings, and the site's filter clause. Every value is quote-escaped here; the filter clause
// comes in finished (its values escaped by its builder).
#pragma once

#include <optional>
#include <string>

namespace kestrin::search {

// The keyword search's statement of the groups that hold matching products, for sType "manuf",
// "keyword" or "all". No statement for another type, nor for a "keyword" search without words.
std::optional<std::string> groupStatement(const std::string& sType, const std::string& text,
                                          const std::string& filterClause);

// The content pages whose title, description or text holds the text or one of its words.
std::string contentPagesStatement(const std::string& text);

// Search II's listing statement (the columns the results table reads), limited to `grp` when it
// is set (not for a part-number search). No statement where groupStatement has none.
std::optional<std::string> listingStatement(const std::string& sType, const std::string& text,
                                            const std::string& grp,
                                            const std::string& filterClause);

// The legacy search: groups with matching products (leaving out products of status 4 or 9,
// without a positive cost, or whose description begins or ends with the word AE or NFR), and the
// matching products of one group. `partNumber` searches manu_part, otherwise every word of the
// text must be in the description; a description search without words has no statement.
std::optional<std::string> legacyGroupStatement(bool partNumber, const std::string& text,
                                                const std::string& filterClause);
std::optional<std::string> legacyProductStatement(bool partNumber, const std::string& text,
                                                  const std::string& grp,
                                                  const std::string& filterClause);

// The smart search's sort column for ORDER BY: "descr", "vend_code", "cost" or
// "products.descr" as the form offers them (the vendor code qualified, as both tables have one);
// anything else sorts by description.
std::string sortColumn(const std::string& orderby);
// The sort value carried on in the smart search's links: `orderby` when it is one the form
// offers, otherwise "products.descr".
std::string sortLinkValue(const std::string& orderby);

}  // namespace kestrin::search
