// Message sets as qbXML text, responses parsed from qbXML, and the session manager.
#include <charconv>
#include <sstream>

#include "kestrin/error.h"
#include "kestrin/qbxml.h"
#include "qbxml_writer.h"

namespace kestrin::qbxml {

namespace {

const char* const kSource = "kestrin.qbXML";
// A record nested deeper than this is no QuickBooks record.
constexpr int kMaxDepth = 32;

const char* onErrorText(ENRqOnError e) {
  switch (e) {
    case roeContinue:
      return "continueOnError";
    case roeRollback:
      return "rollbackOnError";
    case roeStop:
      break;
  }
  return "stopOnError";
}

[[noreturn]] void badResponse(const std::string& what) {
  raise(kErrQbResponse, "QuickBooks answered with a response that is not valid qbXML: " + what,
        kSource);
}

RetObject::Node toNode(const pugi::xml_node& element, int depth) {
  if (depth > kMaxDepth) badResponse("the record " + std::string(element.name()) + " is too deep");
  RetObject::Node node;
  node.name = element.name();
  for (pugi::xml_node c : element.children()) {
    if (c.type() == pugi::node_element) {
      node.children.push_back(toNode(c, depth + 1));
    } else if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      node.text += c.value();
    }
  }
  return node;
}

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

}  // namespace

// ---- Request sets ----

MsgSetRequest::MsgSetRequest(int major, int minor) : major_(major), minor_(minor) {
  bool known = (major == 1 && (minor == 0 || minor == 1)) || (major == 2 && minor == 0);
  if (!known) {
    raise(kErrQbVersion,
          "The qbXML version " + std::to_string(major) + "." + std::to_string(minor) +
              " is not one this session manager writes (1.0, 1.1 and 2.0)",
          kSource);
  }
}

std::string MsgSetRequest::version() const {
  return std::to_string(major_) + "." + std::to_string(minor_);
}

template <class Body>
Body& MsgSetRequest::append(const char* type) {
  auto body = std::make_unique<Body>();
  Body& ref = *body;
  requests_.push_back({type, static_cast<int>(requests_.size()) + 1, std::move(body)});
  return ref;
}

HostQuery& MsgSetRequest::AppendHostQueryRq() { return append<HostQuery>("HostQueryRq"); }
CustomerAdd& MsgSetRequest::AppendCustomerAddRq() { return append<CustomerAdd>("CustomerAddRq"); }
ItemInventoryAdd& MsgSetRequest::AppendItemInventoryAddRq() {
  return append<ItemInventoryAdd>("ItemInventoryAddRq");
}
ItemNonInventoryAdd& MsgSetRequest::AppendItemNonInventoryAddRq() {
  return append<ItemNonInventoryAdd>("ItemNonInventoryAddRq");
}
VendorAdd& MsgSetRequest::AppendVendorAddRq() { return append<VendorAdd>("VendorAddRq"); }
InvoiceAdd& MsgSetRequest::AppendInvoiceAddRq() { return append<InvoiceAdd>("InvoiceAddRq"); }
InvoiceQuery& MsgSetRequest::AppendInvoiceQueryRq() {
  return append<InvoiceQuery>("InvoiceQueryRq");
}

std::string MsgSetRequest::ToXMLString() const {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "utf-8";
  pugi::xml_node pi = doc.append_child(pugi::node_pi);
  pi.set_name("qbxml");
  pi.set_value(("version=\"" + version() + "\"").c_str());
  pugi::xml_node msgs = doc.append_child("QBXML").append_child("QBXMLMsgsRq");
  msgs.append_attribute("onError") = onErrorText(Attributes.OnError);
  for (const Request& r : requests_) {
    pugi::xml_node rq = msgs.append_child(r.type.c_str());
    rq.append_attribute("requestID") = r.requestID;
    XmlOut out(rq);
    r.body->write(out);
  }
  std::ostringstream text;
  doc.save(text, "  ", pugi::format_indent, pugi::encoding_utf8);
  return text.str();
}

// ---- Responses ----

const std::string& RetValue::GetValue() const {
  if (!value_) raise(kErrInvalidCall, "The returned record has no " + path_, kSource);
  return *value_;
}

const std::string& RetList::GetAt(size_t index) const {
  if (index >= items_.size()) {
    raise(kErrInvalidCall,
          "Invalid procedure call or argument: index " + std::to_string(index) + " of a list of " +
              std::to_string(items_.size()),
          kSource);
  }
  return items_[index];
}

RetValue RetObject::field(std::string_view path) const {
  const Node* at = &root_;
  for (std::string_view rest = path; at && !rest.empty();) {
    size_t slash = rest.find('/');
    std::string_view name = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    const Node* next = nullptr;
    for (const Node& c : at->children) {
      if (c.name == name) {
        next = &c;
        break;
      }
    }
    at = next;
  }
  return RetValue(std::string(path), at && at != &root_ ? &at->text : nullptr);
}

