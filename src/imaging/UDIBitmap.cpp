#include "imaging/UDIBitmap.h"

#include <cstring>
#include <utility>
#include <vector>

#include "data/UGMEMStream.h"
#include "framework/BmpFile.h"
#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "framework/Palettes.h"
#include "imaging/UPalette.h"
#include "imaging/URects.h"
#include "rtl/Bytes.h"
#include "rtl/Checked.h"
#include "rtl/Sjis.h"

namespace imaging {

namespace {

bool defaultDrawDirect = true;

constexpr uint16_t kBM = 0x4D42;
// A 32-bit process cannot hold sections much larger; run-length data could otherwise ask for any
// size with a few bytes.
constexpr int64_t kMaxSectionBytes = int64_t{256} * 1024 * 1024;

const std::string& UnsupportedClipboardText() {
  static const std::string text = rtl::Utf8ToSjis("未対応のｸﾘｯﾌﾟﾎﾞｰﾄﾞ ﾃﾞｰﾀです");
  return text;
}

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}

int32_t AbsHeight(int32_t height) { return height < 0 ? rtl::CheckedSub(0, height) : height; }

int32_t TableSizeFor(int32_t bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

int32_t ColorCountOf(const BITMAPINFOHEADER& header) {
  if (header.biClrUsed != 0) return static_cast<int32_t>(header.biClrUsed);
  return TableSizeFor(header.biBitCount);
}

// Header plus colour table (plus the masks of a bit-field DIB) as written here.
uint32_t InfoSizeOf(const BITMAPINFOHEADER& header) {
  uint32_t size = sizeof(BITMAPINFOHEADER) + 4 * static_cast<uint32_t>(ColorCountOf(header));
  if (header.biCompression == BI_BITFIELDS) size += 12;
  return size;
}

// Lets go of the graphic's canvas context on the way out, unless keep: a context that a call made
// for its own work is not held after it (the canvas may not exist yet when the guard is made).
class TCanvasContextRelease {
 public:
  TCanvasContextRelease(const TDIBitmap& graphic, bool keep) : graphic_(graphic), keep_(keep) {}
  ~TCanvasContextRelease() {
    if (!keep_ && graphic_.CanvasAllocated()) graphic_.Canvas().FreeHandle();
  }
  TCanvasContextRelease(const TCanvasContextRelease&) = delete;
  TCanvasContextRelease& operator=(const TCanvasContextRelease&) = delete;

 private:
  const TDIBitmap& graphic_;
  bool keep_;
};

// The header of a packed DIB as read, with what is needed to make and fill the section.
struct TParsedDIB {
  TDIBInfo info{};             // 40-byte header, colours or masks: what the section is made from
  uint32_t compression = 0;    // as read; 0 after a core header
  uint32_t compressedSize = 0; // biSizeImage of run-length data
};

bool ValidHeaderSize(uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Reads header and colour table, checking everything the section and the pixel read rely on.
// Stricter than the framework bitmap's reader (framework::bmp::ReadBmp), which this graphic cannot
// use: it takes only the six header sizes that the formats define (not any size from 40 to 124),
// no more than 256 colours, and the run-length data's biSizeImage as its length; data that ends
// early is the stream's read error with the graphic unchanged (not an image cut short); and a
// packed DIB from the clipboard has no file header for that reader to start from.
TParsedDIB ReadDIBHeader(rtl::TStream& stream) {
  uint8_t raw[124] = {};
  stream.ReadBuffer(raw, 4);
  const uint32_t headerSize = rtl::ReadLE32(raw);
  if (!ValidHeaderSize(headerSize)) throw framework::EInvalidGraphic();
  stream.ReadBuffer(raw + 4, static_cast<int32_t>(headerSize - 4));

  TParsedDIB parsed;
  BITMAPINFOHEADER& h = parsed.info.Header;
  const bool core = headerSize == 12;
  int32_t planes;
  if (core) {
    h = framework::bmp::InfoHeader(rtl::ReadLE16(raw + 4), rtl::ReadLE16(raw + 6), rtl::ReadLE16(raw + 10));
    planes = rtl::ReadLE16(raw + 8);
  } else {
    h = framework::bmp::InfoHeader(rtl::ReadLEInt32(raw + 4), rtl::ReadLEInt32(raw + 8), rtl::ReadLE16(raw + 14),
                                   rtl::ReadLE32(raw + 16));
    planes = rtl::ReadLE16(raw + 12);
    h.biSizeImage = rtl::ReadLE32(raw + 20);
    h.biXPelsPerMeter = rtl::ReadLEInt32(raw + 24);
    h.biYPelsPerMeter = rtl::ReadLEInt32(raw + 28);
    h.biClrUsed = rtl::ReadLE32(raw + 32);
    h.biClrImportant = rtl::ReadLE32(raw + 36);
    // The code is kept in 16 bits: a larger one is out of range whatever it would mean.
    rtl::RangeCheck(h.biCompression, 0, 0xFFFF);
  }
  const int32_t bits = h.biBitCount;
  const bool depthOk = core ? (bits == 1 || bits == 4 || bits == 8 || bits == 24)
                            : (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const uint32_t compression = h.biCompression;
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  const bool compressionOk = compression == BI_RGB || (compression == BI_RLE8 && bits == 8) ||
                             (compression == BI_RLE4 && bits == 4) ||
                             (compression == BI_BITFIELDS && (bits == 16 || bits == 32));
  if (planes != 1 || !depthOk || !compressionOk || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
      (rle && h.biHeight < 0) || h.biClrUsed > 256) {
    throw framework::EInvalidGraphic();
  }
  const int64_t rowBytes = (static_cast<int64_t>(h.biWidth) * bits + 31) / 32 * 4;
  const int64_t imageBytes = rowBytes * AbsHeight(h.biHeight);
  if (imageBytes > kMaxSectionBytes) throw framework::EInvalidGraphic();

  if (compression == BI_BITFIELDS) {
    if (headerSize == 40) {
      stream.ReadBuffer(parsed.info.Colors, 12);
    } else {
      std::memcpy(parsed.info.Colors, raw + 40, 12);
    }
    // A colour table after the masks only suggests colours for palette displays: skipped.
    std::vector<uint8_t> skipped(4 * h.biClrUsed);
    stream.ReadBuffer(skipped.data(), static_cast<int32_t>(skipped.size()));
  } else if (core) {
    const int32_t count = TableSizeFor(bits);
    uint8_t triples[3 * 256];
    stream.ReadBuffer(triples, 3 * count);
    for (int32_t i = 0; i < count; ++i) {
      parsed.info.Colors[i] = {triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
    }
  } else {
    stream.ReadBuffer(parsed.info.Colors, 4 * ColorCountOf(h));
  }

  parsed.compression = compression;
  int64_t pixelBytes = imageBytes;
  if (rle) {
    // biSizeImage bytes of runs, none when it is 0: the image then stays blank.
    parsed.compressedSize = h.biSizeImage;
    pixelBytes = h.biSizeImage;
    h.biCompression = BI_RGB;
  }
  h.biSizeImage = 0;
  // Refused before anything is made: the read of the pixels would fail anyway.
  const int64_t left = static_cast<int64_t>(stream.GetSize()) - stream.GetPosition();
  if (left < pixelBytes) throw rtl::EReadError();
  return parsed;
}

}  // namespace

// --- canvas ---

HBITMAP TDIBCanvas::GetBitmapHandle() { return owner_.Empty() ? nullptr : owner_.GetSectionHandle(); }

void TDIBCanvas::CreateHandle() {
  // The section first: making it lets go of the old section's handles, this canvas's among them.
  GetBitmapHandle();
  TMemoryCanvas::CreateHandle();
}

// --- graphic ---

const framework::TClass& TDIBitmap::StaticClass() {
  static const framework::TClass info =
      framework::TClassBuilder<TDIBitmap>("TDIBitmap", &framework::TGraphic::StaticClass());
  return info;
}

bool TDIBitmap::DefaultDrawDirect() { return defaultDrawDirect; }
void TDIBitmap::SetDefaultDrawDirect(bool value) { defaultDrawDirect = value; }

void InitDIBitmapDrawMode() {
  OSVERSIONINFOA version{};
  static_assert(sizeof version == 148);
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version)) TDIBitmap::SetDefaultDrawDirect(DrawDirectForPlatform(version.dwPlatformId));
  framework::RegisterClasses({&TDIBitmap::StaticClass()});
}

TDIBitmap::TDIBitmap() : bitmapInfo_(std::make_unique<TDIBInfo>()), drawDirect_(defaultDrawDirect) {
  bitmapInfo_->Header = framework::bmp::InfoHeader(0, 0, 24);
}

TDIBitmap::~TDIBitmap() { ReleaseHandles(); }

void TDIBitmap::ReleaseHandles() const {
  if (canvas_) canvas_->FreeHandle();
  palette_.reset();
  section_.reset();
}

void TDIBitmap::Clear() {
  ReleaseHandles();
  *bitmapInfo_ = TDIBInfo{};
  bitmapInfo_->Header = framework::bmp::InfoHeader(0, 0, 24);
  viewRect_ = {};
  Changed(this);
}

bool TDIBitmap::Empty() const { return bitmapInfo_->Header.biWidth == 0 || bitmapInfo_->Header.biHeight == 0; }
int32_t TDIBitmap::Width() const { return RectWidth(viewRect_); }
int32_t TDIBitmap::Height() const { return RectHeight(viewRect_); }

void TDIBitmap::SetWidth(int32_t width) {
  if (width == Width()) return;
  viewRect_.Right = rtl::CheckedAdd(viewRect_.Left, width);
  Changed(this);
}

void TDIBitmap::SetHeight(int32_t height) {
  if (height == Height()) return;
  viewRect_.Bottom = rtl::CheckedAdd(viewRect_.Top, height);
  Changed(this);
}

int32_t TDIBitmap::ColorCount() const { return ColorCountOf(bitmapInfo_->Header); }

TDIBCanvas& TDIBitmap::Canvas() const {
  if (!canvas_) canvas_ = std::make_unique<TDIBCanvas>(*this);
  return *canvas_;
}

HBITMAP TDIBitmap::GetSectionHandle() const {
  if (!section_) MakeSection(*bitmapInfo_);
  return section_.get();
}

void* TDIBitmap::MakeSection(const TDIBInfo& source) const {
  const TDIBInfo info = source;  // source may be BitmapInfo itself
  ReleaseHandles();
  void* bits = nullptr;
  framework::TBitmapHandle section(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section || bits == nullptr) {
    const DWORD code = GetLastError();
    throw framework::EInvalidGraphic(rtl::Format("cannot create DIBSection(GLE=%d)", static_cast<int>(code)), code);
  }
  section_ = std::move(section);
  DIBSECTION ds{};
  GetObjectW(section_.get(), sizeof ds, &ds);
  BITMAPINFOHEADER& header = bitmapInfo_->Header;
  header = ds.dsBmih;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = info.Header.biWidth;
  header.biHeight = info.Header.biHeight;  // keeps the row order whatever the object reports
  header.biBitCount = info.Header.biBitCount;
  header.biCompression = info.Header.biCompression;
  header.biClrUsed = info.Header.biClrUsed;
  header.biClrImportant = info.Header.biClrImportant;
  const int64_t imageBytes = static_cast<int64_t>(RowBytes(header.biWidth, header.biBitCount, 32)) *
                             AbsHeight(header.biHeight);
  header.biSizeImage = static_cast<DWORD>(imageBytes);
  std::memcpy(bitmapInfo_->Colors, info.Colors, sizeof info.Colors);
  viewRect_ = {0, 0, header.biWidth, AbsHeight(header.biHeight)};
  return bits;
}

void* TDIBitmap::SectionBits() const {
  HBITMAP section = GetSectionHandle();
  GdiFlush();
  DIBSECTION ds{};
  if (GetObjectW(section, sizeof ds, &ds) != sizeof ds || ds.dsBm.bmBits == nullptr) {
    throw framework::EInvalidGraphic();
  }
  return ds.dsBm.bmBits;
}

std::vector<RGBQUAD> TDIBitmap::GetColorTable() const {
  std::vector<RGBQUAD> colors(static_cast<std::size_t>(ColorCount()), RGBQUAD{});
  if (colors.empty()) return colors;
  GetSectionHandle();
  TDIBCanvas& canvas = Canvas();
  const TCanvasContextRelease release(*this, canvas.HandleAllocated());
  UINT read = GetDIBColorTable(canvas.Handle(), 0, static_cast<UINT>(colors.size()), colors.data());
  colors.resize(read);
  return colors;
}

void TDIBitmap::ReadDIB(rtl::TStream& stream) {
  TParsedDIB parsed = ReadDIBHeader(stream);
  void* bits = MakeSection(parsed.info);
  const TCanvasContextRelease release(*this, false);

  HDC dc = Canvas().Handle();
  RGBQUAD colors[256];
  UINT count = GetDIBColorTable(dc, 0, 256, colors);
  if (count > 256) count = 256;
  std::memcpy(bitmapInfo_->Colors, colors, count * sizeof(RGBQUAD));

  const BITMAPINFOHEADER& header = bitmapInfo_->Header;
  if (parsed.compression == BI_RLE8 || parsed.compression == BI_RLE4) {
    // Without runs nothing is decoded and the section stays blank; the platform is not handed an
    // empty buffer to size by itself.
    if (parsed.compressedSize == 0) return;
    std::vector<uint8_t> packed(parsed.compressedSize);
    stream.ReadBuffer(packed.data(), rtl::CheckedInt32(parsed.compressedSize));
    TDIBInfo info = parsed.info;
    info.Header.biCompression = parsed.compression;
    info.Header.biSizeImage = parsed.compressedSize;
    const int32_t h = AbsHeight(header.biHeight);
    // The platform decodes the runs; what it cannot decode stays as the zero-filled section was.
    ::StretchDIBits(dc, 0, 0, header.biWidth, h, 0, 0, header.biWidth, h, packed.data(), info.get(), DIB_RGB_COLORS,
                    SRCCOPY);
    GdiFlush();
  } else {
    stream.ReadBuffer(bits, rtl::CheckedInt32(header.biSizeImage));
  }
}

void TDIBitmap::WriteDIB(rtl::TStream& stream) const {
  if (Empty()) return;
  void* bits = SectionBits();
  const BITMAPINFOHEADER& header = bitmapInfo_->Header;
  stream.WriteBuffer(&header, sizeof header);
  if (header.biCompression == BI_BITFIELDS) stream.WriteBuffer(bitmapInfo_->Colors, 12);
  if (ColorCount() != 0) {
    std::vector<RGBQUAD> colors = GetColorTable();
    colors.resize(static_cast<std::size_t>(ColorCount()), RGBQUAD{});
    stream.WriteBuffer(colors.data(), rtl::CheckedInt32(colors.size() * sizeof(RGBQUAD)));
  }
  stream.WriteBuffer(bits, rtl::CheckedInt32(header.biSizeImage));
}

void TDIBitmap::LoadFromStream(rtl::TStream& stream) {
  uint8_t fileHeader[14];
  stream.ReadBuffer(fileHeader, sizeof fileHeader);
  if (rtl::ReadLE16(fileHeader) != kBM) throw framework::EInvalidGraphic();
  Changed(this);
  ReadDIB(stream);
}

void TDIBitmap::SaveToStream(rtl::TStream& stream) const {
  if (Empty()) return;
  const BITMAPINFOHEADER& header = bitmapInfo_->Header;
  const int64_t offBits = 14 + static_cast<int64_t>(InfoSizeOf(header));
  uint8_t fileHeader[14] = {};
  PutU16(fileHeader, kBM);
  PutU32(fileHeader + 2, static_cast<uint32_t>(rtl::CheckedInt32(offBits + header.biSizeImage)));
  PutU32(fileHeader + 10, static_cast<uint32_t>(offBits));
  stream.WriteBuffer(fileHeader, sizeof fileHeader);
  WriteDIB(stream);
}

void TDIBitmap::ReadData(rtl::TStream& stream) {
  uint8_t head[14];
  stream.ReadBuffer(head, sizeof head);
  // The bitmap form is tested first: its length would have to be 0x????4D42 to look like the
  // graphic's own form, while the own form would need a file size over 1.2 GB to look like it.
  bool ownForm = false;
  int64_t end = 0;  // of the bitmap form's stated length
  if (rtl::ReadLE16(head + 4) == kBM) {
    end = int64_t{stream.GetPosition()} - 10 + rtl::ReadLE32(head);
    stream.Seek(4, rtl::TSeekOrigin::soCurrent);
  } else if (rtl::ReadLE16(head) == kBM) {
    ownForm = true;
  } else {
    throw framework::EInvalidGraphic();
  }
  Changed(this);
  ReadDIB(stream);
  // Whatever the length holds beyond the image belongs to it, not to what follows in the stream.
  if (!ownForm && end > stream.GetPosition() && end <= stream.GetSize()) {
    stream.SetPosition(static_cast<int32_t>(end));
  }
  if (ownForm) {
    uint8_t view[16];
    stream.ReadBuffer(view, sizeof view);
    framework::TRect rect{rtl::ReadLEInt32(view), rtl::ReadLEInt32(view + 4), rtl::ReadLEInt32(view + 8),
                          rtl::ReadLEInt32(view + 12)};
    try {
      RectWidth(rect);
      RectHeight(rect);
    } catch (const rtl::EIntOverflow&) {
      throw framework::EInvalidGraphic();
    }
    viewRect_ = rect;
  }
}

void TDIBitmap::WriteData(rtl::TStream& stream) const {
  SaveToStream(stream);
  uint8_t view[16];
  PutU32(view, static_cast<uint32_t>(viewRect_.Left));
  PutU32(view + 4, static_cast<uint32_t>(viewRect_.Top));
  PutU32(view + 8, static_cast<uint32_t>(viewRect_.Right));
  PutU32(view + 12, static_cast<uint32_t>(viewRect_.Bottom));
  stream.WriteBuffer(view, sizeof view);
}

void TDIBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE) {
  if (format != CF_DIB || data == nullptr) throw framework::EInvalidGraphic(UnsupportedClipboardText());
  data::TGMEMStream stream(static_cast<HGLOBAL>(data));
  ReadDIB(stream);
}

void TDIBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE&) const {
  format = CF_DIB;
  data = nullptr;
  if (Empty()) return;
  data::TGMEMStream stream;
  WriteDIB(stream);
  data = stream.Detach();
}

