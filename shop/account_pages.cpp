// The shopper's account: registration (register.asp), log-on (logon.asp), log-off (logoff.asp),
// the account's details (account.asp) and the order history (orders.asp). The logged-on
// customer is kept in the session row, whose id is renewed on every log-on and log-off.
#include "customer_records.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

struct ContactField {
  const char* name;  // the form's field
  const char* arg;   // AddCustomer's and UpdateCustomer's argument
  const char* label;
  bool required;
};

const ContactField kContactFields[] = {
    {"cname", "cname", "Company", false},
    {"fname", "fname", "First name", true},
    {"mname", "mname", "Middle name", false},
    {"lname", "lname", "Last name", true},
    {"address", "address", "Address", false},
    {"city", "city", "City", false},
    {"state", "state", "State", false},
    {"zip", "zip", "ZIP code", false},
    {"country", "Country", "Country", false},
    {"phone", "phone", "Phone", false},
    {"fax", "fax", "Fax", false},
    {"email", "EMAIL", "E-mail address", true},
};

bool plainLine(const std::string& v, size_t maxSize) {
  if (v.size() > maxSize) return false;
  for (unsigned char c : v) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// What is wrong with the posted contact details, or empty text.
std::string contactProblems(PageContext& ctx) {
  for (const ContactField& f : kContactFields) {
    std::string v = trim(ctx.value(f.name));
    if (f.required && v.empty()) return std::string("Please fill in ") + f.label + ".";
    if (!plainLine(v, 100)) {
      return std::string(f.label) + " can be at most 100 characters on one line.";
    }
  }
  if (!plausibleAddress(trim(ctx.value("email")))) return "Please give a valid e-mail address.";
  return {};
}

NamedValues contactArgs(PageContext& ctx) {
  NamedValues args;
  for (const ContactField& f : kContactFields) args.emplace_back(f.arg, trim(ctx.value(f.name)));
  return args;
}

std::string errorBlock(const std::string& message) {
  return message.empty() ? std::string() : "<div class=\"error\">" + htmlEscape(message) + "</div>";
}

std::string contactInputs(const std::function<std::string(const char*)>& valueOf) {
  std::string html;
  for (const ContactField& f : kContactFields) {
    html += inputField(f.label, f.name, valueOf(f.name), f.required,
                       std::string_view(f.name) == "email" ? "email" : "text");
  }
  return html;
}

// Logs the session on as `customerid`, under a new session id.
void logSessionOn(PageContext& ctx, const std::string& customerid, const std::string& username) {
  ShopSession& s = ctx.ensureSession();
  s.customerid = customerid;
  s.username = username;
  ctx.saveSession(true);
}

// ---- register.asp ----

std::string usernameProblem(const std::string& u) {
  if (u.size() < 3 || u.size() > 40) return "Please choose a username of 3 to 40 characters.";
  for (char c : u) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-' &&
        c != '@') {
      return "A username may hold letters, digits and the characters . _ - @ only.";
    }
  }
  return {};
}

std::string passwordProblem(const std::string& p, const std::string& again) {
  if (p.size() < 6 || p.size() > 64) return "Please choose a password of 6 to 64 characters.";
  if (!plainLine(p, 64)) return "A password cannot hold control characters.";
  if (p.front() == ' ' || p.back() == ' ') return "A password cannot begin or end with a blank.";
  if (p != again) return "The two passwords are not the same.";
  return {};
}

std::string registerForm(PageContext& ctx, const std::string& error, bool rawError = false) {
  std::string next = safeNext(ctx.value("next"), "");
  return heading("Register") +
         (rawError ? "<div class=\"error\">" + error + "</div>" : errorBlock(error)) +
         "<p class=\"text\">Already registered? <a class=\"link\" href=\"logon.asp" +
         (next.empty() ? std::string() : "?next=" + urlEncode(next)) +
         "\">Log on</a>.</p>"
         "<form action=\"register.asp\" method=\"post\" class=\"panel\">" +
         hiddenField("next", next) +
         inputField("Username", "username", trim(ctx.value("username")), true) +
         inputField("Password", "password", "", true, "password") +
         inputField("Password again", "password2", "", true, "password") +
         contactInputs([&ctx](const char* name) { return trim(ctx.value(name)); }) +
         "<input type=\"submit\" class=\"button_orange\" value=\"Register\"></form>";
}