RetList RetObject::list(std::string_view name) const {
  std::vector<std::string> items;
  for (const Node& c : root_.children) {
    if (c.name == name) items.push_back(c.text);
  }
  return RetList(std::move(items));
}

const Response& ResponseVector::GetAt(size_t index) const {
  if (index >= items_.size()) {
    raise(kErrQbResponse,
          "QuickBooks returned " + std::to_string(items_.size()) + " response(s); there is no " +
              "response at index " + std::to_string(index),
          kSource);
  }
  return items_[index];
}

std::shared_ptr<MsgSetResponse> parseResponse(const std::string& text) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed =
      doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
                      pugi::encoding_utf8);
  if (!parsed) {
    badResponse(std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  }
  pugi::xml_node msgs = doc.child("QBXML").child("QBXMLMsgsRs");
  if (!msgs) badResponse("it has no QBXML/QBXMLMsgsRs element");

  auto set = std::make_shared<MsgSetResponse>();
  set->text = text;
  for (pugi::xml_node rs : msgs.children()) {
    if (rs.type() != pugi::node_element) continue;
    Response r;
    r.Type = rs.name();
    r.requestID = rs.attribute("requestID").value();
    pugi::xml_attribute code = rs.attribute("statusCode");
    if (!code) badResponse(r.Type + " carries no statusCode");
    std::string_view codeText = code.value();
    auto [end, ec] =
        std::from_chars(codeText.data(), codeText.data() + codeText.size(), r.StatusCode);
    if (ec != std::errc() || end != codeText.data() + codeText.size()) {
      badResponse(r.Type + " has the statusCode \"" + std::string(codeText) +
                  "\", which is not a number");
    }
    r.StatusSeverity = rs.attribute("statusSeverity").value();
    r.StatusMessage = rs.attribute("statusMessage").value();
    for (pugi::xml_node c : rs.children()) {
      if (c.type() == pugi::node_element && endsWith(c.name(), "Ret")) {
        r.Detail = std::make_shared<RetObject>(toNode(c, 0));
        break;
      }
    }
    set->ResponseList.push_back(std::move(r));
  }
  return set;
}

// ---- The session manager ----

QBSessionManager::QBSessionManager(std::unique_ptr<Transport> transport)
    : transport_(std::move(transport)) {
  if (!transport_) raise(kErrQbNotRunning, "Could not start QuickBooks.", kSource);
}

QBSessionManager::~QBSessionManager() {
  if (!ticket_.empty()) {
    try {
      transport_->endSession(ticket_);
    } catch (...) {
      // A session that cannot be ended is QuickBooks' to time out; nothing more to do here.
    }
  }
  if (connected_) {
    try {
      transport_->closeConnection();
    } catch (...) {
    }
  }
}

void QBSessionManager::OpenConnection(const std::string& appID, const std::string& appName) {
  if (connected_) raise(kErrQbSequence, "The connection to QuickBooks is already open.", kSource);
  transport_->openConnection(appID, appName);
  connected_ = true;
}

void QBSessionManager::BeginSession(const std::string& companyFile, ENOpenMode mode) {
  if (!connected_) {
    raise(kErrQbSequence, "BeginSession needs an open connection: call OpenConnection first.",
          kSource);
  }
  if (!ticket_.empty()) raise(kErrQbSequence, "A session is already open.", kSource);
  std::string ticket = transport_->beginSession(companyFile, mode);
  if (ticket.empty())
    raise(kErrQbResponse, "QuickBooks began a session without a ticket.", kSource);
  ticket_ = std::move(ticket);
}

std::shared_ptr<MsgSetRequest> QBSessionManager::CreateMsgSetRequest(int major, int minor) {
  return std::make_shared<MsgSetRequest>(major, minor);
}

std::shared_ptr<MsgSetResponse> QBSessionManager::DoRequests(const MsgSetRequest& request) {
  if (ticket_.empty()) {
    raise(kErrQbSequence, "DoRequests needs an open session: call BeginSession first.", kSource);
  }
  return parseResponse(transport_->processRequest(ticket_, request.ToXMLString()));
}

void QBSessionManager::EndSession() {
  if (ticket_.empty()) raise(kErrQbSequence, "There is no open session to end.", kSource);
  std::string ticket = std::move(ticket_);
  ticket_.clear();
  transport_->endSession(ticket);
}

void QBSessionManager::CloseConnection() {
  if (!ticket_.empty()) {
    raise(kErrQbSequence, "The session must be ended before the connection is closed.", kSource);
  }
  if (!connected_) return;
  connected_ = false;
  transport_->closeConnection();
}

}  // namespace kestrin::qbxml
