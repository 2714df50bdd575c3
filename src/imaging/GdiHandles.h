// Owners of the GDI handles the image library uses, and a guard that undoes a palette selection.
#pragma once

#include <windows.h>

#include <string_view>
#include <utility>

#include "rtl/Exception.h"

namespace imaging {

// A GDI call that failed: "cannot <what>(GLE=<last-error code>)".
class EGdiError : public rtl::Exception {
 public:
  using Exception::Exception;
  // Takes the calling thread's last-error code.
  static EGdiError LastError(std::string_view what);
};

// Owns a palette and deletes it.
class PaletteHandle {
 public:
  PaletteHandle() = default;
  explicit PaletteHandle(HPALETTE palette) : palette_(palette) {}
  ~PaletteHandle() { reset(); }
  PaletteHandle(PaletteHandle&& other) noexcept : palette_(other.release()) {}
  PaletteHandle& operator=(PaletteHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  PaletteHandle(const PaletteHandle&) = delete;
  PaletteHandle& operator=(const PaletteHandle&) = delete;

  HPALETTE get() const { return palette_; }
  explicit operator bool() const { return palette_ != nullptr; }
  HPALETTE release() { return std::exchange(palette_, nullptr); }
  void reset(HPALETTE palette = nullptr) {
    if (palette_ != nullptr) DeleteObject(palette_);
    palette_ = palette;
  }

 private:
  HPALETTE palette_ = nullptr;
};

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
