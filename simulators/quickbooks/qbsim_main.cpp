// qbsim: the QuickBooks company-file simulator's command line.
//   qbsim create FILE [--versions 1.0,1.1,2.0,2.1]
//   qbsim show FILE [customers|vendors|items|invoices|accounts|terms|shipmethods|taxcodes]
//   qbsim versions FILE [1.0,1.1,2.0,2.1]
//   qbsim request FILE [REQUEST]
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "company_file.h"
#include "kestrin/error.h"
#include "request_processor.h"

namespace {

using kestrin::qbsim::CompanyFile;

const char* const kUsage =
    "usage:\n"
    "  qbsim create FILE [--versions 1.0,1.1,2.0,2.1]\n"
    "      Make a company file with its accounts, tax codes, ship methods and terms.\n"
    "  qbsim show FILE [customers|vendors|items|invoices|accounts|terms|shipmethods|taxcodes]\n"
    "      Without a list: what the file holds. With one: its records, field by field.\n"
    "  qbsim versions FILE [LIST]\n"
    "      Show, or set, the qbXML versions the simulated QuickBooks reports.\n"
    "  qbsim request FILE [REQUEST]\n"
    "      Answer a qbXML request (a file, or standard input) and print the response.\n";

struct UsageError {
  std::string message;
};

// The element kinds each list word shows.
const std::map<std::string, std::vector<std::string>>& lists() {
  static const std::map<std::string, std::vector<std::string>> kLists = {
      {"customers", {"Customer"}},
      {"vendors", {"Vendor"}},
      {"items", {"ItemInventory", "ItemNonInventory"}},
      {"invoices", {"Invoice"}},
      {"accounts", {"Account"}},
      {"terms", {"Terms"}},
      {"shipmethods", {"ShipMethod"}},
      {"taxcodes", {"SalesTaxCode"}},
  };
  return kLists;
}

std::string joined(const std::vector<std::string>& items, const char* sep) {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : sep) + s;
  return out;
}

// Prints every value of a record as "  path: value"; an empty value stays visible as "path:".
void printValues(std::ostream& out, const pugi::xml_node& node, const std::string& prefix) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string path = prefix + child.name();
    if (child.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) {
      printValues(out, child, path + "/");
    } else {
      std::string value = child.child_value();
      out << "  " << path << ":" << (value.empty() ? "" : " ") << value << '\n';
    }
  }
}

void show(CompanyFile& file, const std::string& list, std::ostream& out) {
  auto it = lists().find(list);
  if (it == lists().end()) throw UsageError{"no list called '" + list + "'"};
  bool first = true;
  for (const kestrin::qbsim::StoredElement& e : file.elements(it->second)) {
    pugi::xml_document doc;
    doc.load_buffer(e.ret.data(), e.ret.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    out << (first ? "" : "\n") << doc.first_child().name() << '\n';
    printValues(out, doc.first_child(), "");
    first = false;
  }
}

void summary(CompanyFile& file, std::ostream& out) {
  long long inventory = file.count("ItemInventory"), other = file.count("ItemNonInventory");
  out << "Company file: " << file.path() << '\n'
      << "Product: " << file.setting("product") << '\n'
      << "qbXML versions: " << joined(file.supportedVersions(), ", ") << '\n'
      << "Open sessions: " << file.openSessions() << '\n'
      << "Customers: " << file.count("Customer") << '\n'
      << "Vendors: " << file.count("Vendor") << '\n'
      << "Items: " << inventory + other << " (inventory " << inventory << ", non-inventory "
      << other << ")\n"
      << "Invoices: " << file.count("Invoice") << '\n'
      << "Accounts: " << file.count("Account") << '\n'
      << "Sales tax codes: " << file.count("SalesTaxCode") << '\n'
      << "Ship methods: " << file.count("ShipMethod") << '\n'
      << "Terms: " << file.count("Terms") << '\n';
}

int run(const std::vector<std::string>& args) {
  if (args.size() < 2) throw UsageError{"name a command and a company file"};
  const std::string& command = args[0];
  const std::string& path = args[1];
  if (command == "create") {
    std::string versions = kestrin::qbsim::kDefaultVersions;
    for (size_t i = 2; i < args.size(); ++i) {
      if (args[i] == "--versions" && i + 1 < args.size()) {
        versions = args[++i];
      } else {
        throw UsageError{"create takes FILE and --versions LIST, not '" + args[i] + "'"};
      }
    }
    kestrin::qbsim::createCompanyFile(path, versions);
    std::cout << "Created company file " << path << '\n';
    return 0;
  }
  if (command == "show") {
    if (args.size() > 3) throw UsageError{"show takes one list"};
    CompanyFile file(path);
    if (args.size() == 3) {
      show(file, args[2], std::cout);
    } else {
      summary(file, std::cout);
    }
    return 0;
  }
  if (command == "versions") {
    if (args.size() > 3) throw UsageError{"versions takes one list, such as 1.0,1.1,2.0,2.1"};
    CompanyFile file(path);
    if (args.size() == 3) file.setSupportedVersions(kestrin::qbsim::parseVersionList(args[2]));
    std::cout << joined(file.supportedVersions(), ",") << '\n';
    return 0;
  }
  if (command == "request") {
    if (args.size() > 3) throw UsageError{"request takes one request file"};
    std::string request;
    if (args.size() == 3) {
      std::ifstream in(args[2], std::ios::binary);
      if (!in)
        throw kestrin::Error(kestrin::kErrFileNotFound, "File not found: " + args[2], "qbsim");
      request.assign(std::istreambuf_iterator<char>(in), {});
    } else {
      request.assign(std::istreambuf_iterator<char>(std::cin), {});
    }
    CompanyFile file(path);
    std::cout << kestrin::qbsim::processRequest(file, request);
    return 0;
  }
  throw UsageError{"unknown command '" + command + "'"};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "help" || args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  try {
    return run(args);
  } catch (const UsageError& e) {
    std::cerr << "qbsim: " << e.message << '\n' << kUsage;
    return 2;
  } catch (const kestrin::Error& e) {
    std::cerr << "qbsim: " << e.description() << '\n';
    return 1;
  }
}
