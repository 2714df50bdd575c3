// The progress bar.
#pragma once

#include "framework/WinControl.h"

namespace framework {

// A bar filled in proportion to Position between Min and Max. It redraws itself at once whenever
// its position or range changes, so it shows progress while the message loop is blocked.
class TProgressBar : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TProgressBar(TComponent* owner);

  int32_t Min() const { return min_; }
  void SetMin(int32_t min);
  int32_t Max() const { return max_; }
  void SetMax(int32_t max);
  // Clamped to Min..Max.
  int32_t Position() const { return position_; }
  void SetPosition(int32_t position);
  // The width in pixels of the filled part, as drawn.
  int32_t FilledWidth() const;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint(TCanvas& canvas) override;

 private:
  void Changed();

  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t position_ = 0;
};

}  // namespace framework
