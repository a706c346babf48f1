// The QuickBooks session classes, speaking qbXML.
//
// Call order, as QuickBooks' foundation classes have it:
//
//   QBSessionManager sm(transport);
//   sm.OpenConnection(appID, appName);
//   sm.BeginSession(companyFile, omDontCare);
//   auto rq = sm.CreateMsgSetRequest(2, 0);
//   rq->Attributes.OnError = roeContinue;
//   rq->AppendCustomerAddRq().Name.SetValue("Ann  Lee");
//   auto rs = sm.DoRequests(*rq);
//   const Response& r = rs->ResponseList.GetAt(0);   // StatusCode, StatusSeverity, ...
//   sm.EndSession();
//   sm.CloseConnection();
//
// DoRequests writes the request set as qbXML text, hands it to the transport and parses the
// text that comes back. The transport is the seam to QuickBooks: the company-file simulator is
// one; a connection to a real QuickBooks is another.
//
// Failures raise kestrin::Error: those of QuickBooks (a company file that cannot be opened, a
// request text it cannot parse) with the numbers below, those of this layer (calls out of order,
// an answer that is not qbXML) likewise. A refused request is no failure: it is a response with a
// non-zero StatusCode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/qbxml_requests.h"

namespace kestrin::qbxml {

// Error numbers, in the HRESULT form QuickBooks' request processor reports them.
inline constexpr int32_t kErrQbParse = static_cast<int32_t>(0x80040400);        // request not qbXML
inline constexpr int32_t kErrQbCompanyFile = static_cast<int32_t>(0x80040403);  // file won't open
inline constexpr int32_t kErrQbNotRunning = static_cast<int32_t>(0x80040408);   // no QuickBooks
inline constexpr int32_t kErrQbNoFileOpen = static_cast<int32_t>(0x80040416);   // no file named
inline constexpr int32_t kErrQbVersion = static_cast<int32_t>(0x8004041A);      // version unknown
inline constexpr int32_t kErrQbSequence = static_cast<int32_t>(0x8004041B);  // calls out of order
inline constexpr int32_t kErrQbResponse = static_cast<int32_t>(0x8004041C);  // answer not qbXML

// BeginSession's open modes.
enum ENOpenMode { omSingleUser = 0, omMultiUser = 1, omDontCare = 2 };
// What QuickBooks does with the rest of a message set after a request fails.
enum ENRqOnError { roeStop = 0, roeContinue = 1, roeRollback = 2 };

// The connection to QuickBooks: a request text in, a response text out, within a session on a
// company file. Implementations raise kestrin::Error for what QuickBooks reports as a failure.
class Transport {
 public:
  virtual ~Transport() = default;
  virtual void openConnection(const std::string& appID, const std::string& appName) = 0;
  // Opens the company file (an empty name: the one QuickBooks has open) and returns the
  // session's ticket.
  virtual std::string beginSession(const std::string& companyFile, ENOpenMode mode) = 0;
  virtual std::string processRequest(const std::string& ticket, const std::string& request) = 0;
  virtual void endSession(const std::string& ticket) = 0;
  virtual void closeConnection() = 0;
};

// ---- Request sets ----

// One request of a set: its qbXML name ("CustomerAddRq") and its body.
struct Request {
  std::string type;
  int requestID = 0;
  std::unique_ptr<RequestBody> body;
};

class MsgSetRequest {
 public:
  // Versions this layer writes: 1.0, 1.1 and 2.0 (QuickBooks answers a 2.1 host with 2.0).
  MsgSetRequest(int major, int minor);

  struct {
    ENRqOnError OnError = roeStop;
  } Attributes;

  HostQuery& AppendHostQueryRq();
  CustomerAdd& AppendCustomerAddRq();
  ItemInventoryAdd& AppendItemInventoryAddRq();
  ItemNonInventoryAdd& AppendItemNonInventoryAddRq();
  VendorAdd& AppendVendorAddRq();
  InvoiceAdd& AppendInvoiceAddRq();
  InvoiceQuery& AppendInvoiceQueryRq();

