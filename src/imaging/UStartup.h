// The image library's start-up steps, taken in the program's order before any window exists and
// undone in reverse order at exit.
#pragma once

#include <windows.h>

#include <cstddef>
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
  TImagingStartup(const TImagingStartup&) = delete;
  TImagingStartup& operator=(const TImagingStartup&) = delete;

  // The program's steps, in their order.
  static std::span<const TImagingStep> Steps();

 private:
  // The steps taken so far, undone in reverse order when it goes: a member, so that a step that
  // fails in the constructor has those before it undone too.
  class TTakenSteps {
   public:
    explicit TTakenSteps(std::span<const TImagingStep> steps) : steps_(steps) {}
    ~TTakenSteps();
    TTakenSteps(const TTakenSteps&) = delete;
    TTakenSteps& operator=(const TTakenSteps&) = delete;
    void TakeAll(HMODULE module);

   private:
    std::span<const TImagingStep> steps_;
    std::size_t taken_ = 0;
  };

  TTakenSteps steps_;
};

}  // namespace imaging
