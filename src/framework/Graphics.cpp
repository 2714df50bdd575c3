#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>

#include "framework/Errors.h"
#include "rtl/Checked.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

// The text colour and background of a DC, put back on the way out.
class TTextStateGuard {
 public:
  explicit TTextStateGuard(HDC dc)
      : dc_(dc), textColor_(GetTextColor(dc)), bkColor_(GetBkColor(dc)), bkMode_(GetBkMode(dc)) {}
  ~TTextStateGuard() {
    SetTextColor(dc_, textColor_);
    SetBkColor(dc_, bkColor_);
    SetBkMode(dc_, bkMode_);
  }
  TTextStateGuard(const TTextStateGuard&) = delete;
  TTextStateGuard& operator=(const TTextStateGuard&) = delete;

 private:
  HDC dc_;
  COLORREF textColor_;
  COLORREF bkColor_;
  int bkMode_;
};

class TStretchModeGuard {
 public:
  TStretchModeGuard(HDC dc, int mode) : dc_(dc), old_(SetStretchBltMode(dc, mode)) {}
  ~TStretchModeGuard() {
    if (old_ != 0) SetStretchBltMode(dc_, old_);
  }
  TStretchModeGuard(const TStretchModeGuard&) = delete;
  TStretchModeGuard& operator=(const TStretchModeGuard&) = delete;

 private:
  HDC dc_;
  int old_;
};

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
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::wstring face = rtl::SjisToWide(rtl::Utf8ToSjis("ＭＳ Ｐゴシック"));
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return TFontHandle(CreateFontIndirectW(&lf));
  }();
  return font.get();
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

void TBrush::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TBrush::Changed() {
  handle_.reset();
  OnChange(this);
}

