// The checkout cart_ship2.asp, for a logged-on customer: step 3 asks for the shipping and
// payment details, step 4 shows the order with its totals for a last look, step 5 saves it with
// OrderSave, mails the confirmation (built from CartListItems) when the site's mail is set up,
// and empties the cart. Totals are always worked out here from the stored cart, never taken from
// the form: cartTotal's subtotal and weight, a shipping charge by weight and method, a handling
// charge and a tax rate from the site's preferences.
#include <cmath>
#include <cstdio>

#include "checkout_charges.h"
#include "customer_records.h"
#include "kestrin/error.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

struct ShipMethod {
  const char* name;
  double factor;  // of the ground charge
};
const ShipMethod kShipMethods[] = {
    {"UPS Ground", 1.0}, {"UPS 2nd Day Air", 2.0}, {"UPS Next Day Air", 3.0}};

// The payment methods; the first four are the ones the order keeps as "Pending".
const char* const kPayMethods[] = {"Visa", "MasterCard", "American Express",
                                   "ACH",  "Check",      "Purchase order"};

bool isCard(const std::string& pay) {
  return pay == "Visa" || pay == "MasterCard" || pay == "American Express";
}

// The site's charges (kChargePreferences) and whether mail is set up.
struct Charges {
  double shipBase = kChargePreferences[0].fallback;
  double shipPerPound = kChargePreferences[1].fallback;
  double handling = kChargePreferences[2].fallback;
  double taxRate = kChargePreferences[3].fallback;
  std::string smtpServer;  // "smtpserver": empty when mail is not set up
};

Charges readCharges(const EngineCaller& engine) {
  Charges c;
  eCat cat;
  cat.opendb(true, engine.siteId(), engine.password());
  clearCurrentError();  // a distributor database that did not open is no concern here
  double* into[] = {&c.shipBase, &c.shipPerPound, &c.handling, &c.taxRate};
  for (size_t i = 0; i < std::size(kChargePreferences); ++i) {
    std::string v = cat.getPref(kChargePreferences[i].name, "opendb");
    if (!currentError().isSet()) chargeValue(v, *into[i]);
    clearCurrentError();
  }
  std::string smtp = trim(cat.getPref("smtpserver", "opendb"));
  if (!currentError().isSet() && smtp != "n/a") c.smtpServer = smtp;
  clearCurrentError();
  cat.closedb();
  return c;
}

double cents(double v) { return roundHalfEven(v, 2); }

struct Totals {
  double subtotal = 0, weight = 0, ship = 0, handling = 0, tax = 0, taxRate = 0;
  double beforeTax() const { return subtotal + ship + handling; }
  double grand() const { return beforeTax() + tax; }
};

Totals totalsOf(PageContext& ctx, const std::string& cartId, const ShipMethod& method,
                const Charges& charges) {
  eCat cat;
  std::string text = ctx.shop.engine().text(cat, "cartTotal", {{"sessionid", cartId}});
  size_t bar = text.find('|');
  if (currentError().isSet() || bar == std::string::npos) {
    throw std::runtime_error("cartTotal answered: " + text);
  }
  Totals t;
  t.subtotal = cents(std::stod(text.substr(0, bar)));
  t.weight = std::stod(text.substr(bar + 1));
  double pounds = std::max(1.0, std::ceil(t.weight - 1e-9));
  t.ship = cents((charges.shipBase + charges.shipPerPound * pounds) * method.factor);
  t.handling = cents(charges.handling);
  t.taxRate = charges.taxRate;
  t.tax = cents(t.subtotal * charges.taxRate / 100);
  return t;
}

// The details the checkout form collects, as posted.
struct Field {
  const char* name;
  const char* label;
};
const Field kShipFields[] = {{"shipname", "Name"},       {"shipcompany", "Company"},
                             {"shipaddress", "Address"}, {"shipcity", "City"},
                             {"shipstate", "State"},     {"shipzip", "ZIP code"},
                             {"shipcountry", "Country"}};
const Field kPayFields[] = {{"ccnumber", "Card number"},     {"ccexpire", "Expires (MM/YY)"},
                            {"ckbankname", "Bank name"},     {"ckrouting", "ABA routing number"},
                            {"ckaccount", "Account number"}, {"ponum", "Purchase order number"}};

std::string digitsOf(const std::string& v) {
  std::string d;
  for (char c : v) {
    if (std::isdigit(static_cast<unsigned char>(c))) d += c;
  }
  return d;
}

