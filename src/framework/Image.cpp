#include "framework/Image.h"

namespace framework {

const TClass& TImage::StaticClass() {
  static const TClass info = TClassBuilder<TImage>("TImage", &TGraphicControl::StaticClass())
                                 .Boolean("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize, false)
                                 .Boolean("Center", &TImage::Center, &TImage::SetCenter, false)
                                 .Object("Picture", &TImage::Picture)
                                 .Boolean("Stretch", &TImage::Stretch, &TImage::SetStretch, false)
                                 .Boolean("Transparent", &TImage::Transparent, &TImage::SetTransparent, false);
  return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::SetAutoSize(bool autoSize) {
  if (autoSize == autoSize_) return;
  autoSize_ = autoSize;
  PictureChanged();
}

void TImage::SetCenter(bool center) {
  center_ = center;
  Invalidate();
}

void TImage::SetStretch(bool stretch) {
  stretch_ = stretch;
  Invalidate();
}

void TImage::SetTransparent(bool transparent) {
  transparent_ = transparent;
  PictureChanged();
}

void TImage::Loaded() {
  TGraphicControl::Loaded();
  PictureChanged();
}

void TImage::PictureChanged() {
  if (Loading()) return;
  TGraphic* graphic = picture_.Graphic();
  if (graphic != nullptr && graphic->Transparent() != transparent_) graphic->SetTransparent(transparent_);
  if (autoSize_ && graphic != nullptr && graphic->Width() > 0 && graphic->Height() > 0) {
    SetBounds(Left(), Top(), graphic->Width(), graphic->Height());
  }
  Invalidate();
}

TRect TImage::DestRect() const {
  TGraphic* graphic = picture_.Graphic();
  if (stretch_) return ClientRect();
  int32_t w = graphic->Width();
  int32_t h = graphic->Height();
  if (center_) return Bounds((Width() - w) / 2, (Height() - h) / 2, w, h);
  return Bounds(0, 0, w, h);
}

void TImage::Paint() {
  TGraphic* graphic = picture_.Graphic();
  if (graphic == nullptr || graphic->Empty()) return;
  Canvas().StretchDraw(DestRect(), *graphic);
}

}  // namespace framework
