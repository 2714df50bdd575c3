#include "imaging/USafetyBitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "data/UZLIB.h"
#include "framework/BmpFile.h"
#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "framework/Palettes.h"
#include "framework/Picture.h"
#include "imaging/EGdiError.h"
#include "imaging/UCanvas.h"
#include "imaging/UPalette.h"
#include "rtl/Bytes.h"
#include "rtl/Checked.h"
#include "rtl/Exception.h"

namespace imaging {

using framework::TBitmap;
using framework::TCanvas;
using framework::TPixelFormat;
using framework::TRect;

namespace {

constexpr uint16_t kBM = 0x4D42;
constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderSize = 40;
constexpr int32_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
// File offsets of the fields read here.
constexpr int32_t kOffBitsAt = 10;
constexpr int32_t kWidthAt = 18;
constexpr int32_t kHeightAt = 22;
constexpr int32_t kPlanesAt = 26;
constexpr int32_t kBitCountAt = 28;
constexpr int32_t kCompressionAt = 30;
constexpr int32_t kSizeImageAt = 34;
constexpr int32_t kClrUsedAt = 46;
// A few bytes of run-length data can describe any size; a 32-bit process holds no larger image.
constexpr int64_t kMaxRleImageBytes = int64_t{256} * 1024 * 1024;

// The file header and a 40-byte info header of a BMP at the stream's position. False when the
// data is not that, or ends before the 54 bytes.
bool ReadHeaders(rtl::TStream& stream, uint8_t (&headers)[kHeadersSize]) {
  if (stream.Read(headers, kFileHeaderSize) != kFileHeaderSize) return false;
  if (rtl::ReadLE16(headers) != kBM) return false;
  if (stream.Read(headers + kFileHeaderSize, 4) != 4) return false;
  if (rtl::ReadLE32(headers + kFileHeaderSize) != kInfoHeaderSize) return false;
  constexpr int32_t rest = kInfoHeaderSize - 4;
  return stream.Read(headers + kFileHeaderSize + 4, rest) == rest;
}

int32_t BytesLeft(rtl::TStream& stream) { return rtl::CheckedSub(stream.GetSize(), stream.GetPosition()); }

// The rest of the stream in a memory stream of its own, from position 0.
void CopyRest(rtl::TStream& stream, rtl::TMemoryStream& copy) {
  const int32_t left = BytesLeft(stream);
  copy.SetSize(left);
  if (left > 0) copy.CopyFrom(stream, left);
  copy.SetPosition(0);
}

// What a draw changes on its canvas, put back on every way out: background and text colour (set
// to white and black for the monochrome mask), copy mode and stretch mode.
class TDrawStateGuard {
 public:
  explicit TDrawStateGuard(TCanvas& canvas)
      : canvas_(canvas),
        copyMode_(canvas.CopyMode()),
        text_(canvas.Handle()),
        // The present mode, set again: the guard's part is putting it back.
        stretch_(canvas.Handle(), GetStretchBltMode(canvas.Handle())) {
    SetBkColor(canvas.Handle(), RGB(255, 255, 255));
    SetTextColor(canvas.Handle(), RGB(0, 0, 0));
  }
  ~TDrawStateGuard() { canvas_.SetCopyMode(copyMode_); }
  TDrawStateGuard(const TDrawStateGuard&) = delete;
  TDrawStateGuard& operator=(const TDrawStateGuard&) = delete;