bool luhn(const std::string& digits) {
  int sum = 0;
  bool twice = false;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    int d = *it - '0';
    if (twice && (d *= 2) > 9) d -= 9;
    sum += d;
    twice = !twice;
  }
  return sum % 10 == 0;
}

// "MM/YY" or "MM/YYYY", not before this month.
bool validExpiry(const std::string& v) {
  size_t slash = v.find('/');
  if (slash != 2 || (v.size() != 5 && v.size() != 7) || digitsOf(v).size() != v.size() - 1) {
    return false;
  }
  int month = std::stoi(v.substr(0, 2));
  int year = std::stoi(v.substr(3));
  if (year < 100) year += 2000;
  std::tm now = localNow();
  int thisYear = now.tm_year + 1900, thisMonth = now.tm_mon + 1;
  return month >= 1 && month <= 12 && (year > thisYear || (year == thisYear && month >= thisMonth));
}

const ShipMethod* shipMethod(const std::string& name) {
  for (const ShipMethod& m : kShipMethods) {
    if (name == m.name) return &m;
  }
  return nullptr;
}

// What is wrong with the posted details, or empty text.
std::string detailProblems(PageContext& ctx) {
  for (const Field& f : kShipFields) {
    std::string v = trim(ctx.value(f.name));
    if (v.empty() && std::string_view(f.name) != "shipcompany") {
      return std::string("Please fill in the shipping ") + f.label + ".";
    }
    for (unsigned char c : v) {
      if (c < 0x20 || v.size() > 100)
        return std::string("The shipping ") + f.label + " is too long.";
    }
  }
  if (!shipMethod(ctx.value("shipmethod"))) return "Please choose a shipping method.";
  std::string pay = ctx.value("paymethod");
  if (std::find(std::begin(kPayMethods), std::end(kPayMethods), pay) == std::end(kPayMethods)) {
    return "Please choose a payment method.";
  }
  if (isCard(pay)) {
    std::string number = trim(ctx.value("ccnumber"));
    std::string digits = digitsOf(number);
    if (number.find_first_not_of("0123456789 -") != std::string::npos || digits.size() < 13 ||
        digits.size() > 19 || !luhn(digits)) {
      return "Please check the card number.";
    }
    if (!validExpiry(trim(ctx.value("ccexpire")))) {
      return "Please give the card's expiry date as MM/YY (a card that has not expired).";
    }
  } else if (pay == "ACH") {
    if (trim(ctx.value("ckbankname")).empty() || trim(ctx.value("ckbankname")).size() > 100) {
      return "Please fill in the bank name.";
    }
    std::string routing = trim(ctx.value("ckrouting"));
    if (routing.size() != 9 || digitsOf(routing) != routing) {
      return "An ABA routing number has nine digits.";
    }
    std::string account = trim(ctx.value("ckaccount"));
    if (account.size() < 4 || account.size() > 17 || digitsOf(account) != account) {
      return "An account number has 4 to 17 digits.";
    }
  } else if (pay == "Purchase order") {
    std::string po = trim(ctx.value("ponum"));
    if (po.empty() || po.size() > 40) return "Please fill in the purchase order number.";
  }
  return {};
}

std::string selectField(const std::string& label, const std::string& name,
                        const std::vector<std::string>& choices, const std::string& chosen) {
  std::string html = "<label class=\"text\">" + htmlEscape(label) + " *<br><select name=\"" + name +
                     "\" class=\"droplist\">";
  for (const std::string& c : choices) {
    html +=
        "<option" + std::string(c == chosen ? " selected" : "") + ">" + htmlEscape(c) + "</option>";
  }
  return html + "</select></label>";
}

std::string cartTable(PageContext& ctx, const std::string& cartId) {
  eCat cat;
  return fragment(
      ctx, ctx.shop.engine().text(cat, "cartDisplayOnly", {{"sessionid", cartId}, {"steps", "4"}}));
}

bool cartIsEmpty(PageContext& ctx, const std::string& cartId, std::string* listing = nullptr) {
  eCat cat;
  std::string items =
      ctx.shop.engine().text(cat, "CartListItems", {{"sessionid", cartId}, {"isHTML", "False"}});
  if (items == "Error" && currentError().isSet()) {
    throw Error(currentError().number, currentError().description, currentError().source);
  }
  if (listing) *listing = items;
  return items.empty();
}

HttpResponse checkoutPage(PageContext& ctx, const std::string& content) {
  return ctx.page("Checkout", heading("Checkout") + content);
}

