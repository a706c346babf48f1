#include "kestrin/error.h"

#include <new>
#include <stdexcept>
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

Error asError(const std::exception& e) {
  if (const auto* error = dynamic_cast<const Error*>(&e)) return *error;
  if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::length_error*>(&e)) {
    return Error(kErrOutOfMemory,
                 "Out of memory: the request needs more memory than the engine can get", "kestrin");
  }
  return Error(kErrInternal, std::string("Internal error: ") + e.what(), "kestrin");
}

Error asError(std::exception_ptr failure) {
  try {
    std::rethrow_exception(std::move(failure));
  } catch (const std::exception& e) {
    return asError(e);
  } catch (...) {
    return Error(kErrInternal, "Internal error: a failure of unknown kind", "kestrin");
  }
}

void raise(int32_t number, const std::string& description, const std::string& source) {
  throw Error(number, description, source);
}

}  // namespace kestrin
