#include "framework/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "framework/BmpFile.h"
#include "framework/Errors.h"
#include "framework/Palettes.h"
#include "framework/TransparentBlt.h"
#include "rtl/Handles.h"
#include "rtl/ResourceStream.h"

namespace framework {

namespace {

using bmp::TBitmapInfo256;

int BitCount(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pf32bit:
    case TPixelFormat::pfCustom: return 32;
    case TPixelFormat::pfDevice: return 0;
  }
  return 0;
}

bool IsIndexed(TPixelFormat format) {
  return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
}

TPixelFormat FormatOfSection(const DIBSECTION& ds) {
  const bool masks = ds.dsBmih.biCompression == BI_BITFIELDS;
  auto hasMasks = [&](DWORD red, DWORD green, DWORD blue) {
    return ds.dsBitfields[0] == red && ds.dsBitfields[1] == green && ds.dsBitfields[2] == blue;
  };
  switch (ds.dsBmih.biBitCount) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16:
      if (!masks || hasMasks(0x7C00, 0x03E0, 0x001F)) return TPixelFormat::pf15bit;
      return hasMasks(0xF800, 0x07E0, 0x001F) ? TPixelFormat::pf16bit : TPixelFormat::pfCustom;
    case 24: return TPixelFormat::pf24bit;
    case 32:
      return !masks || hasMasks(0xFF0000, 0x00FF00, 0x0000FF) ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    default: return TPixelFormat::pfCustom;
  }
}

// The DIB format that holds a device bitmap of that many bits per pixel without loss.
TPixelFormat DibFormatForDepth(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 15: return TPixelFormat::pf15bit;
    case 16: return TPixelFormat::pf16bit;
    case 24: return TPixelFormat::pf24bit;
    default: return TPixelFormat::pf32bit;
  }
}

int ScreenDepth() {
  TWindowDC screen;
  return GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
}

// The colours of an indexed format without a palette: black and white, the 16 VGA colours, or
// those followed by a 6x6x6 cube and grey steps.
std::vector<RGBQUAD> StandardColors(int bitCount) {
  static const uint8_t vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  std::vector<RGBQUAD> colors;
  if (bitCount == 1) return {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (const auto& c : vga) colors.push_back({c[2], c[1], c[0], 0});
  if (bitCount == 4) return colors;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        colors.push_back({static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(r * 51), 0});
      }
    }
  }
  for (int i = 1; colors.size() < 256; ++i) {
    auto v = static_cast<BYTE>(i * 10);
    colors.push_back({v, v, v, 0});
  }
  return colors;
}

std::vector<RGBQUAD> PaletteColors(HPALETTE palette) {
  std::vector<RGBQUAD> colors;
  if (palette == nullptr) return colors;
  UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
  std::vector<PALETTEENTRY> entries(count);
  if (count > 0) count = GetPaletteEntries(palette, 0, count, entries.data());
  entries.resize(count);
  for (const PALETTEENTRY& e : entries) colors.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  return colors;
}

