#include "request_processor.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <pugixml.hpp>
#include <sstream>

#include "kestrin/error.h"
#include "request_rules.h"
#include "text.h"

namespace kestrin::qbsim {

namespace {

using K = FieldKind;

struct Status {
  int code = 0;
  std::string message = "Status OK";
};

[[noreturn]] void parseError(const std::string& detail) {
  raise(qbxml::kErrQbParse,
        "QuickBooks found an error when parsing the provided XML text stream. (" + detail + ")",
        kSource);
}

const char* severity(int code) {
  if (code < 500) return "Info";
  if (code < 1000) return "Warn";
  return "Error";
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

bool isBlankText(std::string_view s) {
  return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool isDecimal(std::string_view s) {
  size_t at = !s.empty() && s[0] == '-' ? 1 : 0;
  size_t digits = 0, points = 0;
  for (; at < s.size(); ++at) {
    if (s[at] == '.') {
      ++points;
    } else if (s[at] >= '0' && s[at] <= '9') {
      ++digits;
    } else {
      return false;
    }
  }
  return digits > 0 && digits <= 20 && points <= 1;
}

bool isDate(std::string_view s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  int y = std::atoi(std::string(s.substr(0, 4)).c_str());
  int m = std::atoi(std::string(s.substr(5, 2)).c_str());
  int d = std::atoi(std::string(s.substr(8, 2)).c_str());
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= kDays[m - 1] && (m != 2 || d <= 28 + leap);
}

bool isListId(std::string_view s) {
  size_t dash = s.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == s.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    bool ok = i == dash || (c >= '0' && c <= '9') || (i < dash && c >= 'A' && c <= 'F');
    if (!ok) return false;
  }
  return s.size() <= 41;
}

std::string today() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &t);
  return buf;
}

// The references and values a ref element holds.
constexpr FieldRule kRefFields[] = {{"ListID"}, {"FullName"}};

// The rule `name` stands for among `rules`, and for a choice the alternative it is.
struct Match {
  const FieldRule* rule = nullptr;
  const FieldRule* alternative = nullptr;
  size_t index = 0;
};

std::optional<Match> findRule(std::span<const FieldRule> rules, std::string_view name,
                              size_t from) {
  for (size_t i = from; i < rules.size(); ++i) {
    const FieldRule& r = rules[i];
    if (r.kind == K::Choice) {
      for (const FieldRule& alt : r.children) {
        if (alt.name == name) return Match{&r, &alt, i};
      }
    } else if (r.name == name) {
      return Match{&r, nullptr, i};
    }
  }
  return std::nullopt;
}

std::span<const FieldRule> childRules(const Match& m) {
  if (m.alternative) return m.alternative->children;
  if (m.rule->kind == K::Ref) return kRefFields;
  return m.rule->children;
}

bool isAggregate(const FieldRule& r) {
  return r.kind == K::Group || r.kind == K::Lines || r.kind == K::Choice || r.kind == K::Ref;
}

// The schema check: every child element is known and comes in the schema's order, once (lines
// may repeat); values hold no elements and aggregates no text.
void checkStructure(const pugi::xml_node& node, std::span<const FieldRule> rules,
                    const std::string& where) {
  size_t next = 0;
  std::optional<Match> last;
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      if (!isBlankText(child.value())) parseError("text where " + where + " holds elements");
      continue;
    }
    if (child.type() != pugi::node_element) continue;
    std::string_view name = child.name();
    size_t from = last && last->rule->kind == K::Lines ? last->index : next;
    std::optional<Match> m = findRule(rules, name, from);
    if (!m) {
      parseError("the element " + std::string(name) + " is unknown, repeated or out of order in " +
                 where);
    }
    next = m->index + 1;
    last = m;
    const std::string inner = where + "/" + std::string(name);
    if (isAggregate(*m->rule)) {
      checkStructure(child, childRules(*m), inner);
    } else if (child.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) {
      parseError("the value " + inner + " holds elements");
    }
  }
}

