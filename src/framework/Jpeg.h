// The JPEG image: the compressed data as loaded, decoded with libjpeg into a 24-bit bitmap the first
// time it is drawn or converted.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "framework/Graphic.h"

namespace framework {

// JPEG data that libjpeg refuses: "JPEG ｴﾗｰ #%d" with libjpeg's message code.
class EJPEG : public EInvalidGraphic {
 public:
  explicit EJPEG(int code);
  int Code() const { return code_; }

 private:
  int code_;
};

// Images of more pixels than this are refused: the decoded bitmap would not fit a 32-bit process
// beside everything else.
constexpr int64_t kMaxJpegPixels = int64_t{1} << 25;
// Progressive data of more scans than this is refused: each scan passes over the whole image.
constexpr int kMaxJpegScans = 500;
// Corrupt-data warnings tolerated in one image before it counts as unreadable.
constexpr int kMaxJpegWarnings = 1000;

struct TJpegSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// The size in the frame header of data (size bytes, read nowhere else); raises EJPEG for data that
// libjpeg cannot read up to its first scan, and EInvalidGraphic for an image beyond kMaxJpegPixels.
TJpegSize ReadJpegSize(const uint8_t* data, std::size_t size);
// The image as a bottom-up 24-bit DIB section; grey and CMYK images are converted. Raises as
// ReadJpegSize does, and EJPEG for data that fails while decoding.
TBitmapHandle DecodeJpeg(const uint8_t* data, std::size_t size);

class TJPEGImage : public TGraphic {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TJPEGImage();
  ~TJPEGImage() override;
  // From another JPEG image (its data, and its decoded pixels if it has them) or null (empty).
  void Assign(const TPersistent* source) override;

  bool Empty() const override { return data_.empty(); }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  // The size is the data's own: EInvalidGraphicOperation.
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;

  // The JPEG data from the stream's position to its end; its header is read at once, the image
  // itself when first needed. An empty stream empties the image; data whose header libjpeg refuses
  // raises EJPEG and leaves the image as it was.
  void LoadFromStream(rtl::TStream& stream) override;
  void SaveToStream(rtl::TStream& stream) const override;
  // The layout's "Data": a u32 length, then the JPEG data of that length.
  void ReadData(rtl::TStream& stream) override;
  void WriteData(rtl::TStream& stream) const override;

  // Stretched into rect. The first draw decodes the image and reports that as a change; data that
  // fails to decode raises EJPEG that once, and the image draws nothing from then on.
  void Draw(TCanvas& canvas, const TRect& rect) override;

  // Whether the pixels are decoded (a bitmap given the image receives them, decoding them first).
  bool Decoded() const { return bitmap_ != nullptr; }
  const std::vector<uint8_t>& Data() const { return data_; }

 protected:
  // A bitmap receives the decoded pixels; raises EJPEG when they cannot be decoded.
  void AssignTo(TPersistent* dest) const override;

 private:
  TBitmap* Decode();

  std::vector<uint8_t> data_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::unique_ptr<TBitmap> bitmap_;
  int failedCode_ = 0;  // the libjpeg code of a failed decode; 0 while none failed
};

}  // namespace framework
