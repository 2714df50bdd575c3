// The bitmap graphic: a DIB section or a device-dependent bitmap with its palette, its pixel
// formats, its canvas, BMP streams, bitmap resources and the clipboard.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "framework/GdiHandles.h"
#include "framework/Graphic.h"
#include "rtl/Stream.h"

namespace framework {

// pfDevice: a device-dependent bitmap in the screen's format (or monochrome); the others are DIB
// sections of that many bits per pixel (pf15bit is 16-bit 5-5-5, pf16bit 5-6-5); pfCustom is a DIB
// of another layout.
enum class TPixelFormat { pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit, pfDevice, pf15bit, pfCustom };
enum class TBitmapHandleType { bmDIB, bmDDB };
// tmAuto: the transparent colour is the bottom-left pixel's (white for a monochrome bitmap).
enum class TTransparentMode { tmAuto, tmFixed };

// A bitmap: a DIB section or a device-dependent bitmap, with an owned palette. A new bitmap is an
// empty device-dependent one (pfDevice).
class TBitmap : public TGraphic {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TBitmap();
  ~TBitmap() override;
  void Assign(const TPersistent* source) override;

  bool Empty() const override { return !handle_; }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetWidth(int32_t width) override { SetSize(width, height_); }
  void SetHeight(int32_t height) override { SetSize(width_, height); }
  // Keeps the picture's top-left part; new pixels have all bits 0 (black unless an indexed image's
  // first colour is another). The image exists once both are above 0; a size of 0 (or below)
  // empties it but keeps the other dimension and the format.
  void SetSize(int32_t width, int32_t height);

  TPixelFormat PixelFormat() const;
  // Converts the pixels to the new format; indexed formats take their colours from the palette,
  // or from a standard set when there is none. On an empty bitmap it chooses the format of the
  // image that a size will make.
  void SetPixelFormat(TPixelFormat format);
  TBitmapHandleType HandleType() const;
  void SetHandleType(TBitmapHandleType type);
  // A 1-bit device-dependent bitmap, or a 1-bit DIB whose colours are black and white.
  bool Monochrome() const;
  // Makes it a 1-bit device-dependent bitmap (colours equal to the bitmap's background colour,
  // white, become white; all others black), or back a device bitmap in the screen's format.
  void SetMonochrome(bool monochrome);

  HBITMAP Handle() const { return handle_.get(); }
  // Takes ownership of bitmap, a DIB section or a device-dependent bitmap; its kind is kept.
  void SetHandle(HBITMAP bitmap);
  HPALETTE Palette() const override { return palette_.get(); }
  // Takes ownership of palette. An indexed DIB is re-rendered through it: its colour table becomes
  // the palette's colours and every pixel the nearest of them to its old colour.
  void SetPalette(HPALETTE palette) override;
  // Makes the palette of an indexed DIB from its colour table when it has none.
  void PaletteNeeded();
  // With it the bitmap makes no palette and selects none when it draws.
  bool IgnorePalette() const { return ignorePalette_; }
  void SetIgnorePalette(bool ignore);

  TCanvas& Canvas();
  // The fixed colour (tmFixed); otherwise the bottom-left pixel's colour, white for a monochrome
  // bitmap, clDefault for an empty one.
  TColor TransparentColor();
  // Fixes the colour (clDefault returns to tmAuto).
  void SetTransparentColor(TColor color);
  // Row y of the pixels (0 is the top row) of the DIB (a device bitmap becomes one); raises
  // EInvalidGraphicOperation out of range.
  void* ScanLine(int32_t y);

  // A BMP from the stream's position to its end: file header, a 12-byte core or 40- to 124-byte
  // info header, the colour table right after the header (biClrUsed entries, or all of an indexed
  // format when 0), the pixels right after the colour table (bfOffBits is not consulted), at most
  // biSizeImage bytes (or the rows' size when 0) and at most what the stream holds; missing pixels
  // are black. RLE8 and RLE4 are decoded. Data that is not such a BMP raises EInvalidGraphic; an
  // empty stream empties the bitmap.
  void LoadFromStream(rtl::TStream& stream) override;
  // A BMP: file header, 40-byte info header, colour table, uncompressed rows bottom-up.
  void SaveToStream(rtl::TStream& stream) const override;
  // The layout's "Data": a u32 length, then the BMP stream of that length.
  void ReadData(rtl::TStream& stream) override;
  void WriteData(rtl::TStream& stream) const override;
  // A bitmap resource (RT_BITMAP) of module; raises EResNotFound when there is none.
  void LoadFromResourceName(HMODULE module, const std::string& name);
  // CF_BITMAP (a bitmap handle with its palette) and CF_DIB (a packed DIB in a global block).
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
  // Gives CF_BITMAP: a device bitmap and a copy of the palette, both the receiver's.
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const override;

  void Draw(TCanvas& canvas, const TRect& rect) override;

 private:
  // The canvas on this bitmap's image and palette.
  class TImageCanvas;
  void Replace(HBITMAP image);
  // No image, no size, no palette; reported as a change.
  void MakeEmpty();
  void FreeCanvasDC();
  HDC SourceDC() const;
  // An image of the given size and kind, its bits all 0; an indexed one takes colors (a standard
  // set when empty).
  TBitmapHandle NewImage(int32_t width, int32_t height, TPixelFormat format, bool monochrome,
                         const std::vector<RGBQUAD>& colors) const;
  // A new image of the given kind holding this bitmap's pixels (drawn into it).
  TBitmapHandle ConvertedImage(TPixelFormat format, bool monochrome, const std::vector<RGBQUAD>& colors) const;
  // The colours for an indexed image of format made from this bitmap: its own colour table when it
  // has that format, else its palette's colours (or the screen's for a device bitmap).
  std::vector<RGBQUAD> TableFor(TPixelFormat format) const;

  TBitmapHandle handle_;
  TPaletteHandle palette_;
  std::unique_ptr<TBitmapCanvas> canvas_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  // The kind of image that SetSize makes while the bitmap is empty; kept up to date with the image.
  TPixelFormat format_ = TPixelFormat::pfDevice;
  bool monochrome_ = false;
  bool ignorePalette_ = false;
  TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
  TColor transparentColor_ = clDefault;
};

}  // namespace framework