// The colours that a screen of 256 colours or fewer shows, for holding its device bitmaps.
std::vector<RGBQUAD> SystemColors() {
  TWindowDC screen;
  if ((GetDeviceCaps(screen.get(), RASTERCAPS) & RC_PALETTE) == 0) return {};
  PALETTEENTRY entries[256];
  UINT count = GetSystemPaletteEntries(screen.get(), 0, 256, entries);
  std::vector<RGBQUAD> colors;
  for (UINT i = 0; i < count; ++i) colors.push_back({entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
  return colors;
}

// A palette of the colours (the first 256); none for no colours.
TPaletteHandle MakePalette(std::span<const RGBQUAD> colors) {
  TPaletteHandle palette = PaletteOfColors(colors);
  if (!palette && !colors.empty()) throw EOutOfResources();
  return palette;
}

bool IsBlackAndWhite(const RGBQUAD* colors, UINT count) {
  auto rgb = [](const RGBQUAD& c) { return (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue; };
  return count == 2 && rgb(colors[0]) == 0 && rgb(colors[1]) == 0xFFFFFF;
}

// A copy of a DIB section, selected into dc, with the same header, colour table and bits.
TBitmapHandle CopySection(HBITMAP section, HDC dc) {
  GdiFlush();
  DIBSECTION ds{};
  GetObjectW(section, sizeof ds, &ds);
  TBitmapInfo256 info{};
  info.header = ds.dsBmih;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biSizeImage = 0;
  if (ds.dsBmih.biCompression == BI_BITFIELDS) {
    std::memcpy(info.colors, ds.dsBitfields, sizeof ds.dsBitfields);
  } else if (ds.dsBmih.biBitCount <= 8) {
    info.header.biClrUsed = GetDIBColorTable(dc, 0, 256, info.colors);
  }
  void* bits = nullptr;
  TBitmapHandle copy(
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!copy || bits == nullptr) throw EOutOfResources();
  std::size_t size = static_cast<std::size_t>(ds.dsBm.bmWidthBytes) * static_cast<std::size_t>(ds.dsBm.bmHeight);
  std::memcpy(bits, ds.dsBm.bmBits, size);
  return copy;
}

}  // namespace

class TBitmap::TImageCanvas : public TBitmapCanvas {
 public:
  explicit TImageCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

 protected:
  HBITMAP SelectedBitmap() override { return bitmap_.handle_.get(); }
  HPALETTE SelectedPalette() override { return bitmap_.ignorePalette_ ? nullptr : bitmap_.palette_.get(); }

 private:
  TBitmap& bitmap_;
};

const TClass& TBitmap::StaticClass() {
  static const TClass info = TClassBuilder<TBitmap>("TBitmap", &TGraphic::StaticClass());
  return info;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { FreeCanvasDC(); }

void TBitmap::FreeCanvasDC() {
  if (canvas_) canvas_->FreeHandle();
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TImageCanvas>(*this);
    canvas_->OnChange = [this](TObject*) { Changed(this); };
  }
  return *canvas_;
}

HDC TBitmap::SourceDC() const { return const_cast<TBitmap*>(this)->Canvas().Handle(); }

void TBitmap::Replace(HBITMAP image) {
  FreeCanvasDC();
  handle_.reset(image);
  if (image == nullptr) return;
  DIBSECTION ds{};
  const int size = GetObjectW(image, sizeof ds, &ds);
  width_ = ds.dsBm.bmWidth;
  height_ = ds.dsBm.bmHeight;
  if (size == sizeof ds && ds.dsBm.bmBits != nullptr) {
    format_ = FormatOfSection(ds);
    monochrome_ = false;
    if (ds.dsBmih.biBitCount == 1) {
      TMemoryDC dc;
      TSelectGuard selected(dc.get(), image);
      RGBQUAD colors[2];
      monochrome_ = IsBlackAndWhite(colors, GetDIBColorTable(dc.get(), 0, 2, colors));
    }
  } else {
    format_ = TPixelFormat::pfDevice;
    monochrome_ = ds.dsBm.bmBitsPixel == 1 && ds.dsBm.bmPlanes == 1;
  }
}

TBitmapHandle TBitmap::NewImage(int32_t width, int32_t height, TPixelFormat format, bool monochrome,
                                const std::vector<RGBQUAD>& colors) const {
  if (format == TPixelFormat::pfDevice) {
    TBitmapHandle image;
    if (monochrome) {
      image.reset(CreateBitmap(width, height, 1, 1, nullptr));
    } else {
      TWindowDC screen;
      image.reset(CreateCompatibleBitmap(screen.get(), width, height));
    }
    if (!image) throw EOutOfResources();
    return image;
  }
  TBitmapInfo256 info{};
  const int bitCount = BitCount(format);
  info.header = bmp::InfoHeader(width, height, bitCount);
  if (format == TPixelFormat::pf16bit) {
    info.header.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.colors, masks, sizeof masks);
  } else if (IsIndexed(format)) {
    std::vector<RGBQUAD> table = colors.empty() ? StandardColors(bitCount) : colors;
    std::size_t count = std::min<std::size_t>(table.size(), std::size_t{1} << bitCount);
    std::copy_n(table.begin(), count, info.colors);
    info.header.biClrUsed = static_cast<DWORD>(count);
  }
  void* bits = nullptr;
  TBitmapHandle image(
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!image) throw EOutOfResources();
  return image;
}

TBitmapHandle TBitmap::ConvertedImage(TPixelFormat format, bool monochrome, const std::vector<RGBQUAD>& colors) const {
  TBitmapHandle image = NewImage(width_, height_, format, monochrome, colors);
  HDC source = SourceDC();
  TMemoryDC dc;
  if (dc.get() == nullptr) throw EOutOfResources();
  TSelectGuard selected(dc.get(), image.get());
  // A device bitmap of 256 colours or fewer takes its colours through the bitmap's palette.
  const bool throughPalette = format == TPixelFormat::pfDevice && !monochrome && !ignorePalette_;
  TPaletteGuard palette(dc.get(), throughPalette ? palette_.get() : nullptr);
  BitBlt(dc.get(), 0, 0, width_, height_, source, 0, 0, SRCCOPY);
  return image;
}

std::vector<RGBQUAD> TBitmap::TableFor(TPixelFormat format) const {
  if (!IsIndexed(format)) return {};
  if (handle_ && format == format_) {
    RGBQUAD colors[256];
    UINT count = GetDIBColorTable(SourceDC(), 0, 256, colors);
    if (count > 0) return std::vector<RGBQUAD>(colors, colors + count);
  }
  std::vector<RGBQUAD> colors = PaletteColors(palette_.get());
  if (colors.empty() && format_ == TPixelFormat::pfDevice && BitCount(format) == 8) colors = SystemColors();
  return colors;
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    Replace(nullptr);
    width_ = width;
    height_ = height;
    Changed(this);
    return;
  }
  TBitmapHandle image = NewImage(width, height, format_, monochrome_, TableFor(format_));
  if (handle_) {
    HDC source = SourceDC();
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), image.get());
    const bool throughPalette = format_ == TPixelFormat::pfDevice && !monochrome_ && !ignorePalette_;
    TPaletteGuard palette(dc.get(), throughPalette ? palette_.get() : nullptr);
    BitBlt(dc.get(), 0, 0, std::min(width, width_), std::min(height, height_), source, 0, 0, SRCCOPY);
  }
  Replace(image.release());
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == TPixelFormat::pfCustom) throw EInvalidGraphicOperation::UnsupportedPixelFormat();
  if (format == format_ && (format != TPixelFormat::pfDevice || !monochrome_)) return;
  if (!handle_) {
    format_ = format;
    monochrome_ = false;
    Changed(this);
    return;
  }
  Replace(ConvertedImage(format, false, TableFor(format)).release());
  Changed(this);
}

