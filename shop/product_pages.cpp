// The product page c_final.asp: the engine's whole product fragment, with its picture gallery
// pages and the picture a shopper selects.
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

HttpResponse productPage(PageContext& ctx) {
  std::string picId = ctx.value("picid");
  for (char c : picId) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      throw BadValue("picid", picId, "a picture id is a number");
    }
  }
  eCat cat;
  std::string html = ctx.shop.engine().text(cat, "displayDetail",
                                            {{"partno", partNumber(ctx, "partno")},
                                             {"aPath", cat.getAppPath()},
                                             {"strImage", linkValue(ctx, "image")},
                                             {"strCustDb", ctx.value("featured")},
                                             {"customerid", ctx.customerId()},
                                             {"strPage", ctx.value("page")},
                                             {"strSelectPic", ctx.value("selectpic")},
                                             {"strPicID", picId}});
  return ctx.page("Product", fragment(ctx, html));
}

}  // namespace

void addProductPages(Shop& shop) {
  if (EngineCaller::has("displayDetail")) shop.addPage("c_final.asp", productPage);
}

}  // namespace kestrin::shop
