// The cart page cart.asp: the engine's cart steps ("1" the product with its stock, "1a" the
// quantity form, "2" add, "2a" change or remove) and the cart listing. The cart is keyed by the
// session's cart id, which never leaves the server. The steps that change the cart run only on a
// POST with the session's token; the engine's own links to them (Buy Now, Remove) arrive as GET
// and get a page that asks the shopper to confirm with a button.
#include <array>

#include "customer_records.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

// The option choices a cart line carries, as the product page's order form posts them.
constexpr std::array<const char*, 9> kOptionNames = {"prSizes",    "prColors",  "prStyles",
                                                     "prTextures", "prFlavors", "prPackaging",
                                                     "prSingle",   "prGender",  "prPicture"};

// The chosen option ids of the request: digits only. The order form's picture field holds the
// name of the picture chosen in the gallery, which is looked up among the product's pictures.
NamedValues optionChoices(PageContext& ctx, const std::string& part) {
  NamedValues out;
  for (const char* name : kOptionNames) {
    std::string v = trim(ctx.value(name));
    bool digits = !v.empty() && v.size() <= 5;
    for (char c : v) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!v.empty() && !digits && std::string_view(name) == "prPicture") {
      long long id = CustomerRecords(ctx.shop.sessions().connectionString()).pictureId(part, v);
      if (id > 0 && id <= 32767) out.emplace_back(name, std::to_string(id));
    } else if (digits && v.find_first_not_of('0') != std::string::npos) {
      out.emplace_back(name, v);
    } else if (!v.empty() && !digits) {
      throw BadValue(name, v, "an option is chosen by its number");
    }
  }
  return out;
}

// A quantity as the shopper typed it: a whole number (a minus sign allowed, so that the engine
// answers a negative one with its own message), or nothing when it is not one.
std::optional<std::string> quantity(PageContext& ctx) {
  std::string v = trim(ctx.value("qty"));
  if (v.empty()) return std::nullopt;
  size_t digitsFrom = v[0] == '-' ? 1 : 0;
  if (v.size() == digitsFrom || v.size() - digitsFrom > 4) return std::nullopt;
  for (size_t i = digitsFrom; i < v.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(v[i]))) return std::nullopt;
  }
  return v;
}

std::string cartId(PageContext& ctx) { return ctx.ensureSession().cartId; }

std::string cartStep(PageContext& ctx, const std::string& steps, const std::string& part,
                     const std::string& qty, const std::string& featured,
                     const NamedValues& options = {}) {
  eCat cat;
  NamedValues args = {{"steps", steps},
                      {"partno", part},
                      {"qty", qty},
                      {"sessionid", cartId(ctx)},
                      {"aPath", cat.getAppPath()},
                      {"action", "add"},
                      {"customerid", ctx.customerId()},
                      {"strCustDb", featured}};
  args.insert(args.end(), options.begin(), options.end());
  return fragment(ctx, ctx.shop.engine().text(cat, "cartADD", args));
}

std::string cartListing(PageContext& ctx, const std::string& action) {
  const ShopSession* s = ctx.session();
  eCat cat;
  return fragment(ctx, ctx.shop.engine().text(
                           cat, "cartDisplayOnly",
                           {{"sessionid", s ? s->cartId : std::string()}, {"action", action}}));
}

HttpResponse cartPage(PageContext& ctx, const std::string& content) {
  return ctx.page("Shopping cart", heading("Shopping cart") + content);
}

std::string requiredPart(PageContext& ctx) {
  std::string part = partNumber(ctx, "part_num");
  if (trim(part).empty()) throw BadValue("part_num", part, "name the product");
  return part;
}

// Step "1": the product with its price and stock. The engine's Buy Now link carries no option
// choices, so those the order form posted are added to it here.
HttpResponse productStep(PageContext& ctx) {
  std::string part = requiredPart(ctx);
  std::string featured = featuredWord(ctx);
  NamedValues options = optionChoices(ctx, part);
  std::string html = cartStep(ctx, "1", part, quantity(ctx).value_or("1"), featured);
  if (!options.empty()) {
    std::string link = "steps=2&amp;part_num=" + part +
                       "&amp;qty=1&featured=" + (featured.empty() ? "False" : featured);
    std::string extra;
    for (const auto& [name, id] : options) extra += "&amp;" + name + "=" + id;
    html = replaceAll(html, link, link + extra);
  }
  return cartPage(ctx, html);
}

// The confirmation of an engine link that would change the cart.
HttpResponse confirmStep(PageContext& ctx, const std::string& steps) {
  std::string part = requiredPart(ctx);
  std::string featured = featuredWord(ctx);
  std::string qty = quantity(ctx).value_or("1");
  std::string hidden = hiddenField("action", "add") + hiddenField("steps", steps) +
                       hiddenField("part_num", part) + hiddenField("featured", featured);
  for (const auto& [name, id] : optionChoices(ctx, part)) hidden += hiddenField(name, id);
  std::string question, button;
  if (steps == "2") {
    question = "Add item " + part + " to your shopping cart?";
    button = "Add to cart";
  } else if (qty == "0") {
    question = "Remove item " + part + " from your shopping cart?";
    button = "Remove";
  } else {
    question = "Change the quantity of item " + part + "?";
    button = "Change";
  }
  std::string form = "<form action=\"cart.asp\" method=\"post\" class=\"panel\">" + hidden +
                     "<p class=\"text\">" + htmlEscape(question) + "</p>";
  if (qty == "0" && steps == "2a") {
    form += hiddenField("qty", "0");
  } else {
    form +=
        "<label class=\"text\">Quantity: <input type=\"text\" name=\"qty\" size=\"5\" "
        "class=\"field\" value=\"" +
        htmlEscape(qty) + "\"></label> ";
  }
  form += "<input type=\"submit\" class=\"button_orange\" value=\"" + button +
          "\"> <a class=\"link\" href=\"cart.asp?action=display\">Back to the cart</a></form>";
  return cartPage(ctx, form);
}

// Steps "2" and "2a" as posted: the engine changes the cart and lists it.
HttpResponse changeStep(PageContext& ctx, const std::string& steps) {
  std::string part = requiredPart(ctx);
  std::string featured = featuredWord(ctx);
  std::optional<std::string> qty = quantity(ctx);
  if (!qty) {
    return cartPage(
        ctx,
        "<div class=\"error\">Please give the quantity as a whole number below 10000.</div><br>" +
            cartListing(ctx, "display"));
  }
  return cartPage(ctx, cartStep(ctx, steps, part, *qty, featured,
                                steps == "2" ? optionChoices(ctx, part) : NamedValues{}));
}

HttpResponse cart(PageContext& ctx) {
  std::string steps = ctx.value("steps");
  if (ctx.value("action") == "add") {
    if (steps == "1") return productStep(ctx);
    if (steps == "1a") {
      std::optional<std::string> qty = quantity(ctx);
      return cartPage(ctx,
                      cartStep(ctx, "1a", requiredPart(ctx), qty.value_or("1"), featuredWord(ctx)));
    }
    if (steps == "2" || steps == "2a") {
      return ctx.isPost() ? changeStep(ctx, steps) : confirmStep(ctx, steps);
    }
  }
  return cartPage(ctx, cartListing(ctx, "display"));
}

}  // namespace

void addCartPages(Shop& shop) {
  if (EngineCaller::has("cartADD")) shop.addPage("cart.asp", cart);
}

}  // namespace kestrin::shop