 private:
  TCanvas& canvas_;
  DWORD copyMode_;
  framework::TTextStateGuard text_;
  framework::TStretchModeGuard stretch_;
};

// Calls mark(x, y) for every pixel of the bitmap selected into source whose colour, as the
// context shows it (through its palette), is rgb: what GetPixel reports for each pixel, read a tile
// at a time into a 32-bit section rather than one call per pixel.
template <typename Mark>
void MarkDeviceColour(HDC source, int32_t width, int32_t height, COLORREF rgb, Mark&& mark) {
  constexpr int32_t kTilePixels = 1 << 18;
  const int32_t tileWidth = std::min(width, kTilePixels);
  const int32_t tileHeight = std::max(1, std::min(height, kTilePixels / tileWidth));
  TDIBInfo info{};
  info.Header = framework::bmp::InfoHeader(tileWidth, -tileHeight, 32);
  void* bits = nullptr;
  framework::TBitmapHandle tile(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
  framework::TMemoryDC dc;
  if (!tile || bits == nullptr || dc.get() == nullptr) throw framework::EOutOfResources();
  framework::TSelectGuard selected(dc.get(), tile.get());
  const auto* pixels = static_cast<const uint32_t*>(bits);
  const uint32_t wanted = (uint32_t{GetRValue(rgb)} << 16) | (uint32_t{GetGValue(rgb)} << 8) | GetBValue(rgb);
  for (int32_t top = 0; top < height; top += tileHeight) {
    const int32_t rows = std::min(tileHeight, height - top);
    for (int32_t left = 0; left < width; left += tileWidth) {
      const int32_t columns = std::min(tileWidth, width - left);
      BitBlt(dc.get(), 0, 0, columns, rows, source, left, top, SRCCOPY);
      GdiFlush();
      for (int32_t y = 0; y < rows; ++y) {
        const uint32_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(tileWidth);
        for (int32_t x = 0; x < columns; ++x) {
          if ((row[x] & 0xFFFFFF) == wanted) mark(left + x, top + y);
        }
      }
    }
  }
}

// Whether ORing white into the indexed bitmap gives white and ORing black changes nothing: its
// colour table is full, black is entry 0 and white is the last entry and no other. True colour
// formats always do.
bool OrsToWhite(TBitmap& bitmap) {
  int bits = 0;
  switch (bitmap.PixelFormat()) {
    case TPixelFormat::pf1bit: bits = 1; break;
    case TPixelFormat::pf4bit: bits = 4; break;
    case TPixelFormat::pf8bit: bits = 8; break;
    default: return true;
  }
  RGBQUAD colours[kMaxPaletteEntries];
  const UINT count = GetDIBColorTable(bitmap.Canvas().Handle(), 0, kMaxPaletteEntries, colours);
  const UINT last = (1u << bits) - 1;
  if (count != last + 1) return false;
  auto rgb = [](const RGBQUAD& c) { return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue); };
  if (rgb(colours[0]) != RGB(0, 0, 0)) return false;
  for (UINT i = 0; i < last; ++i) {
    if (rgb(colours[i]) == RGB(255, 255, 255)) return false;
  }
  return rgb(colours[last]) == RGB(255, 255, 255);
}

// The part of a picture that the mapping of its own context selects: the device rectangle of the
// logical rectangle (0, 0)-(width, height), as StretchDrawPart maps it. While the guard lives the
// context is unmapped, so that what reads the picture's pixels through it (the automatic
// transparent colour, the mask of the device formats, the masked copy) finds them where they are.
class TUnmappedPicture {
 public:
  TUnmappedPicture(TCanvas& canvas, int32_t width, int32_t height) : canvas_(canvas), part_{0, 0, width, height} {
    if (!canvas.HandleAllocated()) return;
    HDC dc = canvas.Handle();
    POINT corners[2] = {{0, 0}, {width, height}};
    if (!LPtoDP(dc, corners, 2)) return;
    mode_ = GetMapMode(dc);
    const TRect whole = part_;
    part_ = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    if (mode_ == MM_TEXT && part_ == whole) return;
    GetWindowOrgEx(dc, &windowOrigin_);
    GetWindowExtEx(dc, &windowExtent_);
    GetViewportOrgEx(dc, &viewportOrigin_);
    GetViewportExtEx(dc, &viewportExtent_);
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    dc_ = dc;
  }
  ~TUnmappedPicture() {
    // Only to the context it changed, if the picture still draws through it.
    if (dc_ == nullptr || !canvas_.HandleAllocated() || canvas_.Handle() != dc_) return;
    SetMapMode(dc_, mode_);
    SetWindowExtEx(dc_, windowExtent_.cx, windowExtent_.cy, nullptr);
    SetViewportExtEx(dc_, viewportExtent_.cx, viewportExtent_.cy, nullptr);
    SetWindowOrgEx(dc_, windowOrigin_.x, windowOrigin_.y, nullptr);
    SetViewportOrgEx(dc_, viewportOrigin_.x, viewportOrigin_.y, nullptr);
  }
  TUnmappedPicture(const TUnmappedPicture&) = delete;
  TUnmappedPicture& operator=(const TUnmappedPicture&) = delete;

  const TRect& Part() const { return part_; }

