// The pieces every search shares: how a search text is cut into words, the other spellings of a
// part number that a search also tries, and the code under which the search-word log counts a
// search type.
#pragma once

#include <string>
#include <vector>

namespace kestrin::search {

// "m" for "manuf", "w" for "keyword", "a" for "all", empty text for any other type.
std::string logCode(const std::string& sType);

// The text split at every single blank: two blanks in a row give an empty word, an empty text
// gives no words.
std::vector<std::string> searchWords(const std::string& text);

// The spellings of a part number that a search tries besides the text itself, in this order:
// without "-", without blanks, "/" as "-", "-" as "/", blanks as "-", blanks as "/". A spelling
// equal to the text is left out.
std::vector<std::string> partNumberVariants(const std::string& text);

// The first `count` characters of a UTF-8 text (a character is never cut in two).
std::string firstCharacters(const std::string& text, size_t count);
// The number of characters of a UTF-8 text.
size_t characterCount(const std::string& text);

// A search text as the search links carry it: every blank written "+".
std::string linkText(const std::string& text);

}  // namespace kestrin::search
