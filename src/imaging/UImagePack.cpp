#include "imaging/UImagePack.h"

#include "imaging/URects.h"
#include "rtl/Checked.h"

namespace imaging {

using framework::TRect;

EImagePack EImagePack::CannotSetCount() { return EImagePack("Cannot set count of ImagePack"); }
EImagePack EImagePack::CannotSetImageRect() { return EImagePack("Cannot set ImageRect of ImagePack"); }

const framework::TClass& TImagePack::StaticClass() {
  static const framework::TClass info =
      framework::TClassBuilder<TImagePack>("TImagePack", &framework::TComponent::StaticClass())
          .Event("OnChange", &TImagePack::OnChange);
  return info;
}

TImagePack::TImagePack(framework::TComponent* owner) : TComponent(owner) {}

TImagePack::~TImagePack() = default;

void TImagePack::Changed() {
  notifyList_.Notify(this);
  OnChange(this);
}

void TImagePack::SetCount(int32_t) { throw EImagePack::CannotSetCount(); }

void TImagePack::SetImageRect(int32_t, const TRect&) { throw EImagePack::CannotSetImageRect(); }

TRect TImagePack::ImageRect(int32_t index) const {
  TRect rect;
  GetImageRect(index, rect);
  return rect;
}

int32_t TImagePack::GetImageLeft(int32_t index) const { return ImageRect(index).Left; }

void TImagePack::SetImageLeft(int32_t index, int32_t value) {
  TRect rect = ImageRect(index);
  const int32_t width = RectWidth(rect);
  SetImageRect(index, {value, rect.Top, rtl::CheckedAdd(value, width), rect.Bottom});
}

int32_t TImagePack::GetImageTop(int32_t index) const { return ImageRect(index).Top; }

void TImagePack::SetImageTop(int32_t index, int32_t value) {
  TRect rect = ImageRect(index);
  const int32_t height = RectHeight(rect);
  SetImageRect(index, {rect.Left, value, rect.Right, rtl::CheckedAdd(value, height)});
}

int32_t TImagePack::GetImageWidth(int32_t index) const { return RectWidth(ImageRect(index)); }

void TImagePack::SetImageWidth(int32_t index, int32_t value) {
  TRect rect = ImageRect(index);
  rect.Right = rtl::CheckedAdd(rect.Left, value);
  SetImageRect(index, rect);
}

int32_t TImagePack::GetImageHeight(int32_t index) const { return RectHeight(ImageRect(index)); }

void TImagePack::SetImageHeight(int32_t index, int32_t value) {
  TRect rect = ImageRect(index);
  rect.Bottom = rtl::CheckedAdd(rect.Top, value);
  SetImageRect(index, rect);
}

void TImagePack::Draw(framework::TCanvas& canvas, int32_t x, int32_t y, int32_t index) {
  TRect rect = ImageRect(index);
  const int32_t dx = rtl::CheckedSub(x, rect.Left);
  const int32_t dy = rtl::CheckedSub(y, rect.Top);
  rect = {rtl::CheckedAdd(rect.Left, dx), rtl::CheckedAdd(rect.Top, dy), rtl::CheckedAdd(rect.Right, dx),
          rtl::CheckedAdd(rect.Bottom, dy)};
  StretchDraw(canvas, rect, index);
}

void TImagePack::StretchDraw(framework::TCanvas& canvas, const TRect& rect, int32_t index) {
  framework::TPicture picture;
  GetImage(picture, index);
  if (picture.Graphic() != nullptr) canvas.StretchDraw(rect, *picture.Graphic());
}

bool TImagePack::IsInvalidIndex(int32_t index) const { return index < 0 || index >= GetCount(); }

}  // namespace imaging
