// Colours, drawing tools, the canvas, and the graphic classes: TGraphic, TBitmap and TPicture with
// its registries of file extensions and clipboard formats (TIcon, TMetafile and TJPEGImage have
// headers of their own).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
// The screen's vertical resolution (LOGPIXELSY), read once.
int32_t ScreenPixelsPerInch();

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

// The canvas's font. By default the shared font (12 pixels at the screen's resolution); its size in
// points follows from its height in pixels and its pixels per inch:
//   Size = -Height * 72 / PixelsPerInch (rounded),  Height = -Size * PixelsPerInch / 72.
class TFont : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }
  TFont();
  void Assign(const TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  const std::string& Name() const { return name_; }  // CP932
  void SetName(const std::string& name);
  // Negative: the character height; positive: the cell height (as LOGFONT's lfHeight).
  int32_t Height() const { return height_; }
  void SetHeight(int32_t height);
  int32_t Size() const;
  void SetSize(int32_t points);
  // Changing it keeps the height in pixels (and so changes the size in points).
  int32_t PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int32_t pixelsPerInch);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE charset);
  // The shared font while the font has the shared font's name, height and character set; otherwise
  // a font of its own, owned by it.
  HFONT Handle();
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor color_ = clWindowText;
  std::string name_;
  int32_t height_ = -12;
  int32_t pixelsPerInch_;
  BYTE charset_ = SHIFTJIS_CHARSET;
  TFontHandle handle_;
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

  // The DC; a canvas without one makes it now (CreateHandle) or raises EInvalidOperation.
  HDC Handle();
  // Hands the canvas another DC (not owned); nullptr lets go of the present one.
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  TFont& Font() { return font_; }
  // The raster operation of Draw, StretchDraw and CopyRect.
  DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD rop) { copyMode_ = rop; }
  // The bounding box of the DC's clipping region, in logical units.
  TRect ClipRect();

  // A counted lock for the length of a drawing; every Lock needs its Unlock. All drawing runs on
  // the one GUI thread and nothing frees a canvas's DC behind its user's back, so the count is all
  // there is to it.
  void Lock() { ++lockCount_; }
  void Unlock();
  int32_t LockCount() const { return lockCount_; }

  void FillRect(const TRect& rect);
  void FrameRect(const TRect& rect);  // one pixel in the brush colour
  void Rectangle(const TRect& rect);
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  // Text in CP932, in the font colour; the background is filled with the brush unless it is clear.
  void WriteText(int32_t x, int32_t y, const std::string& text);
  void TextRect(const TRect& clip, int32_t x, int32_t y, const std::string& text);
  TSize TextExtent(const std::string& text);
  // Draw the graphic at its own size, or stretched into rect; both honour the copy mode.
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
  int32_t lockCount_ = 0;
};

// Locks a canvas for its lifetime.
class TCanvasLock {
 public:
  explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
  ~TCanvasLock() { canvas_.Unlock(); }
  TCanvasLock(const TCanvasLock&) = delete;
  TCanvasLock& operator=(const TCanvasLock&) = delete;

 private:
  TCanvas& canvas_;
};

// Draws a raised or sunken frame of width lines inside rect (top and left in top, bottom and right
// in bottom) and shrinks rect by it.
void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int32_t width);

// Draws source (width x height at 0,0 of sourceDC) into rect on dest, leaving dest untouched
// wherever source has the transparent colour.
void DrawTransparent(HDC dest, const TRect& rect, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent);
// A monochrome bitmap of source (width x height at 0,0 of sourceDC): white where source has the
// transparent colour, black elsewhere. It is drawn in a memory DC compatible with dest.
TBitmapHandle TransparencyMask(HDC dest, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent);

