// Text and number helpers shared by every feature of the engine. No feature formats money,
// counts or dates on its own: it calls these.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

// Removes leading and trailing blanks (the space character only, as the classic Trim does).
std::string trim(std::string_view s);
std::string lower(std::string_view s);
std::string upper(std::string_view s);

// Doubles every single quote, so that the value cannot end the SQL literal it is placed in.
// This is the one helper for every value written between single quotes in a statement.
std::string sqlEscape(std::string_view value);

// A flag as it is written into text: "True" or "False".
inline const char* flagText(bool flag) { return flag ? "True" : "False"; }

// A request value written into the HTML it came back in: & < > " ' become entities, so that the
// value cannot open a tag or leave its attribute. Values of the database are written as stored.
std::string htmlEscape(std::string_view value);
// Text placed between tags (an error description that may echo a request value): only & < >
// become entities, so that quotes read as they were written.
std::string htmlTextEscape(std::string_view value);

// A request value placed into the query of a link, where it may also stand inside a script's
// string (onClick="javascript:window.location='...'"): every byte but letters, digits and
// "-_.~/" is written %XX, so the value can end neither the string, the attribute nor the query
// item. Ordinary part numbers are unchanged.
std::string urlEncode(std::string_view value);

// Text before the first occurrence of `sep`, or all of `s` when there is none.
std::string textBefore(std::string_view s, std::string_view sep);
std::string replaceAll(std::string_view s, std::string_view from, std::string_view to);
// Splits at every occurrence of `sep` (empty pieces are kept).
std::vector<std::string> split(std::string_view s, std::string_view sep);

// Characters of UTF-8 text: every byte that does not continue a sequence starts a character.
size_t utf8Length(std::string_view s);
// The first `count` characters of UTF-8 text (all of it when it is shorter).
std::string utf8Prefix(std::string_view s, size_t count);

// The classic numeric test: optional blanks, a sign or "$", digits with optional "," grouping,
// an optional decimal part and exponent; or a "&H" / "&O" literal. Empty text is not numeric.
bool isNumeric(std::string_view s);
// The classic leading-number reading: blanks are skipped, reading stops at the first character
// that cannot continue a number; no number gives 0. A "&H" / "&O" literal above 32 bits raises
// the overflow error (6); long decimal digit strings read as the nearest double.
double val(std::string_view s);

// Rounds to `digits` decimals, exact ties going to the even neighbour.
double roundHalfEven(double value, int digits);

// Plain money: two decimals, no grouping, no leading zero ("2048.50", ".50", "-.50").
std::string plainMoney(double value);
// Display money: two decimals, digit grouping, leading zero ("2,048.50", "0.50").
std::string displayMoney(double value);
// Two decimals, no grouping, leading zero ("1500.00", "0.50"): weights in SQL texts.
std::string fixedTwo(double value);
// `value` when it is finite; otherwise raises overflow (6). A number written bare into a
// statement goes through this first, so that "inf" or "nan" can never stand where a number
// is expected.
double finiteNumber(double value);
// Whole count with digit grouping ("1,500").
std::string countText(double value);

// A double as the classic text conversion writes it: up to 15 significant digits, no
// trailing zeros ("2048.5", "0.5", "115").
std::string numberText(double value);
// A single-precision value in its shortest round-trip form ("1.15").
std::string singleText(float value);

// Dates: month/day/year without leading zeros ("12/9/2026"); general date and time
// ("12/9/2026 5:46:11 AM", the time left out at midnight).
std::string shortDate(const std::tm& t);
std::string generalDate(const std::tm& t);
std::tm localNow();

}  // namespace kestrin
