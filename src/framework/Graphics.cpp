#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>

#include "framework/BmpFile.h"
#include "framework/Errors.h"
#include "framework/Icon.h"
#include "framework/Metafile.h"
#include "rtl/Checked.h"
#include "rtl/FileStream.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

std::vector<TIdent> MakeColorIdents() {
  return {{"clBlack", clBlack},           {"clMaroon", clMaroon},
          {"clGreen", clGreen},           {"clOlive", clOlive},
          {"clNavy", clNavy},             {"clPurple", clPurple},
          {"clTeal", clTeal},             {"clGray", clGray},
          {"clSilver", clSilver},         {"clRed", clRed},
          {"clLime", clLime},             {"clYellow", clYellow},
          {"clBlue", clBlue},             {"clFuchsia", clFuchsia},
          {"clAqua", clAqua},             {"clWhite", clWhite},
          {"clWindow", clWindow},         {"clWindowText", clWindowText},
          {"clHighlight", clHighlight},   {"clHighlightText", clHighlightText},
          {"clBtnFace", clBtnFace},       {"clBtnShadow", clBtnShadow},
          {"clGrayText", clGrayText},     {"clBtnText", clBtnText},
          {"clBtnHighlight", clBtnHighlight}, {"cl3DDkShadow", cl3DDkShadow},
          {"cl3DLight", cl3DLight},       {"clNone", clNone},
          {"clDefault", clDefault}};
}

constexpr int32_t kSharedFontHeight = -12;

const std::string& SharedFontName() {
  static const std::string name = rtl::Utf8ToSjis("ＭＳ Ｐゴシック");
  return name;
}

LOGFONTW FontDescription(const std::string& name, int32_t height, BYTE charset) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::wstring face = rtl::SjisToWide(name);
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return lf;
}