 private:
  TCanvas& canvas_;
  TRect part_;
  HDC dc_ = nullptr;  // set when the mapping was taken away
  int mode_ = MM_TEXT;
  POINT windowOrigin_{};
  SIZE windowExtent_{};
  POINT viewportOrigin_{};
  SIZE viewportExtent_{};
};

bool& NTFamilySetting() {
  static bool value = IsWinNT();
  return value;
}

int registrations = 0;

}  // namespace

const framework::TClass& TSafetyBitmap::StaticClass() {
  static const framework::TClass info =
      framework::TClassBuilder<TSafetyBitmap>("TSafetyBitmap", &TBitmap::StaticClass());
  return info;
}

TSafetyBitmap::TSafetyBitmap() { FMask.SetMonochrome(true); }

TSafetyBitmap::~TSafetyBitmap() = default;

bool TSafetyBitmap::NTFamily() { return NTFamilySetting(); }
void TSafetyBitmap::SetNTFamily(bool value) { NTFamilySetting() = value; }

void TSafetyBitmap::Changed(framework::TObject* sender) {
  // Stale before anyone hears of the change: a listener that draws at once must not get the old mask.
  FMaskStale = true;
  FMaskedImageStale = true;
  TBitmap::Changed(sender);
}

void TSafetyBitmap::Assign(const framework::TPersistent* source) {
  TBitmap::Assign(source);
  auto* other = dynamic_cast<const TSafetyBitmap*>(source);
  if (other == nullptr || other == this) return;
  FMask.Assign(&other->FMask);
  FMaskedImage.Assign(&other->FMaskedImage);
  FMaskStale = other->FMaskStale;
  FMaskedImageStale = other->FMaskedImageStale;
  if (!NTFamily()) FMaskDIB.CopyFrom(other->FMaskDIB);
}

// --- loading ---

bool TSafetyBitmap::NeedsHeaderRepair(rtl::TStream& stream) {
  rtl::TPositionGuard guard(stream);
  uint8_t headers[kHeadersSize];
  bool repair = false;
  if (ReadHeaders(stream, headers) && rtl::ReadLE32(headers + kCompressionAt) == BI_RGB) {
    const int32_t height = rtl::ReadLEInt32(headers + kHeightAt);
    const int32_t rows = height < 0 ? rtl::CheckedSub(0, height) : height;
    const int32_t rowBytes = RowBytes(rtl::ReadLEInt32(headers + kWidthAt), rtl::ReadLE16(headers + kBitCountAt), 32);
    const int32_t imageSize = rtl::CheckedMul(rowBytes, rows);
    repair = int64_t{imageSize} != int64_t{rtl::ReadLE32(headers + kSizeImageAt)};
  }
  guard.Restore();
  return repair;
}

bool TSafetyBitmap::IsRLEBitmap(rtl::TStream& stream) {
  rtl::TPositionGuard guard(stream);
  uint8_t headers[kHeadersSize];
  bool rle = false;
  if (ReadHeaders(stream, headers)) {
    const uint32_t compression = rtl::ReadLE32(headers + kCompressionAt);
    rle = compression == BI_RLE8 || compression == BI_RLE4;
  }
  guard.Restore();
  return rle;
}

void TSafetyBitmap::LoadFromStream(rtl::TStream& stream) {
  SetIgnorePalette(false);
  int32_t size = 0;
  if (data::ReadZLIBHeader(stream, size)) {
    rtl::TMemoryStream inflated;
    data::ZLIBDecompressToMemory(stream, inflated, size);
    if (NeedsHeaderRepair(inflated)) {
      RepairAndLoad(inflated);
    } else {
      inflated.SetPosition(0);
      LoadRLEBitmap(inflated);
    }
  } else if (NeedsHeaderRepair(stream)) {
    rtl::TMemoryStream copy;
    CopyRest(stream, copy);
    RepairAndLoad(copy);
  } else {
    LoadRLEBitmap(stream);
  }
  NormalizePalette();
}

void TSafetyBitmap::RepairAndLoad(rtl::TMemoryStream& data) {
  // The platform loader then takes the image size from the rows.
  const uint32_t zero = 0;
  data.SetPosition(kSizeImageAt);
  data.WriteBuffer(&zero, sizeof zero);
  data.SetPosition(0);
  TBitmap::LoadFromStream(data);
}

void TSafetyBitmap::LoadRLEBitmap(rtl::TStream& stream) {
  if (!IsRLEBitmap(stream)) {
    TBitmap::LoadFromStream(stream);
    return;
  }
  if (auto* memory = dynamic_cast<rtl::TCustomMemoryStream*>(&stream)) {
    const int32_t position = stream.GetPosition();
    const int32_t left = BytesLeft(stream);
    const auto* bytes = static_cast<const uint8_t*>(memory->Memory()) + position;
    stream.Seek(0, rtl::TSeekOrigin::soEnd);
    LoadRLEBytes(bytes, left);
    return;
  }
  rtl::TMemoryStream copy;
  CopyRest(stream, copy);
  LoadRLEBytes(static_cast<const uint8_t*>(copy.Memory()), copy.GetSize());
}

void TSafetyBitmap::LoadRLEBytes(const uint8_t* data, int32_t size) {
  if (size < kHeadersSize) throw framework::EInvalidGraphic();
  const bool rle4 = rtl::ReadLE32(data + kCompressionAt) == BI_RLE4;
  const int32_t bitCount = rle4 ? 4 : 8;

  const uint32_t clrUsed = rtl::ReadLE32(data + kClrUsedAt);
  rtl::RangeCheck(clrUsed, 0, 65535);
  const int32_t colorCount = clrUsed != 0 ? static_cast<int32_t>(clrUsed) : (rle4 ? 16 : 256);
  // The palette record has room for 256 entries.
  rtl::RangeCheck(colorCount - 1, 0, kMaxPaletteEntries - 1);

  // The stretch reads the info header, colorCount table entries and biSizeImage bytes from
  // bfOffBits: all of them must lie in the data. biSizeImage 0 means the rest of the data.
  const int32_t width = rtl::ReadLEInt32(data + kWidthAt);
  const int32_t height = rtl::ReadLEInt32(data + kHeightAt);
  if (rtl::ReadLE16(data + kPlanesAt) != 1 || rtl::ReadLE16(data + kBitCountAt) != bitCount) {
    throw framework::EInvalidGraphic();
  }
  if (width <= 0 || height <= 0) throw framework::EInvalidGraphic();  // run-length rows go bottom-up only
  if (int64_t{RowBytes(width, bitCount, 32)} * height > kMaxRleImageBytes) throw framework::EInvalidGraphic();
  const int32_t tableSize = colorCount * static_cast<int32_t>(sizeof(RGBQUAD));
  if (tableSize > size - kHeadersSize) throw framework::EInvalidGraphic();
  const uint32_t offBits = rtl::ReadLE32(data + kOffBitsAt);
  if (offBits > static_cast<uint32_t>(size)) throw framework::EInvalidGraphic();
  const int32_t available = size - static_cast<int32_t>(offBits);
  const uint32_t sizeImage = rtl::ReadLE32(data + kSizeImageAt);
  const int32_t runBytes = sizeImage != 0 ? static_cast<int32_t>(std::min<uint32_t>(sizeImage, INT32_MAX)) : available;
  // Less than one code pair is no run-length data at all.
  if (runBytes > available || runBytes < 2) throw framework::EInvalidGraphic();

  // A fresh image, so that pixels the runs skip are index 0 and not what a previous load left.
  TBitmap::Assign(nullptr);
  SetPixelFormat(rle4 ? TPixelFormat::pf4bit : TPixelFormat::pf8bit);

  // The colour table's entries are RGBQUADs (blue, green, red, reserved), bytes without alignment.
  const auto* table = reinterpret_cast<const RGBQUAD*>(data + kHeadersSize);
  framework::TPaletteHandle palette =
      framework::PaletteOfColors({table, static_cast<std::size_t>(colorCount)});
  if (!palette) throw EGdiError::LastError("create palette");
  SetPalette(palette.release());

  SetSize(width, height);
  HDC dc = Canvas().Handle();
  if (clrUsed != 0) {
    RGBQUAD colors[kMaxPaletteEntries];
    std::memcpy(colors, table, clrUsed * sizeof(RGBQUAD));
    SetDIBColorTable(dc, 0, clrUsed, colors);
  }
  PaletteNeeded();

  TDIBInfo info{};
  std::memcpy(&info.Header, data + kFileHeaderSize, kInfoHeaderSize);
  std::memcpy(info.Colors, table, static_cast<std::size_t>(tableSize));
  info.Header.biSizeImage = static_cast<DWORD>(runBytes);
  GdiFlush();
  const int lines = StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, data + offBits, info.get(),
                                  DIB_RGB_COLORS, SRCCOPY);
  if (lines == 0) throw framework::EInvalidGraphic();
  GdiFlush();
  Changed(this);
}

