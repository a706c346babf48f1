// The statement that finds the featured shop products of a request.
#pragma once

#include <optional>
#include <string>

namespace kestrin::catalog {

// The featured statement for `stype` "manuf" (keyword: the manufacturer's name), "category" or
// "all" (keyword: search words) or "manupart" (keyword: part of a manufacturer part number);
// no statement, and so no featured table, for an empty name or keyword or another stype.
std::optional<std::string> featuredStatement(const std::string& stype, const std::string& keyword,
                                             const std::string& strFrom);

}  // namespace kestrin::catalog
