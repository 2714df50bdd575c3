// The forms of the framework tests, each read from a layout in the test program's resources.
#pragma once

#include <functional>

#include "framework/Bevel.h"
#include "framework/BitBtn.h"
#include "framework/Edit.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/LayoutReader.h"
#include "framework/LayoutWriter.h"
#include "framework/Panel.h"
#include "framework/ProgressBar.h"
#include "support/Gui.h"

namespace testing_support {

using namespace framework;

// A new control of class T, owned by parent and placed on it at left, top.
template <typename T>
T* Place(TWinControl& parent, int32_t left, int32_t top, int32_t width, int32_t height) {
  auto* control = new T(&parent);
  control->SetParent(&parent);
  control->SetBounds(left, top, width, height);
  return control;
}

// form's layout read into copy (a plain TForm); what copy then writes must be the same layout.
inline std::string WrittenAndReadBack(const TForm& form, TForm& copy) {
  const std::string layout = WriteLayout(form);
  ReadLayout(copy, layout, "TForm");
  EXPECT_EQ(WriteLayout(copy), layout) << "the copy writes another layout";
  return layout;
}

class TfrmLayoutTest : public TForm {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TfrmLayoutTest>("TfrmLayoutTest", &TForm::StaticClass())
                                   .Field("BitBtn1", &TfrmLayoutTest::BitBtn1)
                                   .Field("BitBtn2", &TfrmLayoutTest::BitBtn2)
                                   .Field("BitBtn3", &TfrmLayoutTest::BitBtn3)
                                   .Field("Panel1", &TfrmLayoutTest::Panel1)
                                   .Field("Label1", &TfrmLayoutTest::Label1)
                                   .Field("Label2", &TfrmLayoutTest::Label2)
                                   .Field("Bevel1", &TfrmLayoutTest::Bevel1)
                                   .Field("Edit1", &TfrmLayoutTest::Edit1)
                                   .Method("FormCreate", &TfrmLayoutTest::FormCreate)
                                   .Method("FormCloseQuery", &TfrmLayoutTest::FormCloseQuery)
                                   .Method("Edit1Change", &TfrmLayoutTest::Edit1Change)
                                   .Method("BitBtn1Click", &TfrmLayoutTest::BitBtn1Click);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TfrmLayoutTest(TComponent* owner) : TForm(owner) { InitializeForm(); }

  void FormCreate(TObject*) {
    ++creates;
    handleAtCreate = HandleAllocated();
  }
  void FormCloseQuery(TObject*, bool& canClose) {
    ++closeQueries;
    canClose = allowClose;
  }
  void Edit1Change(TObject*) { changes.push_back(Edit1->Text()); }
  void BitBtn1Click(TObject*) {
    ++browseClicks;
    if (onBrowse) onBrowse();
  }

  TBitBtn* BitBtn1 = nullptr;
  TBitBtn* BitBtn2 = nullptr;
  TBitBtn* BitBtn3 = nullptr;
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TBevel* Bevel1 = nullptr;
  TEdit* Edit1 = nullptr;

  int creates = 0;
  bool handleAtCreate = false;
  int closeQueries = 0;
  bool allowClose = true;
  std::vector<std::string> changes;
  int browseClicks = 0;
  std::function<void()> onBrowse;
};

// What Panel1 of the form shows once the form is up and painted.
inline TCapture ShownPanel(TfrmLayoutTest& form) {
  form.Show();
  form.Repaint();
  return CaptureClient(form.Panel1->Handle());
}

class TfrmProgressTest : public TForm {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TfrmProgressTest>("TfrmProgressTest", &TForm::StaticClass())
                                   .Field("Label1", &TfrmProgressTest::Label1)
                                   .Field("Label2", &TfrmProgressTest::Label2)
                                   .Field("ProgressBar1", &TfrmProgressTest::ProgressBar1);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TfrmProgressTest(TComponent* owner) : TForm(owner) { InitializeForm(); }

  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
};

class TfrmBrokenTest : public TForm {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TfrmBrokenTest>("TfrmBrokenTest", &TForm::StaticClass());
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TfrmBrokenTest(TComponent* owner) : TForm(owner) { InitializeForm(); }
};

}  // namespace testing_support