HBRUSH TBrush::Handle() {
  if (style_ == TBrushStyle::bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (!handle_) {
    handle_.reset(CreateSolidBrush(ColorToRGB(color_)));
    if (!handle_) throw EOutOfResources();
  }
  return handle_.get();
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

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int32_t width) {
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TPen::Changed() {
  handle_.reset();
  OnChange(this);
}

HPEN TPen::Handle() {
  if (style_ == TPenStyle::psClear) return static_cast<HPEN>(GetStockObject(NULL_PEN));
  if (!handle_) {
    handle_.reset(CreatePen(PS_SOLID, std::max(width_, 0), ColorToRGB(color_)));
    if (!handle_) throw EOutOfResources();
  }
  return handle_.get();
}

const TClass& TFont::StaticClass() {
  static const TClass info = TClassBuilder<TFont>("TFont", &TPersistent::StaticClass())
                                 .Integer("Color", &TFont::Color, &TFont::SetColor, clWindowText, ColorIdents());
  return info;
}

void TFont::Assign(const TPersistent* source) {
  if (auto* font = dynamic_cast<const TFont*>(source)) {
    SetColor(font->color_);
    return;
  }
  TPersistent::Assign(source);
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  OnChange(this);
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
  SetTextColor(dc, ColorToRGB(font_.Color()));
  bool clear = brush_.Style() == TBrushStyle::bsClear;
  SetBkMode(dc, clear ? TRANSPARENT : OPAQUE);
  SetBkColor(dc, ColorToRGB(brush_.Color()));
  ExtTextOutW(dc, x, y, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& clip, int32_t x, int32_t y, const std::string& text) {
  HDC dc = Handle();
  std::wstring wide = rtl::SjisToWide(text);
  TSelectGuard font(dc, font_.Handle());
  TTextStateGuard state(dc);
  SetTextColor(dc, ColorToRGB(font_.Color()));
  bool clear = brush_.Style() == TBrushStyle::bsClear;
  SetBkMode(dc, clear ? TRANSPARENT : OPAQUE);
  SetBkColor(dc, ColorToRGB(brush_.Color()));
  RECT r = clip.ToRECT();
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

void DrawTransparent(HDC dest, const TRect& rect, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent) {
  if (width <= 0 || height <= 0) return;
  TMemoryDC maskDC(dest);
  TBitmapHandle mask(CreateBitmap(width, height, 1, 1, nullptr));
  if (maskDC.get() == nullptr || !mask) throw EOutOfResources();
  {
    TSelectGuard selected(maskDC.get(), mask.get());
    // A colour-to-monochrome blit turns the source's background colour into white (1) and every
    // other colour into black (0).
    COLORREF oldBk = SetBkColor(sourceDC, transparent);
    BitBlt(maskDC.get(), 0, 0, width, height, sourceDC, 0, 0, SRCCOPY);
    SetBkColor(sourceDC, oldBk);

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

void TGraphic::Changed(TObject*) {
  modified_ = true;
  OnChange(this);
}

// --- bitmap ---

namespace {

struct TBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];  // or the three masks of BI_BITFIELDS
};

int BitCount(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pf32bit: return 32;
  }
  return 24;
}

TPixelFormat FormatOf(int bitCount) {
  switch (bitCount) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16: return TPixelFormat::pf16bit;
    case 32: return TPixelFormat::pf32bit;
    default: return TPixelFormat::pf24bit;
  }
}

int64_t Stride(int64_t width, int bitCount) { return (width * bitCount + 31) / 32 * 4; }

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
  if (count > 0) GetPaletteEntries(palette, 0, count, entries.data());
  for (const PALETTEENTRY& e : entries) colors.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  return colors;
}

HPALETTE MakePalette(const std::vector<RGBQUAD>& colors) {
  if (colors.empty()) return nullptr;
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + colors.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(colors.size());
  for (std::size_t i = 0; i < colors.size(); ++i) {
    log->palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  }
  HPALETTE palette = CreatePalette(log);
  if (palette == nullptr) throw EOutOfResources();
  return palette;
}

HPALETTE CopyPalette(HPALETTE palette) { return palette ? MakePalette(PaletteColors(palette)) : nullptr; }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override { FreeHandle(); }

  void FreeHandle() {
    if (dc_ == nullptr) return;
    if (oldBitmap_ != nullptr) SelectObject(dc_, oldBitmap_);
    if (oldPalette_ != nullptr) SelectPalette(dc_, oldPalette_, TRUE);
    DeleteDC(dc_);
    dc_ = nullptr;
    oldBitmap_ = nullptr;
    oldPalette_ = nullptr;
  }

 protected:
  void CreateHandle() override {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) throw EOutOfResources();
    if (bitmap_.handle_) oldBitmap_ = SelectObject(dc, bitmap_.handle_.get());
    if (bitmap_.palette_) {
      oldPalette_ = SelectPalette(dc, bitmap_.palette_.get(), TRUE);
      RealizePalette(dc);
    }
    dc_ = dc;
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

HBITMAP TBitmap::NewSection(int32_t width, int32_t height, TPixelFormat format, HPALETTE palette, void** bits) const {
  TBitmapInfo info{};
  int bitCount = BitCount(format);
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitCount);
  info.header.biCompression = BI_RGB;
  if (bitCount <= 8) {
    std::vector<RGBQUAD> colors = palette ? PaletteColors(palette) : StandardColors(bitCount);
    std::size_t count = std::min<std::size_t>(colors.size(), std::size_t{1} << bitCount);
    std::copy_n(colors.begin(), count, info.colors);
    info.header.biClrUsed = static_cast<DWORD>(count);
  }
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, bits, nullptr, 0);
  if (section == nullptr) throw EOutOfResources();
  return section;
}

