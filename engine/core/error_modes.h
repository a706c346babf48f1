// The three ways a method treats a failing step, and the end-check that turns a current error
// into a method's error text.
//
//   strict           let kestrin::Error propagate (the default; nothing to write)
//   continue-on-error ContinueOnError steps; steps.run([&] { ... });
//   handler          return withHandler([&] { body }, [&] { clean-up, returns the result });
#pragma once

#include <exception>
#include <functional>
#include <new>
#include <string>
#include <string_view>

#include "kestrin/error.h"

namespace kestrin {

// Runs `body` so that no failure leaves it but kestrin::Error: the boundary of a method called
// through the method table.
template <class Body>
auto atBoundary(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const Error&) {
    throw;
  } catch (...) {
    throw asError(std::current_exception());
  }
}

// Continue-on-error mode: entering clears the current error; a failing step is abandoned, its
// error becomes the current error, and the method goes on.
class ContinueOnError {
 public:
  ContinueOnError() { clearCurrentError(); }

  template <class Step>
  bool run(Step&& step) {
    try {
      step();
      return true;
    } catch (const Error& e) {
      setCurrentError(e);
    } catch (const std::exception& e) {
      setCurrentError(asError(e));
    }
    return false;
  }
};

// Handler mode: entering clears the current error; a failure jumps to `cleanup`, whose value is
// the method's result.
template <class Body, class Cleanup>
auto withHandler(Body&& body, Cleanup&& cleanup) -> decltype(body()) {
  clearCurrentError();
  try {
    return body();
  } catch (const Error& e) {
    setCurrentError(e);
  } catch (const std::exception& e) {
    setCurrentError(asError(e));
  }
  return cleanup();
}

// The error forms of the end-check.
enum class EndCheckForm {
  Listing,  // text + "::ERROR:" + description + " : " + source
  // The statement and the item name hold request values and are HTML-escaped where shown.
  SmartSearch,  // as Listing, then "<br><br><h3>" + sql + "</h3>"
  Detail,      // text + "::ERROR::" + description + " : " + source + "<br><br><h2>" + sql + "</h2>"
  Preference,  // value + ":: " + descr + " ::: " + items + " ::ERROR:" + description + " : " +
               // source
  ConnString,  // "Error :: " + description (HTML-escaped) + "</br>"
};

struct EndCheckParts {
  std::string_view sql;                // SmartSearch, Detail
  std::function<std::string()> descr;  // Preference: reads the row's descr (may raise)
  std::string_view items;              // Preference
};

// Returns `text` when no error is current, otherwise the form's error text.
std::string endCheck(EndCheckForm form, const std::string& text, const EndCheckParts& parts = {});

}  // namespace kestrin