void TDIBitmap::Assign(const framework::TPersistent* source) {
  if (auto* bitmap = dynamic_cast<const framework::TBitmap*>(source)) {
    if (bitmap->Empty()) {
      Clear();
      return;
    }
    rtl::TMemoryStream stream;
    bitmap->SaveToStream(stream);
    stream.SetPosition(0);
    LoadFromStream(stream);
    return;
  }
  framework::TGraphic::Assign(source);
}

void TDIBitmap::AssignTo(framework::TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<framework::TBitmap*>(dest)) {
    bitmap->SetSize(0, 0);
    if (framework::TPaletteHandle copy = framework::CopyPalette(Palette())) bitmap->SetPalette(copy.release());
    // The bitmap keeps its pixel format. Both sides at once: it stays empty while either is 0.
    bitmap->SetSize(Width(), Height());
    if (!bitmap->Empty()) bitmap->Canvas().Draw(0, 0, const_cast<TDIBitmap&>(*this));
    return;
  }
  if (auto* other = dynamic_cast<TDIBitmap*>(dest)) {
    if (other == this) return;
    if (Empty()) {
      other->Clear();
      return;
    }
    rtl::TMemoryStream stream;
    SaveToStream(stream);
    stream.SetPosition(0);
    other->LoadFromStream(stream);
    other->viewRect_ = viewRect_;
    return;
  }
  framework::TGraphic::AssignTo(dest);
}

