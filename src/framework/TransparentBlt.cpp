#include "framework/TransparentBlt.h"

#include "framework/Errors.h"

namespace framework {

TBitmapHandle TransparencyMask(HDC dest, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent) {
  TMemoryDC maskDC(dest);
  TBitmapHandle mask(CreateBitmap(width, height, 1, 1, nullptr));
  if (maskDC.get() == nullptr || !mask) throw EOutOfResources();
  TSelectGuard selected(maskDC.get(), mask.get());
  // A colour-to-monochrome blit turns the source's background colour into white (1) and every
  // other colour into black (0).
  TTextStateGuard sourceState(sourceDC);
  SetBkColor(sourceDC, transparent);
  BitBlt(maskDC.get(), 0, 0, width, height, sourceDC, 0, 0, SRCCOPY);
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

}  // namespace framework
