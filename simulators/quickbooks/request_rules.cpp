#include "request_rules.h"

namespace kestrin::qbsim {

namespace {

using K = FieldKind;

constexpr FieldRule text(std::string_view name, int maxLength, bool required = false) {
  return {name, K::Text, maxLength, required};
}
constexpr FieldRule flag(std::string_view name) { return {name, K::Bool}; }
constexpr FieldRule amount(std::string_view name) { return {name, K::Amount}; }
constexpr FieldRule quantity(std::string_view name) { return {name, K::Quantity}; }
constexpr FieldRule date(std::string_view name) { return {name, K::Date}; }
constexpr FieldRule ref(std::string_view name, RefTarget target, int maxLength,
                        bool required = false) {
  return {name, K::Ref, maxLength, required, target};
}
constexpr FieldRule group(std::string_view name, std::span<const FieldRule> children,
                          bool required = false) {
  return {name, K::Group, 0, required, {}, children};
}

constexpr RefTarget kAccount{"Account", "Account", "Account"};
constexpr RefTarget kTerms{"Terms", "Terms", "Terms"};
constexpr RefTarget kTaxCode{"SalesTaxCode", "SalesTaxCode", "Sales Tax Code"};
constexpr RefTarget kShipMethod{"ShipMethod", "ShipMethod", "Ship Method"};
constexpr RefTarget kVendor{"Name", "Vendor", "Vendor"};
constexpr RefTarget kCustomer{"Name", "Customer", "Customer"};
constexpr RefTarget kItem{"Item", "", "Item"};

constexpr FieldRule kAddress[] = {
    text("Addr1", 41), text("Addr2", 41), text("Addr3", 41),      text("Addr4", 41),
    text("City", 31),  text("State", 21), text("PostalCode", 13), text("Country", 31),
};

constexpr FieldRule kCustomerAdd[] = {
    text("Name", 41, true),
    flag("IsActive"),
    text("CompanyName", 41),
    text("Salutation", 15),
    text("FirstName", 25),
    text("MiddleName", 5),
    text("LastName", 25),
    group("BillAddress", kAddress),
    group("ShipAddress", kAddress),
    text("Phone", 21),
    text("AltPhone", 21),
    text("Fax", 21),
    text("Email", 1023),
    text("Contact", 41),
    text("AltContact", 41),
    ref("TermsRef", kTerms, 31),
};

constexpr FieldRule kVendorAdd[] = {
    text("Name", 41, true),
    flag("IsActive"),
    text("CompanyName", 41),
    text("Salutation", 15),
    text("FirstName", 25),
    text("MiddleName", 5),
    text("LastName", 25),
    group("VendorAddress", kAddress),
    text("Phone", 21),
    text("AltPhone", 21),
    text("Fax", 21),
    text("Email", 1023),
    text("Contact", 41),
    text("AltContact", 41),
    text("NameOnCheck", 41),
    text("AccountNumber", 99),
    ref("TermsRef", kTerms, 31),
};

constexpr FieldRule kItemInventoryAdd[] = {
    text("Name", 31, true),
    flag("IsActive"),
    ref("SalesTaxCodeRef", kTaxCode, 3),
    text("SalesDesc", 4095),
    amount("SalesPrice"),
    ref("IncomeAccountRef", kAccount, 159, true),
    text("PurchaseDesc", 4095),
    amount("PurchaseCost"),
    ref("COGSAccountRef", kAccount, 159, true),
    ref("PrefVendorRef", kVendor, 41),
    ref("AssetAccountRef", kAccount, 159, true),
    quantity("ReorderPoint"),
    quantity("QuantityOnHand"),
    amount("TotalValue"),
    date("InventoryDate"),
};

constexpr FieldRule kSalesOrPurchase[] = {
    text("Desc", 4095),
    amount("Price"),
    ref("AccountRef", kAccount, 159, true),
};

constexpr FieldRule kSalesAndPurchase[] = {
    text("SalesDesc", 4095),
    amount("SalesPrice"),
    ref("IncomeAccountRef", kAccount, 159, true),
    text("PurchaseDesc", 4095),
    amount("PurchaseCost"),
    ref("ExpenseAccountRef", kAccount, 159, true),
    ref("PrefVendorRef", kVendor, 41),
};

constexpr FieldRule kSalesPurchaseChoice[] = {
    group("SalesOrPurchase", kSalesOrPurchase),
    group("SalesAndPurchase", kSalesAndPurchase),
};

constexpr FieldRule kItemNonInventoryAdd[] = {
    text("Name", 31, true),
    flag("IsActive"),
    ref("SalesTaxCodeRef", kTaxCode, 3),
    {"ORSalesPurchase", K::Choice, 0, true, {}, kSalesPurchaseChoice},
};

constexpr FieldRule kInvoiceLineAdd[] = {
    ref("ItemRef", kItem, 159),
    text("Desc", 4095),
    quantity("Quantity"),
    amount("Rate"),
    amount("Amount"),
    date("ServiceDate"),
    ref("SalesTaxCodeRef", kTaxCode, 3),
    ref("OverrideItemAccountRef", kAccount, 159),
};

constexpr FieldRule kInvoiceAdd[] = {
    ref("CustomerRef", kCustomer, 209, true),
    date("TxnDate"),
    text("RefNumber", 11),
    group("BillAddress", kAddress),
    group("ShipAddress", kAddress),
    flag("IsPending"),
    text("PONumber", 25),
    ref("TermsRef", kTerms, 31),
    date("DueDate"),
    text("FOB", 13),
    date("ShipDate"),
    ref("ShipMethodRef", kShipMethod, 15),
    text("Memo", 4095),
    flag("IsToBePrinted"),
    {"InvoiceLineAdd", K::Lines, 0, false, {}, kInvoiceLineAdd},
};

constexpr RequestRule kRequests[] = {
    {"CustomerAddRq", "CustomerAdd", "Customer", "Customer", "Name", "CustomerRet", kCustomerAdd},
    {"VendorAddRq", "VendorAdd", "Vendor", "Vendor", "Name", "VendorRet", kVendorAdd},
    {"ItemInventoryAddRq", "ItemInventoryAdd", "ItemInventory", "ItemInventory", "Item",
     "ItemInventoryRet", kItemInventoryAdd},
    {"ItemNonInventoryAddRq", "ItemNonInventoryAdd", "ItemNonInventory", "ItemNonInventory", "Item",
     "ItemNonInventoryRet", kItemNonInventoryAdd},
    {"InvoiceAddRq", "InvoiceAdd", "Invoice", "Invoice", "", "InvoiceRet", kInvoiceAdd},
};

constexpr FieldRule kInvoiceQuery[] = {
    text("RefNumber", 11),
    flag("IncludeLineItems"),
};

}  // namespace

std::span<const FieldRule> invoiceQueryFields() { return kInvoiceQuery; }

const RequestRule* findRequestRule(std::string_view request) {
  for (const RequestRule& r : kRequests) {
    if (r.request == request) return &r;
  }
  return nullptr;
}

}  // namespace kestrin::qbsim
