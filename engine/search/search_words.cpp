#include "search_words.h"

#include "text.h"

namespace kestrin::search {

std::string logCode(const std::string& sType) {
  if (sType == "manuf") return "m";
  if (sType == "keyword") return "w";
  if (sType == "all") return "a";
  return "";
}

std::vector<std::string> searchWords(const std::string& text) {
  if (text.empty()) return {};
  return split(text, " ");
}

std::vector<std::string> partNumberVariants(const std::string& text) {
  const std::string spellings[] = {
      replaceAll(text, "-", ""),  replaceAll(text, " ", ""),  replaceAll(text, "/", "-"),
      replaceAll(text, "-", "/"), replaceAll(text, " ", "-"), replaceAll(text, " ", "/"),
  };
  std::vector<std::string> variants;
  for (const std::string& s : spellings) {
    if (s != text) variants.push_back(s);
  }
  return variants;
}

namespace {
bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::string firstCharacters(const std::string& text, size_t count) {
  size_t end = 0;
  for (size_t seen = 0; end < text.size(); ++end) {
    if (!continuesCharacter(text[end]) && seen++ == count) break;
  }
  return text.substr(0, end);
}

size_t characterCount(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += continuesCharacter(c) ? 0 : 1;
  return n;
}

std::string linkText(const std::string& text) { return replaceAll(text, " ", "+"); }

}  // namespace kestrin::search
