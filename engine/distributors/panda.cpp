// The price-and-availability message: building the request, reading the answer, and the
// session calls of the client library.
#include "kestrin/panda.h"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "imdsi.h"
#include "text.h"

namespace kestrin {

namespace {

const char* const kSource = "kestrin.Transaction";

constexpr size_t kPartRecordLength = 731;
constexpr size_t kAnswerAreaLength = 587;
constexpr size_t kFirstAnswerArea = 208;  // message position of part 1's answer area
constexpr int kLineStep = 10;             // warehouse lines are ten characters apart
constexpr size_t kPasswordStart = 26;     // header characters 27 to 36, counted from 0
constexpr size_t kPasswordEnd = 36;

// The first `width` characters of the value, blank-filled on the right.
std::string padText(const std::string& value, size_t width) {
  std::string out = value.substr(0, width);
  out.resize(width, ' ');
  return out;
}

// The value without surrounding blanks, zero-filled on the left; a longer value stays whole.
std::string zeroFill(const std::string& value, size_t width) {
  std::string v = trim(value);
  return v.size() >= width ? v : std::string(width - v.size(), '0') + v;
}

// Characters [position, position + width) counted from 1, clipped at the end of the text.
std::string mid(const std::string& text, size_t position, size_t width) {
  if (position - 1 >= text.size()) return {};
  return text.substr(position - 1, width);
}

struct ResponseCode {
  const char* code;
  const char* description;
};

constexpr std::array<ResponseCode, 11> kResponseCodes = {{
    {"EC", "Invalid or missing INV GOVT PROGRAM TYPE or INV GOVT END USER TYPE."},
    {"ED", "Discontinued part number."},
    {"EE", "Your customer number is not recognized by Ingram Micro."},
    {"EJ", "Password incorrect."},
    {"EM", "Maximum quantity of part already allocated to customer."},
    {"EN", "Part number not found / not in Ingram database."},
    {"EQ", "Invalid quantity requested."},
    {"ES", "System item error."},
    {"EU", "Suffix error."},
    {"EX", "Unauthorized part."},
    {"EY", "Invalid or missing system ID."},
}};

}  // namespace

// ---- Part ----

Variant Part::CreatePart() const {
  std::string record = "INV";
  record += padText(PartNumber, 12);
  record += zeroFill(QtyToCheck, 4);
  record += padText(TotalAvailable, 1);
  record += padText(GovtProgramType, 2);
  record += padText(GovtEndUserType, 2);
  record += padText(ManufacturerPartNo, 20);
  record += std::string(687, ' ');
  return Variant(std::move(record));
}

void Part::ParsePart(const std::string& S2) {
  const std::string answer = S2;
  ResponseFlag = mid(answer, 1, 1);
  ErrorType = mid(answer, 2, 1);
  if (ResponseFlag == "E") {
    const std::string code = trim(ResponseFlag + ErrorType);
    for (const ResponseCode& c : kResponseCodes) {
      if (code == c.code) ErrorDescription = c.description;
    }
  }

  int32_t total = 0;
  for (int k = 1; k <= Quantities.Count(); ++k) {
    Quantity& line = Quantities(k);
    const size_t at = static_cast<size_t>(kLineStep * (k - 1));
    line.WarehouseNumber = mid(answer, 3 + at, 2);
    line.QtyAvailableSign = mid(answer, 5 + at, 1);
    line.QtyAvailable = mid(answer, 6 + at, 7);
    if (line.QtyAvailableSign.text() == "-") continue;
    // A running whole-number total, as a 32-bit integer.
    const double sum = roundHalfEven(total + val(line.QtyAvailable.text()), 0);
    if (!(sum >= std::numeric_limits<int32_t>::min() && sum <= std::numeric_limits<int32_t>::max()))
      raise(kErrOverflow, "Overflow", "kestrin.Part");
    total = static_cast<int32_t>(sum);
  }
  Available = TotalAvailable == "Y" ? std::to_string(total) : std::string();

  LocalCurrencyPrice = mid(answer, 203, 17);
  SpecialPrice = mid(answer, 220, 1);
  for (int k = 1; k <= Quantities.Count(); ++k) {
    Quantity& line = Quantities(k);
    const size_t at = static_cast<size_t>(kLineStep * (k - 1));
    line.QtyOnOrder = mid(answer, 221 + at, 4);
    line.ETA = mid(answer, 225 + at, 6);
  }
  ForiegnCurrency = mid(answer, 421, 17);
  PartNumberOccurs = mid(answer, 438, 1);
  MfgPartCode = mid(answer, 439, 20);
  Line1Description = mid(answer, 459, 24);
  VendorNumber = mid(answer, 483, 4);
  ReserveInvFlag = mid(answer, 487, 1);
}

// ---- Transaction ----

Transaction::~Transaction() {
  // A session the caller left open would otherwise stay connected for the life of the process.
  if (PClient != 0) imdsi::Close_Client(PClient);
}

std::string Transaction::CreateHeader(const std::string& sLength,
                                      const std::string& Transaction) const {
  std::string header = zeroFill(sLength, 4);
  header += padText(System, 2);
  header += padText(Program, 8);
  header += std::string(4, ' ');
  header += padText(CustomerBranch, 2);
  header += padText(CustomerNumber, 6);
  header += padText(Password, 10);
  header += padText(Version, 1);
  header += padText(Transaction, 4);
  header += padText(Country, 2);
  header += padText(Region, 1);
  header += ' ';
  header += padText(SelectSourceBranch, 2);
  header += padText(SelectSourceNumber, 6);
  header += std::string(10, ' ');
  return header;
}

void Transaction::OpenClient() {
  if (Region.empty()) raise(kErrInvalidCall, "Invalid procedure call or argument", kSource);
  // A session opened earlier by this transaction is ended first rather than left connected.
  if (PClient != 0) imdsi::Close_Client(PClient);
  PClient = imdsi::Open_Client(Server.c_str(), static_cast<uint8_t>(Region[0]));
  if (PClient == 0) raise(kErrOpenFailed, "Open failed.", kSource);
}

void Transaction::CallServer(std::string& S1) {
  if (PClient == 0) {
    raise(kErrServerNotOpened, "Server not opened -- PClient:***" + std::to_string(PClient) + "***",
          kSource);
  }
  // The library works on a NUL-terminated buffer of the message's length.
  std::vector<char> buffer(S1.begin(), S1.end());
  buffer.push_back('\0');
  const int16_t status = imdsi::Call_Server(PClient, buffer.data());
  if (status == 0) S1.assign(buffer.data(), kPandAMessageLength);
  ReturnCode = mid(S1, 15, 4);
  ErrorType = mid(S1, 45, 1);
  if (status != 0) {
    // The buffer still holds the request, whose header carries the reseller's password; the
    // description may end up on a page, so the password field is masked.
    std::string shown = buffer.data();
    if (shown.size() >= kPasswordEnd)
      shown.replace(kPasswordStart, kPasswordEnd - kPasswordStart, kPasswordEnd - kPasswordStart,
                    '*');
    raise(kErrCallServerFailed,
          "CallServer failed: " + std::to_string(status) + " ***" + shown + "***", kSource);
  }
}

void Transaction::CloseClient() {
  if (PClient == 0) raise(kErrServerNotOpened, "Server not opened.", kSource);
  imdsi::Close_Client(PClient);
}

// ---- PandA ----

PandA::PandA() : parts_(std::make_shared<PartList>()) {}

void PandA::setParts(std::shared_ptr<PartList> parts) {
  if (!parts)
    raise(kErrObjectNotSet, "Object variable or With block variable not set", "kestrin.PandA");
  parts_ = std::move(parts);
}

Transaction& PandA::Trans() const {
  if (!trans_)
    raise(kErrObjectNotSet, "Object variable or With block variable not set", "kestrin.PandA");
  return *trans_;
}

std::string PandA::CreateRequest() {
  std::string message = Trans().CreateHeader("7369", "LUII");
  for (int i = 1; i <= PartList::Count(); ++i) message += Parts()(i).CreatePart().text();
  message += '\0';
  return message;
}

void PandA::ParseResponse(const std::string& message) {
  for (int i = 1; i <= PartList::Count(); ++i) {
    const size_t at = kFirstAnswerArea + kPartRecordLength * static_cast<size_t>(i - 1);
    Parts()(i).ParsePart(mid(message, at, kAnswerAreaLength));
  }
}

void PandA::Transact() {
  std::string message = CreateRequest();
  Transaction& trans = Trans();
  trans.OpenClient();
  try {
    trans.CallServer(message);
  } catch (...) {
    imdsi::Close_Client(trans.PClient);
    throw;
  }
  trans.CloseClient();
  ParseResponse(message);
}

void PandA::CallServer() {
  std::string message = CreateRequest();
  Trans().CallServer(message);
  ParseResponse(message);
}

}  // namespace kestrin
