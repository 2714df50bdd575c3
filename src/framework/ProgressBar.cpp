#include "framework/ProgressBar.h"

#include <algorithm>

namespace framework {

const TClass& TProgressBar::StaticClass() {
  static const TClass info = TClassBuilder<TProgressBar>("TProgressBar", &TWinControl::StaticClass())
                                 .Integer("Min", &TProgressBar::Min, &TProgressBar::SetMin, 0)
                                 .Integer("Max", &TProgressBar::Max, &TProgressBar::SetMax, 100)
                                 .Integer("Position", &TProgressBar::Position, &TProgressBar::SetPosition, 0);
  return info;
}

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 150, 16); }

void TProgressBar::SetMin(int32_t min) {
  if (min == min_) return;
  min_ = min;
  if (!Loading()) position_ = std::clamp(position_, min_, std::max(min_, max_));
  Changed();
}

void TProgressBar::SetMax(int32_t max) {
  if (max == max_) return;
  max_ = max;
  if (!Loading()) position_ = std::clamp(position_, min_, std::max(min_, max_));
  Changed();
}

void TProgressBar::SetPosition(int32_t position) {
  position = std::clamp(position, min_, std::max(min_, max_));
  if (position == position_) return;
  position_ = position;
  Changed();
}

void TProgressBar::Changed() {
  if (HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int32_t TProgressBar::FilledWidth() const {
  int32_t inner = std::max(Width() - 2, 0);
  int64_t range = static_cast<int64_t>(max_) - min_;
  if (range <= 0) return 0;
  int64_t done = static_cast<int64_t>(position_) - min_;
  return static_cast<int32_t>(std::clamp<int64_t>(done * inner / range, 0, inner));
}

void TProgressBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TProgressBar::Paint(TCanvas& canvas) {
  TRect rect = ClientRect();
  Frame3D(canvas, rect, clBtnShadow, clBtnHighlight, 1);
  HDC dc = canvas.Handle();
  int32_t filled = FilledWidth();
  RECT done{rect.Left, rect.Top, rect.Left + filled, rect.Bottom};
  RECT rest{rect.Left + filled, rect.Top, rect.Right, rect.Bottom};
  FillRect(dc, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
  FillRect(dc, &rest, GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace framework
