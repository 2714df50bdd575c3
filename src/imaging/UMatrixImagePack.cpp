#include "imaging/UMatrixImagePack.h"

#include <windows.h>

#include "framework/Palettes.h"
#include "imaging/UPalette.h"
#include "imaging/URects.h"
#include "rtl/Checked.h"

namespace imaging {

using framework::TRect;

namespace {

// The Win32 rule: no area unless Right > Left and Bottom > Top.
bool HasNoArea(const TRect& rect) { return rect.Right <= rect.Left || rect.Bottom <= rect.Top; }

}  // namespace

const framework::TClass& TMatrixImagePack::StaticClass() {
  static const framework::TClass info =
      framework::TClassBuilder<TMatrixImagePack>("TMatrixImagePack", &TImagePack::StaticClass())
          .Integer("CountCol", &TMatrixImagePack::CountCol, &TMatrixImagePack::SetCountCol, 1)
          .Integer("CountRow", &TMatrixImagePack::CountRow, &TMatrixImagePack::SetCountRow, 1)
          .Object("Image", &TMatrixImagePack::Image)
          .Object("ImageLoader", &TMatrixImagePack::ImageLoader);
  return info;
}

TMatrixImagePack::TMatrixImagePack(framework::TComponent* owner) : TImagePack(owner), loader_(image_) {
  image_.OnChange = [this](framework::TObject*) { Changed(); };
}

TMatrixImagePack::~TMatrixImagePack() { image_.OnChange = nullptr; }

void TMatrixImagePack::Loaded() {
  TImagePack::Loaded();
  if (loader_.AutoLoad()) loader_.Load();
  loader_.SetReady(true);
}

void TMatrixImagePack::SetCountCol(int32_t value) {
  if (value == countCol_) return;
  countCol_ = value;
  Changed();
}

void TMatrixImagePack::SetCountRow(int32_t value) {
  if (value == countRow_) return;
  countRow_ = value;
  Changed();
}

int32_t TMatrixImagePack::GetCount() const { return rtl::CheckedMul(countCol_, countRow_); }

bool TMatrixImagePack::IsInvalidIndex(int32_t index) const {
  if (TImagePack::IsInvalidIndex(index)) return true;
  const framework::TGraphic* graphic = image_.Graphic();
  return graphic == nullptr || graphic->Empty();
}

void TMatrixImagePack::GetImageRect(int32_t index, TRect& rect) const {
  rect = {0, 0, 0, 0};
  // A valid index means a count above 0, so neither count is 0 here.
  if (IsInvalidIndex(index)) return;
  const int32_t row = index / countCol_;
  const int32_t col = index % countCol_;
  if (row >= countRow_) return;
  const int32_t width = image_.Width();
  const int32_t height = image_.Height();
  rect = {MulDiv(col, width, countCol_), MulDiv(row, height, countRow_), MulDiv(col + 1, width, countCol_),
          MulDiv(row + 1, height, countRow_)};
}

void TMatrixImagePack::GetImage(framework::TPicture& picture, int32_t index) {
  picture.Assign(nullptr);
  const TRect cell = ImageRect(index);
  if (HasNoArea(cell)) return;
  framework::TGraphic& source = *image_.Graphic();
  if (countCol_ == 1 && countRow_ == 1) {
    picture.Assign(&source);
    return;
  }
  framework::TBitmap& bitmap = picture.Bitmap();
  if (IsPaletteDisplay()) {
    bitmap.SetPixelFormat(framework::TPixelFormat::pf8bit);
    bitmap.SetPalette(framework::CopyPalette(source.Palette()).release());
  }
  bitmap.SetWidth(RectWidth(cell));
  bitmap.SetHeight(RectHeight(cell));
  bitmap.Canvas().Draw(-cell.Left, -cell.Top, source);
}

void TMatrixImagePack::StretchDraw(framework::TCanvas& canvas, const TRect& rect, int32_t index) {
  const TRect cell = ImageRect(index);
  auto* bitmap = dynamic_cast<framework::TBitmap*>(image_.Graphic());
  if (!HasNoArea(cell) && bitmap != nullptr) {
    StretchDrawPart(canvas, rect, *bitmap, cell);
    return;
  }
  TImagePack::StretchDraw(canvas, rect, index);
}

}  // namespace imaging
