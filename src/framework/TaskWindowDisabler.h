// Disabling the other windows of the thread while a modal box or form is up.
#pragma once

#include <windows.h>

#include <vector>

namespace framework {

// Disables the visible, enabled top-level windows of the calling thread until Restore (or its end),
// as modal boxes and modal forms do.
class TTaskWindowDisabler {
 public:
  TTaskWindowDisabler();
  ~TTaskWindowDisabler() { Restore(); }
  TTaskWindowDisabler(const TTaskWindowDisabler&) = delete;
  TTaskWindowDisabler& operator=(const TTaskWindowDisabler&) = delete;
  void Restore();

 private:
  std::vector<HWND> windows_;
};

}  // namespace framework
