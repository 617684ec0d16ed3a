// The program's error classes. Every failure on the road of a run is raised as
// one of these and caught once, in the run driver; the report shows
// ClassName(), ": " and Message.
#pragma once

#include <cstdint>

#include "console/text.h"

class Exception {
 public:
  explicit Exception(Text message);
  virtual ~Exception() = default;

  virtual Text ClassName() const { return u"Exception"; }

  Text Message;
  // The code address that raised the error, for the escaped-error report.
  const void* RaiseAddress;

 protected:
  Exception(Text message, const void* raiseAddress);
};

// A failed operating-system call, with its last-error code.
class EOSError : public Exception {
 public:
  EOSError(uint32_t errorCode, Text message);
  Text ClassName() const override { return u"EOSError"; }
  uint32_t ErrorCode;
};

// A failed console read or write, or an empty folder path.
class EInOutError : public Exception {
 public:
  EInOutError(int32_t errorCode, Text message);
  Text ClassName() const override { return u"EInOutError"; }
  int32_t ErrorCode;
};

// A followed link whose target can't be opened.
class EDirectoryNotFoundException : public Exception {
 public:
  explicit EDirectoryNotFoundException(Text message);
  Text ClassName() const override { return u"EDirectoryNotFoundException"; }
};