HttpResponse emptyCart(PageContext& ctx, const std::string& cartId) {
  return checkoutPage(ctx,
                      cartTable(ctx, cartId) +
                          "<p><a class=\"link\" href=\"default.asp\">Continue shopping</a></p>");
}

// Step 3: the form, filled from the request when it comes back, else from the account.
HttpResponse detailsForm(PageContext& ctx, const std::string& cartId, const std::string& error) {
  bool fromRequest = ctx.values.has("shipname");
  std::map<std::string, std::string> v;
  if (fromRequest) {
    for (const Field& f : kShipFields) v[f.name] = trim(ctx.value(f.name));
    for (const Field& f : kPayFields) v[f.name] = trim(ctx.value(f.name));
  } else {
    CustomerRecords records(ctx.shop.sessions().connectionString());
    if (std::optional<CustomerDetails> c = records.find(ctx.customerId())) {
      v["shipname"] = trim(c->fname + " " + c->lname);
      v["shipcompany"] = c->cname;
      v["shipaddress"] = c->address;
      v["shipcity"] = c->city;
      v["shipstate"] = c->state;
      v["shipzip"] = c->zip;
      v["shipcountry"] = c->country;
    }
  }
  std::vector<std::string> methods, pays;
  for (const ShipMethod& m : kShipMethods) methods.emplace_back(m.name);
  for (const char* p : kPayMethods) pays.emplace_back(p);
  std::string html = cartTable(ctx, cartId) +
                     (error.empty() ? "" : "<div class=\"error\">" + htmlEscape(error) + "</div>") +
                     "<form action=\"cart_ship2.asp\" method=\"post\" class=\"panel\">" +
                     hiddenField("action", "checkout") + hiddenField("steps", "4") +
                     "<h2>Ship to</h2>";
  for (const Field& f : kShipFields) {
    html += inputField(f.label, f.name, v[f.name], std::string_view(f.name) != "shipcompany");
  }
  html += selectField("Shipping method", "shipmethod", methods, ctx.value("shipmethod")) +
          "<h2>Payment</h2>" +
          selectField("Payment method", "paymethod", pays, ctx.value("paymethod")) +
          "<p class=\"text\">By card: the card number and its expiry date. By bank transfer "
          "(ACH): the bank's name, its routing number and your account number. By purchase "
          "order: its number. By check: nothing more; we ship when the check has arrived.</p>";
  for (const Field& f : kPayFields) html += inputField(f.label, f.name, v[f.name], false);
  html += "<input type=\"submit\" class=\"button_orange\" value=\"Review the order\"></form>";
  return checkoutPage(ctx, html);
}

std::string hiddenDetails(PageContext& ctx) {
  std::string html;
  for (const Field& f : kShipFields) html += hiddenField(f.name, trim(ctx.value(f.name)));
  for (const Field& f : kPayFields) html += hiddenField(f.name, trim(ctx.value(f.name)));
  return html + hiddenField("shipmethod", ctx.value("shipmethod")) +
         hiddenField("paymethod", ctx.value("paymethod"));
}

std::string paymentText(PageContext& ctx) {
  std::string pay = ctx.value("paymethod");
  if (isCard(pay)) {
    std::string d = digitsOf(ctx.value("ccnumber"));
    return pay + " ending in " + d.substr(d.size() - 4);
  }
  if (pay == "ACH") return "ACH from " + trim(ctx.value("ckbankname"));
  if (pay == "Purchase order") return "Purchase order " + trim(ctx.value("ponum"));
  return pay;
}

// The address block, one line each.
std::vector<std::string> shipLines(PageContext& ctx) {
  std::vector<std::string> lines;
  for (const char* name : {"shipname", "shipcompany", "shipaddress"}) {
    if (!trim(ctx.value(name)).empty()) lines.push_back(trim(ctx.value(name)));
  }
  lines.push_back(trim(ctx.value("shipcity")) + ", " + trim(ctx.value("shipstate")) + " " +
                  trim(ctx.value("shipzip")));
  lines.push_back(trim(ctx.value("shipcountry")));
  return lines;
}

std::string money(double v) { return "$" + displayMoney(v); }

std::string pounds(double weight) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", std::max(1.0, std::ceil(weight - 1e-9)));
  return buf;
}

