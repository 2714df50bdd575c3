#include "imaging/GdiHandles.h"

#include <string>

#include "rtl/Sjis.h"

namespace imaging {

EGdiError EGdiError::LastError(std::string_view what) {
  DWORD code = GetLastError();
  return EGdiError(rtl::Format("cannot %s(GLE=%d)", std::string(what).c_str(), static_cast<int>(code)));
}

ScreenDC::ScreenDC() : dc_(GetDC(nullptr)) {
  if (dc_ == nullptr) throw EGdiError::LastError("get screen DC");
}

PaletteSelection::PaletteSelection(HDC dc, HPALETTE palette, bool forceBackground)
    : dc_(dc), previous_(SelectPalette(dc, palette, forceBackground ? TRUE : FALSE)) {
  if (previous_ == nullptr) throw EGdiError::LastError("select palette");
}

}  // namespace imaging
