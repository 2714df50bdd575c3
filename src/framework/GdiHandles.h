// Owners of GDI and USER handles, each with its release call, and guards that undo selections.
#pragma once

#include <windows.h>

#include <utility>

#include "rtl/Handles.h"

namespace framework {

// Owns a GDI object (bitmap, palette, brush, pen, font, region) and deletes it.
template <typename H>
struct TGdiObjectTraits {
  using Handle = H;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return DeleteObject(handle) != 0; }
};
template <typename Handle>
using TGdiObject = rtl::TOwner<TGdiObjectTraits<Handle>>;

using TBitmapHandle = TGdiObject<HBITMAP>;
using TPaletteHandle = TGdiObject<HPALETTE>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TPenHandle = TGdiObject<HPEN>;
using TFontHandle = TGdiObject<HFONT>;
using TRegionHandle = TGdiObject<HRGN>;

// Owns an icon or cursor made from data (DestroyIcon).
struct TIconTraits {
  using Handle = HICON;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return DestroyIcon(handle) != 0; }
};
using TIconHandle = rtl::TOwner<TIconTraits>;

// Owns an enhanced metafile (DeleteEnhMetaFile).
struct TEnhMetafileTraits {
  using Handle = HENHMETAFILE;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return DeleteEnhMetaFile(handle) != 0; }
};
using TEnhMetafileHandle = rtl::TOwner<TEnhMetafileTraits>;

// Owns a device context that is deleted with DeleteDC (memory, printer and information contexts).
struct TDeletedDCTraits {
  using Handle = HDC;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return DeleteDC(handle) != 0; }
};
using TDCHandle = rtl::TOwner<TDeletedDCTraits>;

// A new memory device context from CreateCompatibleDC, deleted with DeleteDC.
class TMemoryDC : public TDCHandle {
 public:
  explicit TMemoryDC(HDC compatibleWith = nullptr) : TDCHandle(CreateCompatibleDC(compatibleWith)) {}
};

// A window's (or, for no window, the screen's) device context from GetDC, given back with
// ReleaseDC. Null when the system gave none.
class TWindowDC {
 public:
  explicit TWindowDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  ~TWindowDC() { reset(); }
  TWindowDC(TWindowDC&& other) noexcept : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
  TWindowDC& operator=(TWindowDC&& other) noexcept {
    if (this != &other) {
      reset();
      window_ = other.window_;
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  void reset() {
    if (dc_ != nullptr) ReleaseDC(window_, std::exchange(dc_, nullptr));
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// The context of a WM_PAINT from BeginPaint, ended with EndPaint on every way out.
class TPaintGuard {
 public:
  explicit TPaintGuard(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~TPaintGuard() { EndPaint(window_, &paint_); }
  TPaintGuard(const TPaintGuard&) = delete;
  TPaintGuard& operator=(const TPaintGuard&) = delete;
  HDC dc() const { return dc_; }
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
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

  // Whether the object went in (SelectObject gave back what it replaced).
  bool Selected() const { return previous_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Selects a palette into a DC (realising it) and puts the previous one back.
class TPaletteGuard {
 public:
  TPaletteGuard(HDC dc, HPALETTE palette, bool background = true)
      : dc_(dc),
        previous_(palette ? SelectPalette(dc, palette, background) : nullptr),
        realized_(previous_ != nullptr ? RealizePalette(dc) : 0) {}
  ~TPaletteGuard() {
    if (previous_ != nullptr) SelectPalette(dc_, previous_, TRUE);
  }
  TPaletteGuard(const TPaletteGuard&) = delete;
  TPaletteGuard& operator=(const TPaletteGuard&) = delete;

  // Whether the palette went in (SelectPalette gave back the one it replaced).
  bool Selected() const { return previous_ != nullptr; }
  // What realising gave: the number of system palette entries that changed, or GDI_ERROR.
  UINT Realized() const { return realized_; }

 private:
  HDC dc_;
  HPALETTE previous_;
  UINT realized_;
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

// The text colour, background colour and background mode of a DC, put back on the way out.
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

// The mapping of a context, put back when the guard goes: viewport extent, window extent, viewport
// origin, then mapping mode, each only when it was changed.
class TMappingGuard {
 public:
  explicit TMappingGuard(HDC dc) : dc_(dc) {}
  ~TMappingGuard() {
    if (viewportExtSet_) SetViewportExtEx(dc_, viewportExt_.cx, viewportExt_.cy, nullptr);
    if (windowExtSet_) SetWindowExtEx(dc_, windowExt_.cx, windowExt_.cy, nullptr);
    if (viewportOrgSet_) SetViewportOrgEx(dc_, viewportOrg_.x, viewportOrg_.y, nullptr);
    if (mapMode_ != 0) SetMapMode(dc_, mapMode_);
  }
  TMappingGuard(const TMappingGuard&) = delete;
  TMappingGuard& operator=(const TMappingGuard&) = delete;

  void ViewportOrigin(int x, int y) { viewportOrgSet_ = SetViewportOrgEx(dc_, x, y, &viewportOrg_) != 0; }
  void MapMode(int mode) { mapMode_ = SetMapMode(dc_, mode); }
  void ViewportExtent(int cx, int cy) { viewportExtSet_ = SetViewportExtEx(dc_, cx, cy, &viewportExt_) != 0; }
  void WindowExtent(int cx, int cy) { windowExtSet_ = SetWindowExtEx(dc_, cx, cy, &windowExt_) != 0; }

 private:
  HDC dc_;
  POINT viewportOrg_{};
  SIZE viewportExt_{};
  SIZE windowExt_{};
  int mapMode_ = 0;
  bool viewportOrgSet_ = false;
  bool viewportExtSet_ = false;
  bool windowExtSet_ = false;
};

}  // namespace framework
