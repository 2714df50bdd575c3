// The printer object on the test printer: its canvas and font at the printer's resolution, and a
// printer that is not there.
#include "framework/Printers.h"

#include <gtest/gtest.h>

#include "framework/Canvas.h"
#include "framework/Errors.h"
#include "support/Gui.h"
#include "support/MessageOf.h"
#include "support/TestPrinter.h"

namespace {

using namespace framework;

class PrinterObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::EnsureTestPrinter()) << testing_support::TestPrinterFailure();
    Printer().SetPrinterName(testing_support::kTestPrinterName);
  }
  void TearDown() override { Printer().SetPrinterName({}); }
};

TEST_F(PrinterObject, ItsCanvasDrawsOnAPrinterContextWithTheFontAtItsResolution) {
  HDC dc = Printer().Handle();
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
  const int resolution = GetDeviceCaps(dc, LOGPIXELSY);
  EXPECT_GT(resolution, 96);
  TCanvas& canvas = Printer().Canvas();
  const int32_t points = canvas.Font().Size();
  EXPECT_EQ(canvas.Handle(), dc);
  EXPECT_EQ(canvas.Font().PixelsPerInch(), resolution);
  EXPECT_EQ(canvas.Font().Size(), points);
}

TEST_F(PrinterObject, AnUnknownPrinterIsAnError) {
  Printer().SetPrinterName("no such printer");
  EXPECT_EQ(testing_support::MessageOf<EPrinter>([] { Printer().Handle(); }),
            testing_support::S("ﾌﾟﾘﾝﾀが選択されていないか、使用できません"));
}

}  // namespace
