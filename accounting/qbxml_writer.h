// Writing request elements into a qbXML document (internal to the qbXML layer).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace kestrin::qbxml {

// The element being written into.
class XmlOut {
 public:
  explicit XmlOut(pugi::xml_node node) : node_(node) {}
  // Appends a child element and returns a writer for it.
  XmlOut child(const char* name);
  // Sets the element's text, made safe for XML first (see xmlSafeText).
  void text(std::string_view value);

 private:
  pugi::xml_node node_;
};

// Text that an XML 1.0 document can carry: valid UTF-8 is kept as it is; a byte that is not part
// of a valid UTF-8 sequence is read as Latin-1 (older shop data often is) and re-encoded; control
// characters other than tab, line feed and carriage return, which XML cannot hold even as
// references, are dropped.
std::string xmlSafeText(std::string_view value);

}  // namespace kestrin::qbxml
