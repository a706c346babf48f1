// Client of Ingram Micro's real-time price and availability service.
//
// A PandA asks about up to ten parts in one fixed-width message of 7,374 characters: a 63-character
// header written by its Transaction, one 731-character record per Part and a final NUL. The
// server answers in the same buffer with the same layout; each Part then reads its 587-character
// answer area (response flag, twenty warehouse lines, prices, description).
//
// Ownership: a PandA owns its ten Parts (shared with a caller that replaces them as a whole) and
// shares its Transaction with the caller that set it. A Transaction owns its session with the
// server from OpenClient to CloseClient, and closes a session left open when it is destroyed.
// Failures are raised as kestrin::Error with the numbers below.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "kestrin/error.h"
#include "kestrin/variant.h"

namespace kestrin {

// Errors raised by Transaction.
inline constexpr int32_t kErrOpenFailed = static_cast<int32_t>(0x8004C351);        // "Open failed."
inline constexpr int32_t kErrServerNotOpened = static_cast<int32_t>(0x8004C352);   // no session
inline constexpr int32_t kErrCallServerFailed = static_cast<int32_t>(0x8004C353);  // status != 0

// Length of a request or answer message, its final NUL included.
inline constexpr size_t kPandAMessageLength = 7374;

// A fixed list numbered from 1, as the interface counts part lines and warehouse lines.
template <class T, size_t N>
class NumberedList {
 public:
  // Item i (1 to N); any other number raises the subscript error (9).
  T& operator()(int i) { return items_[index(i)]; }
  const T& operator()(int i) const { return items_[index(i)]; }
  static constexpr int Count() { return static_cast<int>(N); }

 private:
  static size_t index(int i) {
    if (i < 1 || static_cast<size_t>(i) > N) {
      raise(kErrSubscript, "Subscript out of range", "kestrin.PandA");
    }
    return static_cast<size_t>(i - 1);
  }
  std::array<T, N> items_;
};

// One warehouse line of a part's answer. Each field is a variant holding a string, copied from
// the answer as it stands (blanks included).
class Quantity {
 public:
  Variant WarehouseNumber = std::string(2, ' ');
  Variant QtyAvailableSign = std::string(1, ' ');
  Variant QtyAvailable = std::string(7, ' ');
  Variant QtyOnOrder = std::string(4, ' ');
  Variant ETA = std::string(6, ' ');
};

// One part line: what is asked (request fields) and what came back (answer fields).
class Part {
 public:
  // Request fields, written at their widths.
  std::string PartNumber = std::string(12, ' ');
  std::string QtyToCheck = std::string(4, ' ');
  std::string TotalAvailable = std::string(1, ' ');  // "Y" asks for the summed quantity
  std::string GovtProgramType = std::string(2, ' ');
  std::string GovtEndUserType = std::string(2, ' ');
  std::string ManufacturerPartNo = std::string(20, ' ');
  // Answer fields.
  std::string ResponseFlag;
  std::string ErrorType;
  std::string LocalCurrencyPrice;
  std::string SpecialPrice;
  std::string ForiegnCurrency;
  std::string PartNumberOccurs;
  std::string MfgPartCode;
  std::string Line1Description;
  std::string VendorNumber;
  std::string ReserveInvFlag;
  NumberedList<Quantity, 20> Quantities;
  // The summed quantity of the warehouse lines when TotalAvailable is "Y", else empty text.
  std::string Available;
  // The message of an error response code ("EN" ...); changes only on a known code.
  std::string ErrorDescription;

  // The 731-character request record (a variant holding a string). A QtyToCheck longer than four
  // characters is written whole and lengthens the record.
  Variant CreatePart() const;
  // Reads the 587-character answer area; fields past the end of a shorter text become empty.
  void ParsePart(const std::string& S2);
};

using PartList = NumberedList<Part, 10>;

// The session with the price-and-availability server and the message header.
class Transaction {
 public:
  Transaction() = default;
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  std::string CustomerNumber = std::string(6, ' ');
  std::string CustomerBranch = std::string(2, ' ');
  std::string Password = std::string(10, ' ');
  std::string System = "IM";
  std::string Program = "LUP777  ";
  std::string Version = "3";
  std::string Country = "MD";
  std::string Region = "T";  // its first character's code is also given to the server
  std::string Server;        // host[:port] of the server
  std::string ErrorType;     // from the answer's header
  std::string ReturnCode;    // from the answer's header
  std::string SelectSourceNumber = std::string(6, ' ');
  std::string SelectSourceBranch = std::string(2, ' ');
  int32_t PClient = 0;  // client handle; 0: no session was opened

  // Opens a session with Server. Raises 0x8004C351 "Open failed." when the server cannot be
  // reached, and the invalid-argument error (5) when Region is empty.
  void OpenClient();
  // Sends the message in S1 and puts the answer in its place. Raises 0x8004C352 without a
  // session and 0x8004C353 when the call fails (time-out, connection lost, malformed message).
  void CallServer(std::string& S1);
  // Ends the session; PClient keeps its value. Raises 0x8004C352 "Server not opened." without one.
  void CloseClient();
  // The 63-character header of a message of length sLength and transaction code Transaction.
  std::string CreateHeader(const std::string& sLength, const std::string& Transaction) const;
};

// One price-and-availability request of up to ten parts.
class PandA {
 public:
  PandA();

  // The ten part lines, numbered 1 to 10.
  PartList& Parts() { return *parts_; }
  // Puts another set of part lines in place of these; the PandA shares them with the caller.
  void setParts(std::shared_ptr<PartList> parts);
  // The transaction to use; raises the object-not-set error (91) when none was set.
  Transaction& Trans() const;
  void setTrans(std::shared_ptr<Transaction> transaction) { trans_ = std::move(transaction); }

  // The whole exchange: request, open, call, close, then the answer into the ten parts. The
  // session is closed again when the call fails.
  void Transact();
  // The exchange over a session the caller has opened and keeps open.
  void CallServer();

 private:
  std::string CreateRequest();
  void ParseResponse(const std::string& message);

  std::shared_ptr<PartList> parts_;
  std::shared_ptr<Transaction> trans_;
};

}  // namespace kestrin
