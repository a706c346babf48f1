// Values of a request as a page reads them: the query string first, then a form body, by
// case-insensitive name (a link's "sType" and a form's "stype" are the same key).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrin::shop {

// Percent-decoding with "+" as a blank; a malformed escape is kept as it stands.
std::string urlDecode(std::string_view s);
// Percent-encoding of everything but letters, digits and "-_.~", for a value placed in a link.
std::string urlEncode(std::string_view s);

// Pairs of an application/x-www-form-urlencoded text ("a=1&b=2"), decoded, in order. A key
// written "amp;name" (a link whose "&amp;" reached us undecoded) is read as "name".
std::vector<std::pair<std::string, std::string>> parseUrlEncoded(std::string_view text);

class FormValues {
 public:
  FormValues() = default;
  FormValues(std::string_view query, std::string_view formBody);

  // The first value of `name`, query before form; empty text when there is none.
  std::string get(std::string_view name) const;
  bool has(std::string_view name) const;
  // Every value of `name`, query before form (check boxes send one value each).
  std::vector<std::string> all(std::string_view name) const;
  // Every value of `name` in the form body only.
  std::vector<std::string> formAll(std::string_view name) const;
  // The names of the form body's fields, in order (check boxes named after what they stand for).
  std::vector<std::string> formNames() const;

 private:
  std::vector<std::pair<std::string, std::string>> query_;
  std::vector<std::pair<std::string, std::string>> form_;
};

// The value of a cookie in a Cookie header, or empty text.
std::string cookieValue(std::string_view cookieHeader, std::string_view name);

}  // namespace kestrin::shop
