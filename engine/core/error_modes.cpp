#include "error_modes.h"

#include "text.h"

namespace kestrin {

std::string endCheck(EndCheckForm form, const std::string& text, const EndCheckParts& parts) {
  const ErrorRecord& err = currentError();
  if (!err.isSet()) return text;
  // Copy first: reading descr below may replace the current error.
  const std::string description = err.description;
  const std::string source = err.source;
  switch (form) {
    case EndCheckForm::Listing:
      return text + "::ERROR:" + description + " : " + source;
    case EndCheckForm::SmartSearch:
      // The statement holds request values: shown escaped, it cannot add markup to the page.
      return text + "::ERROR:" + description + " : " + source + "<br><br><h3>" +
             htmlEscape(parts.sql) + "</h3>";
    case EndCheckForm::Detail:
      return text + "::ERROR::" + description + " : " + source + "<br><br><h2>" +
             htmlEscape(parts.sql) + "</h2>";
    case EndCheckForm::Preference: {
      std::string descr = parts.descr ? parts.descr() : std::string();
      return text + ":: " + descr + " ::: " + htmlEscape(parts.items) + " ::ERROR:" + description +
             " : " + source;
    }
    case EndCheckForm::ConnString:
      // The description may name the request's site id (a missing file): echoed escaped.
      return "Error :: " + htmlEscape(description) + "</br>";
  }
  return text;
}

}  // namespace kestrin