void TBitmap::Replace(HBITMAP section, TPixelFormat format) {
  FreeCanvasDC();
  handle_.reset(section);
  format_ = format;
  width_ = 0;
  height_ = 0;
  BITMAP bm{};
  if (section != nullptr && GetObjectW(section, sizeof bm, &bm) == sizeof bm) {
    width_ = bm.bmWidth;
    height_ = bm.bmHeight;
  }
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    Replace(nullptr, format_);
    Changed(this);
    return;
  }
  if (BitCount(format_) <= 8 && !palette_) palette_.reset(MakePalette(StandardColors(BitCount(format_))));
  void* bits = nullptr;
  TBitmapHandle section(NewSection(width, height, format_, palette_.get(), &bits));
  if (handle_) {
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), section.get());
    BitBlt(dc.get(), 0, 0, std::min(width, width_), std::min(height, height_), Canvas().Handle(), 0, 0, SRCCOPY);
  }
  Replace(section.release(), format_);
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  if (BitCount(format) <= 8 && !palette_) palette_.reset(MakePalette(StandardColors(BitCount(format))));
  if (!handle_) {
    format_ = format;
    Changed(this);
    return;
  }
  void* bits = nullptr;
  TBitmapHandle section(NewSection(width_, height_, format, palette_.get(), &bits));
  {
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), section.get());
    BitBlt(dc.get(), 0, 0, width_, height_, Canvas().Handle(), 0, 0, SRCCOPY);
  }
  Replace(section.release(), format);
  Changed(this);
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  TBitmapHandle owned(bitmap);
  if (bitmap == nullptr) {
    Replace(nullptr, format_);
    Changed(this);
    return;
  }
  DIBSECTION ds{};
  if (GetObjectW(bitmap, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr) {
    TPixelFormat format = FormatOf(ds.dsBmih.biBitCount);
    if (ds.dsBmih.biBitCount <= 8) {
      TMemoryDC dc;
      TSelectGuard selected(dc.get(), bitmap);
      RGBQUAD colors[256];
      UINT count = GetDIBColorTable(dc.get(), 0, 256, colors);
      palette_.reset(MakePalette(std::vector<RGBQUAD>(colors, colors + count)));
    }
    Replace(owned.release(), format);
  } else {
    // A device-dependent bitmap: copied into a 24-bit DIB section.
    BITMAP bm{};
    GetObjectW(bitmap, sizeof bm, &bm);
    void* bits = nullptr;
    TBitmapHandle section(NewSection(bm.bmWidth, bm.bmHeight, TPixelFormat::pf24bit, nullptr, &bits));
    {
      TMemoryDC source;
      TMemoryDC dest;
      TSelectGuard s(source.get(), bitmap);
      TSelectGuard d(dest.get(), section.get());
      BitBlt(dest.get(), 0, 0, bm.bmWidth, bm.bmHeight, source.get(), 0, 0, SRCCOPY);
    }
    Replace(section.release(), TPixelFormat::pf24bit);
  }
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  FreeCanvasDC();
  width_ = 0;
  height_ = 0;
  return handle_.release();
}

void TBitmap::SetPalette(HPALETTE palette) {
  FreeCanvasDC();
  palette_.reset(palette);
  if (handle_ && palette != nullptr && BitCount(format_) <= 8) {
    std::vector<RGBQUAD> colors = PaletteColors(palette);
    std::size_t count = std::min<std::size_t>(colors.size(), std::size_t{1} << BitCount(format_));
    if (count > 0) SetDIBColorTable(Canvas().Handle(), 0, static_cast<UINT>(count), colors.data());
  }
  Changed(this);
}

TColor TBitmap::TransparentColor() {
  if (transparentColor_ != clDefault) return transparentColor_;
  if (Empty()) return clDefault;
  return static_cast<TColor>(GetPixel(Canvas().Handle(), 0, height_ - 1) & 0xFFFFFF);
}

void TBitmap::SetTransparentColor(TColor color) {
  if (color == transparentColor_) return;
  transparentColor_ = color;
  Changed(this);
}

