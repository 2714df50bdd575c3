#include "framework/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "framework/BmpFile.h"
#include "rtl/Checked.h"
#include "rtl/Sjis.h"

// After windows.h, whose boolean is the same unsigned char as libjpeg's.
#include <jerror.h>
#include <jpeglib.h>

namespace framework {

EJPEG::EJPEG(int code) : EInvalidGraphic(rtl::Format(texts::JpegError().c_str(), code)), code_(code) {}

namespace {

// libjpeg's default error handler ends the process; this one jumps back to the call that ran the
// library. The jump only crosses libjpeg's C frames and the callbacks below.
struct TJpegErrors {
  jpeg_error_mgr manager;  // first, so that libjpeg's pointer to it is a pointer to the whole
  jmp_buf jump;
  int warnings;
  int code;
};

TJpegErrors& ErrorsOf(j_common_ptr info) { return *reinterpret_cast<TJpegErrors*>(info->err); }

[[noreturn]] void Fail(j_common_ptr info, int code) {
  TJpegErrors& errors = ErrorsOf(info);
  errors.code = code;
  longjmp(errors.jump, 1);
}

void ErrorExit(j_common_ptr info) { Fail(info, info->err->msg_code); }

// Level -1 is a corrupt-data warning: libjpeg goes on with what it can make of the data, but a
// flood of them ends the image.
void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  if (++ErrorsOf(info).warnings > kMaxJpegWarnings) Fail(info, info->err->msg_code);
}

void OutputMessage(j_common_ptr) {}

void LimitScans(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans) Fail(info, JERR_BAD_SCAN_SCRIPT);
}

struct TJpegJob {
  const uint8_t* data;
  std::size_t size;
  TJpegSize imageSize;
  // Decoding: the rows of a bottom-up 24-bit DIB of imageSize, and a row of 4 bytes per pixel for
  // CMYK data. Null when only the size is wanted.
  uint8_t* bits;
  std::size_t stride;
  uint8_t* cmykRow;
};

// R = (255 - C) * (255 - K) / 255 and so on; Adobe's CMYK is stored inverted.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

// Runs libjpeg over the job's data; 0, or the libjpeg message code of the failure. No C++ object
// lives in this frame, so the jump back into it skips no destructor.
int RunJpeg(TJpegJob& job) {
  jpeg_decompress_struct info;
  TJpegErrors errors;
  jpeg_progress_mgr progress;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = ErrorExit;
  errors.manager.emit_message = EmitMessage;
  errors.manager.output_message = OutputMessage;
  errors.warnings = 0;
  errors.code = 0;
  progress.progress_monitor = LimitScans;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return errors.code != 0 ? errors.code : JERR_BAD_STATE;
  }
  jpeg_create_decompress(&info);
  info.progress = &progress;
  jpeg_mem_src(&info, job.data, static_cast<unsigned long>(job.size));
  jpeg_read_header(&info, TRUE);
  if (static_cast<int64_t>(info.image_width) * info.image_height > kMaxJpegPixels) {
    Fail(reinterpret_cast<j_common_ptr>(&info), JERR_IMAGE_TOO_BIG);
  }
  if (job.bits == nullptr) {
    job.imageSize = {static_cast<int32_t>(info.image_width), static_cast<int32_t>(info.image_height)};
    jpeg_destroy_decompress(&info);
    return 0;
  }
  if (static_cast<int32_t>(info.image_width) != job.imageSize.Width ||
      static_cast<int32_t>(info.image_height) != job.imageSize.Height) {
    Fail(reinterpret_cast<j_common_ptr>(&info), JERR_BAD_STATE);
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = 1;
  jpeg_start_decompress(&info);
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != (cmyk ? 4 : 3)) {
    Fail(reinterpret_cast<j_common_ptr>(&info), JERR_BAD_STATE);
  }
  while (info.output_scanline < info.output_height) {
    uint8_t* target = job.bits + (info.output_height - 1 - info.output_scanline) * job.stride;
    JSAMPROW row = cmyk ? job.cmykRow : target;
    // The memory source never suspends, so no call returns without a row.
    if (jpeg_read_scanlines(&info, &row, 1) != 1) Fail(reinterpret_cast<j_common_ptr>(&info), JERR_TOO_LITTLE_DATA);
    if (cmyk) CmykToBgr(job.cmykRow, target, info.output_width, info.saw_Adobe_marker != 0);
  }
  // Whatever follows the last row (trailing markers, garbage) is of no interest: no
  // jpeg_finish_decompress.
  jpeg_destroy_decompress(&info);
  return 0;
}

}  // namespace

