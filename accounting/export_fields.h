// Reading the columns of a row being exported (internal to the exports).
#pragma once

#include <optional>
#include <string>

#include "kestrin/db.h"

namespace kestrin::accounting {

// A column of a field that is set when present: nullopt for NULL, else the trimmed text.
std::optional<std::string> present(const db::Recordset& rs, const char* column);

// A column used without a test: NULL fails with "Invalid use of Null" (94), as trimming a Null
// does.
std::string required(const db::Recordset& rs, const char* column);

// A part of a name: NULL counts as empty.
std::string namePart(const db::Recordset& rs, const char* column);

// First, middle and last name, each trimmed, joined by single blanks ("Ann  Lee" without a
// middle name): a customer's name in QuickBooks.
std::string customerName(const db::Recordset& rs);

// A trimmed column converted to a double; text that is not a number is a type mismatch.
double number(const std::string& trimmed);

}  // namespace kestrin::accounting
