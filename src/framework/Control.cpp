#include "framework/Control.h"

#include <algorithm>

#include "framework/WinControl.h"

namespace framework {

const TClass& TControl::StaticClass() {
  static const TClass info =
      TClassBuilder<TControl>("TControl", &TComponent::StaticClass())
          .Integer("Left", &TControl::Left, &TControl::SetLeft, 0)
          .AlwaysStored()
          .Integer("Top", &TControl::Top, &TControl::SetTop, 0)
          .AlwaysStored()
          .Integer("Width", &TControl::Width, &TControl::SetWidth, 0)
          .AlwaysStored()
          .Integer("Height", &TControl::Height, &TControl::SetHeight, 0)
          .AlwaysStored()
          .Enumeration("Align", &TControl::Align, &TControl::SetAlign, AlignNames(), TAlign::alNone)
          .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
          .Boolean("Visible", &TControl::Visible, &TControl::SetVisible, true)
          .Event("OnClick", &TControl::OnClick)
          .Event("OnDblClick", &TControl::OnDblClick)
          .Event("OnMouseDown", &TControl::OnMouseDown)
          .Event("OnMouseMove", &TControl::OnMouseMove)
          .Event("OnMouseUp", &TControl::OnMouseUp);
  return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) parent_->RemoveControl(this);
  parent_ = nullptr;
  if (parent != nullptr) {
    parent_ = parent;
    parent->InsertControl(this);
  }
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* control = dynamic_cast<TWinControl*>(parent)) SetParent(control);
}

void TControl::Loaded() {
  TComponent::Loaded();
  RequestAlign();
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  TRect old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged(old);
}

void TControl::BoundsChanged(const TRect& old) {
  if (parent_ != nullptr && parent_->HandleAllocated()) {
    RECT r = old.ToRECT();
    InvalidateRect(parent_->handle_, &r, TRUE);
    Invalidate();
  }
  RequestAlign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  VisibleChanged();
  RequestAlign();
}

void TControl::VisibleChanged() {
  if (parent_ != nullptr && parent_->HandleAllocated()) {
    RECT r = BoundsRect().ToRECT();
    InvalidateRect(parent_->handle_, &r, TRUE);
  }
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == Caption()) return;
  text_ = caption;
  TextChanged();
}

void TControl::Invalidate() {
  if (parent_ != nullptr && parent_->HandleAllocated() && visible_) {
    RECT r = BoundsRect().ToRECT();
    InvalidateRect(parent_->handle_, &r, TRUE);
  }
}

void TControl::Update() {
  if (auto* self = dynamic_cast<TWinControl*>(this)) {
    if (self->handle_ != nullptr) UpdateWindow(self->handle_);
  } else if (parent_ != nullptr && parent_->handle_ != nullptr) {
    UpdateWindow(parent_->handle_);
  }
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Click() { OnClick(this); }
void TControl::DblClick() { OnDblClick(this); }

void TControl::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int32_t x, int32_t y) { OnMouseMove(this, shift, x, y); }

bool TControl::DialogKey(WORD) { return false; }
bool TControl::DialogChar(wchar_t) { return false; }
void TControl::PaintControl(HDC) {}

}  // namespace framework
