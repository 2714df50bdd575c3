// The image library's start-up steps, taken in the program's order before any window exists and
// undone in reverse order at exit.
#pragma once

#include <windows.h>

#include <cstddef>

namespace imaging {

// The process entry makes one before anything else and keeps it until the message loop has ended.
class TImagingStartup {
 public:
  // Takes every step in order, for the program's executable module (or the given one); when one
  // fails, undoes those taken and lets the error pass.
  TImagingStartup();
  explicit TImagingStartup(HMODULE module);
  ~TImagingStartup();
  TImagingStartup(const TImagingStartup&) = delete;
  TImagingStartup& operator=(const TImagingStartup&) = delete;

  // How many steps are taken (for tests).
  static std::size_t StepCount();

 private:
  void Undo();
  std::size_t taken_ = 0;
};

}  // namespace imaging