void* TBitmap::ScanLine(int32_t y) {
  if (!handle_ || y < 0 || y >= height_) throw EInvalidGraphicOperation::ScanLineRange();
  GdiFlush();
  DIBSECTION ds{};
  GetObjectW(handle_.get(), sizeof ds, &ds);
  auto* bits = static_cast<uint8_t*>(ds.dsBm.bmBits);
  int32_t row = ds.dsBmih.biHeight > 0 ? height_ - 1 - y : y;
  return bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(ds.dsBm.bmWidthBytes);
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == nullptr) {
    Replace(nullptr, format_);
    palette_.reset();
    Changed(this);
    return;
  }
  auto* other = dynamic_cast<const TBitmap*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  TPaletteHandle palette(CopyPalette(other->palette_.get()));
  TBitmapHandle section;
  if (other->handle_) {
    GdiFlush();
    DIBSECTION ds{};
    GetObjectW(other->handle_.get(), sizeof ds, &ds);
    TBitmapInfo info{};
    info.header = ds.dsBmih;
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biSizeImage = 0;
    if (ds.dsBmih.biCompression == BI_BITFIELDS) {
      std::memcpy(info.colors, ds.dsBitfields, sizeof ds.dsBitfields);
    } else if (ds.dsBmih.biBitCount <= 8) {
      HDC dc = const_cast<TBitmap*>(other)->Canvas().Handle();
      info.header.biClrUsed = GetDIBColorTable(dc, 0, 256, info.colors);
    }
    void* bits = nullptr;
    section.reset(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section) throw EOutOfResources();
    std::size_t size = static_cast<std::size_t>(ds.dsBm.bmWidthBytes) * static_cast<std::size_t>(ds.dsBm.bmHeight);
    std::memcpy(bits, ds.dsBm.bmBits, size);
  }
  Replace(section.release(), other->format_);
  palette_ = std::move(palette);
  transparentColor_ = other->transparentColor_;
  if (Transparent() != other->Transparent()) TGraphic::SetTransparent(other->Transparent());
  Changed(this);
}

