// The form: built from its layout, shown and shown modally, with its dialog keys, its palette and
// windows made while it is read.
#include "TestForms.h"
#include "framework/Application.h"
#include "framework/Errors.h"
#include "framework/Form.h"
#include "support/Gui.h"
#include "support/Layout.h"
#include "support/MessageOf.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace framework;
using testing_support::S;
using testing_support::TfrmLayoutTest;

class FormFromLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TfrmLayoutTest>(nullptr);
    // A modal loop that does not end in time is ended, so that a fault fails a test, not the run.
    testing_support::Later([this] { form->SetModalResult(mrAbort); }, 10000);
  }
  void TearDown() override {
    testing_support::CancelLater();
    form.reset();
    testing_support::Pump();
  }

  std::unique_ptr<TfrmLayoutTest> form;
};

TEST_F(FormFromLayout, BuildsRealWindowsWithTheLaidOutPlacesTextsAndSharedFont) {
  EXPECT_EQ(form->creates, 1);
  EXPECT_EQ(form->Name(), "frmLayoutTest");
  HWND window = form->Handle();
  EXPECT_EQ(testing_support::WindowText(window), S("ぺらのテスト"));
  testing_support::ExpectDialogFrame(window, 491, 215, true);
  EXPECT_FALSE(IsWindowVisible(window));
  testing_support::ExpectPlaced({{form->BitBtn2, 112, 164, 105, 43, "開始"},
                                 {form->Panel1, 8, 12, 473, 129, nullptr},
                                 {form->Edit1, 16, 83, 337, 20, nullptr},
                                 {form->Label1, 48, 16, -1, -1, nullptr},
                                 {form->Bevel1, 16, 40, 441, 13, nullptr}});
  EXPECT_EQ(GetParent(form->BitBtn2->Handle()), window);
  EXPECT_EQ(GetWindowLongW(form->BitBtn2->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(GetParent(form->Edit1->Handle()), form->Panel1->Handle());
  EXPECT_EQ(form->Label1->Parent(), form->Panel1);
  EXPECT_EQ(form->Label2->FocusControl(), form->Edit1);
  EXPECT_EQ(form->ActiveControl(), form->Edit1);
  // Every window has the shared font.
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(form->Edit1->Handle(), WM_GETFONT, 0, 0));
  ASSERT_EQ(font, SharedFont());
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(form->BitBtn1->Handle(), WM_GETFONT, 0, 0)), font);
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(rtl::WideToSjis(lf.lfFaceName), S("ＭＳ Ｐゴシック"));
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
}

