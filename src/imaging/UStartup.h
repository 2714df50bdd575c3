// The image library's start-up steps, taken in the program's order before any window exists and
// undone in reverse order at exit.
#pragma once

#include <windows.h>

#include <span>

namespace imaging {

// One start-up step and what undoes it.
struct TImagingStep {
  void (*Start)(HMODULE module);
  void (*Finish)();
};

// The process entry makes one before anything else and keeps it until the message loop has ended.
class TImagingStartup {
 public:
  // Takes every step in order, for the program's executable module (or the given one); when one
  // fails, undoes those taken and lets the error pass.
  TImagingStartup();
  explicit TImagingStartup(HMODULE module);
  // Takes the given steps instead (for tests).
  TImagingStartup(HMODULE module, std::span<const TImagingStep> steps);
  ~TImagingStartup();
  TImagingStartup(const TImagingStartup&) = delete;
  TImagingStartup& operator=(const TImagingStartup&) = delete;

  // The program's steps, in their order.
  static std::span<const TImagingStep> Steps();

 private:
  void Undo();
  std::span<const TImagingStep> steps_;
  std::size_t taken_ = 0;
};

}  // namespace imaging
