// The image library's start-up steps: what each does, their order, and their undoing in reverse,
// at the end and when a step fails. The steps are taken for a module without palette resources,
// so that the test program's own default palette stays out of the 8-bit screen's system palette.
#include "imaging/UStartup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Picture.h"
#include "imaging/UDIBitmap.h"
#include "imaging/UPalette.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Exception.h"

namespace {

using imaging::TImagingStartup;
using imaging::TImagingStep;

HMODULE ModuleWithoutPalettes() { return GetModuleHandleW(L"kernel32.dll"); }

// What the steps have done: the default palette, the safety bitmap's and the JPEG class's picture
// registrations, and the DIB-section graphic's draw mode as the NT family has it.
struct Done {
  bool palette = false;
  bool bitmaps = false;
  bool jpeg = false;
  bool drawMode = false;
  bool operator==(const Done&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Done& done) {
  return out << "{palette " << done.palette << ", bitmaps " << done.bitmaps << ", jpeg " << done.jpeg
             << ", draw mode " << done.drawMode << "}";
}

Done Now() {
  using framework::TPicture;
  const bool bitmaps = TPicture::FileFormatClass("BMP") == &imaging::TSafetyBitmap::StaticClass() &&
                       TPicture::FileFormatClass("CBM") == &imaging::TSafetyBitmap::StaticClass();
  const bool jpeg = TPicture::FileFormatClass("JPG") == &imaging::TSafetyJPEGImage::StaticClass() &&
                    TPicture::FileFormatClass("jpeg") == &imaging::TSafetyJPEGImage::StaticClass();
  return {imaging::DefaultPaletteHandle() != nullptr, bitmaps, jpeg, !imaging::TDIBitmap::DefaultDrawDirect()};
}

// The calls that the startup object makes, in their order.
std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

// The program's step I, logging its start and its finish.
template <std::size_t I>
TImagingStep Logged() {
  return {[](HMODULE module) {
            Calls().push_back("start " + std::to_string(I));
            TImagingStartup::Steps()[I].Start(module);
          },
          [] {
            Calls().push_back("finish " + std::to_string(I));
            TImagingStartup::Steps()[I].Finish();
          }};
}

const TImagingStep kFailing = {[](HMODULE) {
                                 Calls().push_back("fail");
                                 throw rtl::Exception("the step failed");
                               },
                               [] { Calls().push_back("finish the failed step"); }};

// Starts from nothing taken; the draw mode, which no step undoes, is put back afterwards.
class ImagingStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TImagingStartup::Steps().size(), 4u);
    imaging::TDIBitmap::SetDefaultDrawDirect(true);
    Calls().clear();
    ASSERT_EQ(Now(), Done{}) << "another test left a step taken";
  }
  void TearDown() override { imaging::TDIBitmap::SetDefaultDrawDirect(savedDrawDirect_); }

 private:
  bool savedDrawDirect_ = imaging::TDIBitmap::DefaultDrawDirect();
};

TEST_F(ImagingStartup, EachStepDoesItsOwnPartInTheProgramsOrder) {
  const auto steps = TImagingStartup::Steps();
  std::vector<Done> seen;
  for (const TImagingStep& step : steps) {
    step.Start(ModuleWithoutPalettes());
    seen.push_back(Now());
  }
  EXPECT_EQ(seen, (std::vector<Done>{{true, false, false, false},
                                     {true, true, false, false},
                                     {true, true, true, false},
                                     {true, true, true, true}}));
  seen.clear();
  for (std::size_t i = steps.size(); i > 0; --i) {
    steps[i - 1].Finish();
    seen.push_back(Now());
  }
  // The draw mode is set once for the whole run; nothing undoes it.
  EXPECT_EQ(seen, (std::vector<Done>{{true, true, true, true},
                                     {true, true, false, true},
                                     {true, false, false, true},
                                     {false, false, false, true}}));
}

TEST_F(ImagingStartup, TakesItsStepsAndUndoesThemInReverseAtTheEnd) {
  const TImagingStep steps[] = {Logged<0>(), Logged<1>(), Logged<2>(), Logged<3>()};
  HPALETTE made = nullptr;
  {
    TImagingStartup startup(ModuleWithoutPalettes(), steps);
    EXPECT_EQ(Now(), (Done{true, true, true, true}));
    made = imaging::DefaultPaletteHandle();
    EXPECT_EQ(GetPaletteEntries(made, 0, 0, nullptr), 256u);
    EXPECT_EQ(framework::TPicture::FileFormatClass("jpeg"), &imaging::TSafetyJPEGImage::StaticClass());
  }
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start 0", "start 1", "start 2", "start 3", "finish 3", "finish 2",
                                               "finish 1", "finish 0"}));
  EXPECT_EQ(Now(), (Done{false, false, false, true}));
  EXPECT_EQ(framework::TPicture::FileFormatClass("BMP"), &framework::TBitmap::StaticClass());
  EXPECT_EQ(framework::TPicture::FileFormatClass("CBM"), nullptr);
  EXPECT_EQ(framework::TPicture::FileFormatClass("jpeg"), nullptr);
  EXPECT_EQ(GetObjectType(made), 0u) << "the default palette was not deleted";
}

TEST_F(ImagingStartup, AFailingStepUndoesTheStepsBeforeItInReverseAndPassesItsError) {
  const TImagingStep steps[] = {Logged<0>(), Logged<1>(), kFailing, Logged<3>()};
  EXPECT_THROW(TImagingStartup(ModuleWithoutPalettes(), steps), rtl::Exception);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start 0", "start 1", "fail", "finish 1", "finish 0"}));
  EXPECT_EQ(Now(), Done{});
}

TEST_F(ImagingStartup, TheProgramsStartupTakesTheProgramsSteps) {
  {
    TImagingStartup startup(ModuleWithoutPalettes());
    EXPECT_EQ(Now(), (Done{true, true, true, true}));
  }
  EXPECT_EQ(Now(), (Done{false, false, false, true}));
}

}  // namespace
