// The requests of a qbXML message set, as objects whose fields are set one by one with SetValue
// and references named by FullName (or ListID), the way QuickBooks' own foundation classes do.
//
// Every field is an element of the request. An element registers with the aggregate it belongs
// to when it is constructed, so the declaration order of a request's members below is the order
// in which they are written, and that is the order the qbXML schema fixes for the request (real
// QuickBooks refuses a request whose elements are out of order). Only the fields this system
// sends, and their neighbours where the schema wants them, are declared.
//
// Elements are neither copied nor moved: they refer to their parent. Requests live in the
// message set that appended them.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestrin::qbxml {

class Aggregate;
class XmlOut;  // the writer of a message set's text (internal)

class Element {
 public:
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;
  virtual ~Element() = default;

  const char* elementName() const { return name_; }
  // True when the element will be written (a value that was set; an aggregate with a set child).
  virtual bool IsSet() const = 0;
  virtual void write(XmlOut& out) const = 0;

 protected:
  // `parent` may be null for the body of a request and the lines of a list.
  Element(Aggregate* parent, const char* name);
  // Reading a field that was never set is an error, as it is in QBFC.
  [[noreturn]] void noValue() const;

 private:
  const char* name_;
};

// A text field (STRTYPE or IDTYPE). Its length is QuickBooks' to check.
class StringType : public Element {
 public:
  StringType(Aggregate* parent, const char* name) : Element(parent, name) {}
  void SetValue(std::string value);
  const std::string& GetValue() const;
  bool IsSet() const override { return set_; }
  void Unset();
  void write(XmlOut& out) const override;

 private:
  std::string value_;
  bool set_ = false;
};

class BoolType : public Element {
 public:
  BoolType(Aggregate* parent, const char* name) : Element(parent, name) {}
  void SetValue(bool value);
  bool GetValue() const;
  bool IsSet() const override { return set_; }
  void write(XmlOut& out) const override;

 private:
  bool value_ = false;
  bool set_ = false;
};

// The numeric types differ only in how they write their value:
//   Amount (AMTTYPE)   two decimals: "19.00"
//   Price (PRICETYPE)  two to five decimals: "9.50", "1.23456"
//   Quantity (QUANTYPE) up to five decimals, no trailing zeros: "2", "2.5"
// A value that is not finite is refused by SetValue (invalid procedure call, 5).
class NumberType : public Element {
 public:
  enum class Form { Amount, Price, Quantity };
  NumberType(Aggregate* parent, const char* name, Form form) : Element(parent, name), form_(form) {}
  void SetValue(double value);
  double GetValue() const;
  bool IsSet() const override { return set_; }
  void write(XmlOut& out) const override;
  // The text the value is written as.
  std::string text() const;

 private:
  Form form_;
  double value_ = 0;
  bool set_ = false;
};

class AmountType : public NumberType {
 public:
  AmountType(Aggregate* parent, const char* name) : NumberType(parent, name, Form::Amount) {}
};
class PriceType : public NumberType {
 public:
  PriceType(Aggregate* parent, const char* name) : NumberType(parent, name, Form::Price) {}
};
class QuanType : public NumberType {
 public:
  QuanType(Aggregate* parent, const char* name) : NumberType(parent, name, Form::Quantity) {}
};

// A date, written YYYY-MM-DD. SetValue refuses a day that does not exist.
class DateType : public Element {
 public:
  DateType(Aggregate* parent, const char* name) : Element(parent, name) {}
  void SetValue(int year, int month, int day);
  const std::string& GetValue() const;  // "2026-12-09"
  bool IsSet() const override { return !value_.empty(); }
  void write(XmlOut& out) const override;

 private:
  std::string value_;
};

// An element made of elements: written as <Name>children</Name> when any child is set.
class Aggregate : public Element {
 public:
  bool IsSet() const override;
  void write(XmlOut& out) const override;

 protected:
  Aggregate(Aggregate* parent, const char* name) : Element(parent, name) {}
  // The children, written in this order.
  const std::vector<const Element*>& children() const { return children_; }

 private:
  friend class Element;
  std::vector<const Element*> children_;
};

// A choice between aggregates (QBFC's OR... objects): not an element itself; the one alternative
// that is set is written in its place. Setting fields of two alternatives is refused when the
// message set is written.
class Choice : public Aggregate {
 public:
  void write(XmlOut& out) const override;

 protected:
  Choice(Aggregate* parent, const char* name) : Aggregate(parent, name) {}
};

