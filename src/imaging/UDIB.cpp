#include "imaging/UDIB.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/BmpFile.h"
#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "imaging/UPalette.h"
#include "imaging/URects.h"
#include "rtl/Checked.h"
#include "rtl/Sjis.h"

namespace imaging {

const GUID IID_IBitsHolder = {0x2D47D5A1, 0x88E0, 0x11D2, {0x93, 0xA4, 0x00, 0x60, 0x97, 0x6E, 0x95, 0x10}};

namespace {

LONG liveHolders = 0;

const std::string& OutOfMemoryText() {
  static const std::string text = rtl::Utf8ToSjis("ﾒﾓﾘが足りません");
  return text;
}

// Memory from std::calloc, freed unless handed over.
class TCallocBlock {
 public:
  explicit TCallocBlock(std::size_t size) : block_(std::calloc(size == 0 ? 1 : size, 1)) {
    if (block_ == nullptr) throw rtl::EOutOfMemory(OutOfMemoryText());
  }
  ~TCallocBlock() { std::free(block_); }
  TCallocBlock(const TCallocBlock&) = delete;
  TCallocBlock& operator=(const TCallocBlock&) = delete;
  void* get() const { return block_; }
  void* release() { return std::exchange(block_, nullptr); }

 private:
  void* block_;
};

// The colour table of a DIB section: through a memory context when the section can be selected into
// one, otherwise (it is selected elsewhere) through GetDIBits.
UINT ReadSectionColors(HBITMAP section, const BITMAPINFOHEADER& header, RGBQUAD* colors) {
  framework::TMemoryDC dc;
  if (dc.get() == nullptr) throw framework::EOutOfResources();
  {
    const framework::TSelectGuard selected(dc.get(), section);
    if (selected.Selected()) return GetDIBColorTable(dc.get(), 0, 256, colors);
  }
  if (header.biBitCount > 8) return 0;
  TDIBInfo info{};
  info.Header = framework::bmp::InfoHeader(header.biWidth, header.biHeight, header.biBitCount);
  if (GetDIBits(dc.get(), section, 0, 0, nullptr, info.get(), DIB_RGB_COLORS) == 0) return 0;
  UINT count = info.Header.biClrUsed != 0 ? info.Header.biClrUsed : 1u << header.biBitCount;
  if (count > 256) count = 256;
  std::memcpy(colors, info.Colors, count * sizeof(RGBQUAD));
  return count;
}

// GDI reports the height of every section as positive; the row order shows only in the memory. Row
// r of the memory is compared with the image's row r counted from the bottom and from the top; the
// first row that matches one way only decides. An image whose rows match both ways draws the same
// either way.
bool SectionIsTopDown(HBITMAP section, const DIBSECTION& ds, const RGBQUAD* colors) {
  const int32_t height = ds.dsBm.bmHeight;
  const int32_t width = ds.dsBm.bmWidth;
  const int32_t bitCount = ds.dsBmih.biBitCount;
  if (height < 2) return false;
  const int32_t stride = RowBytes(width, bitCount, 32);
  const int64_t usedBits = static_cast<int64_t>(width) * bitCount;
  const auto fullBytes = static_cast<std::size_t>(usedBits / 8);
  const auto lastMask = static_cast<uint8_t>(0xFF00 >> (usedBits % 8));
  TDIBInfo query{};
  query.Header = ds.dsBmih;
  query.Header.biSize = sizeof(BITMAPINFOHEADER);
  query.Header.biHeight = height;
  query.Header.biSizeImage = 0;
  std::memcpy(query.Colors, colors, sizeof query.Colors);
  framework::TMemoryDC dc;
  if (dc.get() == nullptr) throw framework::EOutOfResources();
  std::vector<uint8_t> bottom(static_cast<std::size_t>(stride));
  std::vector<uint8_t> top(static_cast<std::size_t>(stride));
  auto same = [&](const uint8_t* a, const uint8_t* b) {
    if (std::memcmp(a, b, fullBytes) != 0) return false;
    return lastMask == 0 || ((a[fullBytes] ^ b[fullBytes]) & lastMask) == 0;
  };
  const auto* memory = static_cast<const uint8_t*>(ds.dsBm.bmBits);
  for (int32_t r = 0; r < (height + 1) / 2; ++r) {
    TDIBInfo info = query;
    if (GetDIBits(dc.get(), section, static_cast<UINT>(r), 1, bottom.data(), info.get(), DIB_RGB_COLORS) != 1) break;
    info = query;
    if (GetDIBits(dc.get(), section, static_cast<UINT>(height - 1 - r), 1, top.data(), info.get(), DIB_RGB_COLORS) !=
        1) {
      break;
    }
    const uint8_t* row = memory + static_cast<std::size_t>(r) * static_cast<std::size_t>(stride);
    const bool asBottomUp = same(row, bottom.data());
    const bool asTopDown = same(row, top.data());
    if (asBottomUp != asTopDown) return asTopDown;
  }
  return false;
}

}  // namespace

int StretchDIBPart(HDC dc, const framework::TRect& dest, const framework::TRect& source, const void* bits,
                   const TDIBInfo& info, DWORD rop) {
  const BITMAPINFOHEADER& header = info.Header;
  int32_t destTop = dest.Top;
  int32_t destH = RectHeight(dest);
  const int32_t destW = RectWidth(dest);
  const int32_t srcW = RectWidth(source);
  const int32_t srcH = RectHeight(source);
  if (header.biHeight >= 0 || srcH <= 0) {
    const int32_t srcY = header.biHeight >= 0 ? rtl::CheckedSub(header.biHeight, source.Bottom) : source.Top;
    return StretchDIBitsCall()(dc, dest.Left, destTop, destW, destH, source.Left, srcY, srcW, srcH, bits, info.get(),
                               DIB_RGB_COLORS, rop);
  }
  // Top-down data: the platform's stretch counts a source y other than 0 from the bottom row (Wine
  // does), so the rows are handed over as a DIB of their own, starting at the pixel memory of the
  // first, with source y 0, which every reading agrees on. Rows outside the image are cut off, and
  // the destination with them.
  const int32_t height = rtl::CheckedSub(0, header.biHeight);
  const int32_t top = source.Top < 0 ? 0 : source.Top;
  const int32_t bottom = source.Bottom > height ? height : source.Bottom;
  if (bottom <= top) return 1;
  if (top != source.Top || bottom != source.Bottom) {
    const int32_t cutTop = MulDiv(rtl::CheckedSub(top, source.Top), destH, srcH);
    const int32_t cutBottom = MulDiv(rtl::CheckedSub(bottom, source.Top), destH, srcH);
    destTop = rtl::CheckedAdd(dest.Top, cutTop);
    destH = rtl::CheckedSub(cutBottom, cutTop);
    if (destH == 0) return 1;
  }
  TDIBInfo part = info;
  part.Header.biHeight = -(bottom - top);
  part.Header.biSizeImage = 0;
  const int32_t stride = RowBytes(header.biWidth, header.biBitCount, 32);
  const auto* first = static_cast<const uint8_t*>(bits) + static_cast<std::size_t>(top) * static_cast<std::size_t>(stride);
  return StretchDIBitsCall()(dc, dest.Left, destTop, destW, destH, source.Left, 0, srcW, bottom - top, first,
                             part.get(), DIB_RGB_COLORS, rop);
}

int32_t RowBytes(int32_t width, int32_t bitCount, int32_t alignBits) {
  if (alignBits <= 0 || alignBits % 8 != 0 || (alignBits & (alignBits - 1)) != 0) throw rtl::ERangeError();
  // In 32 bits, as every size of an image here: a row of 2^31 bits overflows even though its bytes
  // would fit, so that no header can ask for a section of hundreds of megabytes with a few bytes.
  const int32_t bits = rtl::CheckedAdd(rtl::CheckedMul(width, bitCount), alignBits - 1);
  return (bits & -alignBits) / 8;
}

// --- bits holder ---

TBitsHolder::TBitsHolder() { InterlockedIncrement(&liveHolders); }

TBitsHolder::~TBitsHolder() {
  if (FOwnsBits) std::free(FBits);
  InterlockedDecrement(&liveHolders);
}

int32_t TBitsHolder::LiveCount() { return liveHolders; }

HRESULT STDMETHODCALLTYPE TBitsHolder::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IBitsHolder)) {
    *object = static_cast<IBitsHolder*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBitsHolder::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG STDMETHODCALLTYPE TBitsHolder::Release() {
  LONG count = InterlockedDecrement(&refCount_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

void STDMETHODCALLTYPE TBitsHolder::SetBits(void* bits, BOOL ownsBits) {
  FBits = bits;
  FOwnsBits = ownsBits != FALSE;
}

// --- DIB ---

void* TDIB::Bits() const {
  if (!FHolder) return nullptr;
  IBitsHolder* holder = nullptr;
  if (FAILED(FHolder->QueryInterface(IID_IBitsHolder, reinterpret_cast<void**>(&holder)))) return nullptr;
  TInterfaceRef<IBitsHolder> ref(holder);
  return ref->GetBits();
}

void TDIB::CopyFrom(const TDIB& source) {
  if (&source == this) return;
  FInfo = source.FInfo;
  FHolder = source.FHolder;
}

void TDIB::FromBitmap(framework::TBitmap& bitmap) {
  HBITMAP handle = bitmap.Handle();
  DIBSECTION ds{};
  bool isDIB = handle != nullptr && GetObjectW(handle, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr;
  HPALETTE palette = nullptr;
  if (isDIB) {
    if (ds.dsBmih.biBitCount <= 8) palette = bitmap.Palette();
  } else if (IsPaletteDisplay()) {
    palette = bitmap.Palette();
  }
  FromHandle(handle, palette);
}

void TDIB::FromHandle(HBITMAP bitmap, HPALETTE palette) {
  auto* holder = new TBitsHolder();
  holder->AddRef();
  FHolder.reset(holder);

  DIBSECTION ds{};
  if (bitmap != nullptr && GetObjectW(bitmap, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr) {
    GdiFlush();
    holder->SetBits(ds.dsBm.bmBits, FALSE);
    FInfo.Header = ds.dsBmih;
    if (ds.dsBmih.biCompression == BI_BITFIELDS) {
      std::memcpy(FInfo.Colors, ds.dsBitfields, sizeof ds.dsBitfields);
    } else {
      ReadSectionColors(bitmap, ds.dsBmih, FInfo.Colors);
    }
    if (SectionIsTopDown(bitmap, ds, FInfo.Colors)) FInfo.Header.biHeight = -ds.dsBm.bmHeight;
    return;
  }

  BITMAP bm{};
  if (bitmap == nullptr || GetObjectType(bitmap) != OBJ_BITMAP || GetObjectW(bitmap, sizeof bm, &bm) == 0) {
    throw framework::EInvalidGraphic();
  }
  int32_t depth = rtl::CheckedMul(bm.bmBitsPixel, bm.bmPlanes);
  int32_t height = bm.bmHeight < 0 ? rtl::CheckedSub(0, bm.bmHeight) : bm.bmHeight;
  int64_t size = static_cast<int64_t>(RowBytes(bm.bmWidth, depth, 32)) * height;
  rtl::RangeCheck(size, 0, INT32_MAX);
  TCallocBlock block(static_cast<std::size_t>(size));
  holder->SetBits(block.release(), TRUE);

  TDIBInfo info{};
  info.Header = framework::bmp::InfoHeader(bm.bmWidth, height, depth);
  {
    framework::TMemoryDC dc;
    if (dc.get() == nullptr) throw framework::EOutOfResources();
    framework::TPaletteGuard selected(dc.get(), palette, false);
    if (GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height), holder->GetBits(), info.get(), DIB_RGB_COLORS) ==
        0) {
      throw framework::EInvalidGraphic();
    }
  }
  FInfo = info;
  if (palette != nullptr) {
    PALETTEENTRY entries[256];
    UINT count = GetPaletteEntries(palette, 0, 256, entries);
    if (count > 256) count = 256;
    for (UINT k = 0; k < count; ++k) {
      FInfo.Colors[k].rgbBlue = entries[k].peBlue;
      FInfo.Colors[k].rgbGreen = entries[k].peGreen;
      FInfo.Colors[k].rgbRed = entries[k].peRed;
    }
  }
}

bool TDIB::Draw(framework::TCanvas& canvas, const framework::TRect& dest, const framework::TRect& source) const {
  int32_t destH = RectHeight(dest);
  int32_t destW = RectWidth(dest);
  int32_t srcH = RectHeight(source);
  int32_t srcW = RectWidth(source);
  // Nothing at all to stretch. One zero side alone goes to the device, whose answer counts.
  if (destH == 0 && destW == 0 && srcH == 0 && srcW == 0) return true;
  void* bits = Bits();
  if (bits == nullptr) return true;
  HDC dc = canvas.Handle();
  RECT visible = dest.ToRECT();
  if (!RectVisible(dc, &visible)) return true;
  framework::TStretchModeGuard mode(dc, COLORONCOLOR);
  return StretchDIBPart(dc, dest, source, bits, FInfo, canvas.CopyMode()) != 0;
}

void TDIB::DrawBanded(framework::TCanvas& canvas, const framework::TRect& dest,
                      const framework::TRect& source) const {
  if (Draw(canvas, dest, source)) return;
  // The part asked for, spread over the destination's rows: each row gets at least one source row.
  const int32_t h = RectHeight(source);
  const int32_t n = RectHeight(dest);
  for (int32_t i = 0; i < n; ++i) {
    framework::TRect band;
    band.Left = source.Left;
    band.Right = source.Right;
    band.Top = rtl::CheckedAdd(source.Top, rtl::CheckedMul(i, h) / n);
    band.Bottom = rtl::CheckedAdd(source.Top, rtl::CheckedMul(rtl::CheckedAdd(i, 1), h) / n);
    if (band.Bottom == band.Top) band.Bottom = rtl::CheckedAdd(band.Top, 1);
    int32_t y = rtl::CheckedAdd(dest.Top, i);
    framework::TRect row{dest.Left, y, dest.Right, rtl::CheckedAdd(y, 1)};
    Draw(canvas, row, band);
  }
}

TStretchDIBitsCall& StretchDIBitsCall() {
  static TStretchDIBitsCall call = &::StretchDIBits;
  return call;
}

TStretchBltCall& StretchBltCall() {
  static TStretchBltCall call = &::StretchBlt;
  return call;
}

}  // namespace imaging
