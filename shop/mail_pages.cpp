// The pages that mail the shop: contactus.asp (a message from a shopper) and backorder.asp (a
// request for a product that is out of stock). Both send plain text through sendEmail, to the
// shop's main address, and tell the shopper whether it went.
#include <cstdio>

#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

struct Field {
  const char* name;
  const char* label;
  bool required;
  bool multiline;
};

std::string formHtml(PageContext& ctx, const std::string& action, const Field* fields, size_t n,
                     const std::string& hidden, const std::string& button) {
  std::string html = "<form action=\"" + action + "\" method=\"post\" class=\"panel\">" + hidden;
  for (size_t i = 0; i < n; ++i) {
    const Field& f = fields[i];
    std::string value = htmlEscape(ctx.value(f.name));
    html += std::string("<label class=\"text\">") + f.label + (f.required ? " *" : "") + "<br>";
    if (f.multiline) {
      html += std::string("<textarea name=\"") + f.name +
              "\" rows=\"6\" cols=\"50\" class=\"field\">" + value + "</textarea>";
    } else {
      html += std::string("<input type=\"text\" name=\"") + f.name +
              "\" size=\"40\" class=\"field\" value=\"" + value + "\">";
    }
    html += "</label>";
  }
  return html + "<input type=\"submit\" class=\"button_orange\" value=\"" + button + "\"></form>";
}

// Checks the posted fields; empty text when they are usable, else what is wrong.
std::string problems(PageContext& ctx, const Field* fields, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (fields[i].required && trim(ctx.value(fields[i].name)).empty()) {
      return std::string("Please fill in ") + fields[i].label + ".";
    }
  }
  if (!plausibleAddress(trim(ctx.value("email")))) return "Please give a valid e-mail address.";
  return {};
}

// Sends `body` to the shop; the shopper sees only whether it went, the log gets the reason.
bool mailShop(PageContext& ctx, const std::string& subject, const std::string& body) {
  std::string shopAddress = ctx.look().email;
  if (shopAddress.empty()) {
    std::fprintf(stderr, "kestrin-shop: %s: the site has no siteEmail to send to\n",
                 ctx.request.target.c_str());
    return false;
  }
  eCat cat;
  std::string status = ctx.shop.engine().text(cat, "sendEmail",
                                              {{"strTo", shopAddress},
                                               {"strFrom", shopAddress},
                                               {"strSubject", subject},
                                               {"strMessage", body},
                                               {"strHTML", "False"}});
  if (status == "Passed") return true;
  std::fprintf(stderr, "kestrin-shop: %s: the mail to the shop failed: %s\n",
               ctx.request.target.c_str(), status.c_str());
  return false;
}

std::string notSent(PageContext& ctx) {
  const SiteLook& look = ctx.look();
  return "<div class=\"error\">Your message could not be sent just now. Please try again later" +
         (look.phone1.empty() ? std::string() : " or call us at " + htmlEscape(look.phone1)) +
         ".</div>";
}

const Field kContactFields[] = {
    {"name", "Your name", true, false},           {"email", "Your e-mail address", true, false},
    {"phone", "Your phone number", false, false}, {"subject", "Subject", true, false},
    {"message", "Message", true, true},
};

HttpResponse contactPage(PageContext& ctx) {
  std::string notice;
  if (ctx.isPost()) {
    notice = problems(ctx, kContactFields, std::size(kContactFields));
    if (notice.empty()) {
      std::string body = "Message from the shop's contact page\n\nName: " + ctx.value("name") +
                         "\nE-mail: " + trim(ctx.value("email")) +
                         "\nPhone: " + ctx.value("phone") + "\n\n" + ctx.value("message") + "\n";
      if (mailShop(ctx, "Contact: " + replaceAll(ctx.value("subject"), "\n", " "), body)) {
        return ctx.page("Contact us", heading("Contact us") +
                                          "<div class=\"done\">Thank you. Your message has been "
                                          "sent; we will answer you soon.</div>");
      }
      return ctx.page("Contact us", heading("Contact us") + notSent(ctx));
    }
    notice = "<div class=\"error\">" + htmlEscape(notice) + "</div>";
  }
  const SiteLook& look = ctx.look();
  std::string intro =
      "<p class=\"text\">Questions about a product, a price or an order? Write to "
      "us" +
      (look.phone1.empty() ? std::string() : " or call us at " + htmlEscape(look.phone1)) + ".</p>";
  return ctx.page("Contact us", heading("Contact us") + intro + notice +
                                    formHtml(ctx, "contactus.asp", kContactFields,
                                             std::size(kContactFields), "", "Send"));
}

const Field kBackorderFields[] = {
    {"qty", "Quantity", true, false},
    {"name", "Your name", true, false},
    {"email", "Your e-mail address", true, false},
    {"phone", "Your phone number", false, false},
    {"notes", "Notes", false, true},
};

HttpResponse backorderPage(PageContext& ctx) {
  std::string part = partNumber(ctx, "part_num");
  if (trim(part).empty()) throw BadValue("part_num", part, "name the product to backorder");
  std::string notice;
  if (ctx.isPost()) {
    notice = problems(ctx, kBackorderFields, std::size(kBackorderFields));
    std::string qty = trim(ctx.value("qty"));
    bool digits = !qty.empty() && qty.size() <= 6;
    for (char c : qty) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (notice.empty() && (!digits || qty == std::string(qty.size(), '0'))) {
      notice = "Please give the quantity as a whole number.";
    }
    if (notice.empty()) {
      std::string body =
          "Backorder request from the shop\n\nPart number: " + part + "\nQuantity: " + qty +
          "\nName: " + ctx.value("name") + "\nE-mail: " + trim(ctx.value("email")) +
          "\nPhone: " + ctx.value("phone") + "\n\nNotes:\n" + ctx.value("notes") + "\n";
      if (mailShop(ctx, "Backorder: " + part + " x " + qty, body)) {
        return ctx.page("Backorder", heading("Backorder " + part) +
                                         "<div class=\"done\">Thank you. Your backorder request "
                                         "has been sent; we will let you know when the item "
                                         "ships.</div>");
      }
      return ctx.page("Backorder", heading("Backorder " + part) + notSent(ctx));
    }
    notice = "<div class=\"error\">" + htmlEscape(notice) + "</div>";
  }
  std::string hidden = "<input type=\"hidden\" name=\"part_num\" value=\"" + htmlEscape(part) +
                       "\"><input type=\"hidden\" name=\"featured\" value=\"" +
                       htmlEscape(ctx.value("featured")) + "\">";
  return ctx.page("Backorder",
                  heading("Backorder " + part) +
                      "<p class=\"text\">This item is not in stock. Tell us how many you need and "
                      "we will order it for you.</p>" +
                      notice +
                      formHtml(ctx, "backorder.asp", kBackorderFields, std::size(kBackorderFields),
                               hidden, "Send backorder request"));
}

}  // namespace

void addMailPages(Shop& shop) {
  if (!EngineCaller::has("sendEmail")) return;
  shop.addPage("contactus.asp", contactPage);
  shop.addPage("backorder.asp", backorderPage);
}

}  // namespace kestrin::shop