// Step 4: the order as it will be saved.
HttpResponse review(PageContext& ctx, const std::string& cartId) {
  const ShipMethod& method = *shipMethod(ctx.value("shipmethod"));
  Totals t = totalsOf(ctx, cartId, method, readCharges(ctx.shop.engine()));
  std::string address;
  for (const std::string& line : shipLines(ctx)) address += htmlEscape(line) + "<br>";
  std::string rows = "<tr><td>Subtotal</td><td align=\"right\">" + money(t.subtotal) +
                     "</td></tr><tr><td>Shipping (" + htmlEscape(method.name) + ", " +
                     pounds(t.weight) + " lbs.)</td><td align=\"right\">" + money(t.ship) +
                     "</td></tr>";
  if (t.handling != 0) {
    rows += "<tr><td>Handling</td><td align=\"right\">" + money(t.handling) + "</td></tr>";
  }
  rows += "<tr><td>Tax</td><td align=\"right\">" + money(t.tax) +
          "</td></tr><tr><td><b>Total</b></td><td align=\"right\"><b>" + money(t.grand()) +
          "</b></td></tr>";
  std::string html =
      "<p class=\"text\">Please check your order, then place it.</p>" + cartTable(ctx, cartId) +
      "<table class=\"totals text\" cellpadding=\"3\">" + rows +
      "</table><h2>Ship to</h2><p class=\"text\">" + address +
      "</p><h2>Payment</h2><p class=\"text\">" + htmlEscape(paymentText(ctx)) +
      "</p><form action=\"cart_ship2.asp\" method=\"post\" class=\"inline\">" +
      hiddenField("action", "checkout") + hiddenField("steps", "5") + hiddenDetails(ctx) +
      "<input type=\"submit\" class=\"button_orange\" value=\"Place order\"></form> "
      "<form action=\"cart_ship2.asp\" method=\"post\" class=\"inline\">" +
      hiddenField("action", "checkout") + hiddenField("steps", "3") + hiddenDetails(ctx) +
      "<input type=\"submit\" class=\"ButtonG\" value=\"Change the details\"></form>";
  return checkoutPage(ctx, html);
}

// The confirmation mail: the order's lines as CartListItems lists them, the totals, the address.
std::string confirmationText(PageContext& ctx, const std::string& orderId, const std::string& items,
                             const Totals& t, const ShipMethod& method) {
  const std::string nl = "\r\n";
  const SiteLook& look = ctx.look();
  std::string text = "Thank you for your order." + nl + nl + "Order number: " + orderId + nl +
                     "Date: " + shortDate(localNow()) + nl + nl + items +
                     "Subtotal: " + money(t.subtotal) + nl + "Shipping (" + method.name + ", " +
                     pounds(t.weight) + " lbs.): " + money(t.ship) + nl;
  if (t.handling != 0) text += "Handling: " + money(t.handling) + nl;
  text += "Tax: " + money(t.tax) + nl + "Total: " + money(t.grand()) + nl + nl + "Ship to:" + nl;
  for (const std::string& line : shipLines(ctx)) text += line + nl;
  text += nl + "Payment: " + paymentText(ctx) + nl;
  if (!look.company.empty()) {
    text += nl + look.company + (look.phone1.empty() ? "" : ", " + look.phone1) + nl;
  }
  return text;
}

// Sends the confirmation; the text to show the shopper about it (empty when mail is not set up).
std::string mailConfirmation(PageContext& ctx, const Charges& charges, const std::string& orderId,
                             const std::string& body) {
  const SiteLook& look = ctx.look();
  CustomerRecords records(ctx.shop.sessions().connectionString());
  std::optional<CustomerDetails> c = records.find(ctx.customerId());
  if (charges.smtpServer.empty() || look.email.empty() || !c || !plausibleAddress(c->email)) {
    return {};
  }
  eCat cat;
  std::string status = ctx.shop.engine().text(
      cat, "sendEmail",
      {{"strTo", c->email},
       {"strFrom", look.email},
       {"strSubject",
        "Your order " + orderId + (look.company.empty() ? "" : " at " + look.company)},
       {"strMessage", body},
       {"strHTML", "False"},
       {"strCC", look.email}});
  if (status == "Passed") return "A confirmation has been sent to " + c->email + ".";
  std::fprintf(stderr, "kestrin-shop: %s: the confirmation mail of %s failed: %s\n",
               ctx.request.target.c_str(), orderId.c_str(), status.c_str());
  return "The confirmation mail could not be sent just now; your order is saved all the same.";
}

