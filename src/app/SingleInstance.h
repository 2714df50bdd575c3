// One updater at a time in a session: UAC prompts are slow and users start it again, and two copies
// would mend and replace the same files under each other's hands.
#pragma once

#include <windows.h>

#include "rtl/Handles.h"

namespace app {

class TSingleInstance {
 public:
  // Takes the session's one place for a running updater, or finds it taken.
  TSingleInstance();
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // False when another updater of this session runs.
  bool First() const { return first_; }
  // Tells updaters started later which window to bring to the front.
  void Publish(HWND window);
  // Brings the running updater's window to the front, or the dialog or message box it shows; waits
  // a few seconds for an updater that is still starting to have one.
  void BringFirstToFront() const;

 private:
  rtl::TKernelHandle mapping_;
  volatile LONG* shared_ = nullptr;  // the published window, in the mapping's view
  bool first_ = true;
};

}  // namespace app
