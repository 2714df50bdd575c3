// The ready notifier: tells a form, once, that its message loop runs, through a posted
// right-button release caught by a one-pixel control at the form's client origin.
#pragma once

#include "framework/Control.h"

namespace app {

// Paints nothing; only a target for the start signal.
class TCatcher : public framework::TControl {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }
  explicit TCatcher(framework::TComponent* owner) : framework::TControl(owner) {}
};

class TReadyNotifier : public framework::TComponent {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  // Posts the start signal to the owner's window when the owner is a form.
  explicit TReadyNotifier(framework::TComponent* owner);

  framework::TNotifyEvent OnReady;

  TCatcher* Catcher() const { return catcher_; }

 private:
  void CatcherMouseUp(framework::TObject* sender, framework::TMouseButton button, framework::TShiftState shift,
                      int32_t x, int32_t y);

  TCatcher* catcher_ = nullptr;  // owned as a component
};

}  // namespace app