// The body of a request or a line of a list: always written, even with no field set.
class RequestBody : public Aggregate {
 public:
  void write(XmlOut& out) const override;

 protected:
  explicit RequestBody(const char* name) : Aggregate(nullptr, name) {}
};

// A list of lines (QBFC's ...List with Append): each appended line is written in order.
template <class Line>
class LineList : public Element {
 public:
  LineList(Aggregate* parent, const char* name) : Element(parent, name) {}
  Line& Append() { return *lines_.emplace_back(std::make_unique<Line>()); }
  size_t Count() const { return lines_.size(); }
  Line& GetAt(size_t index) { return *lines_.at(index); }
  bool IsSet() const override { return !lines_.empty(); }
  void write(XmlOut& out) const override {
    for (const auto& line : lines_) line->write(out);
  }

 private:
  std::vector<std::unique_ptr<Line>> lines_;
};

// ---- Shared aggregates ----

// A reference to a list element, by ListID or by FullName.
class BaseRef : public Aggregate {
 public:
  BaseRef(Aggregate* parent, const char* name) : Aggregate(parent, name) {}
  StringType ListID{this, "ListID"};
  StringType FullName{this, "FullName"};
};

class Address : public Aggregate {
 public:
  Address(Aggregate* parent, const char* name) : Aggregate(parent, name) {}
  StringType Addr1{this, "Addr1"};
  StringType Addr2{this, "Addr2"};
  StringType Addr3{this, "Addr3"};
  StringType Addr4{this, "Addr4"};
  StringType City{this, "City"};
  StringType State{this, "State"};
  StringType PostalCode{this, "PostalCode"};
  StringType Country{this, "Country"};
};

// ---- Requests ----

// HostQueryRq has no fields: it asks for the product and the qbXML versions it understands.
class HostQuery : public RequestBody {
 public:
  HostQuery() : RequestBody("HostQuery") {}
  void write(XmlOut& out) const override;  // the request element stays empty
};

// InvoiceQueryRq: the invoices with a reference number. A query has no body element of its own:
// its filter and options stand directly in the request.
class InvoiceQuery : public RequestBody {
 public:
  InvoiceQuery() : RequestBody("InvoiceQuery") {}
  StringType RefNumber{this, "RefNumber"};
  BoolType IncludeLineItems{this, "IncludeLineItems"};
  void write(XmlOut& out) const override;
};

class CustomerAdd : public RequestBody {
 public:
  CustomerAdd() : RequestBody("CustomerAdd") {}
  StringType Name{this, "Name"};
  BoolType IsActive{this, "IsActive"};
  StringType CompanyName{this, "CompanyName"};
  StringType Salutation{this, "Salutation"};
  StringType FirstName{this, "FirstName"};
  StringType MiddleName{this, "MiddleName"};
  StringType LastName{this, "LastName"};
  Address BillAddress{this, "BillAddress"};
  Address ShipAddress{this, "ShipAddress"};
  StringType Phone{this, "Phone"};
  StringType AltPhone{this, "AltPhone"};
  StringType Fax{this, "Fax"};
  StringType Email{this, "Email"};
  StringType Contact{this, "Contact"};
  StringType AltContact{this, "AltContact"};
  BaseRef TermsRef{this, "TermsRef"};
};

class VendorAdd : public RequestBody {
 public:
  VendorAdd() : RequestBody("VendorAdd") {}
  StringType Name{this, "Name"};
  BoolType IsActive{this, "IsActive"};
  StringType CompanyName{this, "CompanyName"};
  StringType Salutation{this, "Salutation"};
  StringType FirstName{this, "FirstName"};
  StringType MiddleName{this, "MiddleName"};
  StringType LastName{this, "LastName"};
  Address VendorAddress{this, "VendorAddress"};
  StringType Phone{this, "Phone"};
  StringType AltPhone{this, "AltPhone"};
  StringType Fax{this, "Fax"};
  StringType Email{this, "Email"};
  StringType Contact{this, "Contact"};
  StringType AltContact{this, "AltContact"};
  StringType NameOnCheck{this, "NameOnCheck"};
  StringType AccountNumber{this, "AccountNumber"};
  BaseRef TermsRef{this, "TermsRef"};
};

