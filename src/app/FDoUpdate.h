// The update window: inflates the embedded payload and writes it over the installed executable.
#pragma once

#include <windows.h>

#include <string>

#include "app/Rdynotfy.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/ProgressBar.h"
#include "rtl/Exception.h"
#include "rtl/Stream.h"

namespace app {

// The target is read-only; the message is the target's path.
class EReadOnly : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// Shown modally once a target has been accepted: starts by itself when its loop runs, writes the
// new executable with a three-step progress bar, and closes with 1 (written) or 2 (not written).
class TfrmDoUpdate : public framework::TForm {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }
  explicit TfrmDoUpdate(framework::TComponent* owner);
  // Removes the application's exception handler if this window's is still installed: a modal loop
  // ended by a quit request closes no window and runs no close query.
  ~TfrmDoUpdate() override;

  void FormCreate(framework::TObject* sender);
  void ReadyNotifier1Ready(framework::TObject* sender);
  void FormCloseQuery(framework::TObject* sender, bool& canClose);
  void DoUpdateException(framework::TObject* sender, const std::exception& error);
  // Inflates the payload, refuses a read-only target and replaces the target; raises on failure.
  void ApplyUpdate();

  framework::TLabel* Label1 = nullptr;
  framework::TLabel* Label2 = nullptr;
  framework::TProgressBar* ProgressBar1 = nullptr;
  TReadyNotifier* ReadyNotifier1 = nullptr;

 private:
  bool handlerInstalled_ = false;  // DoUpdateException is the application's handler
};

// Copies the uncompressed content of the named resource of the program's module into dest: a
// payload container is inflated, anything else is copied unchanged.
void ReadPayload(rtl::TStream& dest, const std::string& name, LPCWSTR type);

// Raises EReadOnly when TargetPath names a read-only file; a missing target passes.
void CheckNotReadOnly();

}  // namespace app
