#include "framework/GlyphListItem.h"

#include "rtl/Sjis.h"

namespace framework {

void LoadGlyph(TBitmap& glyph, const wchar_t* name) {
  glyph.LoadFromResourceName(GetModuleHandleW(nullptr), rtl::WideToSjis(name));
  glyph.SetTransparent(true);
}

void DrawEntry(const DRAWITEMSTRUCT& item, int32_t indent, TBitmap* glyph, const std::wstring& text) {
  HDC dc = item.hDC;
  TSaveDCGuard saved(dc);
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT r = item.rcItem;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  int32_t x = r.left + 2 + indent;
  if (glyph != nullptr && !glyph->Empty()) {
    int32_t y = r.top + (r.bottom - r.top - glyph->Height()) / 2;
    TCanvas canvas(dc);
    glyph->Draw(canvas, Bounds(x, y, glyph->Width(), glyph->Height()));
    x += glyph->Width() + 4;
  }
  SelectObject(dc, SharedFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT textRect{x, r.top, r.right, r.bottom};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &r);
}

void DrawBlankEntry(const DRAWITEMSTRUCT& item) {
  DRAWITEMSTRUCT empty = item;
  empty.itemState &= ~ODS_SELECTED;
  DrawEntry(empty, 0, nullptr, L"");
}

}  // namespace framework
