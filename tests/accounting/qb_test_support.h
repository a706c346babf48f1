// Small helpers shared by the tests of the exports and of the link server.
#pragma once

#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <string>

namespace kestrin::qbtest {

// The whole content of a file; empty when it cannot be read.
inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

// A value of a stored QuickBooks record by its element path ("BillAddress/City"); nullopt when
// the record lacks it.
inline std::optional<std::string> fieldOf(const std::string& ret, const std::string& path) {
  pugi::xml_document doc;
  doc.load_string(ret.c_str(), pugi::parse_default | pugi::parse_ws_pcdata_single);
  pugi::xml_node node = doc.first_child().first_element_by_path(path.c_str());
  if (!node) return std::nullopt;
  return std::string(node.child_value());
}

}  // namespace kestrin::qbtest