// Text in the font's colour; its background filled with the brush's colour unless the brush is clear.
void SetTextColors(HDC dc, const TFont& font, const TBrush& brush) {
  SetTextColor(dc, ColorToRGB(font.Color()));
  SetBkMode(dc, brush.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
  SetBkColor(dc, ColorToRGB(brush.Color()));
}

// Stores value in field; whether that changed it.
template <typename T>
bool Store(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// The handle in owner, made by make() when there is none yet.
template <typename Handle, typename Make>
Handle MadeOnce(TGdiObject<Handle>& owner, Make make) {
  if (!owner) {
    owner.reset(make());
    if (!owner) throw EOutOfResources();
  }
  return owner.get();
}

}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

const std::vector<TIdent>& ColorIdents() {
  static const std::vector<TIdent> idents = MakeColorIdents();
  return idents;
}

HFONT SharedFont() {
  static const TFontHandle font = [] {
    LOGFONTW lf = FontDescription(SharedFontName(), kSharedFontHeight, SHIFTJIS_CHARSET);
    return TFontHandle(CreateFontIndirectW(&lf));
  }();
  return font.get();
}

int32_t ScreenPixelsPerInch() {
  static const int32_t pixelsPerInch = [] {
    TWindowDC screen;
    int value = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return value > 0 ? value : 96;
  }();
  return pixelsPerInch;
}

// --- brush, pen, font ---

const TClass& TBrush::StaticClass() {
  static const TClass info = TClassBuilder<TBrush>("TBrush", &TPersistent::StaticClass())
                                 .Integer("Color", &TBrush::Color, &TBrush::SetColor, clWhite, ColorIdents())
                                 .Enumeration("Style", &TBrush::Style, &TBrush::SetStyle, {"bsSolid", "bsClear"},
                                              TBrushStyle::bsSolid);
  return info;
}

void TBrush::Assign(const TPersistent* source) {
  if (auto* brush = dynamic_cast<const TBrush*>(source)) {
    color_ = brush->color_;
    style_ = brush->style_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TBrush::SetColor(TColor color) { if (Store(color_, color)) Changed(); }
void TBrush::SetStyle(TBrushStyle style) { if (Store(style_, style)) Changed(); }

void TBrush::Changed() {
  handle_.reset();
  OnChange(this);
}

HBRUSH TBrush::Handle() {
  if (style_ == TBrushStyle::bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  return MadeOnce(handle_, [this] { return CreateSolidBrush(ColorToRGB(color_)); });
}

const TClass& TPen::StaticClass() {
  static const TClass info = TClassBuilder<TPen>("TPen", &TPersistent::StaticClass())
                                 .Integer("Color", &TPen::Color, &TPen::SetColor, clBlack, ColorIdents())
                                 .Integer("Width", &TPen::Width, &TPen::SetWidth, 1)
                                 .Enumeration("Style", &TPen::Style, &TPen::SetStyle, {"psSolid", "psClear"},
                                              TPenStyle::psSolid);
  return info;
}

void TPen::Assign(const TPersistent* source) {
  if (auto* pen = dynamic_cast<const TPen*>(source)) {
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPen::SetColor(TColor color) { if (Store(color_, color)) Changed(); }
void TPen::SetWidth(int32_t width) { if (Store(width_, width)) Changed(); }
void TPen::SetStyle(TPenStyle style) { if (Store(style_, style)) Changed(); }

void TPen::Changed() {
  handle_.reset();
  OnChange(this);
}

HPEN TPen::Handle() {
  if (style_ == TPenStyle::psClear) return static_cast<HPEN>(GetStockObject(NULL_PEN));
  return MadeOnce(handle_, [this] { return CreatePen(PS_SOLID, std::max(width_, 0), ColorToRGB(color_)); });
}

const TClass& TFont::StaticClass() {
  static const TClass info = TClassBuilder<TFont>("TFont", &TPersistent::StaticClass())
                                 .Integer("Color", &TFont::Color, &TFont::SetColor, clWindowText, ColorIdents());
  return info;
}

TFont::TFont() : name_(SharedFontName()), pixelsPerInch_(ScreenPixelsPerInch()) {}

void TFont::Assign(const TPersistent* source) {
  if (auto* font = dynamic_cast<const TFont*>(source)) {
    color_ = font->color_;
    name_ = font->name_;
    height_ = font->height_;
    pixelsPerInch_ = font->pixelsPerInch_;
    charset_ = font->charset_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TFont::SetColor(TColor color) { if (Store(color_, color)) OnChange(this); }
void TFont::SetName(const std::string& name) { if (Store(name_, name)) Changed(); }
void TFont::SetHeight(int32_t height) { if (Store(height_, height)) Changed(); }

int32_t TFont::Size() const { return -MulDiv(height_, 72, pixelsPerInch_); }

void TFont::SetSize(int32_t points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }

void TFont::SetPixelsPerInch(int32_t pixelsPerInch) {
  if (pixelsPerInch <= 0) throw rtl::ERangeError();
  pixelsPerInch_ = pixelsPerInch;
}

void TFont::SetCharset(BYTE charset) { if (Store(charset_, charset)) Changed(); }

void TFont::Changed() {
  handle_.reset();
  OnChange(this);
}

HFONT TFont::Handle() {
  if (height_ == kSharedFontHeight && charset_ == SHIFTJIS_CHARSET && name_ == SharedFontName()) return SharedFont();
  return MadeOnce(handle_, [this] {
    LOGFONTW lf = FontDescription(name_, height_, charset_);
    return CreateFontIndirectW(&lf);
  });
}

// --- canvas ---

const TClass& TCanvas::StaticClass() {
  static const TClass info = TClassBuilder<TCanvas>("TCanvas", &TPersistent::StaticClass());
  return info;
}

HDC TCanvas::Handle() {
  if (dc_ == nullptr) CreateHandle();
  if (dc_ == nullptr) throw EInvalidOperation::CanvasWithoutHandle();
  return dc_;
}

void TCanvas::SetHandle(HDC dc) { dc_ = dc; }

TRect TCanvas::ClipRect() {
  RECT r{};
  GetClipBox(Handle(), &r);
  return TRect::FromRECT(r);
}

void TCanvas::Unlock() {
  if (lockCount_ <= 0) throw EInvalidOperation::CanvasNotLocked();
  --lockCount_;
}

void TCanvas::Changed() { OnChange(this); }

void TCanvas::FillRect(const TRect& rect) {
  HDC dc = Handle();
  RECT r = rect.ToRECT();
  if (brush_.Style() != TBrushStyle::bsClear) ::FillRect(dc, &r, brush_.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  HDC dc = Handle();
  RECT r = rect.ToRECT();
  if (brush_.Style() != TBrushStyle::bsClear) ::FrameRect(dc, &r, brush_.Handle());
  Changed();
}

void TCanvas::Rectangle(const TRect& rect) {
  HDC dc = Handle();
  TSelectGuard pen(dc, pen_.Handle());
  TSelectGuard brush(dc, brush_.Handle());
  ::Rectangle(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
  Changed();
}

void TCanvas::MoveTo(int32_t x, int32_t y) { MoveToEx(Handle(), x, y, nullptr); }

void TCanvas::LineTo(int32_t x, int32_t y) {
  HDC dc = Handle();
  TSelectGuard pen(dc, pen_.Handle());
  ::LineTo(dc, x, y);
  Changed();
}

void TCanvas::WriteText(int32_t x, int32_t y, const std::string& text) {
  HDC dc = Handle();
  std::wstring wide = rtl::SjisToWide(text);
  TSelectGuard font(dc, font_.Handle());
  TTextStateGuard state(dc);
  SetTextColors(dc, font_, brush_);
  ExtTextOutW(dc, x, y, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& clip, int32_t x, int32_t y, const std::string& text) {
  HDC dc = Handle();
  std::wstring wide = rtl::SjisToWide(text);
  TSelectGuard font(dc, font_.Handle());
  TTextStateGuard state(dc);
  SetTextColors(dc, font_, brush_);
  RECT r = clip.ToRECT();
  const bool clear = brush_.Style() == TBrushStyle::bsClear;
  ExtTextOutW(dc, x, y, ETO_CLIPPED | (clear ? 0 : ETO_OPAQUE), &r, wide.c_str(), static_cast<UINT>(wide.size()),
              nullptr);
  Changed();
}

TSize TCanvas::TextExtent(const std::string& text) {
  HDC dc = Handle();
  std::wstring wide = rtl::SjisToWide(text);
  TSelectGuard font(dc, font_.Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  return {size.cx, size.cy};
}

void TCanvas::Draw(int32_t x, int32_t y, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, rect);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  HDC dc = Handle();
  TStretchModeGuard mode(dc, COLORONCOLOR);
  StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), source.Handle(), sourceRect.Left, sourceRect.Top,
             sourceRect.Width(), sourceRect.Height(), copyMode_);
  Changed();
}

TColor TCanvas::Pixel(int32_t x, int32_t y) { return static_cast<TColor>(GetPixel(Handle(), x, y)); }

void TCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
  ::SetPixel(Handle(), x, y, ColorToRGB(color));
  Changed();
}

void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int32_t width) {
  HDC dc = canvas.Handle();
  TBrushHandle topBrush(CreateSolidBrush(ColorToRGB(top)));
  TBrushHandle bottomBrush(CreateSolidBrush(ColorToRGB(bottom)));
  if (!topBrush || !bottomBrush) throw EOutOfResources();
  for (int32_t i = 0; i < width && !rect.IsEmpty(); ++i) {
    RECT edge;
    edge = {rect.Left, rect.Top, rect.Right - 1, rect.Top + 1};
    FillRect(dc, &edge, topBrush.get());
    edge = {rect.Left, rect.Top, rect.Left + 1, rect.Bottom - 1};
    FillRect(dc, &edge, topBrush.get());
    edge = {rect.Right - 1, rect.Top, rect.Right, rect.Bottom};
    FillRect(dc, &edge, bottomBrush.get());
    edge = {rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom};
    FillRect(dc, &edge, bottomBrush.get());
    rect = {rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1};
  }
}

TBitmapHandle TransparencyMask(HDC dest, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent) {
  TMemoryDC maskDC(dest);
  TBitmapHandle mask(CreateBitmap(width, height, 1, 1, nullptr));
  if (maskDC.get() == nullptr || !mask) throw EOutOfResources();
  TSelectGuard selected(maskDC.get(), mask.get());
  // A colour-to-monochrome blit turns the source's background colour into white (1) and every
  // other colour into black (0).
  COLORREF oldBk = SetBkColor(sourceDC, transparent);
  BitBlt(maskDC.get(), 0, 0, width, height, sourceDC, 0, 0, SRCCOPY);
  SetBkColor(sourceDC, oldBk);
  return mask;
}

void DrawTransparent(HDC dest, const TRect& rect, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent) {
  if (width <= 0 || height <= 0) return;
  TBitmapHandle mask = TransparencyMask(dest, sourceDC, width, height, transparent);
  TMemoryDC maskDC(dest);
  if (maskDC.get() == nullptr) throw EOutOfResources();
  TSelectGuard selected(maskDC.get(), mask.get());
  TTextStateGuard state(dest);
  TStretchModeGuard mode(dest, COLORONCOLOR);
  SetTextColor(dest, RGB(0, 0, 0));
  SetBkColor(dest, RGB(255, 255, 255));
  int w = rect.Width();
  int h = rect.Height();
  // ((dest ^ source) & mask) ^ source: dest where the mask is white, source where it is black.
  StretchBlt(dest, rect.Left, rect.Top, w, h, sourceDC, 0, 0, width, height, SRCINVERT);
  StretchBlt(dest, rect.Left, rect.Top, w, h, maskDC.get(), 0, 0, width, height, SRCAND);
  StretchBlt(dest, rect.Left, rect.Top, w, h, sourceDC, 0, 0, width, height, SRCINVERT);
}

// --- graphic ---

const TClass& TGraphic::StaticClass() {
  static const TClass info = TClassBuilder<TGraphic>("TGraphic", &TPersistent::StaticClass())
                                 .Binary("Data", &TGraphic::ReadData, &TGraphic::WriteData, &TGraphic::DataStored);
  return info;
}

void TGraphic::SetPalette(HPALETTE palette) {
  if (palette != nullptr) DeleteObject(palette);
}

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed(this);
}

void TGraphic::SetModified(bool modified) {
  if (modified) {
    Changed(this);
  } else {
    modified_ = false;
  }
}

void TGraphic::Changed(TObject*) {
  modified_ = true;
  OnChange(this);
}

void TGraphic::ReadSizedData(rtl::TStream& stream) {
  uint32_t length = 0;
  stream.ReadBuffer(&length, sizeof length);
  const int64_t remaining = int64_t{stream.GetSize()} - stream.GetPosition();
  if (length > remaining) throw rtl::EReadError();
  rtl::TMemoryStream data;
  if (length > 0) data.CopyFrom(stream, static_cast<int32_t>(length));
  data.SetPosition(0);
  LoadFromStream(data);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  rtl::TFileStream stream(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) const {
  rtl::TFileStream stream(fileName, rtl::fmCreate);
  SaveToStream(stream);
}

void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
  throw EInvalidGraphic::UnsupportedClipboardFormat();
}

void TGraphic::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) const {
  throw EInvalidGraphic::UnsupportedClipboardFormat();
}

// --- bitmap ---

namespace {

using bmp::TBitmapInfo256;

int BitCount(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pf32bit:
    case TPixelFormat::pfCustom: return 32;
    case TPixelFormat::pfDevice: return 0;
  }
  return 0;
}

bool IsIndexed(TPixelFormat format) {
  return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
}

TPixelFormat FormatOfSection(const DIBSECTION& ds) {
  const bool masks = ds.dsBmih.biCompression == BI_BITFIELDS;
  auto hasMasks = [&](DWORD red, DWORD green, DWORD blue) {
    return ds.dsBitfields[0] == red && ds.dsBitfields[1] == green && ds.dsBitfields[2] == blue;
  };
  switch (ds.dsBmih.biBitCount) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16:
      if (!masks || hasMasks(0x7C00, 0x03E0, 0x001F)) return TPixelFormat::pf15bit;
      return hasMasks(0xF800, 0x07E0, 0x001F) ? TPixelFormat::pf16bit : TPixelFormat::pfCustom;
    case 24: return TPixelFormat::pf24bit;
    case 32:
      return !masks || hasMasks(0xFF0000, 0x00FF00, 0x0000FF) ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    default: return TPixelFormat::pfCustom;
  }
}

// The DIB format that holds a device bitmap of that many bits per pixel without loss.
TPixelFormat DibFormatForDepth(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 15: return TPixelFormat::pf15bit;
    case 16: return TPixelFormat::pf16bit;
    case 24: return TPixelFormat::pf24bit;
    default: return TPixelFormat::pf32bit;
  }
}

int ScreenDepth() {
  TWindowDC screen;
  return GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
}

// The colours of an indexed format without a palette: black and white, the 16 VGA colours, or
// those followed by a 6x6x6 cube and grey steps.
std::vector<RGBQUAD> StandardColors(int bitCount) {
  static const uint8_t vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  std::vector<RGBQUAD> colors;
  if (bitCount == 1) return {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (const auto& c : vga) colors.push_back({c[2], c[1], c[0], 0});
  if (bitCount == 4) return colors;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        colors.push_back({static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(r * 51), 0});
      }
    }
  }
  for (int i = 1; colors.size() < 256; ++i) {
    auto v = static_cast<BYTE>(i * 10);
    colors.push_back({v, v, v, 0});
  }
  return colors;
}

std::vector<RGBQUAD> PaletteColors(HPALETTE palette) {
  std::vector<RGBQUAD> colors;
  if (palette == nullptr) return colors;
  UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
  std::vector<PALETTEENTRY> entries(count);
  if (count > 0) count = GetPaletteEntries(palette, 0, count, entries.data());
  entries.resize(count);
  for (const PALETTEENTRY& e : entries) colors.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  return colors;
}

// The colours that a screen of 256 colours or fewer shows, for holding its device bitmaps.
std::vector<RGBQUAD> SystemColors() {
  TWindowDC screen;
  if ((GetDeviceCaps(screen.get(), RASTERCAPS) & RC_PALETTE) == 0) return {};
  PALETTEENTRY entries[256];
  UINT count = GetSystemPaletteEntries(screen.get(), 0, 256, entries);
  std::vector<RGBQUAD> colors;
  for (UINT i = 0; i < count; ++i) colors.push_back({entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
  return colors;
}

HPALETTE MakePalette(const std::vector<RGBQUAD>& colors) {
  if (colors.empty()) return nullptr;
  std::size_t count = std::min<std::size_t>(colors.size(), 256);
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(count);
  for (std::size_t i = 0; i < count; ++i) {
    log->palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  }
  HPALETTE palette = CreatePalette(log);
  if (palette == nullptr) throw EOutOfResources();
  return palette;
}

HPALETTE CopyPalette(HPALETTE palette) { return palette ? MakePalette(PaletteColors(palette)) : nullptr; }

bool IsBlackAndWhite(const RGBQUAD* colors, UINT count) {
  auto rgb = [](const RGBQUAD& c) { return (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue; };
  return count == 2 && rgb(colors[0]) == 0 && rgb(colors[1]) == 0xFFFFFF;
}

// A copy of a DIB section, selected into dc, with the same header, colour table and bits.
TBitmapHandle CopySection(HBITMAP section, HDC dc) {
  GdiFlush();
  DIBSECTION ds{};
  GetObjectW(section, sizeof ds, &ds);
  TBitmapInfo256 info{};
  info.header = ds.dsBmih;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biSizeImage = 0;
  if (ds.dsBmih.biCompression == BI_BITFIELDS) {
    std::memcpy(info.colors, ds.dsBitfields, sizeof ds.dsBitfields);
  } else if (ds.dsBmih.biBitCount <= 8) {
    info.header.biClrUsed = GetDIBColorTable(dc, 0, 256, info.colors);
  }
  void* bits = nullptr;
  TBitmapHandle copy(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!copy || bits == nullptr) throw EOutOfResources();
  std::size_t size = static_cast<std::size_t>(ds.dsBm.bmWidthBytes) * static_cast<std::size_t>(ds.dsBm.bmHeight);
  std::memcpy(bits, ds.dsBm.bmBits, size);
  return copy;
}

}  // namespace

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override { FreeHandle(); }

  void FreeHandle() {
    if (dc_ == nullptr) return;
    if (oldBitmap_ != nullptr) SelectObject(dc_, oldBitmap_);
    if (oldPalette_ != nullptr) ::SelectPalette(dc_, oldPalette_, TRUE);
    DeleteDC(dc_);
    dc_ = nullptr;
    oldBitmap_ = nullptr;
    oldPalette_ = nullptr;
  }

  // Selects and realises palette in the DC, when there is one.
  void SelectPalette(HPALETTE palette) {
    if (dc_ == nullptr || palette == nullptr) return;
    HPALETTE previous = ::SelectPalette(dc_, palette, TRUE);
    if (oldPalette_ == nullptr) oldPalette_ = previous;
    RealizePalette(dc_);
  }

 protected:
  void CreateHandle() override {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) throw EOutOfResources();
    if (bitmap_.handle_) {
      oldBitmap_ = SelectObject(dc, bitmap_.handle_.get());
      if (oldBitmap_ == nullptr) {
        // The bitmap is selected into another DC.
        DeleteDC(dc);
        throw EOutOfResources();
      }
    }
    dc_ = dc;
    if (!bitmap_.ignorePalette_) SelectPalette(bitmap_.palette_.get());
  }

 private:
  TBitmap& bitmap_;
  HGDIOBJ oldBitmap_ = nullptr;
  HPALETTE oldPalette_ = nullptr;
};

const TClass& TBitmap::StaticClass() {
  static const TClass info = TClassBuilder<TBitmap>("TBitmap", &TGraphic::StaticClass());
  return info;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { FreeCanvasDC(); }

void TBitmap::FreeCanvasDC() {
  if (canvas_) canvas_->FreeHandle();
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TBitmapCanvas>(*this);
    canvas_->OnChange = [this](TObject*) { Changed(this); };
  }
  return *canvas_;
}

HDC TBitmap::SourceDC() const { return const_cast<TBitmap*>(this)->Canvas().Handle(); }

void TBitmap::Replace(HBITMAP image) {
  FreeCanvasDC();
  handle_.reset(image);
  if (image == nullptr) return;
  DIBSECTION ds{};
  const int size = GetObjectW(image, sizeof ds, &ds);
  width_ = ds.dsBm.bmWidth;
  height_ = ds.dsBm.bmHeight;
  if (size == sizeof ds && ds.dsBm.bmBits != nullptr) {
    format_ = FormatOfSection(ds);
    monochrome_ = false;
    if (ds.dsBmih.biBitCount == 1) {
      TMemoryDC dc;
      TSelectGuard selected(dc.get(), image);
      RGBQUAD colors[2];
      monochrome_ = IsBlackAndWhite(colors, GetDIBColorTable(dc.get(), 0, 2, colors));
    }
  } else {
    format_ = TPixelFormat::pfDevice;
    monochrome_ = ds.dsBm.bmBitsPixel == 1 && ds.dsBm.bmPlanes == 1;
  }
}

TBitmapHandle TBitmap::NewImage(int32_t width, int32_t height, TPixelFormat format, bool monochrome,
                                const std::vector<RGBQUAD>& colors) const {
  if (format == TPixelFormat::pfDevice) {
    HBITMAP image = nullptr;
    if (monochrome) {
      image = CreateBitmap(width, height, 1, 1, nullptr);
    } else {
      TWindowDC screen;
      image = CreateCompatibleBitmap(screen.get(), width, height);
    }
    if (image == nullptr) throw EOutOfResources();
    return TBitmapHandle(image);
  }
  TBitmapInfo256 info{};
  const int bitCount = BitCount(format);
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitCount);
  info.header.biCompression = BI_RGB;
  if (format == TPixelFormat::pf16bit) {
    info.header.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.colors, masks, sizeof masks);
  } else if (IsIndexed(format)) {
    std::vector<RGBQUAD> table = colors.empty() ? StandardColors(bitCount) : colors;
    std::size_t count = std::min<std::size_t>(table.size(), std::size_t{1} << bitCount);
    std::copy_n(table.begin(), count, info.colors);
    info.header.biClrUsed = static_cast<DWORD>(count);
  }
  void* bits = nullptr;
  TBitmapHandle image(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!image) throw EOutOfResources();
  return image;
}