// The data check of one aggregate: the first value QuickBooks would refuse, as a status.
std::optional<Status> checkValues(const pugi::xml_node& node, std::span<const FieldRule> rules) {
  for (const FieldRule& r : rules) {
    bool seen = false;
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      std::optional<Match> m = findRule(std::span(&r, 1), child.name(), 0);
      if (!m) continue;
      seen = true;
      const std::string value = child.child_value();
      const std::string field(child.name());
      switch (r.kind) {
        case K::Text:
          if (r.required && trim(value).empty()) {
            return Status{3080, "The required field " + quoted(field) + " is missing."};
          }
          if (r.maxLength > 0 && utf8Length(value) > static_cast<size_t>(r.maxLength)) {
            return Status{3070, "The string " + quoted(value) + " in the field " + quoted(field) +
                                    " is too long."};
          }
          break;
        case K::Bool:
          if (value != "true" && value != "false") {
            return Status{3010, "There was an error when converting the boolean value " +
                                    quoted(value) + " in the field " + quoted(field) + "."};
          }
          break;
        case K::Amount:
          if (!isDecimal(value)) {
            return Status{3040, "There was an error when converting the amount " + quoted(value) +
                                    " in the field " + quoted(field) + "."};
          }
          break;
        case K::Quantity:
          if (!isDecimal(value)) {
            return Status{3050, "There was an error when converting the quantity " + quoted(value) +
                                    " in the field " + quoted(field) + "."};
          }
          break;
        case K::Date:
          if (!isDate(value)) {
            return Status{3020, "There was an error when converting the date value " +
                                    quoted(value) + " in the field " + quoted(field) + "."};
          }
          break;
        case K::Ref: {
          std::string id = child.child_value("ListID");
          if (child.child("ListID") && !isListId(id)) {
            return Status{3000, "The given object ID " + quoted(id) + " in the field " +
                                    quoted("ListID") + " is invalid."};
          }
          std::string name = child.child_value("FullName");
          if (utf8Length(name) > static_cast<size_t>(r.maxLength)) {
            return Status{3070, "The string " + quoted(name) + " in the field " +
                                    quoted("FullName") + " is too long."};
          }
          break;
        }
        case K::Group:
        case K::Lines:
        case K::Choice:
          if (auto s = checkValues(child, childRules(*m))) return s;
          break;
      }
    }
    if (!seen && r.required) {
      return Status{3080, "The required field " + quoted(r.name) + " is missing."};
    }
  }
  return std::nullopt;
}

// Builds the record QuickBooks returns, resolving references against the company file.
class RetBuilder {
 public:
  RetBuilder(CompanyFile& file, const RequestRule& request) : file_(file), request_(request) {}

  // The first reference that named nothing, once copy() has met one.
  const std::optional<Status>& problem() const { return problem_; }

  // Copies the children of `from` into `to` in their order, skipping the names in `skip`.
  void copy(const pugi::xml_node& from, pugi::xml_node to, std::span<const FieldRule> rules,
            std::initializer_list<std::string_view> skip = {}) {
    for (pugi::xml_node child : from.children()) {
      if (child.type() != pugi::node_element || problem_) continue;
      std::string_view name = child.name();
      bool skipped = false;
      for (std::string_view s : skip) skipped = skipped || s == name;
      std::optional<Match> m = findRule(rules, name, 0);
      if (skipped || !m || m->rule->kind == K::Lines) continue;
      if (m->rule->kind == K::Ref) {
        appendRef(to, child, *m->rule);
      } else if (isAggregate(*m->rule)) {
        copy(child, to.append_child(child.name()), childRules(*m));
      } else {
        to.append_child(child.name()).text().set(child.child_value());
      }
    }
  }