void TSafetyBitmap::NormalizePalette() {
  const TPixelFormat format = PixelFormat();
  HPALETTE palette = Palette();
  if ((format != TPixelFormat::pf4bit && format != TPixelFormat::pf8bit) || palette == nullptr) return;
  const UINT last = format == TPixelFormat::pf4bit ? 15 : 255;
  if (GetNearestPaletteIndex(palette, RGB(0, 0, 0)) == 0 && GetNearestPaletteIndex(palette, RGB(255, 255, 255)) == last) {
    return;
  }
  framework::TPaletteHandle arranged = framework::CopyPalette(palette);
  ArrangePalette(arranged.get(), true, static_cast<int32_t>(last + 1));
  SetPalette(arranged.release());
}

void TSafetyBitmap::ReadData(rtl::TStream& stream) {
  uint32_t length = 0;
  stream.ReadBuffer(&length, sizeof length);
  if (length == 0) {
    // A stored empty picture; the stream's copy would take a count of 0 as "everything".
    rtl::TMemoryStream empty;
    LoadFromStream(empty);
    return;
  }
  const int32_t left = BytesLeft(stream);
  if (int64_t{length} > left) throw rtl::EReadError();
  const auto count = static_cast<int32_t>(length);
  if (count == left) {
    LoadFromStream(stream);
    return;
  }
  rtl::TMemoryStream data;
  data.SetSize(count);
  data.CopyFrom(stream, count);
  data.SetPosition(0);
  LoadFromStream(data);
}

