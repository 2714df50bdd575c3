// Keeps the system from asking the user to insert a disk while drives and folders are looked at.
#pragma once

#include <windows.h>

namespace framework {

// Drive queries fail quietly while it lives.
class TErrorModeGuard {
 public:
  TErrorModeGuard() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {
    SetErrorMode(old_ | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  }
  ~TErrorModeGuard() { SetErrorMode(old_); }
  TErrorModeGuard(const TErrorModeGuard&) = delete;
  TErrorModeGuard& operator=(const TErrorModeGuard&) = delete;

 private:
  UINT old_;
};

}  // namespace framework
