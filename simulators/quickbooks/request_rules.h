// What the simulated QuickBooks knows of the qbXML requests it answers: for each request, its
// elements in the order the schema fixes, their kinds, the longest text each may hold, which are
// required, and which list a reference names.
#pragma once

#include <span>
#include <string_view>

namespace kestrin::qbsim {

enum class FieldKind {
  Text,      // STRTYPE, checked against maxLength characters
  Bool,      // "true" or "false"
  Amount,    // AMTTYPE and PRICETYPE: a decimal number
  Quantity,  // QUANTYPE: a decimal number
  Date,      // YYYY-MM-DD
  Ref,       // ListID and/or FullName naming an element of `target`
  Group,     // an aggregate of `children`
  Choice,    // exactly one of `children` (each a Group) stands here
  Lines,     // a Group that may repeat
};

// The list a reference names: its name space, the kind within it (empty: any) and the word
// QuickBooks uses for it in messages.
struct RefTarget {
  std::string_view nameSpace;
  std::string_view kind;
  std::string_view label;
};

struct FieldRule {
  std::string_view name;
  FieldKind kind = FieldKind::Text;
  int maxLength = 0;  // Text: the value; Ref: its FullName
  bool required = false;
  RefTarget target{};
  std::span<const FieldRule> children{};
};

struct RequestRule {
  std::string_view request;    // "CustomerAddRq"
  std::string_view body;       // "CustomerAdd"
  std::string_view kind;       // the kind of element it adds: "Customer"
  std::string_view label;      // the word for it in messages
  std::string_view nameSpace;  // "Name", "Item"; empty for a transaction
  std::string_view ret;        // "CustomerRet"
  std::span<const FieldRule> fields;
};

// The rule of an add request by its element name, or null.
const RequestRule* findRequestRule(std::string_view request);

// The elements of an InvoiceQueryRq the simulator answers: RefNumber, IncludeLineItems.
std::span<const FieldRule> invoiceQueryFields();

}  // namespace kestrin::qbsim
