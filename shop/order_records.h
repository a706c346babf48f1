// Orders as the shop's own pages read them (invoice, tracking, return and cancel requests, the
// admin orders page): the order row, its lines and its customer, straight from the main
// database, and the invoice's HTML built from them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kestrin/db.h"
#include "site_look.h"

namespace kestrin::shop {

struct OrderLine {
  std::string partno, descr, status;
  double price = 0;
  long long qty = 0;
};

struct OrderRecord {
  std::string orderid, customerid, date, status, paymethod, ccnumber, cknumber, ponum;
  std::string smethod, shipcompan, shipname, shipaddres, shipcity, shipstate, shipzip, shipcountr;
  std::string shiptrack, shipdate;
  double total = 0, tax = 0, shipcost = 0, handling = 0;
  std::vector<OrderLine> lines;
  // The customer's account, when it still exists.
  bool hasCustomer = false;
  std::string customerName, company, address, city, state, zip, country, phone, email;
};

// An order number as the shop writes them ("S10001"): letters and digits, 1 to 20 of them.
// Anything else cannot name an order.
bool isOrderId(const std::string& id);

// A carrier's tracking number: letters, digits, blanks and "-", at most 40 (empty text too).
bool isTrackingNumber(const std::string& value);

// A status text typed by the admin: printable, 1 to 40 characters after trimming.
bool isStatusText(const std::string& value);

// The order with its lines (in the order they were written) and its customer, or nothing.
std::optional<OrderRecord> loadOrder(db::Connection& conn, const std::string& orderid);

// The status a shopper sees for a line, as the order history writes it.
std::string lineStatusText(const std::string& status);

// The body of an invoice: the shop, the order's facts, bill-to and ship-to addresses, the
// lines and the totals. Every value is HTML-escaped.
std::string invoiceSections(const OrderRecord& order, const SiteLook& look);

// The whole printable invoice document (no shop layout around it).
std::string invoiceDocument(const OrderRecord& order, const SiteLook& look);

}  // namespace kestrin::shop