HttpResponse registerPage(PageContext& ctx) {
  if (!ctx.isPost()) return ctx.page("Register", registerForm(ctx, ""));
  std::string username = trim(ctx.value("username"));
  std::string problem = usernameProblem(username);
  if (problem.empty()) problem = passwordProblem(ctx.value("password"), ctx.value("password2"));
  if (problem.empty()) problem = contactProblems(ctx);
  if (!problem.empty()) return ctx.page("Register", registerForm(ctx, problem));

  NamedValues args = {{"username", username}, {"Password", ctx.value("password")}};
  NamedValues contact = contactArgs(ctx);
  args.insert(args.end(), contact.begin(), contact.end());
  eCat cat;
  std::string result = fragment(ctx, ctx.shop.engine().text(cat, "AddCustomer", args));
  if (result.starts_with("Passed|")) {
    logSessionOn(ctx, result.substr(7), username);
    return ctx.redirect(safeNext(ctx.value("next"), "account.asp"));
  }
  if (result.starts_with("Error: The username")) {
    // The engine's message, with the username escaped by the engine.
    return ctx.page("Register", registerForm(ctx, result, true));
  }
  throw std::runtime_error("AddCustomer answered: " + result);
}

// ---- logon.asp and logoff.asp ----

std::string logonForm(PageContext& ctx, const std::string& error) {
  std::string next = safeNext(ctx.value("next"), "");
  return heading("Log on") + errorBlock(error) +
         "<form action=\"logon.asp\" method=\"post\" class=\"panel\">" + hiddenField("next", next) +
         inputField("Username", "username", trim(ctx.value("username")), true) +
         inputField("Password", "password", "", true, "password") +
         "<input type=\"submit\" class=\"button_orange\" value=\"Log on\"></form>"
         "<p class=\"text\">New here? <a class=\"link\" href=\"register.asp" +
         (next.empty() ? std::string() : "?next=" + urlEncode(next)) +
         "\">Register</a> to order and to follow your orders.</p>";
}

HttpResponse logonPage(PageContext& ctx) {
  if (!ctx.isPost()) return ctx.page("Log on", logonForm(ctx, ""));
  std::string username = trim(ctx.value("username"));
  eCat cat;
  std::string record = ctx.shop.engine().text(
      cat, "logon", {{"username", username}, {"strPassword", ctx.value("password")}});
  const std::string mark = "logon=yes|customerid=";
  if (username.empty() || !record.starts_with(mark)) {
    return ctx.page("Log on", logonForm(ctx, "The username or the password is not right."));
  }
  std::string id = record.substr(mark.size(), record.find('|', mark.size()) - mark.size());
  logSessionOn(ctx, id, username);
  return ctx.redirect(safeNext(ctx.value("next"), "account.asp"));
}

HttpResponse logoffPage(PageContext& ctx) {
  if (ctx.isPost()) {
    if (!ctx.customerId().empty()) logSessionOn(ctx, "", "");
    return ctx.redirect("default.asp");
  }
  if (ctx.customerId().empty()) return ctx.redirect("default.asp");
  return ctx.page("Log off", heading("Log off") +
                                 "<form action=\"logoff.asp\" method=\"post\" class=\"panel\">"
                                 "<p class=\"text\">Log off from this shop? Your cart stays "
                                 "here.</p><input type=\"submit\" class=\"button_orange\" "
                                 "value=\"Log off\"></form>");
}

// ---- account.asp and orders.asp ----

