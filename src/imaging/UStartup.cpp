#include "imaging/UStartup.h"

#include "imaging/UDIBitmap.h"
#include "imaging/UPalette.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"

namespace imaging {

namespace {

// In the program's order. The palette utilities come first; the safety bitmap's and the JPEG
// class's picture registrations and the DIB-section graphic's draw mode follow, each as its own
// step.
const TImagingStep kSteps[] = {
    {[](HMODULE module) { InitDefaultPalette(module); }, [] { DoneDefaultPalette(); }},
    {[](HMODULE) { InitSafetyBitmap(); }, [] { DoneSafetyBitmap(); }},
    {[](HMODULE) { InitPictureEx(); }, [] { DonePictureEx(); }},
    {[](HMODULE) { InitDIBitmapDrawMode(); }, [] {}},
};

}  // namespace

TImagingStartup::TImagingStartup() : TImagingStartup(GetModuleHandleW(nullptr)) {}

TImagingStartup::TImagingStartup(HMODULE module) : TImagingStartup(module, Steps()) {}

TImagingStartup::TImagingStartup(HMODULE module, std::span<const TImagingStep> steps) : steps_(steps) {
  steps_.TakeAll(module);
}

void TImagingStartup::TTakenSteps::TakeAll(HMODULE module) {
  for (const TImagingStep& step : steps_) {
    step.Start(module);
    ++taken_;
  }
}

TImagingStartup::TTakenSteps::~TTakenSteps() {
  while (taken_ > 0) steps_[--taken_].Finish();
}

std::span<const TImagingStep> TImagingStartup::Steps() { return kSteps; }

}  // namespace imaging