  // Appends <name><ListID/><FullName/></name> for the element a reference names.
  void appendRef(pugi::xml_node to, const pugi::xml_node& refNode, const FieldRule& rule) {
    std::optional<StoredElement> found;
    std::string named;
    const RefTarget& target = rule.target;
    if (pugi::xml_node id = refNode.child("ListID")) {
      named = id.child_value();
      found = file_.findById(named);
      bool fits = found && found->nameSpace == target.nameSpace &&
                  (target.kind.empty() || found->kind == target.kind);
      if (!fits) found.reset();
    } else {
      named = refNode.child_value("FullName");
      found = file_.findByName(target.nameSpace, named, target.kind);
    }
    if (!found) {
      problem_ =
          Status{3140, "There is an invalid reference to QuickBooks " + std::string(target.label) +
                           " " + quoted(named) + " in the " + std::string(request_.label) +
                           ".  QuickBooks error message: Invalid argument.  The specified "
                           "record does not exist in the list."};
      return;
    }
    pugi::xml_node ref = to.append_child(refNode.name());
    ref.append_child("ListID").text().set(found->id.c_str());
    ref.append_child("FullName").text().set(found->name.c_str());
  }

 private:
  CompanyFile& file_;
  const RequestRule& request_;
  std::optional<Status> problem_;
};

void addText(pugi::xml_node to, const char* name, const std::string& value) {
  to.append_child(name).text().set(value.c_str());
}

