#include "app/Rdynotfy.h"

#include "framework/ClassInfo.h"
#include "framework/Form.h"

namespace app {

using namespace framework;

const TClass& TCatcher::StaticClass() {
  static const TClass info = TClassBuilder<TCatcher>("TCatcher", &TControl::StaticClass());
  return info;
}

const TClass& TReadyNotifier::StaticClass() {
  static const TClass info = TClassBuilder<TReadyNotifier>("TReadyNotifier", &TComponent::StaticClass())
                                 .Event("OnReady", &TReadyNotifier::OnReady);
  return info;
}

TReadyNotifier::TReadyNotifier(TComponent* owner) : TComponent(owner) {
  if (Designing()) return;
  catcher_ = new TCatcher(this);
  catcher_->SetBounds(0, 0, 1, 1);
  catcher_->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    CatcherMouseUp(sender, button, shift, x, y);
  };
  auto* form = dynamic_cast<TForm*>(owner);
  if (form == nullptr) return;
  // The newest child is the topmost one at the client origin.
  catcher_->SetParent(form);
  PostMessageW(form->Handle(), WM_RBUTTONUP, 0, 0);
}

void TReadyNotifier::CatcherMouseUp(TObject*, TMouseButton, TShiftState, int32_t, int32_t) {
  catcher_->SetEnabled(false);
  OnReady(this);
}

}  // namespace app