TBitmapHandle TBitmap::ConvertedImage(TPixelFormat format, bool monochrome, const std::vector<RGBQUAD>& colors) const {
  TBitmapHandle image = NewImage(width_, height_, format, monochrome, colors);
  HDC source = SourceDC();
  TMemoryDC dc;
  if (dc.get() == nullptr) throw EOutOfResources();
  TSelectGuard selected(dc.get(), image.get());
  // A device bitmap of 256 colours or fewer takes its colours through the bitmap's palette.
  const bool throughPalette = format == TPixelFormat::pfDevice && !monochrome && !ignorePalette_;
  TPaletteGuard palette(dc.get(), throughPalette ? palette_.get() : nullptr);
  BitBlt(dc.get(), 0, 0, width_, height_, source, 0, 0, SRCCOPY);
  return image;
}

std::vector<RGBQUAD> TBitmap::TableFor(TPixelFormat format) const {
  if (!IsIndexed(format)) return {};
  if (handle_ && format == format_) {
    RGBQUAD colors[256];
    UINT count = GetDIBColorTable(SourceDC(), 0, 256, colors);
    if (count > 0) return std::vector<RGBQUAD>(colors, colors + count);
  }
  std::vector<RGBQUAD> colors = PaletteColors(palette_.get());
  if (colors.empty() && format_ == TPixelFormat::pfDevice && BitCount(format) == 8) colors = SystemColors();
  return colors;
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    Replace(nullptr);
    width_ = width;
    height_ = height;
    Changed(this);
    return;
  }
  TBitmapHandle image = NewImage(width, height, format_, monochrome_, TableFor(format_));
  if (handle_) {
    HDC source = SourceDC();
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), image.get());
    const bool throughPalette = format_ == TPixelFormat::pfDevice && !monochrome_ && !ignorePalette_;
    TPaletteGuard palette(dc.get(), throughPalette ? palette_.get() : nullptr);
    BitBlt(dc.get(), 0, 0, std::min(width, width_), std::min(height, height_), source, 0, 0, SRCCOPY);
  }
  Replace(image.release());
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == TPixelFormat::pfCustom) throw EInvalidGraphicOperation::UnsupportedPixelFormat();
  if (format == format_ && (format != TPixelFormat::pfDevice || !monochrome_)) return;
  if (!handle_) {
    format_ = format;
    monochrome_ = false;
    Changed(this);
    return;
  }
  Replace(ConvertedImage(format, false, TableFor(format)).release());
  Changed(this);
}

