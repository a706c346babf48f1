#include "error_modes.h"

#include "text.h"

namespace kestrin {

std::string endCheck(EndCheckForm form, const std::string& text, const EndCheckParts& parts) {
  const ErrorRecord& err = currentError();
  if (!err.isSet()) return text;
  // Copy first: reading descr below may replace the current error. A description may echo a
  // request value (a site id in "File not found", a statement fragment): it is written escaped,
  // so that it cannot add markup to the page.
  const std::string description = htmlTextEscape(err.description);
  const std::string source = htmlTextEscape(err.source);
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
      return "Error :: " + htmlEscape(err.description) + "</br>";
  }
  return text;
}

}  // namespace kestrin
