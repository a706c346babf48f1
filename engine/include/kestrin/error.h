// Failures of the engine: kestrin::Error is the only way a failure crosses the library's boundary.
// Every thread has one current error (number, description, source) shared by all methods that run
// on it; methods record into it, test it at their end and leave it set when they return.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace kestrin {

// Well-known error numbers of the engine's runtime.
inline constexpr int32_t kErrInvalidCall = 5;        // invalid procedure call or argument
inline constexpr int32_t kErrOverflow = 6;           // overflow
inline constexpr int32_t kErrOutOfMemory = 7;        // out of memory
inline constexpr int32_t kErrSubscript = 9;          // subscript out of range
inline constexpr int32_t kErrTypeMismatch = 13;      // type mismatch
inline constexpr int32_t kErrInternal = 51;          // internal error
inline constexpr int32_t kErrBadFileName = 52;       // bad file name or number
inline constexpr int32_t kErrFileNotFound = 53;      // file not found
inline constexpr int32_t kErrDiskFull = 61;          // disk full
inline constexpr int32_t kErrPastEndOfFile = 62;     // input past end of file
inline constexpr int32_t kErrPermission = 70;        // permission denied
inline constexpr int32_t kErrPathAccess = 75;        // path/file access error
inline constexpr int32_t kErrPathNotFound = 76;      // path not found
inline constexpr int32_t kErrObjectNotSet = 91;      // object variable not set
inline constexpr int32_t kErrInvalidUseOfNull = 94;  // a NULL used where a value is needed

// Error numbers of the database layer (the classic data-access numbers).
inline constexpr int32_t kErrNoCurrentRecord = 3021;   // BOF or EOF is true
inline constexpr int32_t kErrItemNotFound = 3265;      // no field of that name
inline constexpr int32_t kErrObjectClosed = 3704;      // operation not allowed on a closed object
inline constexpr int32_t kErrObjectOpen = 3705;        // operation not allowed on an open object
inline constexpr int32_t kErrProvider = -2147467259;   // provider failure (open, file, lock)
inline constexpr int32_t kErrStatement = -2147217900;  // statement rejected by the database
inline constexpr int32_t kErrIntegrity = -2147217873;  // a key or constraint would be violated

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description, std::string source);

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

// The current error of the calling thread. number 0 means "no error".
struct ErrorRecord {
  int32_t number = 0;
  std::string description;
  std::string source;

  bool isSet() const { return number != 0; }
};

const ErrorRecord& currentError();
void setCurrentError(const Error& e);
void clearCurrentError();

// Any failure as an engine error (foreign exceptions should not happen, but must not reach a
// caller as something it cannot read): an Error stays as it is; out of memory (std::bad_alloc,
// std::length_error) is error 7; any other exception is error 51 with its own text.
Error asError(const std::exception& e);
Error asError(std::exception_ptr failure);

// Throws Error(number, description, source).
[[noreturn]] void raise(int32_t number, const std::string& description, const std::string& source);

}  // namespace kestrin