TPixelFormat TBitmap::PixelFormat() const { return format_; }

TBitmapHandleType TBitmap::HandleType() const {
  return format_ == TPixelFormat::pfDevice ? TBitmapHandleType::bmDDB : TBitmapHandleType::bmDIB;
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  if (type == HandleType()) return;
  if (type == TBitmapHandleType::bmDDB) {
    if (!handle_) {
      format_ = TPixelFormat::pfDevice;
      monochrome_ = false;
    } else {
      Replace(ConvertedImage(TPixelFormat::pfDevice, monochrome_, {}).release());
    }
    Changed(this);
    return;
  }
  int depth = ScreenDepth();
  if (handle_) {
    BITMAP bm{};
    GetObjectW(handle_.get(), sizeof bm, &bm);
    depth = bm.bmBitsPixel * bm.bmPlanes;
  } else if (monochrome_) {
    depth = 1;
  }
  const TPixelFormat format = DibFormatForDepth(depth);
  if (!handle_) {
    format_ = format;
    monochrome_ = false;
  } else {
    Replace(ConvertedImage(format, false, TableFor(format)).release());
  }
  Changed(this);
}

bool TBitmap::Monochrome() const {
  if (!handle_) return format_ == TPixelFormat::pfDevice && monochrome_;
  return monochrome_;
}

