// Colours, drawing tools, the canvas, and the graphic classes: TGraphic, TBitmap and TPicture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Events.h"
#include "framework/GdiHandles.h"
#include "framework/Types.h"
#include "rtl/Stream.h"

namespace framework {

// 0x00BBGGRR, or a system colour (the high bit and a COLOR_ index).
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index)); }
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

COLORREF ColorToRGB(TColor color);
// The colour names that layouts may write instead of numbers.
const std::vector<TIdent>& ColorIdents();

// The one font of every window: "ＭＳ Ｐゴシック", 12 pixels high, Shift-JIS character set.
HFONT SharedFont();

enum class TBrushStyle { bsSolid, bsClear };
enum class TPenStyle { psSolid, psClear };

class TBrush : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }
  void Assign(const TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  HBRUSH Handle();  // owned by the brush; null-brush for bsClear
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
  TBrushHandle handle_;
};

class TPen : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }
  void Assign(const TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int32_t Width() const { return width_; }
  void SetWidth(int32_t width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  HPEN Handle();  // owned by the pen
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor color_ = clBlack;
  int32_t width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
  TPenHandle handle_;
};

// The canvas's font: the shared font in a colour.
class TFont : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }
  void Assign(const TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  HFONT Handle() const { return SharedFont(); }  // not owned
  TNotifyEvent OnChange;

 private:
  TColor color_ = clWindowText;
};

class TGraphic;

// Drawing on a device context. The canvas selects its pen, brush and font only for the length of
// each operation, so the DC is left as it was found.
class TCanvas : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TCanvas() = default;
  explicit TCanvas(HDC dc) : dc_(dc) {}  // not owned
  ~TCanvas() override = default;

  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  TFont& Font() { return font_; }
  DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD rop) { copyMode_ = rop; }

  void FillRect(const TRect& rect);
  void FrameRect(const TRect& rect);  // one pixel in the brush colour
  void Rectangle(const TRect& rect);
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  // Text in CP932, in the font colour; the background is filled with the brush unless it is clear.
  void WriteText(int32_t x, int32_t y, const std::string& text);
  void TextRect(const TRect& clip, int32_t x, int32_t y, const std::string& text);
  TSize TextExtent(const std::string& text);
  void Draw(int32_t x, int32_t y, TGraphic& graphic);
  void StretchDraw(const TRect& rect, TGraphic& graphic);
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  TColor Pixel(int32_t x, int32_t y);
  void SetPixel(int32_t x, int32_t y, TColor color);

  TNotifyEvent OnChange;

 protected:
  virtual void CreateHandle() {}
  void Changed();
  HDC dc_ = nullptr;  // not owned by this class

 private:
  TBrush brush_;
  TPen pen_;
  TFont font_;
  DWORD copyMode_ = SRCCOPY;
};

// Draws a raised or sunken frame of width lines inside rect (top and left in top, bottom and right
// in bottom) and shrinks rect by it.
void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int32_t width);

// Draws source (width x height at 0,0 of sourceDC) into rect on dest, leaving dest untouched
// wherever source has the transparent colour.
void DrawTransparent(HDC dest, const TRect& rect, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent);

// An image that can draw itself, load and save itself through a stream, and tell of its changes.
class TGraphic : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  // Draws the image stretched into rect.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  virtual void LoadFromStream(rtl::TStream& stream) = 0;
  virtual void SaveToStream(rtl::TStream& stream) const = 0;
  virtual HPALETTE Palette() const { return nullptr; }
  // Takes ownership of palette.
  virtual void SetPalette(HPALETTE palette);

  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  // The layout's "Data": the image as LoadFromStream reads it.
  virtual void ReadData(rtl::TStream& stream) { LoadFromStream(stream); }
  virtual void WriteData(rtl::TStream& stream) const { SaveToStream(stream); }
  bool DataStored() const { return !Empty(); }

  TNotifyEvent OnChange;

 protected:
  virtual void Changed(TObject* sender);

 private:
  bool transparent_ = false;
  bool modified_ = false;
};

enum class TPixelFormat { pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit };

// A bitmap held as a DIB section, with the palette made from its colour table (owned).
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
  // Keeps the picture's top-left part; new pixels are black. A size of 0 empties the bitmap.
  void SetSize(int32_t width, int32_t height);
  TPixelFormat PixelFormat() const { return format_; }
  // Converts the pixels to the new format (indexed formats take the bitmap's palette, or a
  // standard one).
  void SetPixelFormat(TPixelFormat format);

  HBITMAP Handle() const { return handle_.get(); }
  // Takes ownership of bitmap; a device-dependent bitmap is converted to a DIB section.
  void SetHandle(HBITMAP bitmap);
  HBITMAP ReleaseHandle();
  HPALETTE Palette() const override { return palette_.get(); }
  void SetPalette(HPALETTE palette) override;
  HPALETTE ReleasePalette() { return palette_.release(); }

  TCanvas& Canvas();
  // clDefault: the colour of the bottom-left pixel.
  TColor TransparentColor();
  void SetTransparentColor(TColor color);
  // Row y of the pixels (0 is the top row); raises EInvalidGraphicOperation out of range.
  void* ScanLine(int32_t y);

  // A BMP file (file header, Windows or OS/2 info header, colour table, pixels); raises
  // EInvalidGraphic for data that is not one, truncated data included.
  void LoadFromStream(rtl::TStream& stream) override;
  void SaveToStream(rtl::TStream& stream) const override;
  // A bitmap resource (RT_BITMAP) of module; raises EResNotFound when there is none.
  void LoadFromResourceName(HMODULE module, const std::string& name);
  void LoadFromResourceID(HMODULE module, int id);

  void Draw(TCanvas& canvas, const TRect& rect) override;

 private:
  class TBitmapCanvas;
  void Replace(HBITMAP section, TPixelFormat format);
  void FreeCanvasDC();
  HBITMAP NewSection(int32_t width, int32_t height, TPixelFormat format, HPALETTE palette, void** bits) const;

  TBitmapHandle handle_;
  TPaletteHandle palette_;
  std::unique_ptr<TBitmapCanvas> canvas_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  TColor transparentColor_ = clDefault;
};

// Holds at most one graphic, always its own copy.
class TPicture : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TPicture();
  ~TPicture() override;
  // From a picture or a graphic (a copy of the same class), or null (no graphic).
  void Assign(const TPersistent* source) override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Stores a copy of graphic, of the same class; null removes the graphic.
  void SetGraphic(const TGraphic* graphic);
  // The graphic as a bitmap; a graphic of another kind is replaced by an empty bitmap.
  TBitmap& Bitmap();
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // The layout's "Data": the graphic's class name (one length byte, then the name) and its data.
  void ReadData(rtl::TStream& stream);
  void WriteData(rtl::TStream& stream) const;
  virtual bool DataStored() const { return graphic_ != nullptr; }

  TNotifyEvent OnChange;

 protected:
  virtual void Changed(TObject* sender);
  // Makes graphic the picture's own (no copy), without a change notification.
  void Adopt(std::unique_ptr<TGraphic> graphic);

 private:
  std::unique_ptr<TGraphic> graphic_;
};

// A copy of graphic of the same class.
std::unique_ptr<TGraphic> CloneGraphic(const TGraphic& graphic);

}  // namespace framework
