#include "kestrin/error.h"

#include <utility>

namespace kestrin {

Error::Error(int32_t number, std::string description, std::string source)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)) {}

namespace {
thread_local ErrorRecord tCurrent;
}

const ErrorRecord& currentError() { return tCurrent; }

void setCurrentError(const Error& e) {
  tCurrent.number = e.number();
  tCurrent.description = e.description();
  tCurrent.source = e.source();
}

void clearCurrentError() { tCurrent = ErrorRecord{}; }

void raise(int32_t number, const std::string& description, const std::string& source) {
  throw Error(number, description, source);
}

}  // namespace kestrin