void TBitmap::SetMonochrome(bool monochrome) {
  if (monochrome == Monochrome()) return;
  if (!handle_) {
    format_ = TPixelFormat::pfDevice;
    monochrome_ = monochrome;
  } else {
    Replace(ConvertedImage(TPixelFormat::pfDevice, monochrome, {}).release());
  }
  Changed(this);
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap != nullptr && GetObjectType(bitmap) != OBJ_BITMAP) throw EInvalidGraphic();
  TBitmapHandle owned(bitmap);
  TPaletteHandle palette;
  DIBSECTION ds{};
  if (bitmap != nullptr && GetObjectW(bitmap, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr &&
      ds.dsBmih.biBitCount <= 8) {
    FreeCanvasDC();
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), bitmap);
    RGBQUAD colors[256];
    UINT count = GetDIBColorTable(dc.get(), 0, 256, colors);
    palette.reset(MakePalette(std::vector<RGBQUAD>(colors, colors + count)));
  }
  Replace(owned.release());
  if (bitmap == nullptr) {
    width_ = 0;
    height_ = 0;
  }
  if (palette) palette_ = std::move(palette);
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  FreeCanvasDC();
  width_ = 0;
  height_ = 0;
  return handle_.release();
}

void TBitmap::SetPalette(HPALETTE palette) {
  if (palette == palette_.get()) return;
  TPaletteHandle owned(palette);
  if (handle_ && IsIndexed(format_) && palette != nullptr) {
    // Re-rendered: the same colours, now as indexes into the new palette's colours.
    std::vector<RGBQUAD> colors = PaletteColors(palette);
    if (!colors.empty()) Replace(ConvertedImage(format_, false, colors).release());
  }
  FreeCanvasDC();
  palette_ = std::move(owned);
  Changed(this);
}