std::string accountView(const CustomerDetails& c, const std::string& notice,
                        const std::string& error, PageContext& ctx, bool fromRequest) {
  auto stored = [&c](const char* name) -> std::string {
    const std::pair<const char*, const std::string*> fields[] = {
        {"cname", &c.cname},     {"fname", &c.fname}, {"mname", &c.mname}, {"lname", &c.lname},
        {"address", &c.address}, {"city", &c.city},   {"state", &c.state}, {"zip", &c.zip},
        {"country", &c.country}, {"phone", &c.phone}, {"fax", &c.fax},     {"email", &c.email}};
    for (const auto& [n, v] : fields) {
      if (std::string_view(n) == name) return *v;
    }
    return {};
  };
  std::function<std::string(const char*)> valueOf = stored;
  if (fromRequest) valueOf = [&ctx](const char* name) { return trim(ctx.value(name)); };
  return heading("Your account") + errorBlock(error) +
         (notice.empty() ? "" : "<div class=\"done\">" + htmlEscape(notice) + "</div>") +
         "<p class=\"text\">Username: <b>" + htmlEscape(c.username) +
         "</b> &middot; Customer number: <b>" + htmlEscape(c.customerid) +
         "</b></p><p class=\"text\"><a class=\"link\" href=\"orders.asp\">Your orders</a> "
         "&middot; <a class=\"link\" href=\"cart.asp?action=display\">Your cart</a> &middot; "
         "<a class=\"link\" href=\"logoff.asp\">Log off</a></p>"
         "<h2>Your details</h2><form action=\"account.asp\" method=\"post\" class=\"panel\">" +
         hiddenField("action", "update") + contactInputs(valueOf) +
         "<input type=\"submit\" class=\"button_orange\" value=\"Save details\"></form>";
}

HttpResponse accountPage(PageContext& ctx) {
  std::string id = ctx.customerId();
  if (id.empty()) return logOnFirst(ctx);
  CustomerRecords records(ctx.shop.sessions().connectionString());
  std::optional<CustomerDetails> c = records.find(id);
  if (!c) throw std::runtime_error("the logged-on customer " + id + " has no account row");
  if (!ctx.isPost() || ctx.value("action") != "update") {
    return ctx.page("Your account", accountView(*c, "", "", ctx, false));
  }
  std::string problem = contactProblems(ctx);
  if (!problem.empty()) return ctx.page("Your account", accountView(*c, "", problem, ctx, true));
  // UpdateCustomer writes every column: the card and bank details go back as stored.
  NamedValues args = {{"customerid", id}};
  NamedValues contact = contactArgs(ctx);
  args.insert(args.end(), contact.begin(), contact.end());
  args.insert(args.end(), {{"cctype", c->cccardtype},
                           {"CCNumber", c->cccardnum},
                           {"CCExpire", c->ccexpirati},
                           {"cebankname", c->cebankname},
                           {"ceacctno", c->ceaccountn},
                           {"ceabarouting", c->ceabarouti}});
  eCat cat;
  if (!ctx.shop.engine().call(cat, "UpdateCustomer", args).flag()) {
    fragment(ctx, "");  // logs the error that the end-check found
    return ctx.page("Your account",
                    accountView(*c, "", "Your details could not be saved just now.", ctx, true));
  }
  c = records.find(id);
  if (!c) throw std::runtime_error("the account " + id + " went away while it was saved");
  return ctx.page("Your account", accountView(*c, "Your details have been saved.", "", ctx, false));
}

HttpResponse ordersPage(PageContext& ctx) {
  std::string id = ctx.customerId();
  if (id.empty()) return logOnFirst(ctx);
  eCat cat;
  return ctx.page(
      "Your orders",
      heading("Your orders") + ctx.shop.engine().text(cat, "OrderStatus", {{"customerid", id}}));
}

}  // namespace

void addAccountPages(Shop& shop) {
  if (!EngineCaller::has("logon")) return;
  shop.addPage("register.asp", registerPage);
  shop.addPage("logon.asp", logonPage);
  shop.addPage("logoff.asp", logoffPage);
  shop.addPage("account.asp", accountPage);
  shop.addPage("orders.asp", ordersPage);
}

}  // namespace kestrin::shop
