// The image library's GDI failure, its names for the framework's handle owners, the screen context
// that raises when there is none, and a palette selection that raises when it fails.
#pragma once

#include <windows.h>

#include <string_view>
#include <utility>

#include "framework/GdiHandles.h"
#include "rtl/Exception.h"

namespace imaging {

// A GDI call that failed: "cannot <what>(GLE=<last-error code>)".
class EGdiError : public rtl::Exception {
 public:
  using Exception::Exception;
  // Takes the calling thread's last-error code.
  static EGdiError LastError(std::string_view what);
};

// Owns a palette and deletes it: the framework's owner of GDI objects.
using PaletteHandle = framework::TPaletteHandle;

// The device context of the whole screen, from GetDC and given back with ReleaseDC.
class ScreenDC {
 public:
  // Raises EGdiError when the system gives no context.
  ScreenDC();
  ~ScreenDC() { ReleaseDC(nullptr, dc_); }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;

  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects a palette into a context and, when it goes, selects the previous one back as a
// background palette. Realising is left to the caller.
class PaletteSelection {
 public:
  // Raises EGdiError when the palette cannot be selected.
  PaletteSelection(HDC dc, HPALETTE palette, bool forceBackground);
  ~PaletteSelection() { SelectPalette(dc_, previous_, TRUE); }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;

 private:
  HDC dc_;
  HPALETTE previous_;
};

}  // namespace imaging