TEST_F(FormFromLayout, ShowsCentredWithTheActiveControlFocusedAndKeepsAFocus) {
  form->Show();
  testing_support::PumpUntilFocused(form->Edit1->Handle());
  RECT r{};
  GetWindowRect(form->Handle(), &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  EXPECT_EQ(GetFocus(), form->Edit1->Handle());
  EXPECT_TRUE(form->Edit1->Focused());
  // Disabling the focused control moves the focus on, within the form.
  form->BitBtn1->SetFocus();
  form->BitBtn1->SetEnabled(false);
  EXPECT_NE(GetFocus(), nullptr);
  EXPECT_NE(GetFocus(), form->BitBtn1->Handle());
  EXPECT_TRUE(IsChild(form->Handle(), GetFocus()));
}

TEST_F(FormFromLayout, TabFollowsTheTabOrderThroughPanels) {
  std::vector<TWinControl*> order;
  form->GetTabOrderList(order);
  std::vector<TWinControl*> expected = {form->BitBtn2, form->BitBtn3, form->Edit1, form->BitBtn1};
  EXPECT_EQ(order, expected);

  form->BitBtn2->SetEnabled(true);
  form->Show();
  ASSERT_EQ(testing_support::PumpUntilFocused(form->Edit1->Handle()), form->Edit1->Handle());
  MSG tab{form->Edit1->Handle(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_TRUE(form->DialogMessage(tab));
  EXPECT_EQ(GetFocus(), form->BitBtn1->Handle());
  tab.hwnd = GetFocus();
  EXPECT_TRUE(form->DialogMessage(tab));
  EXPECT_EQ(GetFocus(), form->BitBtn2->Handle());  // round to the first
  // A disabled control is passed over.
  form->BitBtn3->SetEnabled(false);
  tab.hwnd = GetFocus();
  EXPECT_TRUE(form->DialogMessage(tab));
  EXPECT_EQ(GetFocus(), form->Edit1->Handle());
}

TEST_F(FormFromLayout, AcceleratorsFocusTheLinkedControlOrPressTheButton) {
  form->Show();
  testing_support::PumpUntilFocused(form->Edit1->Handle());
  form->BitBtn2->SetFocus();
  ASSERT_EQ(GetFocus(), form->BitBtn2->Handle());
  MSG alt{form->BitBtn2->Handle(), WM_SYSCHAR, 'f', 0, 0, {}};
  EXPECT_TRUE(form->DialogMessage(alt));
  EXPECT_EQ(GetFocus(), form->Edit1->Handle());
  alt.wParam = 'R';
  alt.hwnd = GetFocus();
  EXPECT_TRUE(form->DialogMessage(alt));
  EXPECT_EQ(form->browseClicks, 1);
  // A character the edit box wants is its own, accelerator or not.
  MSG plain{form->Edit1->Handle(), WM_CHAR, 'r', 0, 0, {}};
  EXPECT_FALSE(form->DialogMessage(plain));
  alt.wParam = 'q';
  EXPECT_FALSE(form->DialogMessage(alt));
}

class ModalForm : public FormFromLayout {
 protected:
  void Post(TWinControl* control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    PostMessageW(control->Handle(), message, wParam, lParam);
  }
};

TEST_F(ModalForm, EndsWithTheModalResultOfAClickedButton) {
  Post(form->BitBtn3, BM_CLICK);
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_EQ(form->closeQueries, 1);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_FALSE(form->Modal());
}

TEST_F(ModalForm, EnterPressesTheDefaultButtonEscapeTheCancelButtonAndTheCloseBoxGivesCancel) {
  Post(form->Edit1, WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(form->ShowModal(), mrOk);
  Post(form->Edit1, WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(form->ShowModal(), mrCancel);
  Post(form.get(), WM_CLOSE);
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(ModalForm, EnterOnAFocusedButtonPressesThatButton) {
  form->SetActiveControl(form->BitBtn3);
  // The key goes in only once the button really has the focus: until the form is active, Enter
  // would belong to the default button.
  testing_support::Later([this] {
    EXPECT_TRUE(testing_support::PumpUntilActive(form->Handle()));
    form->BitBtn3->SetFocus();
    EXPECT_EQ(testing_support::PumpUntilFocused(form->BitBtn3->Handle()), form->BitBtn3->Handle());
    Post(form->BitBtn3, WM_KEYDOWN, VK_RETURN);
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(ModalForm, EnterDoesNothingWhileTheDefaultButtonIsDisabled) {
  form->BitBtn2->SetEnabled(false);
  Post(form->Edit1, WM_KEYDOWN, VK_RETURN);
  testing_support::Later([this] {
    EXPECT_EQ(form->ModalResult(), mrNone);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    form->BitBtn3->Click();
  }, 50);
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(ModalForm, ARefusedCloseQueryKeepsTheFormUpWithResultZero) {
  form->allowClose = false;
  Post(form->BitBtn2, BM_CLICK);
  testing_support::Later([this] {
    EXPECT_EQ(form->closeQueries, 1);
    EXPECT_EQ(form->ModalResult(), mrNone);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    form->allowClose = true;
    PostMessageW(form->BitBtn2->Handle(), BM_CLICK, 0, 0);
  }, 50);
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(form->closeQueries, 2);
}

TEST_F(ModalForm, DisablesTheOtherWindowsWhileUpAndGivesThemBack) {
  TForm other(nullptr);
  other.SetClientSize(100, 50);
  other.Show();
  testing_support::Pump();
  bool enabledDuring = true;
  testing_support::Later([&] {
    enabledDuring = IsWindowEnabled(other.Handle()) != FALSE;
    form->SetModalResult(mrYes);
  }, 30);
  EXPECT_EQ(form->ShowModal(), mrYes);
  EXPECT_FALSE(enabledDuring);
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
}

TEST_F(ModalForm, RefusesAFormThatIsAlreadyShown) {
  form->Show();
  EXPECT_THROW(form->ShowModal(), EInvalidOperation);
}

TEST_F(ModalForm, RunsNestedModalForms) {
  form->onBrowse = [this] {
    TfrmLayoutTest inner(form.get());
    EXPECT_EQ(GetWindow(inner.Handle(), GW_OWNER), form->Handle());
    PostMessageW(inner.BitBtn3->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(inner.ShowModal(), mrCancel);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
  };
  Post(form->BitBtn1, BM_CLICK);
  testing_support::Later([this] { form->SetModalResult(mrIgnore); }, 100);
  EXPECT_EQ(form->ShowModal(), mrIgnore);
  EXPECT_EQ(form->browseClicks, 1);
}

TEST(FormLayoutFailure, EscapesTheConstructor) {
  EXPECT_EQ(testing_support::MessageOf<ELayoutError>([] { testing_support::TfrmBrokenTest broken(nullptr); }),
            S("ﾚｲｱｳﾄ TfrmBrokenTest の 5 行目: ｸﾗｽ TNoSuchThing が登録されていません"));
}

TEST(FormClientSize, SurvivesChangesOfTheBorder) {
  TForm form(nullptr);
  form.SetClientSize(300, 120);
  form.Handle();
  form.SetBorderStyle(TFormBorderStyle::bsDialog);
  form.SetBorderIcons({});
  RECT client{};
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 120);
  EXPECT_FALSE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_SYSMENU);
  form.SetClientWidth(250);
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 250);
  EXPECT_EQ(form.ClientWidth(), 250);
}

// A form that answers the palette query with a palette of its own.
class TPaletteForm : public TForm {
 public:
  explicit TPaletteForm(TComponent* owner) : TForm(owner) {
    struct {
      WORD version = 0x300;
      WORD count = 2;
      PALETTEENTRY entries[2] = {{255, 0, 0, 0}, {0, 0, 255, 0}};
    } log;
    palette_ = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
  }
  ~TPaletteForm() override { DeleteObject(palette_); }
  HPALETTE GetPalette() const override { return palette_; }

 private:
  HPALETTE palette_;
};

TEST(FormPalette, IsRealisedWhenTheSystemAsksForIt) {
  TPaletteForm withPalette(nullptr);
  TForm without(nullptr);
  EXPECT_EQ(SendMessageW(withPalette.Handle(), WM_QUERYNEWPALETTE, 0, 0), TRUE);
  EXPECT_EQ(SendMessageW(without.Handle(), WM_QUERYNEWPALETTE, 0, 0), FALSE);
}

// Like a ready notifier: at its construction it asks for its form's window, puts a one-pixel
// control at the form's origin and posts that control a release of the right button.
class TTestSignal : public TComponent {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TTestSignal>("TTestSignal", &TComponent::StaticClass())
                                   .Event("OnReady", &TTestSignal::OnReady);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TTestSignal(TComponent* owner) : TComponent(owner) {
    auto* form = dynamic_cast<TForm*>(owner);
    if (form == nullptr) return;
    auto* catcher = new TControl(this);
    catcher->SetBounds(0, 0, 1, 1);
    catcher->OnMouseUp = [this, catcher](TObject*, TMouseButton, TShiftState, int32_t, int32_t) {
      catcher->SetEnabled(false);
      OnReady(this);
    };
    catcher->SetParent(form);
    PostMessageW(form->Handle(), WM_RBUTTONUP, 0, 0);
  }

  TNotifyEvent OnReady;
};

class TfrmSignalTest : public TForm {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TfrmSignalTest>("TfrmSignalTest", &TForm::StaticClass())
                                   .Field("ProgressBar1", &TfrmSignalTest::ProgressBar1)
                                   .Method("Signal1Ready", &TfrmSignalTest::Signal1Ready);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TfrmSignalTest(TComponent* owner) : TForm(owner) {
    RegisterClasses({&TTestSignal::StaticClass()});
    InitializeForm();
  }

  void Signal1Ready(TObject*) {
    ++ready;
    visibleWhenReady = IsWindowVisible(Handle()) != FALSE;
    SetModalResult(mrCancel);
    Repaint();
    ProgressBar1->SetMax(3);
    ProgressBar1->SetPosition(3);
    SetModalResult(mrOk);
  }

  TProgressBar* ProgressBar1 = nullptr;
  int ready = 0;
  bool visibleWhenReady = false;
};

TEST(FormWindowMadeWhileReading, KeepsItsLayout) {
  TfrmSignalTest form(nullptr);
  ASSERT_TRUE(form.HandleAllocated());
  testing_support::ExpectDialogFrame(form.Handle(), 368, 142, false);
  testing_support::ExpectPlaced({{form.ProgressBar1, 0, 126, 368, 16, nullptr}});
}

TEST(FormWindowMadeWhileReading, RunsTheSignalOnceTheFormIsShownModally) {
  TfrmSignalTest form(nullptr);
  EXPECT_EQ(form.ready, 0);
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(form.ready, 1);
  EXPECT_TRUE(form.visibleWhenReady);
  EXPECT_EQ(form.ProgressBar1->Position(), 3);
  // A later release at the origin no longer reaches the signal.
  SendMessageW(form.Handle(), WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(form.ready, 1);
}

}  // namespace
