#include "imaging/UCanvas.h"

#include <gtest/gtest.h>

#include "support/Painting.h"
#include "framework/Printers.h"
#include "support/GdiObjects.h"
#include "support/Pixels.h"
#include "support/TestPrinter.h"

namespace {

using imaging::TMemoryCanvas;

// A memory canvas on a 24-bit DIB section of its own.
class TSectionCanvas : public TMemoryCanvas {
 public:
  TSectionCanvas(int width, int height)
      : section_(testing_support::CreateSection(width, height, 24)), width_(width), height_(height) {}
  ~TSectionCanvas() override { FreeHandle(); }

  HBITMAP Section() const { return section_.get(); }
  std::vector<uint32_t> Pixels() const { return testing_support::ReadPixels(section_.get(), width_, height_); }
  int bitmapRequests = 0;
  bool giveNone = false;

 protected:
  HBITMAP GetBitmapHandle() override {
    ++bitmapRequests;
    return giveNone ? nullptr : section_.get();
  }

 private:
  framework::TBitmapHandle section_;
  int width_;
  int height_;
};

class MemoryCanvas : public ::testing::Test {
 protected:
  TSectionCanvas canvas{3, 2};
};

TEST_F(MemoryCanvas, DrawsIntoTheDescendantsBitmapUntilFreeHandleDeselectsIt) {
  EXPECT_FALSE(canvas.HandleAllocated());
  canvas.Brush().SetColor(framework::clRed);
  canvas.FillRect({0, 0, 3, 2});
  canvas.SetPixel(2, 1, framework::clBlue);
  EXPECT_TRUE(canvas.HasSelection());
  EXPECT_EQ(canvas.bitmapRequests, 1);
  EXPECT_EQ(canvas.Pixels(), (std::vector<uint32_t>{0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0x0000FF}));
  // Freeing the handle deselects the bitmap and deletes the context.
  HDC dc = canvas.Handle();
  canvas.FreeHandle();
  EXPECT_FALSE(canvas.HandleAllocated());
  EXPECT_FALSE(canvas.HasSelection());
  EXPECT_EQ(GetObjectType(dc), 0u);
  // The bitmap is free to be selected elsewhere.
  HDC other = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(other, canvas.Section());
  EXPECT_NE(previous, nullptr);
  SelectObject(other, previous);
  DeleteDC(other);
  // The next drawing makes a new context.
  canvas.SetPixel(0, 0, framework::clWhite);
  EXPECT_TRUE(canvas.HasSelection());
  EXPECT_EQ(canvas.bitmapRequests, 2);
}

TEST_F(MemoryCanvas, WithoutAReferenceItIsMadeForTheScreen) {
  HDC screen = GetDC(nullptr);
  const int resolution = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  canvas.Font().SetPixelsPerInch(resolution == 72 ? 96 : 72);
  const int32_t points = canvas.Font().Size();
  canvas.Handle();
  EXPECT_EQ(canvas.Font().PixelsPerInch(), resolution);
  EXPECT_EQ(canvas.Font().Size(), points);
  EXPECT_EQ(GetDeviceCaps(imaging::GetCanvasReferenceDC(canvas), TECHNOLOGY), DT_RASDISPLAY);
  EXPECT_FALSE(imaging::IsPrinterCanvas(canvas));
}

TEST_F(MemoryCanvas, FreeHandleWithoutAHandleReleasesOnlyAFetchedScreenContext) {
  canvas.FreeHandle();  // harmless on a canvas that never had one
  const int before = testing_support::LiveGdiObjects();
  HDC screen = canvas.GetReferenceDC();
  EXPECT_EQ(canvas.GetReferenceDC(), screen);  // kept
  canvas.FreeHandle();
  EXPECT_EQ(testing_support::LiveGdiObjects(), before);
  EXPECT_FALSE(canvas.HandleAllocated());
}

TEST_F(MemoryCanvas, ANullBitmapSelectsNothing) {
  canvas.giveNone = true;
  EXPECT_NE(canvas.Handle(), nullptr);
  EXPECT_FALSE(canvas.HasSelection());
  canvas.SelectBitmap(canvas.Section());
  EXPECT_TRUE(canvas.HasSelection());
  canvas.DeselectBitmap();
  EXPECT_FALSE(canvas.HasSelection());
}

TEST_F(MemoryCanvas, OnlyANewReferenceDeviceFreesTheHandle) {
  HDC screen = GetDC(nullptr);
  canvas.SetReferenceDC(screen);
  HDC dc = canvas.Handle();
  canvas.SetReferenceDC(screen);
  EXPECT_TRUE(canvas.HandleAllocated());
  EXPECT_EQ(canvas.Handle(), dc);
  canvas.SetReferenceDC(nullptr);
  EXPECT_FALSE(canvas.HandleAllocated());
  canvas.SetPixel(0, 0, framework::clWhite);
  EXPECT_TRUE(canvas.HandleAllocated());
  canvas.FreeHandle();
  ReleaseDC(nullptr, screen);
}

TEST_F(MemoryCanvas, ManyHandlesLeaveNoObjectBehind) {
  // The brush keeps one brush of its colour at any time.
  canvas.FillRect({0, 0, 2, 2});
  canvas.FreeHandle();
  const int before = testing_support::LiveGdiObjects();
  for (int i = 0; i < 300; ++i) {
    canvas.Brush().SetColor(i);
    canvas.FillRect({0, 0, 2, 2});
    canvas.GetReferenceDC();
    canvas.FreeHandle();
  }
  EXPECT_EQ(testing_support::LiveGdiObjects(), before);
}

class PrinterReference : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(HDC(printer), nullptr) << testing_support::TestPrinterFailure(); }
  void TearDown() override { framework::Printer().SetPrinterName({}); }
  const testing_support::TTestPrinterDC printer;
};

TEST_F(PrinterReference, AMemoryCanvasForAPrinterAndThePrinterObjectsCanvasArePrinterCanvases) {
  TSectionCanvas canvas(2, 2);
  const int32_t points = canvas.Font().Size();
  canvas.SetReferenceDC(printer);
  canvas.SetPixel(0, 0, framework::clRed);
  EXPECT_EQ(canvas.Font().PixelsPerInch(), GetDeviceCaps(printer, LOGPIXELSY));
  EXPECT_GT(canvas.Font().PixelsPerInch(), 96);
  EXPECT_EQ(canvas.Font().Size(), points);
  EXPECT_EQ(imaging::GetCanvasReferenceDC(canvas), printer);
  EXPECT_TRUE(imaging::IsPrinterCanvas(canvas));
  // The drawing still went into the bitmap, not to the printer.
  EXPECT_EQ(canvas.Pixels()[0], 0xFF0000u);
  canvas.FreeHandle();
  // The printer object's canvas is a printer canvas without any device query.
  framework::Printer().SetPrinterName("no such printer");
  EXPECT_TRUE(imaging::IsPrinterCanvas(framework::Printer().Canvas()));
  framework::Printer().SetPrinterName(testing_support::kTestPrinterName);
  EXPECT_EQ(imaging::GetCanvasReferenceDC(framework::Printer().Canvas()), framework::Printer().Handle());
}

TEST(CanvasReference, APlainCanvasIsItsOwnReference) {
  HDC screen = GetDC(nullptr);
  framework::TCanvas canvas(screen);
  EXPECT_EQ(imaging::GetCanvasReferenceDC(canvas), screen);
  EXPECT_FALSE(imaging::IsPrinterCanvas(canvas));
  ReleaseDC(nullptr, screen);
}

}  // namespace