class ItemInventoryAdd : public RequestBody {
 public:
  ItemInventoryAdd() : RequestBody("ItemInventoryAdd") {}
  StringType Name{this, "Name"};
  BoolType IsActive{this, "IsActive"};
  BaseRef SalesTaxCodeRef{this, "SalesTaxCodeRef"};
  StringType SalesDesc{this, "SalesDesc"};
  PriceType SalesPrice{this, "SalesPrice"};
  BaseRef IncomeAccountRef{this, "IncomeAccountRef"};
  StringType PurchaseDesc{this, "PurchaseDesc"};
  PriceType PurchaseCost{this, "PurchaseCost"};
  BaseRef COGSAccountRef{this, "COGSAccountRef"};
  BaseRef PrefVendorRef{this, "PrefVendorRef"};
  BaseRef AssetAccountRef{this, "AssetAccountRef"};
  QuanType ReorderPoint{this, "ReorderPoint"};
  QuanType QuantityOnHand{this, "QuantityOnHand"};
  AmountType TotalValue{this, "TotalValue"};
  DateType InventoryDate{this, "InventoryDate"};
};

class SalesOrPurchase : public Aggregate {
 public:
  SalesOrPurchase(Aggregate* parent, const char* name) : Aggregate(parent, name) {}
  StringType Desc{this, "Desc"};
  PriceType Price{this, "Price"};
  BaseRef AccountRef{this, "AccountRef"};
};

class SalesAndPurchase : public Aggregate {
 public:
  SalesAndPurchase(Aggregate* parent, const char* name) : Aggregate(parent, name) {}
  StringType SalesDesc{this, "SalesDesc"};
  PriceType SalesPrice{this, "SalesPrice"};
  BaseRef IncomeAccountRef{this, "IncomeAccountRef"};
  StringType PurchaseDesc{this, "PurchaseDesc"};
  PriceType PurchaseCost{this, "PurchaseCost"};
  BaseRef ExpenseAccountRef{this, "ExpenseAccountRef"};
  BaseRef PrefVendorRef{this, "PrefVendorRef"};
};

class ORSalesPurchase : public Choice {
 public:
  ORSalesPurchase(Aggregate* parent, const char* name) : Choice(parent, name) {}
  qbxml::SalesOrPurchase SalesOrPurchase{this, "SalesOrPurchase"};
  qbxml::SalesAndPurchase SalesAndPurchase{this, "SalesAndPurchase"};
};

class ItemNonInventoryAdd : public RequestBody {
 public:
  ItemNonInventoryAdd() : RequestBody("ItemNonInventoryAdd") {}
  StringType Name{this, "Name"};
  BoolType IsActive{this, "IsActive"};
  BaseRef SalesTaxCodeRef{this, "SalesTaxCodeRef"};
  qbxml::ORSalesPurchase ORSalesPurchase{this, "ORSalesPurchase"};
};

class InvoiceLineAdd : public RequestBody {
 public:
  InvoiceLineAdd() : RequestBody("InvoiceLineAdd") {}
  BaseRef ItemRef{this, "ItemRef"};
  StringType Desc{this, "Desc"};
  QuanType Quantity{this, "Quantity"};
  PriceType Rate{this, "Rate"};
  AmountType Amount{this, "Amount"};
  DateType ServiceDate{this, "ServiceDate"};
  BaseRef SalesTaxCodeRef{this, "SalesTaxCodeRef"};
  BaseRef OverrideItemAccountRef{this, "OverrideItemAccountRef"};
};

// One entry of an invoice's line list: a line (the choice of a line group is not offered).
class ORInvoiceLineAdd {
 public:
  qbxml::InvoiceLineAdd InvoiceLineAdd;
  void write(XmlOut& out) const { InvoiceLineAdd.write(out); }
};

class InvoiceAdd : public RequestBody {
 public:
  InvoiceAdd() : RequestBody("InvoiceAdd") {}
  BaseRef CustomerRef{this, "CustomerRef"};
  DateType TxnDate{this, "TxnDate"};
  StringType RefNumber{this, "RefNumber"};
  Address BillAddress{this, "BillAddress"};
  Address ShipAddress{this, "ShipAddress"};
  BoolType IsPending{this, "IsPending"};
  StringType PONumber{this, "PONumber"};
  BaseRef TermsRef{this, "TermsRef"};
  DateType DueDate{this, "DueDate"};
  StringType FOB{this, "FOB"};
  DateType ShipDate{this, "ShipDate"};
  BaseRef ShipMethodRef{this, "ShipMethodRef"};
  StringType Memo{this, "Memo"};
  BoolType IsToBePrinted{this, "IsToBePrinted"};
  LineList<ORInvoiceLineAdd> ORInvoiceLineAddList{this, "ORInvoiceLineAddList"};
};

}  // namespace kestrin::qbxml