TPixelFormat TBitmap::PixelFormat() const { return format_; }

TBitmapHandleType TBitmap::HandleType() const {
  return format_ == TPixelFormat::pfDevice ? TBitmapHandleType::bmDDB : TBitmapHandleType::bmDIB;
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  if (type == HandleType()) return;
  if (type == TBitmapHandleType::bmDDB) {
    if (!handle_) {
      format_ = TPixelFormat::pfDevice;
      monochrome_ = false;
    } else {
      Replace(ConvertedImage(TPixelFormat::pfDevice, monochrome_, {}).release());
    }
    Changed(this);
    return;
  }
  int depth = ScreenDepth();
  if (handle_) {
    BITMAP bm{};
    GetObjectW(handle_.get(), sizeof bm, &bm);
    depth = bm.bmBitsPixel * bm.bmPlanes;
  } else if (monochrome_) {
    depth = 1;
  }
  const TPixelFormat format = DibFormatForDepth(depth);
  if (!handle_) {
    format_ = format;
    monochrome_ = false;
  } else {
    Replace(ConvertedImage(format, false, TableFor(format)).release());
  }
  Changed(this);
}

bool TBitmap::Monochrome() const {
  if (!handle_) return format_ == TPixelFormat::pfDevice && monochrome_;
  return monochrome_;
}

void TBitmap::SetMonochrome(bool monochrome) {
  if (monochrome == Monochrome()) return;
  if (!handle_) {
    format_ = TPixelFormat::pfDevice;
    monochrome_ = monochrome;
  } else {
    Replace(ConvertedImage(TPixelFormat::pfDevice, monochrome, {}).release());
  }
  Changed(this);
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap != nullptr && GetObjectType(bitmap) != OBJ_BITMAP) throw EInvalidGraphic();
  TBitmapHandle owned(bitmap);
  TPaletteHandle palette;
  DIBSECTION ds{};
  if (bitmap != nullptr && GetObjectW(bitmap, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr &&
      ds.dsBmih.biBitCount <= 8) {
    FreeCanvasDC();
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), bitmap);
    RGBQUAD colors[256];
    UINT count = GetDIBColorTable(dc.get(), 0, 256, colors);
    palette = MakePalette({colors, count});
  }
  Replace(owned.release());
  if (bitmap == nullptr) {
    width_ = 0;
    height_ = 0;
  }
  if (palette) palette_ = std::move(palette);
  Changed(this);
}

