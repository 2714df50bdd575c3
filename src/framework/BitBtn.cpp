#include "framework/BitBtn.h"

#include "framework/Accelerator.h"
#include "framework/TransparentBlt.h"
#include "rtl/Sjis.h"

namespace framework {

const TClass& TBitBtn::StaticClass() {
  static const TClass info =
      TClassBuilder<TBitBtn>("TBitBtn", &TWinControl::StaticClass())
          .Boolean("Cancel", &TBitBtn::Cancel, &TBitBtn::SetCancel, false)
          .String("Caption", &TBitBtn::Caption, &TBitBtn::SetCaption)
          .Boolean("Default", &TBitBtn::Default, &TBitBtn::SetDefault, false)
          .Object("Glyph", &TBitBtn::Glyph)
          .Enumeration("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout,
                       {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}, TButtonLayout::blGlyphLeft)
          .Integer("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin, -1)
          .Integer("ModalResult", &TBitBtn::ModalResult, &TBitBtn::SetModalResult, mrNone, ModalResultIdents())
          .Integer("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing, 4)
          .Boolean("TabStop", &TBitBtn::TabStop, &TBitBtn::SetTabStop, true);
  return info;
}

TBitBtn::TBitBtn(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  clickOnMouseUp_ = false;  // the button's own BN_CLICKED clicks it
  glyph_.OnChange = [this](TObject*) { Invalidate(); };
}

void TBitBtn::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"BUTTON";
  params.Style |= BS_OWNERDRAW | WS_TABSTOP;
}

void TBitBtn::Click() {
  if (TForm* form = GetParentForm(this); form != nullptr && modalResult_ != mrNone) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

bool TBitBtn::IsActive() const {
  if (Focused()) return true;
  if (!default_) return false;
  return dynamic_cast<TBitBtn*>(FromHandle(GetFocus())) == nullptr;
}

bool TBitBtn::DialogKey(WORD key) {
  bool pressed = (key == VK_RETURN && IsActive()) || (key == VK_ESCAPE && cancel_);
  if (!pressed || !CanFocus()) return false;
  Click();
  return true;
}

bool TBitBtn::DialogChar(wchar_t key) {
  if (!IsAccel(key, Caption()) || !CanFocus()) return false;
  SetFocus();
  Click();
  return true;
}

void TBitBtn::WindowProc(TMessage& message) {
  // A quick second click is a click, not a double click.
  if (message.Msg == WM_LBUTTONDBLCLK) message.Msg = WM_LBUTTONDOWN;
  TWinControl::WindowProc(message);
}

void TBitBtn::CommandNotify(WORD code) {
  if (code == BN_CLICKED) Click();
}

void TBitBtn::DrawGlyph(HDC dc, int32_t x, int32_t y, bool disabled) {
  int32_t w = glyph_.Width();
  int32_t h = glyph_.Height();
  HDC source = glyph_.Canvas().Handle();
  COLORREF transparent = ColorToRGB(glyph_.TransparentColor());
  if (!disabled) {
    TPaletteGuard palette(dc, glyph_.Palette());
    DrawTransparent(dc, Bounds(x, y, w, h), source, w, h, transparent);
    return;
  }
  // The disabled look: the glyph's shape, embossed.
  TBitmapHandle mask = TransparencyMask(dc, source, w, h, transparent);
  DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(mask.get()), 0, x, y, w, h, DST_BITMAP | DSS_DISABLED);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  bool pushed = (item.itemState & ODS_SELECTED) != 0;
  bool disabled = (item.itemState & ODS_DISABLED) != 0;
  bool focused = (item.itemState & ODS_FOCUS) != 0;

  if (IsActive() && !disabled) {
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

  TSelectGuard font(dc, SharedFont());
  std::wstring text = rtl::SjisToWide(Caption());
  RECT textSize{0, 0, 0, 0};
  if (!text.empty()) DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textSize, DT_CALCRECT | DT_SINGLELINE);
  int32_t tw = textSize.right;
  int32_t th = textSize.bottom;
  int32_t gw = glyph_.Empty() ? 0 : glyph_.Width();
  int32_t gh = glyph_.Empty() ? 0 : glyph_.Height();
  int32_t gap = (gw > 0 && tw > 0) ? spacing_ : 0;
  int32_t cw = r.right - r.left;
  int32_t ch = r.bottom - r.top;
  bool horizontal = layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphRight;
  int32_t total = horizontal ? gw + gap + tw : gh + gap + th;
  int32_t start = margin_ >= 0 ? margin_ : ((horizontal ? cw : ch) - total) / 2;
  // Along the layout's axis the first of glyph and caption starts at start and the other follows
  // after the gap; across it both are centred.
  bool glyphFirst = layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphTop;
  int32_t glyphAlong = glyphFirst ? start : start + (horizontal ? tw : th) + gap;
  int32_t textAlong = glyphFirst ? start + (horizontal ? gw : gh) + gap : start;
  int32_t glyphAcross = horizontal ? (ch - gh) / 2 : (cw - gw) / 2;
  int32_t textAcross = horizontal ? (ch - th) / 2 : (cw - tw) / 2;
  int32_t gx = horizontal ? glyphAlong : glyphAcross;
  int32_t gy = horizontal ? glyphAcross : glyphAlong;
  int32_t tx = horizontal ? textAlong : textAcross;
  int32_t ty = horizontal ? textAcross : textAlong;
  int32_t offset = pushed ? 1 : 0;
  int32_t ox = r.left + offset;
  int32_t oy = r.top + offset;
  if (gw > 0) DrawGlyph(dc, ox + gx, oy + gy, disabled);
  if (tw > 0) {
    TTextStateGuard textState(dc);
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
      DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()), static_cast<WPARAM>(text.size()),
                 ox + tx, oy + ty, tw, th, DST_PREFIXTEXT | DSS_DISABLED);
    } else {
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      RECT textRect{ox + tx, oy + ty, ox + tx + tw, oy + ty + th};
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE);
    }
  }
  if (focused) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace framework
