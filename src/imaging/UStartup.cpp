#include "imaging/UStartup.h"

#include <iterator>

#include "imaging/UDIBitmap.h"
#include "imaging/UPalette.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"

namespace imaging {

namespace {

struct TStep {
  void (*Start)(HMODULE module);
  void (*Finish)();
};

// In the program's order. The palette utilities come first; the safety bitmap's and the JPEG
// class's picture registrations and the DIB-section graphic's draw mode follow, each as its own
// step.
const TStep kSteps[] = {
    {[](HMODULE module) { InitDefaultPalette(module); }, [] { DoneDefaultPalette(); }},
    {[](HMODULE) { InitSafetyBitmap(); }, [] { DoneSafetyBitmap(); }},
    {[](HMODULE) { InitPictureEx(); }, [] { DonePictureEx(); }},
    {[](HMODULE) { InitDIBitmapDrawMode(); }, [] {}},
};

}  // namespace

TImagingStartup::TImagingStartup() : TImagingStartup(GetModuleHandleW(nullptr)) {}

TImagingStartup::TImagingStartup(HMODULE module) {
  try {
    for (const TStep& step : kSteps) {
      step.Start(module);
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
