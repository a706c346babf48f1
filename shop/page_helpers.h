// Small pieces that several page sets share.
#pragma once

#include <string>

#include "shop.h"

namespace kestrin::shop {

// A catalog code from the request (group, category, subcategory, manufacturer): letters,
// digits, blank, "-", "_" and "." only, at most 40 characters. Anything else cannot name a
// row, so it is refused as a bad value before it reaches the engine.
std::string catalogCode(PageContext& ctx, const std::string& name);

// A part number from the request: printable characters except quotes, "<", ">", "&" and
// the backslash, at most 60. Anything else is refused as a bad value.
std::string partNumber(PageContext& ctx, const std::string& name);
bool isPartNumber(const std::string& value);

// A text that the engine writes into a link as it stands (image numbers and the like) is
// URL-encoded first, so that it cannot break the link.
std::string linkValue(PageContext& ctx, const std::string& name);

// The engine's fragment without the error text that its end-check appends when a step of the
// call failed (that text may hold database details): the failure is logged instead.
std::string fragment(PageContext& ctx, std::string text);

// "<h1>" heading "</h1>" with the heading escaped.
std::string heading(const std::string& text);

// Where to go after a log-on: only a page of this shop ("name.asp" with its query), else
// `fallback` (no open redirect).
std::string safeNext(const std::string& next, const std::string& fallback);

// A shopper's address: one "@" with text on both sides, no blanks, commas, semicolons or line
// breaks (so that it cannot add recipients or headers).
bool plausibleAddress(const std::string& address);

// The shop-product flag of a request ("featured"): "True", "False", or empty text when not
// given; anything else is refused as a bad value.
std::string featuredWord(PageContext& ctx);

// A labelled form field holding `value` (escaped); `type` is "text", "password" or "email".
std::string inputField(const std::string& label, const std::string& name, const std::string& value,
                       bool required, const std::string& type = "text");
std::string hiddenField(const std::string& name, const std::string& value);

// Redirects a shopper who is not logged on to the log-on page, which comes back here.
HttpResponse logOnFirst(PageContext& ctx);

}  // namespace kestrin::shop