std::string serialize(const pugi::xml_node& node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

std::string money(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", roundHalfEven(v, 2) + 0.0);
  return buf;
}

class Processor {
 public:
  explicit Processor(CompanyFile& file) : file_(file) {}

  Status hostQuery(pugi::xml_node rs) {
    pugi::xml_node ret = rs.append_child("HostRet");
    addText(ret, "ProductName", file_.setting("product"));
    addText(ret, "MajorVersion", file_.setting("major"));
    addText(ret, "MinorVersion", file_.setting("minor"));
    addText(ret, "Country", "US");
    for (const std::string& v : file_.supportedVersions()) addText(ret, "SupportedQBXMLVersion", v);
    addText(ret, "IsAutomaticLogin", "false");
    addText(ret, "QBFileMode", "SingleUser");
    return {};
  }

  // The invoices with the RefNumber asked for (all of them without one); lines only when
  // IncludeLineItems is true. None: status 1, as QuickBooks answers an empty query.
  Status invoiceQuery(const pugi::xml_node& rq, pugi::xml_node rs) {
    const pugi::xml_node ref = rq.child("RefNumber");
    const bool lines = std::string_view(rq.child_value("IncludeLineItems")) == "true";
    int found = 0;
    for (const StoredElement& e : file_.elements({"Invoice"})) {
      if (ref && e.name != ref.child_value()) continue;
      pugi::xml_document doc;
      doc.load_string(e.ret.c_str(), pugi::parse_default | pugi::parse_ws_pcdata_single);
      pugi::xml_node ret = rs.append_copy(doc.document_element());
      if (!lines) {
        while (pugi::xml_node line = ret.child("InvoiceLineRet")) ret.remove_child(line);
      }
      ++found;
    }
    if (found == 0) return {1, "A query request did not find a matching object in QuickBooks"};
    return {};
  }

  Status addListElement(const RequestRule& rule, const pugi::xml_node& body, pugi::xml_node rs) {
    if (auto s = checkValues(body, rule.fields)) return *s;
    const std::string name = body.child_value("Name");
    CompanyFile::Transaction tx(file_);
    if (file_.findByName(rule.nameSpace, name)) {
      return {3100, "The name " + quoted(name) + " of the list element is already in use."};
    }
    CompanyFile::NewId id = file_.newId(false);
    pugi::xml_document doc;
    pugi::xml_node ret = doc.append_child(std::string(rule.ret).c_str());
    const bool vendor = rule.kind == "Vendor";
    addText(ret, "ListID", id.id);
    addText(ret, "TimeCreated", id.timeCreated);
    addText(ret, "TimeModified", id.timeCreated);
    addText(ret, "EditSequence", id.editSequence);
    addText(ret, "Name", name);
    if (!vendor) addText(ret, "FullName", name);
    pugi::xml_node active = body.child("IsActive");
    addText(ret, "IsActive", active ? active.child_value() : "true");
    if (!vendor) addText(ret, "Sublevel", "0");
    RetBuilder builder(file_, rule);
    builder.copy(body, ret, rule.fields, {"Name", "IsActive"});
    if (builder.problem()) return *builder.problem();
    if (rule.kind == "Customer") {
      addText(ret, "Balance", "0.00");
      addText(ret, "TotalBalance", "0.00");
    } else if (vendor) {
      addText(ret, "Balance", "0.00");
    }
    file_.insert(id, {id.id, std::string(rule.kind), name, serialize(ret), ""}, rule.nameSpace);
    tx.commit();
    rs.append_copy(ret);
    return {};
  }

  Status addInvoice(const RequestRule& rule, const pugi::xml_node& body, pugi::xml_node rs) {
    if (auto s = checkValues(body, rule.fields)) return *s;
    if (!body.child("InvoiceLineAdd")) {
      return {3180,
              "There was an error when saving an Invoice.  QuickBooks error message: Transaction "
              "is empty."};
    }
    CompanyFile::Transaction tx(file_);
    CompanyFile::NewId id = file_.newId(true);
    const std::string number = std::to_string(file_.count("Invoice") + 1);
    pugi::xml_document doc;
    pugi::xml_node ret = doc.append_child(std::string(rule.ret).c_str());
    addText(ret, "TxnID", id.id);
    addText(ret, "TimeCreated", id.timeCreated);
    addText(ret, "TimeModified", id.timeCreated);
    addText(ret, "EditSequence", id.editSequence);
    addText(ret, "TxnNumber", number);
    RetBuilder builder(file_, rule);
    builder.appendRef(ret, body.child("CustomerRef"), rule.fields[0]);
    pugi::xml_node txnDate = body.child("TxnDate");
    addText(ret, "TxnDate", txnDate ? txnDate.child_value() : today());
    pugi::xml_node refNumber = body.child("RefNumber");
    const std::string ref = refNumber ? refNumber.child_value() : number;
    addText(ret, "RefNumber", ref);
    builder.copy(body, ret, rule.fields, {"CustomerRef", "TxnDate", "RefNumber"});

    const FieldRule& lineRule = rule.fields.back();
    double subtotal = 0;
    std::vector<pugi::xml_node> lines;
    int index = 0;
    for (pugi::xml_node line : body.children("InvoiceLineAdd")) {
      pugi::xml_node out = doc.append_child("InvoiceLineRet");
      char lineId[64];
      std::snprintf(lineId, sizeof lineId, "%s%02X%s", textBefore(id.id, "-").c_str(), ++index,
                    id.id.substr(id.id.find('-')).c_str());
      addText(out, "TxnLineID", lineId);
      builder.copy(line, out, lineRule.children);
      double amount = 0;
      if (pugi::xml_node a = line.child("Amount")) {
        amount = std::strtod(a.child_value(), nullptr);
      } else if (line.child("Quantity") && line.child("Rate")) {
        amount = std::strtod(line.child_value("Quantity"), nullptr) *
                 std::strtod(line.child_value("Rate"), nullptr);
        addText(out, "Amount", money(amount));
      }
      subtotal += amount;
      lines.push_back(out);
    }
    if (builder.problem()) return *builder.problem();
    addText(ret, "Subtotal", money(subtotal));
    addText(ret, "BalanceRemaining", money(subtotal));
    for (pugi::xml_node line : lines) ret.append_move(line);
    file_.insert(id, {id.id, std::string(rule.kind), ref, serialize(ret), ""}, "");
    tx.commit();
    rs.append_copy(ret);
    return {};
  }

 private:
  CompanyFile& file_;
};

std::string versionOf(const pugi::xml_document& doc) {
  for (pugi::xml_node n : doc.children()) {
    if (n.type() != pugi::node_pi || std::string_view(n.name()) != "qbxml") continue;
    std::string_view value = n.value();
    size_t at = value.find("version");
    if (at == std::string_view::npos) break;
    size_t open = value.find_first_of("\"'", at);
    if (open == std::string_view::npos) break;
    size_t close = value.find(value[open], open + 1);
    if (close == std::string_view::npos) break;
    return std::string(value.substr(open + 1, close - open - 1));
  }
  parseError("the <?qbxml version=\"...\"?> instruction is missing");
}

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

}  // namespace

