// Owners of GDI and USER handles, each with its release call, and guards that undo selections.
#pragma once

#include <windows.h>

#include <utility>

namespace framework {

// Owns a GDI object (bitmap, palette, brush, pen, font, region) and deletes it.
template <typename Handle>
class TGdiObject {
 public:
  TGdiObject() = default;
  explicit TGdiObject(Handle handle) : handle_(handle) {}
  ~TGdiObject() { reset(); }
  TGdiObject(TGdiObject&& other) noexcept : handle_(other.release()) {}
  TGdiObject& operator=(TGdiObject&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using TBitmapHandle = TGdiObject<HBITMAP>;
using TPaletteHandle = TGdiObject<HPALETTE>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TPenHandle = TGdiObject<HPEN>;
using TFontHandle = TGdiObject<HFONT>;

// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
class TMemoryDC {
 public:
  explicit TMemoryDC(HDC compatibleWith = nullptr) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~TMemoryDC() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A window's (or the screen's) device context from GetDC, given back with ReleaseDC.
class TWindowDC {
 public:
  explicit TWindowDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  ~TWindowDC() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class TSelectGuard {
 public:
  TSelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~TSelectGuard() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
  }
  TSelectGuard(const TSelectGuard&) = delete;
  TSelectGuard& operator=(const TSelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Selects a palette into a DC (realising it) and puts the previous one back.
class TPaletteGuard {
 public:
  TPaletteGuard(HDC dc, HPALETTE palette, bool background = true)
      : dc_(dc), previous_(palette ? SelectPalette(dc, palette, background) : nullptr) {
    if (previous_ != nullptr) RealizePalette(dc_);
  }
  ~TPaletteGuard() {
    if (previous_ != nullptr) SelectPalette(dc_, previous_, TRUE);
  }
  TPaletteGuard(const TPaletteGuard&) = delete;
  TPaletteGuard& operator=(const TPaletteGuard&) = delete;

 private:
  HDC dc_;
  HPALETTE previous_;
};

// Saves a DC's whole state and restores it.
class TSaveDCGuard {
 public:
  explicit TSaveDCGuard(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~TSaveDCGuard() {
    if (saved_ != 0) RestoreDC(dc_, saved_);
  }
  TSaveDCGuard(const TSaveDCGuard&) = delete;
  TSaveDCGuard& operator=(const TSaveDCGuard&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// Sets a DC's stretch mode; the previous one comes back on the way out.
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

}  // namespace framework