TJpegSize ReadJpegSize(const uint8_t* data, std::size_t size) {
  TJpegJob job{data, size, {}, nullptr, 0, nullptr};
  if (int code = RunJpeg(job); code != 0) throw EJPEG(code);
  return job.imageSize;
}

TBitmapHandle DecodeJpeg(const uint8_t* data, std::size_t size) {
  const TJpegSize imageSize = ReadJpegSize(data, size);
  BITMAPINFO header{};
  // Bottom-up, the form every part of the framework reads the same way.
  header.bmiHeader = bmp::InfoHeader(imageSize.Width, imageSize.Height, 24);
  void* bits = nullptr;
  TBitmapHandle image(CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!image || bits == nullptr) throw EOutOfResources();
  GdiFlush();
  // Widths are at most 65,500 and the pixel count is limited, so neither overflows.
  const std::size_t stride = (static_cast<std::size_t>(imageSize.Width) * 3 + 3) & ~std::size_t{3};
  std::vector<uint8_t> cmykRow(static_cast<std::size_t>(imageSize.Width) * 4);
  TJpegJob job{data, size, imageSize, static_cast<uint8_t*>(bits), stride, cmykRow.data()};
  if (int code = RunJpeg(job); code != 0) throw EJPEG(code);
  return image;
}

// --- the graphic ---

const TClass& TJPEGImage::StaticClass() {
  static const TClass info = TClassBuilder<TJPEGImage>("TJPEGImage", &TGraphic::StaticClass());
  return info;
}

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::Assign(const TPersistent* source) {
  if (source == nullptr) {
    data_.clear();
    width_ = 0;
    height_ = 0;
    bitmap_.reset();
    failedCode_ = 0;
    Changed(this);
    return;
  }
  auto* other = dynamic_cast<const TJPEGImage*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  std::unique_ptr<TBitmap> bitmap;
  if (other->bitmap_) {
    bitmap = std::make_unique<TBitmap>();
    bitmap->Assign(other->bitmap_.get());
  }
  data_ = other->data_;
  width_ = other->width_;
  height_ = other->height_;
  bitmap_ = std::move(bitmap);
  failedCode_ = other->failedCode_;
  Changed(this);
}

void TJPEGImage::AssignTo(TPersistent* dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (bitmap == nullptr) {
    TGraphic::AssignTo(dest);
    return;
  }
  if (failedCode_ != 0) throw EJPEG(failedCode_);
  TBitmap* decoded = const_cast<TJPEGImage*>(this)->Decode();
  bitmap->Assign(decoded);
}

void TJPEGImage::SetWidth(int32_t) { throw EInvalidGraphicOperation::CannotResizeJpeg(); }
void TJPEGImage::SetHeight(int32_t) { throw EInvalidGraphicOperation::CannotResizeJpeg(); }

void TJPEGImage::LoadFromStream(rtl::TStream& stream) {
  const int32_t available = rtl::CheckedSub(stream.GetSize(), stream.GetPosition());
  std::vector<uint8_t> data(available > 0 ? static_cast<std::size_t>(available) : 0);
  TJpegSize size;
  if (!data.empty()) {
    stream.ReadBuffer(data.data(), available);
    size = ReadJpegSize(data.data(), data.size());
  }
  data_ = std::move(data);
  width_ = size.Width;
  height_ = size.Height;
  bitmap_.reset();
  failedCode_ = 0;
  Changed(this);
}

void TJPEGImage::SaveToStream(rtl::TStream& stream) const {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), rtl::CheckedInt32(data_.size()));
}

void TJPEGImage::ReadData(rtl::TStream& stream) { ReadSizedData(stream); }

void TJPEGImage::WriteData(rtl::TStream& stream) const {
  const uint32_t length = static_cast<uint32_t>(data_.size());
  stream.WriteBuffer(&length, sizeof length);
  SaveToStream(stream);
}

TBitmap* TJPEGImage::Decode() {
  if (bitmap_) return bitmap_.get();
  if (data_.empty() || failedCode_ != 0) return nullptr;
  TBitmapHandle image;
  try {
    image = DecodeJpeg(data_.data(), data_.size());
  } catch (const EJPEG& error) {
    failedCode_ = error.Code();
    throw;
  }
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetHandle(image.release());
  bitmap_ = std::move(bitmap);
  Changed(this);
  return bitmap_.get();
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (TBitmap* bitmap = Decode()) bitmap->Draw(canvas, rect);
}

}  // namespace framework