HPALETTE TBitmap::ReleasePalette() {
  FreeCanvasDC();
  return palette_.release();
}

void TBitmap::PaletteNeeded() {
  if (palette_ || ignorePalette_ || !handle_ || !IsIndexed(format_)) return;
  RGBQUAD colors[256];
  UINT count = GetDIBColorTable(SourceDC(), 0, 256, colors);
  if (count == 0) return;
  palette_.reset(MakePalette(std::vector<RGBQUAD>(colors, colors + count)));
  canvas_->SelectPalette(palette_.get());
}

void TBitmap::SetIgnorePalette(bool ignore) {
  if (ignore == ignorePalette_) return;
  FreeCanvasDC();
  ignorePalette_ = ignore;
  Changed(this);
}

TColor TBitmap::TransparentColor() {
  if (transparentMode_ == TTransparentMode::tmFixed) return transparentColor_;
  if (Monochrome()) return clWhite;
  if (!handle_) return clDefault;
  return static_cast<TColor>(GetPixel(SourceDC(), 0, height_ - 1) & 0xFFFFFF);
}

void TBitmap::SetTransparentColor(TColor color) {
  TTransparentMode mode = color == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
  if (color == transparentColor_ && mode == transparentMode_) return;
  transparentColor_ = color;
  transparentMode_ = mode;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparentMode_) return;
  if (mode == TTransparentMode::tmFixed) {
    transparentColor_ = TransparentColor();
  } else {
    transparentColor_ = clDefault;
  }
  transparentMode_ = mode;
  Changed(this);
}

void* TBitmap::ScanLine(int32_t y) {
  if (!handle_ || y < 0 || y >= height_) throw EInvalidGraphicOperation::ScanLineRange();
  if (format_ == TPixelFormat::pfDevice) SetHandleType(TBitmapHandleType::bmDIB);
  GdiFlush();
  DIBSECTION ds{};
  GetObjectW(handle_.get(), sizeof ds, &ds);
  auto* bits = static_cast<uint8_t*>(ds.dsBm.bmBits);
  int32_t row = ds.dsBmih.biHeight > 0 ? height_ - 1 - y : y;
  return bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(ds.dsBm.bmWidthBytes);
}

void TBitmap::MakeEmpty() {
  Replace(nullptr);
  width_ = 0;
  height_ = 0;
  palette_.reset();
  Changed(this);
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == nullptr) {
    MakeEmpty();
    return;
  }
  auto* other = dynamic_cast<const TBitmap*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  TPaletteHandle palette(CopyPalette(other->palette_.get()));
  TBitmapHandle image;
  if (other->handle_) {
    if (other->format_ == TPixelFormat::pfDevice) {
      image = other->ConvertedImage(TPixelFormat::pfDevice, other->monochrome_, {});
    } else {
      image = CopySection(other->handle_.get(), other->SourceDC());
    }
  }
  Replace(image.release());
  palette_ = std::move(palette);
  width_ = other->width_;
  height_ = other->height_;
  format_ = other->format_;
  monochrome_ = other->monochrome_;
  ignorePalette_ = other->ignorePalette_;
  transparentMode_ = other->transparentMode_;
  transparentColor_ = other->transparentColor_;
  if (Transparent() != other->Transparent()) TGraphic::SetTransparent(other->Transparent());
  Changed(this);
}

void TBitmap::LoadFromStream(rtl::TStream& stream) {
  if (stream.GetSize() <= stream.GetPosition()) {
    MakeEmpty();
    return;
  }
  bmp::TBmpImage image = bmp::ReadBmp(stream);
  TPaletteHandle palette(MakePalette(image.colors));
  Replace(image.section.release());
  palette_ = std::move(palette);
  Changed(this);
}

