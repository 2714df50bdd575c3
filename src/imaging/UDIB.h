// A device-independent snapshot of a bitmap (header, colour table, pixels) that draws with one DIB
// stretch, and the reference-counted holder of its pixel memory.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <utility>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Types.h"

namespace imaging {

// {2D47D5A1-88E0-11D2-93A4-0060976E9510}
extern const GUID IID_IBitsHolder;

struct IBitsHolder : public IUnknown {
  virtual void STDMETHODCALLTYPE SetBits(void* bits, BOOL ownsBits) = 0;
  virtual void* STDMETHODCALLTYPE GetBits() = 0;
};

// Frees itself with its last Release; frees the memory (from std::malloc or std::calloc) when it
// owns it. Filled once, right after creation: a later SetBits does not free what an earlier stored.
class TBitsHolder final : public IBitsHolder {
 public:
  TBitsHolder();
  TBitsHolder(const TBitsHolder&) = delete;
  TBitsHolder& operator=(const TBitsHolder&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  void STDMETHODCALLTYPE SetBits(void* bits, BOOL ownsBits) override;
  void* STDMETHODCALLTYPE GetBits() override { return FBits; }

  bool OwnsBits() const { return FOwnsBits; }
  // Holders alive in the process, so that tests can see every one go.
  static int32_t LiveCount();

 private:
  ~TBitsHolder();

  LONG refCount_ = 0;
  bool FOwnsBits = false;
  void* FBits = nullptr;
};

// Holds one counted reference to an interface.
template <typename I>
class TInterfaceRef {
 public:
  TInterfaceRef() = default;
  // Adopts a reference that the caller already counted.
  explicit TInterfaceRef(I* adopted) : ptr_(adopted) {}
  ~TInterfaceRef() { reset(); }
  TInterfaceRef(const TInterfaceRef& other) : ptr_(other.ptr_) {
    if (ptr_ != nullptr) ptr_->AddRef();
  }
  TInterfaceRef& operator=(const TInterfaceRef& other) {
    if (other.ptr_ != nullptr) other.ptr_->AddRef();
    reset(other.ptr_);
    return *this;
  }
  TInterfaceRef(TInterfaceRef&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  TInterfaceRef& operator=(TInterfaceRef&& other) noexcept {
    if (this != &other) reset(std::exchange(other.ptr_, nullptr));
    return *this;
  }

  I* get() const { return ptr_; }
  I* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // Drops the reference held and adopts one already counted.
  void reset(I* adopted = nullptr) {
    I* old = std::exchange(ptr_, adopted);
    if (old != nullptr) old->Release();
  }

 private:
  I* ptr_ = nullptr;
};

// BITMAPINFO with room for a colour table of 256 entries or the three masks of a bit-field DIB.
struct TDIBInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];

  const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};
static_assert(sizeof(TDIBInfo) == 1064);

// Bytes of one pixel row of a DIB, padded to a multiple of alignBits (a power of two, at least 8);
// EIntOverflow when the row's bits, padding included, do not fit in signed 32 bits.
int32_t RowBytes(int32_t width, int32_t bitCount, int32_t alignBits);

// Stretches the source part (row 0 at the top) of the DIB at bits into dest with the DIB stretch;
// its result. Bottom-up data: source y counted from the bottom row, as the platform expects.
int StretchDIBPart(HDC dc, const framework::TRect& dest, const framework::TRect& source, const void* bits,
                   const TDIBInfo& info, DWORD rop);

class TDIB {
 public:
  TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  // Takes source's header and colour table and shares its pixel memory.
  void CopyFrom(const TDIB& source);
  // Captures the bitmap with the palette it is shown with (on a palette display, or an indexed DIB).
  void FromBitmap(framework::TBitmap& bitmap);
  // A DIB section is borrowed (the snapshot is valid while the section keeps its memory); any other
  // bitmap is copied into memory of the snapshot's own, read through palette when one is given.
  // EInvalidGraphic when bitmap is not a bitmap.
  void FromHandle(HBITMAP bitmap, HPALETTE palette);

  // Stretches the source part (row 0 at the top) into dest with the canvas's copy mode. True when it
  // drew, when all four sizes are 0, when dest is not visible or nothing was captured; otherwise
  // the device's answer (false when it refused, as for a single zero side).
  bool Draw(framework::TCanvas& canvas, const framework::TRect& dest, const framework::TRect& source) const;
  // Draw, and when the device refuses, one destination row at a time, of the same source part.
  void DrawBanded(framework::TCanvas& canvas, const framework::TRect& dest, const framework::TRect& source) const;

  const BITMAPINFOHEADER& Header() const { return FInfo.Header; }
  const RGBQUAD* Colors() const { return FInfo.Colors; }
  // The pixel memory, or nullptr before the first capture.
  void* Bits() const;
  IUnknown* Holder() const { return FHolder.get(); }

 private:
  TInterfaceRef<IUnknown> FHolder;
  TDIBInfo FInfo{};
};

// The one-call DIB stretch and bitmap stretch that the library draws with. Tests replace them to
// play a device that refuses a whole-image stretch; the program never does.
using TStretchDIBitsCall = int(WINAPI*)(HDC, int, int, int, int, int, int, int, int, const void*, const BITMAPINFO*,
                                        UINT, DWORD);
using TStretchBltCall = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, DWORD);
TStretchDIBitsCall& StretchDIBitsCall();
TStretchBltCall& StretchBltCall();

}  // namespace imaging
