#include "framework/GraphicsObjects.h"

#include <algorithm>

#include "framework/Errors.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

constexpr int32_t kSharedFontHeight = -12;

const std::string& SharedFontName() {
  static const std::string name = rtl::Utf8ToSjis("ＭＳ Ｐゴシック");
  return name;
}

LOGFONTW FontDescription(const std::string& name, int32_t height) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::wstring face = rtl::SjisToWide(name);
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return lf;
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

HFONT SharedFont() {
  static const TFontHandle font = [] {
    LOGFONTW lf = FontDescription(SharedFontName(), kSharedFontHeight);
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

const TClass& TBrush::StaticClass() {
  static const TClass info = TClassBuilder<TBrush>("TBrush", &TPersistent::StaticClass())
                                 .Integer("Color", &TBrush::Color, &TBrush::SetColor, clWhite, ColorIdents())
                                 .Enumeration("Style", &TBrush::Style, &TBrush::SetStyle, {"bsSolid", "bsClear"},
                                              TBrushStyle::bsSolid);
  return info;
}

void TBrush::Assign(const TPersistent* source) {
  if (auto* brush = dynamic_cast<const TBrush*>(source)) {
    CopyTool(*brush);
    Changed();
    return;
  }
  TPersistent::Assign(source);
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
    CopyTool(*pen);
    width_ = pen->width_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPen::SetWidth(int32_t width) { if (Store(width_, width)) Changed(); }

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

void TFont::Changed() {
  handle_.reset();
  OnChange(this);
}

HFONT TFont::Handle() {
  if (height_ == kSharedFontHeight && name_ == SharedFontName()) return SharedFont();
  return MadeOnce(handle_, [this] {
    LOGFONTW lf = FontDescription(name_, height_);
    return CreateFontIndirectW(&lf);
  });
}

}  // namespace framework