void TBitmap::SaveToStream(rtl::TStream& stream) const {
  if (!handle_) return;
  if (format_ != TPixelFormat::pfDevice) {
    bmp::WriteDib(stream, handle_.get(), SourceDC(), true);
    return;
  }
  BITMAP bm{};
  GetObjectW(handle_.get(), sizeof bm, &bm);
  const TPixelFormat format = DibFormatForDepth(bm.bmBitsPixel * bm.bmPlanes);
  TBitmapHandle dib = ConvertedImage(format, false, TableFor(format));
  TMemoryDC dc;
  TSelectGuard selected(dc.get(), dib.get());
  bmp::WriteDib(stream, dib.get(), dc.get(), true);
}

void TBitmap::ReadData(rtl::TStream& stream) { ReadSizedData(stream); }

void TBitmap::WriteData(rtl::TStream& stream) const {
  rtl::TMemoryStream data;
  SaveToStream(data);
  const uint32_t length = static_cast<uint32_t>(data.GetSize());
  stream.WriteBuffer(&length, sizeof length);
  stream.WriteBuffer(data.Memory(), data.GetSize());
}

namespace {
// A bitmap resource is a BMP file without its file header.
void LoadPackedDIB(TBitmap& bitmap, const void* dib, int64_t size) {
  if (size > INT32_MAX - 14) throw EInvalidGraphic();
  rtl::TMemoryStream file;
  uint8_t header[14] = {'B', 'M'};
  uint32_t fileSize = static_cast<uint32_t>(size + 14);
  std::memcpy(header + 2, &fileSize, 4);
  file.WriteBuffer(header, sizeof header);
  file.WriteBuffer(dib, static_cast<int32_t>(size));
  file.SetPosition(0);
  bitmap.LoadFromStream(file);
}

void LoadPackedDIB(TBitmap& bitmap, rtl::TResourceStream& resource) {
  LoadPackedDIB(bitmap, resource.Memory(), resource.GetSize());
}

}  // namespace

void TBitmap::LoadFromResourceName(HMODULE module, const std::string& name) {
  rtl::TResourceStream resource(module, name, MAKEINTRESOURCEW(2));
  LoadPackedDIB(*this, resource);
}

void TBitmap::LoadFromResourceID(HMODULE module, int id) {
  rtl::TResourceStream resource(module, id, MAKEINTRESOURCEW(2));
  LoadPackedDIB(*this, resource);
}

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  if (data == nullptr || (format != CF_BITMAP && format != CF_DIB)) {
    throw EInvalidGraphic::UnsupportedClipboardFormat();
  }
  if (format == CF_DIB) {
    rtl::TGlobalLock lock(data);
    if (lock.get() == nullptr) throw EInvalidGraphic();
    LoadPackedDIB(*this, lock.get(), static_cast<int64_t>(GlobalSize(data)));
    return;
  }
  auto source = static_cast<HBITMAP>(data);
  if (GetObjectType(source) != OBJ_BITMAP) throw EInvalidGraphic();
  TPaletteHandle ownPalette(CopyPalette(palette));
  DIBSECTION ds{};
  const bool section = GetObjectW(source, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr;
  TBitmapHandle image;
  {
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), source);
    if (section) {
      image = CopySection(source, dc.get());
    } else {
      const bool monochrome = ds.dsBm.bmBitsPixel == 1 && ds.dsBm.bmPlanes == 1;
      image = NewImage(ds.dsBm.bmWidth, ds.dsBm.bmHeight, TPixelFormat::pfDevice, monochrome, {});
      TMemoryDC target;
      TSelectGuard targetSelected(target.get(), image.get());
      TPaletteGuard sourcePalette(dc.get(), palette);
      TPaletteGuard targetPalette(target.get(), monochrome ? nullptr : ownPalette.get());
      BitBlt(target.get(), 0, 0, ds.dsBm.bmWidth, ds.dsBm.bmHeight, dc.get(), 0, 0, SRCCOPY);
    }
  }
  Replace(image.release());
  palette_ = std::move(ownPalette);
  Changed(this);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const {
  format = CF_BITMAP;
  data = nullptr;
  palette = nullptr;
  if (!handle_) return;
  TBitmapHandle image = ConvertedImage(TPixelFormat::pfDevice, Monochrome(), {});
  TPaletteHandle copy(CopyPalette(palette_.get()));
  data = image.release();
  palette = copy.release();
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  HDC dest = canvas.Handle();
  PaletteNeeded();
  HDC source = SourceDC();
  TPaletteGuard palette(dest, ignorePalette_ ? nullptr : palette_.get());
  if (Transparent()) {
    DrawTransparent(dest, rect, source, width_, height_, ColorToRGB(TransparentColor()));
  } else {
    TStretchModeGuard mode(dest, COLORONCOLOR);
    StretchBlt(dest, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, width_, height_,
               canvas.CopyMode());
  }
}

// --- picture ---

namespace {

struct TClipboardEntry {
  UINT Format;
  const TClass* GraphicClass;
};

std::vector<TFileFormat>& FileFormatList() {
  static std::vector<TFileFormat> list = {{"bmp", "Bitmaps", &TBitmap::StaticClass()},
                                          {"ico", "Icons", &TIcon::StaticClass()},
                                          {"emf", "Enhanced Metafiles", &TMetafile::StaticClass()},
                                          {"wmf", "Metafiles", &TMetafile::StaticClass()}};
  return list;
}

std::vector<TClipboardEntry>& ClipboardFormatList() {
  static std::vector<TClipboardEntry> list = {{CF_BITMAP, &TBitmap::StaticClass()},
                                               {CF_DIB, &TBitmap::StaticClass()}};
  return list;
}

// The extension of a CP932 file name, without its dot; empty when it has none.
std::string ExtensionOf(const std::string& fileName) {
  std::size_t dot = std::string::npos;
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    const auto c = static_cast<unsigned char>(fileName[i]);
    if (rtl::IsSjisLeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      dot = std::string::npos;
    } else if (c == '.') {
      dot = i;
    }
  }
  return dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
}

}  // namespace