HPALETTE TDIBitmap::Palette() const {
  if (!palette_ && !Empty()) {
    palette_ = framework::PaletteOfColors(GetColorTable());
  }
  return palette_.get();
}

void TDIBitmap::SetPalette(HPALETTE palette) {
  if (palette == palette_.get()) return;
  palette_.reset(palette);
}

void TDIBitmap::Draw(framework::TCanvas& canvas, const framework::TRect& rect) {
  if (Empty()) return;
  const bool ownCanvas = canvas_ && &canvas == canvas_.get();
  HDC dc = canvas.Handle();
  framework::TStretchModeGuard mode(dc, COLORONCOLOR);
  const framework::TPaletteGuard palette(dc, Palette());
  const TCanvasContextRelease release(*this, ownCanvas);
  if (!drawDirect_ && canvas_ && !ownCanvas) canvas_->FreeHandle();
  void* bits = SectionBits();
  if (!StretchPart(canvas, rect, viewRect_, bits)) DrawByLines(canvas, rect, bits);
}

bool TDIBitmap::StretchPart(framework::TCanvas& canvas, const framework::TRect& dst, const framework::TRect& src,
                            void* bits) {
  const int32_t dstW = RectWidth(dst);
  const int32_t dstH = RectHeight(dst);
  const int32_t srcW = RectWidth(src);
  const int32_t srcH = RectHeight(src);
  HDC dc = canvas.Handle();
  RECT visible = dst.ToRECT();
  if (dstW == 0 || dstH == 0 || srcW == 0 || srcH == 0 || !RectVisible(dc, &visible)) return true;
  if (drawDirect_) {
    return StretchDIBPart(dc, dst, src, bits, *bitmapInfo_, canvas.CopyMode()) != 0;
  }
  HDC source = Canvas().Handle();
  return StretchBltCall()(dc, dst.Left, dst.Top, dstW, dstH, source, src.Left, src.Top, srcW, srcH,
                          canvas.CopyMode()) != 0;
}

void TDIBitmap::DrawByLines(framework::TCanvas& canvas, const framework::TRect& rect, void* bits) {
  const int32_t n = RectHeight(rect);
  RECT clip{};
  GetClipBox(canvas.Handle(), &clip);
  const int32_t height = Height();
  for (int32_t i = 0; i < n; ++i) {
    const int32_t y = rtl::CheckedAdd(rect.Top, i);
    if (y < clip.top || y > clip.bottom) continue;
    // The quotient lies between 0 and the height; only the sum can overflow.
    const auto row = static_cast<int32_t>(static_cast<int64_t>(height) * i / n);
    const int32_t s = rtl::CheckedAdd(row, viewRect_.Top);
    StretchPart(canvas, {rect.Left, y, rect.Right, rtl::CheckedAdd(y, 1)},
                {viewRect_.Left, s, viewRect_.Right, rtl::CheckedAdd(s, 1)}, bits);
  }
}

}  // namespace imaging