// An image that can draw itself, load and save itself through a stream or the clipboard, and tell
// of its changes.
class TGraphic : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  // Draws the image stretched into rect, with the canvas's copy mode.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  // Reads from the stream's position to its end.
  virtual void LoadFromStream(rtl::TStream& stream) = 0;
  virtual void SaveToStream(rtl::TStream& stream) const = 0;
  void LoadFromFile(const std::string& fileName);  // CP932 path
  void SaveToFile(const std::string& fileName) const;
  // The clipboard: data and palette stay the caller's on loading; on saving they become the
  // receiver's. The base supports no format (EInvalidGraphic).
  virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
  virtual void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const;

  // The graphic's palette (owned by it), or nullptr.
  virtual HPALETTE Palette() const { return nullptr; }
  // Takes ownership of palette.
  virtual void SetPalette(HPALETTE palette);

  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  // Set by every change; setting it to true fires the change notification, false only clears it.
  bool Modified() const { return modified_; }
  void SetModified(bool modified);

  // The layout's "Data": by default the image as LoadFromStream reads it.
  virtual void ReadData(rtl::TStream& stream) { LoadFromStream(stream); }
  virtual void WriteData(rtl::TStream& stream) const { SaveToStream(stream); }
  bool DataStored() const { return !Empty(); }

  TNotifyEvent OnChange;

 protected:
  // Every change of the image passes through here: marks it modified and fires OnChange.
  virtual void Changed(TObject* sender);
  // A u32 length, then LoadFromStream on the data of that length.
  void ReadSizedData(rtl::TStream& stream);

 private:
  bool transparent_ = false;
  bool modified_ = false;
};

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
  HBITMAP ReleaseHandle();
  HPALETTE Palette() const override { return palette_.get(); }
  // Takes ownership of palette. An indexed DIB is re-rendered through it: its colour table becomes
  // the palette's colours and every pixel the nearest of them to its old colour.
  void SetPalette(HPALETTE palette) override;
  HPALETTE ReleasePalette();
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
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);
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
  void LoadFromResourceID(HMODULE module, int id);
  // CF_BITMAP (a bitmap handle with its palette) and CF_DIB (a packed DIB in a global block).
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
  // Gives CF_BITMAP: a device bitmap and a copy of the palette, both the receiver's.
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const override;

  void Draw(TCanvas& canvas, const TRect& rect) override;

 private:
  class TBitmapCanvas;
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

class TIcon;
class TMetafile;

// One entry of the picture's registry of file extensions.
struct TFileFormat {
  std::string Extension;    // without the dot
  std::string Description;  // CP932
  const TClass* GraphicClass = nullptr;
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
  // The graphic as a bitmap, icon or metafile; a graphic of another kind is replaced by an empty one
  // of that kind first.
  TBitmap& Bitmap();
  TIcon& Icon();
  TMetafile& Metafile();
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // A file read by the graphic class registered for its extension (EInvalidGraphic for an
  // unknown one); the picture keeps its graphic when the load fails.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const;

  // The registry of file extensions: the last class registered for an extension (ASCII case
  // ignored) is the one used. The framework's bitmap is registered for "bmp", its icon for "ico"
  // and its metafile for "emf" and "wmf" from the start.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 const TClass& graphicClass);
  // Removes every extension and clipboard format of graphicClass and of classes derived from it.
  static void UnregisterGraphicClass(const TClass& graphicClass);
  static const TClass* FileFormatClass(std::string_view extension);
  static std::vector<TFileFormat> FileFormats();
  static void RegisterClipboardFormat(UINT format, const TClass& graphicClass);
  static bool SupportsClipboardFormat(UINT format);

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
  // The graphic as a T; a graphic of another kind is replaced by an empty T first.
  template <typename T>
  T& GraphicAs();

  std::unique_ptr<TGraphic> graphic_;
};

// A new, empty graphic of a graphic class; EInvalidGraphic when the class cannot make one.
std::unique_ptr<TGraphic> CreateGraphic(const TClass& graphicClass);
// A copy of graphic of the same class.
std::unique_ptr<TGraphic> CloneGraphic(const TGraphic& graphic);

}  // namespace framework