void TBitmap::SetPalette(HPALETTE palette) {
  if (palette == palette_.get()) return;
  TPaletteHandle owned(palette);
  if (handle_ && IsIndexed(format_) && palette != nullptr) {
    // Re-rendered: the same colours, now as indexes into the new palette's colours.
    std::vector<RGBQUAD> colors = PaletteColors(palette);
    if (!colors.empty()) Replace(ConvertedImage(format_, false, colors).release());
  }
  FreeCanvasDC();
  palette_ = std::move(owned);
  Changed(this);
}

void TBitmap::PaletteNeeded() {
  if (palette_ || ignorePalette_ || !handle_ || !IsIndexed(format_)) return;
  RGBQUAD colors[256];
  UINT count = GetDIBColorTable(SourceDC(), 0, 256, colors);
  if (count == 0) return;
  palette_ = MakePalette({colors, count});
  canvas_->SelectPalette(palette_.get());
}

void TBitmap::SetIgnorePalette(bool ignore) {
  if (ignore == ignorePalette_) return;
  FreeCanvasDC();
  ignorePalette_ = ignore;
  Changed(this);
}

TColor TBitmap::TransparentColor() {
  if (transparentMode_ == TTransparentMode::tmFixed) return transparentColor_;
  if (Monochrome()) return clWhite;
  if (!handle_) return clDefault;
  return static_cast<TColor>(GetPixel(SourceDC(), 0, height_ - 1) & 0xFFFFFF);
}

void TBitmap::SetTransparentColor(TColor color) {
  TTransparentMode mode = color == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
  if (color == transparentColor_ && mode == transparentMode_) return;
  transparentColor_ = color;
  transparentMode_ = mode;
  Changed(this);
}

void* TBitmap::ScanLine(int32_t y) {
  if (!handle_ || y < 0 || y >= height_) throw EInvalidGraphicOperation::ScanLineRange();
  if (format_ == TPixelFormat::pfDevice) SetHandleType(TBitmapHandleType::bmDIB);
  GdiFlush();
  DIBSECTION ds{};
  GetObjectW(handle_.get(), sizeof ds, &ds);
  auto* bits = static_cast<uint8_t*>(ds.dsBm.bmBits);
  int32_t row = ds.dsBmih.biHeight > 0 ? height_ - 1 - y : y;
  return bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(ds.dsBm.bmWidthBytes);
}

void TBitmap::MakeEmpty() {
  Replace(nullptr);
  width_ = 0;
  height_ = 0;
  palette_.reset();
  Changed(this);
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == nullptr) {
    MakeEmpty();
    return;
  }
  auto* other = dynamic_cast<const TBitmap*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  TPaletteHandle palette(CopyPalette(other->palette_.get()));
  TBitmapHandle image;
  if (other->handle_) {
    if (other->format_ == TPixelFormat::pfDevice) {
      image = other->ConvertedImage(TPixelFormat::pfDevice, other->monochrome_, {});
    } else {
      image = CopySection(other->handle_.get(), other->SourceDC());
    }
  }
  Replace(image.release());
  palette_ = std::move(palette);
  width_ = other->width_;
  height_ = other->height_;
  format_ = other->format_;
  monochrome_ = other->monochrome_;
  ignorePalette_ = other->ignorePalette_;
  transparentMode_ = other->transparentMode_;
  transparentColor_ = other->transparentColor_;
  if (Transparent() != other->Transparent()) TGraphic::SetTransparent(other->Transparent());
  Changed(this);
}

void TBitmap::LoadFromStream(rtl::TStream& stream) {
  if (stream.GetSize() <= stream.GetPosition()) {
    MakeEmpty();
    return;
  }
  bmp::TBmpImage image = bmp::ReadBmp(stream);
  TPaletteHandle palette = MakePalette(image.colors);
  Replace(image.section.release());
  palette_ = std::move(palette);
  Changed(this);
}

