// Translation of the classic server dialect the engine writes into the SQL the backends run.
//
//  - a bare procedure call  kx_name 'a','b',3  becomes a ProcedureCall whose arguments are values
//    (the backend runs the procedure the database holds, with the arguments bound); so does
//    EXEC name @arg = N'value', ... with named arguments;
//  - 'a' + 'b' between string literals becomes the one literal 'ab';
//  - delete t where ...  gains its from;
//  - N'...' literals lose the prefix;
//  - comments are dropped.
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

TranslatedSql translateClassicSql(std::string_view sql);

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

// Removes trailing blanks and semicolons, so that a clause can be appended to a query.
std::string stripStatementEnd(std::string_view sql);

}  // namespace kestrin::db
