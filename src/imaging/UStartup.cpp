#include "imaging/UStartup.h"

#include <iterator>

#include "imaging/UPalette.h"

namespace imaging {

namespace {

struct TStep {
  void (*Start)();
  void (*Finish)();
};

// In the program's order. The palette utilities come first; the safety bitmap's and the JPEG
// class's picture registrations and the DIB-section graphic's draw mode follow, each as its own
// step.
const TStep kSteps[] = {
    {[] { InitDefaultPalette(); }, [] { DoneDefaultPalette(); }},
};

}  // namespace

TImagingStartup::TImagingStartup() {
  try {
    for (const TStep& step : kSteps) {
      step.Start();
      ++taken_;
    }
  } catch (...) {
    Undo();
    throw;
  }
}

TImagingStartup::~TImagingStartup() { Undo(); }

void TImagingStartup::Undo() {
  while (taken_ > 0) kSteps[--taken_].Finish();
}

std::size_t TImagingStartup::StepCount() { return std::size(kSteps); }

}  // namespace imaging
