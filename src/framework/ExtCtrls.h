// Panels (a window with bevels that holds controls), bevels (lines and frames) and images.
#pragma once

#include "framework/Canvas.h"
#include "framework/Controls.h"
#include "framework/Picture.h"

namespace framework {

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TPanel(TComponent* owner);

  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut cut);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut cut);
  int32_t BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int32_t width);
  int32_t BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int32_t width);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint(TCanvas& canvas) override;
  void AdjustClientRect(TRect& rect) const override;

 private:
  TBevelCut bevelInner_ = TBevelCut::bvNone;
  TBevelCut bevelOuter_ = TBevelCut::bvRaised;
  int32_t bevelWidth_ = 1;
  int32_t borderWidth_ = 0;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TBevel(TComponent* owner);

  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape shape);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle style);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = TBevelShape::bsBox;
  TBevelStyle style_ = TBevelStyle::bsLowered;
};

// Shows a picture. With AutoSize it takes the picture's size whenever the picture changes.
class TImage : public TGraphicControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TImage(TComponent* owner);

  TPicture& Picture() { return picture_; }
  void SetPicture(const TPicture* picture) { picture_.Assign(picture); }
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
