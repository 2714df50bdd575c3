// Forms: top-level windows built from their layouts, shown modelessly or modally.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/WinControl.h"

namespace framework {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize };
using TBorderIcons = TSet<TBorderIcon>;
enum class TPosition { poDesigned, poScreenCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };

using TModalResult = int32_t;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
// The names layouts may use for modal results.
const std::vector<TIdent>& ModalResultIdents();

using TCloseQueryEvent = TEvent<TObject*, bool&>;

// A form keeps its client size: the frame follows the border style around it.
//
// A form of a class with a layout reads it in its constructor:
//   TfrmMain::TfrmMain(TComponent* owner) : TForm(owner) { InitializeForm(); }
class TForm : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TForm(TComponent* owner);
  ~TForm() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);

  TRect ClientRect() const override { return {0, 0, clientWidth_, clientHeight_}; }
  void SetClientWidth(int32_t width) { SetClientSize(width, clientHeight_); }
  void SetClientHeight(int32_t height) { SetClientSize(clientWidth_, height); }
  void SetClientSize(int32_t width, int32_t height);
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

  // The control that has the focus while the form is active, or gets it when the form is shown.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // Moves the focus to the next (or previous) control in tab order after current.
  void SelectNext(TWinControl* current, bool forward);

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }
  bool Modal() const { return modal_; }
  // Disables the thread's other windows, shows the form, and runs a message loop that looks at
  // the modal result after each message: a non-zero result ends it once the close query agrees
  // (a refusal puts the result back to 0). Then the form is hidden, the other windows are enabled
  // and the window that was active is activated. Returns the modal result. An exception from the
  // close query ends the loop (after the same clean-up) and leaves ShowModal.
  TModalResult ShowModal();
  // A modal form gets the result mrCancel; another form closes if the close query agrees: the main
  // form ends the application, any other is hidden.
  void Close();
  // Asks OnCloseQuery whether the form may close.
  virtual bool CloseQuery();

  // The keyboard handling of the message loop for a message to this form or a control on it:
  // Tab and Shift+Tab, Enter (the focused or default button), Escape (the cancel button),
  // accelerators. True when the message was used up.
  bool DialogMessage(const MSG& message);

  TNotifyEvent OnCreate;
  TCloseQueryEvent OnCloseQuery;

 protected:
  // Reads the form's layout (the "LAYOUT" resource named after its class) and runs OnCreate; an
  // exception from OnCreate goes to the application's handler, one from the layout propagates.
  void InitializeForm(HMODULE module = nullptr);
  void DoCreate();

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WindowProc(TMessage& message) override;
  void VisibleChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  bool FrameSizeStored() const { return false; }
  // The form keeps the focus among its controls: its active control follows the focus.
  bool KeepsFocus() const override { return true; }
  void FocusWanted(TWinControl* control) override { SetActiveControl(control); }
  void ControlFocused(TWinControl* control) override;
  void FocusLost(TWinControl* control) override { SelectNext(control, true); }

 private:
  void FocusFirst();
  void CloseModal();
  void FrameChanged();
  TSize FrameExtra() const;
  DWORD WindowStyle() const;
  DWORD WindowExStyle() const;
  void RealizePalette(bool background);

  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TBorderIcons borderIcons_{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
  TPosition position_ = TPosition::poDesigned;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  int32_t clientWidth_ = 0;
  int32_t clientHeight_ = 0;
  TWinControl* activeControl_ = nullptr;  // not owned
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool frameSettled_ = false;  // the window exists and its frame is known
};

// The form that (directly or through panels) holds control, or null.
TForm* GetParentForm(const TControl* control);

}  // namespace framework
