#include "error_modes.h"

namespace kestrin {

Error asError(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return Error(7, "Out of memory", "kestrin");
  return Error(51, std::string("Internal error: ") + e.what(), "kestrin");
}

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
      return text + "::ERROR:" + description + " : " + source + "<br><br><h3>" +
             std::string(parts.sql) + "</h3>";
    case EndCheckForm::Detail:
      return text + "::ERROR::" + description + " : " + source + "<br><br><h2>" +
             std::string(parts.sql) + "</h2>";
    case EndCheckForm::Preference: {
      std::string descr = parts.descr ? parts.descr() : std::string();
      return text + ":: " + descr + " ::: " + std::string(parts.items) + " ::ERROR:" + description +
             " : " + source;
    }
    case EndCheckForm::ConnString:
      return "Error :: " + description + "</br>";
  }
  return text;
}

}  // namespace kestrin
