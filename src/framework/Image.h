// The image control: a picture painted on its parent.
#pragma once

#include "framework/GraphicControl.h"
#include "framework/Picture.h"

namespace framework {

// Shows a picture. With AutoSize it takes the picture's size whenever the picture changes.
class TImage : public TGraphicControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TImage(TComponent* owner);

  TPicture& Picture() { return picture_; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  bool Center() const { return center_; }
  void SetCenter(bool center);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);
  // Gives the picture's graphic its transparency.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);

  void Loaded() override;

 protected:
  void Paint() override;

 private:
  void PictureChanged();
  TRect DestRect() const;

  TPicture picture_;
  bool autoSize_ = false;
  bool center_ = false;
  bool stretch_ = false;
  bool transparent_ = false;
};

}  // namespace framework