void TBitmap::SaveToStream(rtl::TStream& stream) const {
  if (!handle_) return;
  if (format_ != TPixelFormat::pfDevice) {
    bmp::WriteDib(stream, handle_.get(), SourceDC(), true);
    return;
  }
  BITMAP bm{};
  GetObjectW(handle_.get(), sizeof bm, &bm);
  const TPixelFormat format = DibFormatForDepth(bm.bmBitsPixel * bm.bmPlanes);
  TBitmapHandle dib = ConvertedImage(format, false, TableFor(format));
  TMemoryDC dc;
  TSelectGuard selected(dc.get(), dib.get());
  bmp::WriteDib(stream, dib.get(), dc.get(), true);
}

void TBitmap::ReadData(rtl::TStream& stream) { ReadSizedData(stream); }

void TBitmap::WriteData(rtl::TStream& stream) const {
  rtl::TMemoryStream data;
  SaveToStream(data);
  const uint32_t length = static_cast<uint32_t>(data.GetSize());
  stream.WriteBuffer(&length, sizeof length);
  stream.WriteBuffer(data.Memory(), data.GetSize());
}

namespace {
// A bitmap resource is a BMP file without its file header.
void LoadPackedDIB(TBitmap& bitmap, const void* dib, int64_t size) {
  if (size > INT32_MAX - 14) throw EInvalidGraphic();
  rtl::TMemoryStream file;
  uint8_t header[14] = {'B', 'M'};
  uint32_t fileSize = static_cast<uint32_t>(size + 14);
  std::memcpy(header + 2, &fileSize, 4);
  file.WriteBuffer(header, sizeof header);
  file.WriteBuffer(dib, static_cast<int32_t>(size));
  file.SetPosition(0);
  bitmap.LoadFromStream(file);
}

}  // namespace

void TBitmap::LoadFromResourceName(HMODULE module, const std::string& name) {
  rtl::TResourceStream resource(module, name, MAKEINTRESOURCEW(2));
  LoadPackedDIB(*this, resource.Memory(), resource.GetSize());
}

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  if (data == nullptr || (format != CF_BITMAP && format != CF_DIB)) {
    throw EInvalidGraphic::UnsupportedClipboardFormat();
  }
  if (format == CF_DIB) {
    rtl::TGlobalLock lock(data);
    if (lock.get() == nullptr) throw EInvalidGraphic();
    LoadPackedDIB(*this, lock.get(), static_cast<int64_t>(GlobalSize(data)));
    return;
  }
  auto source = static_cast<HBITMAP>(data);
  if (GetObjectType(source) != OBJ_BITMAP) throw EInvalidGraphic();
  TPaletteHandle ownPalette(CopyPalette(palette));
  DIBSECTION ds{};
  const bool section = GetObjectW(source, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits != nullptr;
  TBitmapHandle image;
  {
    TMemoryDC dc;
    TSelectGuard selected(dc.get(), source);
    if (section) {
      image = CopySection(source, dc.get());
    } else {
      const bool monochrome = ds.dsBm.bmBitsPixel == 1 && ds.dsBm.bmPlanes == 1;
      image = NewImage(ds.dsBm.bmWidth, ds.dsBm.bmHeight, TPixelFormat::pfDevice, monochrome, {});
      TMemoryDC target;
      TSelectGuard targetSelected(target.get(), image.get());
      TPaletteGuard sourcePalette(dc.get(), palette);
      TPaletteGuard targetPalette(target.get(), monochrome ? nullptr : ownPalette.get());
      BitBlt(target.get(), 0, 0, ds.dsBm.bmWidth, ds.dsBm.bmHeight, dc.get(), 0, 0, SRCCOPY);
    }
  }
  Replace(image.release());
  palette_ = std::move(ownPalette);
  Changed(this);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const {
  format = CF_BITMAP;
  data = nullptr;
  palette = nullptr;
  if (!handle_) return;
  TBitmapHandle image = ConvertedImage(TPixelFormat::pfDevice, Monochrome(), {});
  TPaletteHandle copy(CopyPalette(palette_.get()));
  // Handed over: the receiver owns the bitmap and the palette from here on.
  data = image.release();
  palette = copy.release();
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  HDC dest = canvas.Handle();
  PaletteNeeded();
  HDC source = SourceDC();
  TPaletteGuard palette(dest, ignorePalette_ ? nullptr : palette_.get());
  if (Transparent()) {
    DrawTransparent(dest, rect, source, width_, height_, ColorToRGB(TransparentColor()));
  } else {
    TStretchModeGuard mode(dest, COLORONCOLOR);
    StretchBlt(dest, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, width_, height_,
               canvas.CopyMode());
  }
}

}  // namespace framework
