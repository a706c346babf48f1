// The site's exclusion filters: rows of the filters table read through kx_getfilters, turned
// into SQL terms that a statement appends after its WHERE condition. One builder serves the
// menus (which hide one level each), the full clause of the listings and searches, and any other
// term form a caller needs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kestrin/db.h"

namespace kestrin {

enum class FilterKind { GRP, GRPCAT, GRPCATSUB, MANUF, PRODUCT };

const char* filterKindName(FilterKind kind);

// The key parts of a filter row: the text of `items` before its first "::", split at "|", each
// part trimmed. A row with fewer parts than its kind needs is no filter and gives no parts.
std::vector<std::string> filterKeyParts(FilterKind kind, const std::string& items);

// Makes the term of one filter row from its key parts (already quote-escaped).
using FilterTerm = std::function<std::string(const std::vector<std::string>& parts)>;

// The term forms of the menus: GRP hides a group, GRPCAT a category, GRPCATSUB a subcategory.
FilterTerm menuFilterTerm(FilterKind kind);
// The term forms of the full clause (listings and searches).
FilterTerm fullFilterTerm(FilterKind kind);

// Where the rows of a kind are read: through the procedure (sql = "kx_getfilters 'KIND'"), or
// straight from the table (sql = "select * from filters where cat='KIND'"), as the legacy search
// reads them.
enum class FilterSource { Procedure, Table };

// Reads the rows of one kind (on `conn`, into `rows`) and returns the terms of every row, in the
// order returned.
std::string filterClause(db::Connection& conn, db::Recordset& rows, std::string& sql,
                         FilterKind kind, const FilterTerm& term,
                         FilterSource source = FilterSource::Procedure);

// The full clause: the kinds GRP, GRPCAT, GRPCATSUB, MANUF, PRODUCT in that order.
std::string fullFilterClause(db::Connection& conn, db::Recordset& rows, std::string& sql,
                             FilterSource source = FilterSource::Procedure);

}  // namespace kestrin
