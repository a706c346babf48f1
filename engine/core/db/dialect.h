// Translation of the classic server dialect the engine writes into the SQL the backends run.
//
// For every backend:
//  - a bare procedure call  kx_name 'a','b',3  becomes a ProcedureCall whose arguments are values
//    (the backend runs the procedure the database holds, with the arguments bound); so does
//    EXEC name @arg = N'value', ... with named arguments;
//  - 'a' + 'b' between string literals becomes the one literal 'ab';
//  - delete t where ...  gains its from;
//  - N'...' literals lose the prefix;
//  - select [distinct] top n ...  becomes  select [distinct] ... limit n;
//  - comments are dropped.
// For PostgreSQL besides:
//  - x like 'p'  becomes  x::text ilike 'p' escape '': case-insensitive like the classic server,
//    backslash an ordinary character, on columns of any type, served by trigram indexes;
//  - an integer compared with a value (x = 5, x in (1,2)) becomes an untyped literal ('5') that
//    takes the other side's type, so that a text column compares with it as the classic server's
//    conversion does instead of failing for want of a text = integer operator;
//  - [name] and "name" become "name" in lower case, the case of the server's names;
//  - each ORDER BY item gains NULLS FIRST (ascending) or NULLS LAST (descending): NULL sorts
//    as the lowest value, as on the classic server and SQLite.
//  - a select distinct without ORDER BY, limit or compound part is ordered by all its columns
//    (ORDER BY 1, 2, ...), the order in which a sorting distinct gives its rows.
// Integer division, NULL and empty text behave alike on every backend and need no rewriting.
// Text inside string literals is never changed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/variant.h"

namespace kestrin::db {

struct ProcedureCall {
  std::string name;
  std::vector<Variant> args;
  // The name of each argument given as "@name = value" (without the @), empty for a positional one.
  std::vector<std::string> argNames;
};

struct TranslatedSql {
  std::optional<ProcedureCall> call;  // set for a procedure call; `text` is then empty
  std::string text;                   // the rewritten statement(s) otherwise
};

// The backend a statement is translated for.
enum class SqlFlavor { SQLite, PostgreSQL };

TranslatedSql translateClassicSql(std::string_view sql, SqlFlavor flavor = SqlFlavor::SQLite);

// The statements of a text, split at the semicolons that stand outside literals, quoted names and
// comments; blank pieces are left out.
std::vector<std::string> splitStatements(std::string_view sql);

// Refuses (statement error) a text that holds more than one statement: an engine statement is
// run alone, so a value that escaped its literal still could not add a statement of its own.
void requireSingleStatement(std::string_view sql);

// For a plain query (one SELECT without DISTINCT, grouping, compound parts or limits at its top
// level), the statement that counts its rows without reading its columns or ordering them:
// "SELECT count(*) FROM ..." up to its ORDER BY. Nothing for any other statement, which is then
// counted as a subquery.
std::optional<std::string> countingStatement(std::string_view sql);

// The statement that counts the rows of a translated query: its counting statement, or the query
// counted as a subquery.
std::string rowCountStatement(std::string_view sql);

// The statement that reads rows offset .. offset+limit-1 of a translated query, in its order; a
// query with a limit of its own is read as a subquery. A DISTINCT query without an order is
// ordered by its columns, so that its pages hold each row once on every backend. `offset` and
// `limit` are numbers or parameter marks.
std::string windowStatement(std::string_view sql, std::string_view offset, std::string_view limit,
                            SqlFlavor flavor = SqlFlavor::SQLite);

// Removes trailing blanks and semicolons, so that a clause can be appended to a query.
std::string stripStatementEnd(std::string_view sql);

}  // namespace kestrin::db