void TBitmap::LoadFromStream(rtl::TStream& stream) {
  try {
    int64_t start = stream.GetPosition();
    int64_t available = static_cast<int64_t>(stream.GetSize()) - start;
    if (available <= 0) {
      Replace(nullptr, format_);
      Changed(this);
      return;
    }
    uint8_t fileHeader[14];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') throw EInvalidGraphic();
    uint32_t offBits = U32(fileHeader + 10);

    uint8_t header[124] = {};
    stream.ReadBuffer(header, 4);
    uint32_t headerSize = U32(header);
    int64_t width = 0;
    int64_t height = 0;
    int bitCount = 0;
    int planes = 0;
    uint32_t compression = BI_RGB;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    bool core = headerSize == 12;
    if (core) {
      stream.ReadBuffer(header + 4, 8);
      width = U16(header + 4);
      height = U16(header + 6);
      planes = U16(header + 8);
      bitCount = U16(header + 10);
    } else if (headerSize >= 40 && headerSize <= sizeof header) {
      stream.ReadBuffer(header + 4, static_cast<int32_t>(headerSize - 4));
      width = static_cast<int32_t>(U32(header + 4));
      height = static_cast<int32_t>(U32(header + 8));
      planes = U16(header + 12);
      bitCount = U16(header + 14);
      compression = U32(header + 16);
      sizeImage = U32(header + 20);
      clrUsed = U32(header + 32);
    } else {
      throw EInvalidGraphic();
    }

    bool validDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
                      bitCount == 32;
    bool validCompression = compression == BI_RGB || (compression == BI_RLE8 && bitCount == 8) ||
                            (compression == BI_RLE4 && bitCount == 4) ||
                            (compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32));
    bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (planes != 1 || !validDepth || !validCompression || width <= 0 || height <= 0 || (rle && topDown)) {
      throw EInvalidGraphic();
    }
    int64_t stride = Stride(width, bitCount);
    int64_t imageSize = stride * height;
    if (imageSize > INT32_MAX) throw EInvalidGraphic();

    TBitmapInfo info{};
    int64_t consumed = 14 + headerSize;
    if (compression == BI_BITFIELDS) {
      if (headerSize == 40) {
        uint8_t masks[12];
        stream.ReadBuffer(masks, sizeof masks);
        consumed += sizeof masks;
        std::memcpy(info.colors, masks, sizeof masks);
      } else if (headerSize >= 52) {
        std::memcpy(info.colors, header + 40, 12);
      } else {
        throw EInvalidGraphic();
      }
    }
    std::vector<RGBQUAD> colors;
    int entrySize = core ? 3 : 4;
    if (bitCount <= 8) {
      uint32_t maxColors = 1u << bitCount;
      uint32_t count = clrUsed == 0 ? maxColors : clrUsed;
      if (count > maxColors) throw EInvalidGraphic();
      std::vector<uint8_t> table(static_cast<std::size_t>(count) * entrySize);
      stream.ReadBuffer(table.data(), static_cast<int32_t>(table.size()));
      consumed += static_cast<int64_t>(table.size());
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = table.data() + static_cast<std::size_t>(i) * entrySize;
        colors.push_back({e[0], e[1], e[2], 0});
      }
    } else if (clrUsed > 0) {
      // An optional colour table of a true-colour bitmap: not needed.
      if (clrUsed > available / 4) throw EInvalidGraphic();
      consumed += static_cast<int64_t>(clrUsed) * 4;
      stream.Seek(static_cast<int32_t>(clrUsed * 4), rtl::TSeekOrigin::soCurrent);
    }
    // The pixels start at the file header's offset when it points past the colour table; an
    // offset that points into the headers is ignored.
    if (offBits > consumed && offBits <= available) {
      stream.Seek(static_cast<int32_t>(offBits - consumed), rtl::TSeekOrigin::soCurrent);
      consumed = offBits;
    }
    int64_t dataSize = rle ? static_cast<int64_t>(sizeImage) : imageSize;
    if ((rle && dataSize == 0) || available - consumed < dataSize) throw EInvalidGraphic();

    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = static_cast<LONG>(width);
    info.header.biHeight = static_cast<LONG>(height);
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitCount);
    info.header.biCompression = compression == BI_BITFIELDS ? BI_BITFIELDS : BI_RGB;
    if (bitCount <= 8) {
      std::copy(colors.begin(), colors.end(), info.colors);
      info.header.biClrUsed = static_cast<DWORD>(colors.size());
    }
    void* bits = nullptr;
    TBitmapHandle section(
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section) throw EOutOfResources();
    auto* pixels = static_cast<uint8_t*>(bits);
    if (rle) {
      std::vector<uint8_t> packed(static_cast<std::size_t>(dataSize));
      stream.ReadBuffer(packed.data(), static_cast<int32_t>(dataSize));
      TBitmapInfo packedInfo = info;
      packedInfo.header.biCompression = compression;
      packedInfo.header.biSizeImage = static_cast<DWORD>(dataSize);
      TWindowDC screen;
      if (SetDIBits(screen.get(), section.get(), 0, static_cast<UINT>(height), packed.data(),
                    reinterpret_cast<BITMAPINFO*>(&packedInfo), DIB_RGB_COLORS) == 0) {
        throw EInvalidGraphic();
      }
    } else if (!topDown) {
      stream.ReadBuffer(pixels, static_cast<int32_t>(imageSize));
    } else {
      for (int64_t row = height - 1; row >= 0; --row) {
        stream.ReadBuffer(pixels + row * stride, static_cast<int32_t>(stride));
      }
    }
    TPaletteHandle palette(MakePalette(colors));
    Replace(section.release(), FormatOf(bitCount));
    palette_ = std::move(palette);
    Changed(this);
  } catch (const rtl::EReadError&) {
    throw EInvalidGraphic();
  }
}

