// The drawing tools of a canvas: brush, pen and font, and the one font shared by every window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Component.h"
#include "framework/Colors.h"
#include "framework/Events.h"
#include "framework/GdiHandles.h"

namespace framework {

// The one font of every window: "ＭＳ Ｐゴシック", 12 pixels high, Shift-JIS character set.
HFONT SharedFont();
// The screen's vertical resolution (LOGPIXELSY), read once.
int32_t ScreenPixelsPerInch();

enum class TBrushStyle { bsSolid, bsClear };
enum class TPenStyle { psSolid, psClear };

// What brush and pen share: a colour, a style that may make them clear, and a handle made when first
// asked for and dropped by every change.
template <typename TStyle, typename THandleOwner>
class TDrawingTool : public TPersistent {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color) { if (color_ != color) { color_ = color; Changed(); } }
  TStyle Style() const { return style_; }
  void SetStyle(TStyle style) { if (style_ != style) { style_ = style; Changed(); } }
  TNotifyEvent OnChange;

 protected:
  TDrawingTool(TColor color, TStyle style) : color_(color), style_(style) {}
  // Takes the colour and style of another tool of the same kind.
  void CopyTool(const TDrawingTool& source) {
    color_ = source.color_;
    style_ = source.style_;
  }
  void Changed() {
    handle_.reset();
    OnChange(this);
  }

  TColor color_;
  TStyle style_;
  THandleOwner handle_;
};

class TBrush : public TDrawingTool<TBrushStyle, TBrushHandle> {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }
  TBrush() : TDrawingTool(clWhite, TBrushStyle::bsSolid) {}
  void Assign(const TPersistent* source) override;

  HBRUSH Handle();  // owned by the brush; null-brush for bsClear
};

class TPen : public TDrawingTool<TPenStyle, TPenHandle> {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }
  TPen() : TDrawingTool(clBlack, TPenStyle::psSolid) {}
  void Assign(const TPersistent* source) override;

  int32_t Width() const { return width_; }
  void SetWidth(int32_t width);
  HPEN Handle();  // owned by the pen

 private:
  int32_t width_ = 1;
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
  // The shared font while the font has the shared font's name and height; otherwise a font of its
  // own (Shift-JIS character set), owned by it.
  HFONT Handle();
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor color_ = clWindowText;
  std::string name_;
  int32_t height_ = -12;
  int32_t pixelsPerInch_;
  TFontHandle handle_;
};

}  // namespace framework