// --- transparent drawing ---

int32_t TSafetyBitmap::FindPaletteIndex(COLORREF colour) const {
  HPALETTE palette = Palette();
  if (palette == nullptr) return -1;
  const UINT index = GetNearestPaletteIndex(palette, colour);
  if (index == CLR_INVALID) return -1;
  PALETTEENTRY entry{};
  if (GetPaletteEntries(palette, index, 1, &entry) != 1) return -1;
  if (RGB(entry.peRed, entry.peGreen, entry.peBlue) != colour) return -1;
  return static_cast<int32_t>(index);
}

void TSafetyBitmap::BuildMask(framework::TColor colour) {
  if (!FMaskStale) return;
  const int32_t width = Width();
  const int32_t height = Height();
  FMask.SetSize(width, height);
  // A plain 24-bit RGB value is compared: the top byte goes, a system colour is not looked up.
  const COLORREF rgb = static_cast<COLORREF>(colour) & 0xFFFFFF;
  if (width >= 1 && height >= 1 && FMask.Handle() != nullptr) {
    BITMAP description{};
    if (GetObjectW(FMask.Handle(), sizeof description, &description) == 0) throw framework::EInvalidGraphic();
    const int32_t rowBytes = description.bmWidthBytes;
    std::vector<uint8_t> bits(static_cast<std::size_t>(rtl::CheckedMul(rowBytes, height)));
    auto mark = [&](int32_t x, int32_t y) {
      bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes) + static_cast<std::size_t>(x / 8)] |=
          static_cast<uint8_t>(0x80 >> (x % 8));
    };
    const uint8_t red = GetRValue(rgb);
    const uint8_t green = GetGValue(rgb);
    const uint8_t blue = GetBValue(rgb);
    switch (PixelFormat()) {
      case TPixelFormat::pf8bit: {
        PaletteNeeded();
        const int32_t index = FindPaletteIndex(rgb);
        if (index < 0) break;
        for (int32_t y = 0; y < height; ++y) {
          const auto* row = static_cast<const uint8_t*>(ScanLine(y));
          for (int32_t x = 0; x < width; ++x) {
            if (row[x] == index) mark(x, y);
          }
        }
        break;
      }
      case TPixelFormat::pf24bit:
      case TPixelFormat::pf32bit: {
        const int32_t step = PixelFormat() == TPixelFormat::pf24bit ? 3 : 4;
        for (int32_t y = 0; y < height; ++y) {
          const auto* pixel = static_cast<const uint8_t*>(ScanLine(y));
          for (int32_t x = 0; x < width; ++x, pixel += step) {
            if (pixel[0] == blue && pixel[1] == green && pixel[2] == red) mark(x, y);
          }
        }
        break;
      }
      default:
        MarkDeviceColour(Canvas().Handle(), width, height, rgb, mark);
        break;
    }
    SetBitmapBits(FMask.Handle(), static_cast<DWORD>(bits.size()), bits.data());
  }
  if (!NTFamily()) FMaskDIB.FromBitmap(FMask);
  FMaskStale = false;
}

