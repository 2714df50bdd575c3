// The panel: a window with bevels round its edge that holds other controls.
#pragma once

#include "framework/Canvas.h"
#include "framework/WinControl.h"

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

}  // namespace framework