std::string processRequest(CompanyFile& file, const std::string& request) {
  pugi::xml_document in;
  pugi::xml_parse_result parsed = in.load_buffer(
      request.data(), request.size(),
      pugi::parse_default | pugi::parse_pi | pugi::parse_declaration | pugi::parse_ws_pcdata_single,
      pugi::encoding_utf8);
  if (!parsed) {
    parseError(std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  }
  const std::string version = versionOf(in);
  bool supported = false;
  for (const std::string& v : file.supportedVersions()) supported = supported || v == version;
  if (!supported) {
    raise(
        qbxml::kErrQbVersion,
        "The version of QBXML that was requested is not supported or is unknown. (" + version + ")",
        kSource);
  }
  pugi::xml_node msgs = in.child("QBXML").child("QBXMLMsgsRq");
  if (!msgs) parseError("there is no QBXML/QBXMLMsgsRq element");
  const std::string onError = msgs.attribute("onError").value();
  if (onError != "stopOnError" && onError != "continueOnError") {
    parseError("onError must be stopOnError or continueOnError, not \"" + onError + "\"");
  }

  // The whole message set is checked before any request of it is answered.
  std::vector<pugi::xml_node> requests;
  for (pugi::xml_node rq : msgs.children()) {
    if (rq.type() == pugi::node_pcdata && !isBlankText(rq.value())) {
      parseError("text between the requests");
    }
    if (rq.type() != pugi::node_element) continue;
    std::string_view name = rq.name();
    if (!endsWith(name, "Rq")) parseError(std::string(name) + " is not a request");
    if (name == "HostQueryRq") {
      checkStructure(rq, {}, "HostQueryRq");
    } else if (name == "InvoiceQueryRq") {
      checkStructure(rq, invoiceQueryFields(), "InvoiceQueryRq");
    } else if (const RequestRule* rule = findRequestRule(name)) {
      const FieldRule body{rule->body, K::Group, 0, true, {}, rule->fields};
      checkStructure(rq, std::span(&body, 1), std::string(name));
      if (!rq.child(std::string(rule->body).c_str())) {
        parseError(std::string(name) + " holds no " + std::string(rule->body));
      }
    }
    requests.push_back(rq);
  }

  pugi::xml_document out;
  pugi::xml_node decl = out.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  pugi::xml_node responses = out.append_child("QBXML").append_child("QBXMLMsgsRs");
  Processor processor(file);
  for (const pugi::xml_node& rq : requests) {
    std::string name = rq.name();
    pugi::xml_node rs = responses.append_child((name.substr(0, name.size() - 2) + "Rs").c_str());
    if (pugi::xml_attribute id = rq.attribute("requestID")) {
      rs.append_attribute("requestID") = id.value();
    }
    Status status;
    if (name == "HostQueryRq") {
      status = processor.hostQuery(rs);
    } else if (name == "InvoiceQueryRq") {
      status = processor.invoiceQuery(rq, rs);
    } else if (const RequestRule* rule = findRequestRule(name)) {
      pugi::xml_node body = rq.child(std::string(rule->body).c_str());
      status = rule->nameSpace.empty() ? processor.addInvoice(*rule, body, rs)
                                       : processor.addListElement(*rule, body, rs);
    } else {
      status = {1030, "This request is not supported by this implementation."};
    }
    rs.append_attribute("statusCode") = status.code;
    rs.append_attribute("statusSeverity") = severity(status.code);
    rs.append_attribute("statusMessage") = status.message.c_str();
    if (status.code >= 1000 && onError == "stopOnError") break;
  }
  std::ostringstream text;
  out.save(text, "  ", pugi::format_indent, pugi::encoding_utf8);
  return text.str();
}

}  // namespace kestrin::qbsim