void TSafetyBitmap::BuildMaskedImage() {
  if (!FMaskedImageStale) return;
  FMaskedImage.Assign(this);
  FMaskedImage.SetIgnorePalette(false);
  FMaskedImage.SetTransparent(false);
  // The OR works on colour indexes: only a table with black at 0 and white at the last index alone
  // turns transparent pixels white and leaves the others. Any other table gets true colours.
  if (!OrsToWhite(FMaskedImage)) FMaskedImage.SetPixelFormat(TPixelFormat::pf24bit);
  TCanvas& canvas = FMaskedImage.Canvas();
  canvas.SetCopyMode(SRCPAINT);
  // Set mask bits come out white and are ORed in; clear ones come out black and change nothing.
  HDC dc = canvas.Handle();
  SetBkColor(dc, RGB(255, 255, 255));
  SetTextColor(dc, RGB(0, 0, 0));
  if (NTFamily()) {
    SetStretchBltMode(dc, COLORONCOLOR);
    canvas.Draw(0, 0, FMask);
  } else {
    const TRect all{0, 0, Width(), Height()};
    FMaskDIB.Draw(canvas, all, all);
  }
  FMaskedImageStale = false;
}

void TSafetyBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  TDrawStateGuard state(canvas);
  TRect part;
  {
    TUnmappedPicture unmapped(Canvas(), Width(), Height());
    part = unmapped.Part();
    if (Transparent()) {
      BuildMask(TransparentColor());
      BuildMaskedImage();
    }
  }
  if (IsPrinterCanvas(canvas)) {
    DrawOnPrinter(canvas, rect, part);
  } else {
    DrawOnScreen(canvas, rect, part);
  }
}

void TSafetyBitmap::DrawOnScreen(TCanvas& canvas, const TRect& rect, const TRect& part) {
  if (!Transparent()) {
    // The base draw goes through the picture's context, mapped to the part as it is.
    TBitmap::Draw(canvas, rect);
    return;
  }
  SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
  // The mask whitens the opaque pixels of rect; the masked copy, ANDed in, puts the picture there.
  canvas.SetCopyMode(MERGEPAINT);
  if (NTFamily()) {
    StretchDrawPart(canvas, rect, FMask, part);
  } else {
    FMaskDIB.Draw(canvas, rect, part);
  }
  canvas.SetCopyMode(SRCAND);
  StretchDrawPart(canvas, rect, FMaskedImage, part);
}

void TSafetyBitmap::DrawOnPrinter(TCanvas& canvas, const TRect& rect, const TRect& part) {
  if (NTFamily()) {
    framework::TCanvasLock pictureLock(Canvas());
    framework::TCanvasLock maskLock(FMask.Canvas());
    framework::TCanvasLock maskedLock(FMaskedImage.Canvas());
    if (Transparent()) {
      canvas.SetCopyMode(MERGEPAINT);
      SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
      StretchDrawPart(canvas, rect, FMask, part);
      canvas.SetCopyMode(SRCAND);
      StretchDrawPart(canvas, rect, FMaskedImage, part);
    } else {
      TBitmap::Draw(canvas, rect);
    }
    return;
  }
  // A device that refuses the whole stretch gets the part row by row.
  TDIB image;
  if (Transparent()) {
    image.FromBitmap(FMaskedImage);
    canvas.SetCopyMode(MERGEPAINT);
    FMaskDIB.DrawBanded(canvas, rect, part);
    canvas.SetCopyMode(SRCAND);
  } else {
    image.FromBitmap(*this);
  }
  image.DrawBanded(canvas, rect, part);
}

// --- registration ---

void InitSafetyBitmap() {
  if (registrations > 0) {
    ++registrations;
    return;
  }
  framework::RegisterClasses({&TSafetyBitmap::StaticClass()});
  framework::TPicture::RegisterFileFormat("BMP", "Bitmaps", TSafetyBitmap::StaticClass());
  framework::TPicture::RegisterFileFormat("CBM", "Compressed Bitmaps", TSafetyBitmap::StaticClass());
  registrations = 1;
}

void DoneSafetyBitmap() {
  if (registrations == 0 || --registrations > 0) return;
  framework::TPicture::UnregisterGraphicClass(TSafetyBitmap::StaticClass());
}

}  // namespace imaging