void TBitmap::SaveToStream(rtl::TStream& stream) const {
  if (!handle_) return;
  GdiFlush();
  DIBSECTION ds{};
  GetObjectW(handle_.get(), sizeof ds, &ds);
  BITMAPINFOHEADER header = ds.dsBmih;
  header.biSize = sizeof header;
  header.biHeight = height_;
  uint32_t stride = static_cast<uint32_t>(ds.dsBm.bmWidthBytes);
  header.biSizeImage = stride * static_cast<uint32_t>(height_);
  std::vector<RGBQUAD> colors;
  uint32_t masksSize = 0;
  if (header.biCompression == BI_BITFIELDS) {
    masksSize = sizeof ds.dsBitfields;
  } else if (header.biBitCount <= 8) {
    colors.resize(std::size_t{1} << header.biBitCount);
    HDC dc = const_cast<TBitmap*>(this)->Canvas().Handle();
    UINT count = GetDIBColorTable(dc, 0, static_cast<UINT>(colors.size()), colors.data());
    colors.resize(count);
    header.biClrUsed = count;
  }
  header.biClrImportant = 0;
  uint32_t offBits = 14 + sizeof header + masksSize + static_cast<uint32_t>(colors.size() * sizeof(RGBQUAD));
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = offBits + header.biSizeImage;
  file.bfOffBits = offBits;
  stream.WriteBuffer(&file, 14);
  stream.WriteBuffer(&header, sizeof header);
  if (masksSize > 0) stream.WriteBuffer(ds.dsBitfields, static_cast<int32_t>(masksSize));
  if (!colors.empty()) stream.WriteBuffer(colors.data(), static_cast<int32_t>(colors.size() * sizeof(RGBQUAD)));
  auto* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
  if (ds.dsBmih.biHeight > 0) {
    stream.WriteBuffer(bits, static_cast<int32_t>(header.biSizeImage));
  } else {
    for (int32_t row = height_ - 1; row >= 0; --row) {
      stream.WriteBuffer(bits + static_cast<std::size_t>(row) * stride, static_cast<int32_t>(stride));
    }
  }
}

namespace {
// A bitmap resource is a BMP file without its file header; the loader skips to the pixels by
// itself when the header's offset is 0.
void LoadPackedDIB(TBitmap& bitmap, rtl::TResourceStream& resource) {
  rtl::TMemoryStream file;
  uint8_t header[14] = {'B', 'M'};
  uint32_t size = static_cast<uint32_t>(rtl::CheckedAdd(resource.GetSize(), 14));
  std::memcpy(header + 2, &size, 4);
  file.WriteBuffer(header, sizeof header);
  file.CopyFrom(resource, 0);
  file.SetPosition(0);
  bitmap.LoadFromStream(file);
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

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  HDC dest = canvas.Handle();
  HDC source = Canvas().Handle();
  TPaletteGuard palette(dest, palette_.get());
  if (Transparent()) {
    DrawTransparent(dest, rect, source, width_, height_, ColorToRGB(TransparentColor()));
  } else {
    TStretchModeGuard mode(dest, COLORONCOLOR);
    StretchBlt(dest, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, width_, height_,
               canvas.CopyMode());
  }
}

// --- picture ---

std::unique_ptr<TGraphic> CloneGraphic(const TGraphic& graphic) {
  std::unique_ptr<TObject> created(graphic.ClassType().Create(nullptr));
  auto* copy = dynamic_cast<TGraphic*>(created.get());
  if (copy == nullptr) throw EAssignError(graphic.ClassName(), TPicture::StaticClass().Name());
  created.release();
  std::unique_ptr<TGraphic> result(copy);
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

TBitmap& TPicture::Bitmap() {
  if (dynamic_cast<TBitmap*>(graphic_.get()) == nullptr) {
    Adopt(std::make_unique<TBitmap>());
    Changed(this);
  }
  return static_cast<TBitmap&>(*graphic_);
}

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
  if (cls == nullptr || !cls->InheritsFrom(TGraphic::StaticClass())) {
    throw ELayoutError(ELayoutError::ClassNotFound(name));
  }
  std::unique_ptr<TObject> created(cls->Create(nullptr));
  auto* graphic = dynamic_cast<TGraphic*>(created.get());
  if (graphic == nullptr) throw ELayoutError(ELayoutError::ClassNotFound(name));
  created.release();
  std::unique_ptr<TGraphic> owned(graphic);
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