  int QBXMLVersionMajor() const { return major_; }
  int QBXMLVersionMinor() const { return minor_; }
  std::string version() const;  // "2.0"
  const std::vector<Request>& requests() const { return requests_; }

  // The qbXML text that DoRequests sends: XML declaration, <?qbxml version="M.N"?>,
  // QBXMLMsgsRq with its onError attribute, each request with its requestID (1, 2, ...).
  std::string ToXMLString() const;

 private:
  template <class Body>
  Body& append(const char* type);

  int major_;
  int minor_;
  std::vector<Request> requests_;
};

// ---- Responses ----

// A value of a returned record, read with GetValue; reading one the record lacks is an error.
class RetValue {
 public:
  RetValue(std::string path, const std::string* value) : path_(std::move(path)), value_(value) {}
  bool IsSet() const { return value_ != nullptr; }
  const std::string& GetValue() const;

 private:
  std::string path_;
  const std::string* value_;
};

// The texts of a repeated element of a record (SupportedQBXMLVersionList and the like).
class RetList {
 public:
  explicit RetList(std::vector<std::string> items) : items_(std::move(items)) {}
  size_t Count() const { return items_.size(); }
  const std::string& GetAt(size_t index) const;

 private:
  std::vector<std::string> items_;
};

// A record a response carries (CustomerRet, HostRet, ...), as the tree of its elements.
class RetObject {
 public:
  struct Node {
    std::string name;
    std::string text;
    std::vector<Node> children;
  };
  explicit RetObject(Node root) : root_(std::move(root)) {}

  const std::string& type() const { return root_.name; }  // "CustomerRet"
  // A value by its element path below the record: "ListID", "CustomerRef/FullName".
  RetValue field(std::string_view path) const;
  // Every child element called `name`, in order.
  RetList list(std::string_view name) const;
  const Node& root() const { return root_; }

 private:
  Node root_;
};

struct Response {
  std::string Type;  // "CustomerAddRs"
  std::string requestID;
  int32_t StatusCode = 0;
  std::string StatusSeverity;  // "Info", "Warn", "Error"
  std::string StatusMessage;
  std::shared_ptr<const RetObject> Detail;  // null when the response carries no record
};

class ResponseVector {
 public:
  size_t Count() const { return items_.size(); }
  const Response& GetAt(size_t index) const;
  void push_back(Response r) { items_.push_back(std::move(r)); }

 private:
  std::vector<Response> items_;
};

class MsgSetResponse {
 public:
  ResponseVector ResponseList;
  std::string text;  // the qbXML text as QuickBooks sent it
};

// Parses a response text. Text that is not XML, or not qbXML (no QBXMLMsgsRs, a response
// without its statusCode), raises kErrQbResponse with what was wrong.
std::shared_ptr<MsgSetResponse> parseResponse(const std::string& text);

// ---- The session manager ----

class QBSessionManager {
 public:
  explicit QBSessionManager(std::unique_ptr<Transport> transport);
  // Ends a session still open and closes the connection, quietly: no session outlives the
  // object that began it.
  ~QBSessionManager();
  QBSessionManager(const QBSessionManager&) = delete;
  QBSessionManager& operator=(const QBSessionManager&) = delete;

  void OpenConnection(const std::string& appID, const std::string& appName);
  void BeginSession(const std::string& companyFile, ENOpenMode mode);
  std::shared_ptr<MsgSetRequest> CreateMsgSetRequest(int major, int minor);
  std::shared_ptr<MsgSetResponse> DoRequests(const MsgSetRequest& request);
  void EndSession();
  void CloseConnection();

  bool connectionOpen() const { return connected_; }
  bool sessionOpen() const { return !ticket_.empty(); }

 private:
  std::unique_ptr<Transport> transport_;
  bool connected_ = false;
  std::string ticket_;
};

}  // namespace kestrin::qbxml