std::unique_ptr<TGraphic> CreateGraphic(const TClass& graphicClass) {
  if (!graphicClass.InheritsFrom(TGraphic::StaticClass())) throw EInvalidGraphic();
  std::unique_ptr<TObject> created(graphicClass.Create(nullptr));
  auto* graphic = dynamic_cast<TGraphic*>(created.get());
  if (graphic == nullptr) throw EInvalidGraphic();
  created.release();
  return std::unique_ptr<TGraphic>(graphic);
}

std::unique_ptr<TGraphic> CloneGraphic(const TGraphic& graphic) {
  std::unique_ptr<TGraphic> result = CreateGraphic(graphic.ClassType());
  result->Assign(&graphic);
  return result;
}

const TClass& TPicture::StaticClass() {
  static const TClass info = TClassBuilder<TPicture>("TPicture", &TPersistent::StaticClass())
                                 .Binary("Data", &TPicture::ReadData, &TPicture::WriteData, &TPicture::DataStored);
  return info;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Adopt(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject* sender) { Changed(sender); };
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  std::unique_ptr<TGraphic> copy = graphic ? CloneGraphic(*graphic) : nullptr;
  Adopt(std::move(copy));
  Changed(this);
}

template <typename T>
T& TPicture::GraphicAs() {
  if (dynamic_cast<T*>(graphic_.get()) == nullptr) {
    Adopt(std::make_unique<T>());
    Changed(this);
  }
  return static_cast<T&>(*graphic_);
}

TBitmap& TPicture::Bitmap() { return GraphicAs<TBitmap>(); }
TIcon& TPicture::Icon() { return GraphicAs<TIcon>(); }
TMetafile& TPicture::Metafile() { return GraphicAs<TMetafile>(); }

void TPicture::Assign(const TPersistent* source) {
  if (source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    SetGraphic(picture->Graphic());
  } else if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::Changed(TObject*) { OnChange(this); }

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string extension = ExtensionOf(fileName);
  const TClass* graphicClass = FileFormatClass(extension);
  if (graphicClass == nullptr) throw EInvalidGraphic::UnknownExtension(extension);
  std::unique_ptr<TGraphic> graphic = CreateGraphic(*graphicClass);
  graphic->LoadFromFile(fileName);
  Adopt(std::move(graphic));
  Changed(this);
}

void TPicture::SaveToFile(const std::string& fileName) const {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  const TClass* graphicClass = nullptr;
  const auto& list = ClipboardFormatList();
  for (auto entry = list.rbegin(); entry != list.rend() && graphicClass == nullptr; ++entry) {
    if (entry->Format == format) graphicClass = entry->GraphicClass;
  }
  if (graphicClass == nullptr) throw EInvalidGraphic::UnsupportedClipboardFormat();
  std::unique_ptr<TGraphic> graphic = CreateGraphic(*graphicClass);
  graphic->LoadFromClipboardFormat(format, data, palette);
  Adopt(std::move(graphic));
  Changed(this);
}

void TPicture::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (graphic_) graphic_->SaveToClipboardFormat(format, data, palette);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const TClass& graphicClass) {
  std::string plain = !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
  FileFormatList().push_back({std::move(plain), description, &graphicClass});
}

void TPicture::UnregisterGraphicClass(const TClass& graphicClass) {
  std::erase_if(FileFormatList(), [&](const TFileFormat& f) { return f.GraphicClass->InheritsFrom(graphicClass); });
  std::erase_if(ClipboardFormatList(),
                [&](const TClipboardEntry& e) { return e.GraphicClass->InheritsFrom(graphicClass); });
}

const TClass* TPicture::FileFormatClass(std::string_view extension) {
  if (!extension.empty() && extension[0] == '.') extension.remove_prefix(1);
  const auto& list = FileFormatList();
  for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
    if (SameText(entry->Extension, extension)) return entry->GraphicClass;
  }
  return nullptr;
}

std::vector<TFileFormat> TPicture::FileFormats() { return FileFormatList(); }

void TPicture::RegisterClipboardFormat(UINT format, const TClass& graphicClass) {
  ClipboardFormatList().push_back({format, &graphicClass});
}

bool TPicture::SupportsClipboardFormat(UINT format) {
  for (const auto& entry : ClipboardFormatList()) {
    if (entry.Format == format) return true;
  }
  return false;
}

void TPicture::ReadData(rtl::TStream& stream) {
  uint8_t length = 0;
  stream.ReadBuffer(&length, 1);
  std::string name(length, '\0');
  if (length > 0) stream.ReadBuffer(name.data(), length);
  if (name.empty()) {
    SetGraphic(nullptr);
    return;
  }
  const TClass* cls = FindClass(name);
  if (cls == nullptr || !cls->InheritsFrom(TGraphic::StaticClass()) || !cls->CanCreate()) {
    throw ELayoutError(ELayoutError::ClassNotFound(name));
  }
  std::unique_ptr<TGraphic> owned = CreateGraphic(*cls);
  owned->ReadData(stream);
  Adopt(std::move(owned));
  Changed(this);
}

void TPicture::WriteData(rtl::TStream& stream) const {
  std::string name = graphic_ ? graphic_->ClassName() : std::string();
  auto length = static_cast<uint8_t>(std::min<std::size_t>(name.size(), 255));
  stream.WriteBuffer(&length, 1);
  stream.WriteBuffer(name.data(), length);
  if (graphic_) graphic_->WriteData(stream);
}

}  // namespace framework
