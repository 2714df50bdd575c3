// The exception family: every failure carries its CP932 message text.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message, unsigned long systemError = 0)
      : Message(std::move(message)), SystemError(systemError) {}
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;  // CP932
  // Where a system call failed: its error code (GetLastError), taken where the exception is
  // raised; 0 when the failure was not the system's. It is for the program and its logs; the
  // message a user sees never depends on it.
  unsigned long SystemError = 0;
};

// The runtime's own texts, converted to CP932 at first use.
namespace texts {
const std::string& ReadError();
const std::string& WriteError();
const std::string& ResNotFound();     // "%s ..."
const std::string& FCreateError();    // "... %s ..."
const std::string& FOpenError();      // "... %s ..."
const std::string& IntOverflow();
const std::string& RangeError();
const std::string& CantWriteResourceStream();
const std::string& MemoryStreamError();
const std::string& InvalidStreamOperation();
}  // namespace texts

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError(texts::ReadError()) {}
};

class EWriteError : public EStreamError {
 public:
  explicit EWriteError(unsigned long systemError = 0) : EStreamError(texts::WriteError(), systemError) {}
};

class EFCreateError : public EStreamError {
 public:
  explicit EFCreateError(std::string_view fileName, unsigned long systemError = 0);
};

class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(std::string_view fileName);
};

class EResNotFound : public Exception {
 public:
  explicit EResNotFound(std::string_view resourceName);
};

class EIntOverflow : public Exception {
 public:
  EIntOverflow() : Exception(texts::IntOverflow()) {}
};

class ERangeError : public Exception {
 public:
  ERangeError() : Exception(texts::RangeError()) {}
};

class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace rtl