// Saves the cart under `claim` as an order of the logged-on customer.
void saveOrder(PageContext& ctx, const std::string& claim, const Totals& t,
               const ShipMethod& method) {
  std::string pay = ctx.value("paymethod");
  eCat cat;
  bool saved = cat.OrderSave(
      t.grand(), t.beforeTax(), t.subtotal, pay, claim, static_cast<float>(t.handling),
      ctx.customerId(), isCard(pay) ? digitsOf(ctx.value("ccnumber")) : "",
      isCard(pay) ? trim(ctx.value("ccexpire")) : "",
      pay == "ACH" ? trim(ctx.value("ckaccount")) : "",
      pay == "ACH" ? trim(ctx.value("ckrouting")) : "",
      pay == "ACH" ? trim(ctx.value("ckbankname")) : "", static_cast<float>(t.ship), method.name,
      trim(ctx.value("shipcompany")), trim(ctx.value("shipname")), trim(ctx.value("shipaddress")),
      trim(ctx.value("shipcity")), trim(ctx.value("shipstate")), trim(ctx.value("shipzip")),
      trim(ctx.value("shipcountry")), "", "",
      pay == "Purchase order" ? trim(ctx.value("ponum")) : "", ctx.shop.engine().siteId(),
      ctx.shop.engine().password());
  if (!saved) {
    const ErrorRecord& e = currentError();
    throw Error(e.number, "the order was not saved: " + e.description, e.source);
  }
}

// Step 5: saves the order, mails it and empties the cart. The cart's lines are first moved to a
// key of this request alone, so that of two submissions at once (a double click) only one finds
// lines to order; when the order cannot be saved they go back to the cart.
HttpResponse placeOrder(PageContext& ctx, const std::string& cartId) {
  CustomerRecords records(ctx.shop.sessions().connectionString());
  std::string claim = randomHex();
  records.moveCart(cartId, claim);
  std::string items;
  const ShipMethod& method = *shipMethod(ctx.value("shipmethod"));
  Charges charges;
  Totals t;
  std::string customer = ctx.customerId();
  std::vector<std::string> before;
  try {
    if (cartIsEmpty(ctx, claim, &items)) return emptyCart(ctx, cartId);
    charges = readCharges(ctx.shop.engine());
    t = totalsOf(ctx, claim, method, charges);
    before = records.orderIds(customer);
    saveOrder(ctx, claim, t, method);
  } catch (...) {
    records.moveCart(claim, cartId);
    throw;
  }
  std::vector<std::string> after = records.orderIds(customer);
  std::string orderId;
  for (auto it = after.rbegin(); it != after.rend() && orderId.empty(); ++it) {
    if (std::find(before.begin(), before.end(), *it) == before.end()) orderId = *it;
  }
  if (orderId.empty()) throw std::runtime_error("the saved order cannot be found");

  std::string mailNote =
      mailConfirmation(ctx, charges, orderId, confirmationText(ctx, orderId, items, t, method));
  records.emptyCart(claim);
  return ctx.page(
      "Order placed",
      heading("Thank you for your order") + "<div class=\"done\">Your order number is <b>" +
          htmlEscape(orderId) + "</b>. Total: " + money(t.grand()) + ".</div>" +
          (mailNote.empty() ? "" : "<p class=\"text\">" + htmlEscape(mailNote) + "</p>") +
          "<p class=\"text\"><a class=\"link\" href=\"orders.asp\">See your orders</a> &middot; "
          "<a class=\"link\" href=\"default.asp\">Continue shopping</a></p>");
}

HttpResponse checkout(PageContext& ctx) {
  if (ctx.customerId().empty()) return logOnFirst(ctx);
  std::string cartId = ctx.ensureSession().cartId;
  std::string steps = ctx.value("steps");
  if (!ctx.isPost() || (steps != "4" && steps != "5")) {
    if (cartIsEmpty(ctx, cartId)) return emptyCart(ctx, cartId);
    return detailsForm(ctx, cartId, "");
  }
  std::string problem = detailProblems(ctx);
  if (!problem.empty()) return detailsForm(ctx, cartId, problem);
  if (steps == "5") return placeOrder(ctx, cartId);
  if (cartIsEmpty(ctx, cartId)) return emptyCart(ctx, cartId);
  return review(ctx, cartId);
}

}  // namespace

void addCheckoutPages(Shop& shop) {
  if (EngineCaller::has("OrderSave")) shop.addPage("cart_ship2.asp", checkout);
}

}  // namespace kestrin::shop
