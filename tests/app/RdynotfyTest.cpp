#include "app/Rdynotfy.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "framework/Form.h"
#include "support/Gui.h"

namespace {

using framework::TComponent;
using framework::TForm;
using framework::TObject;
using app::TReadyNotifier;

class ReadyNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 200, 120);
  }
  void TearDown() override { testing_support::CancelLater(); }

  // A notifier on the form that counts its signals and notes whether the form was up then.
  TReadyNotifier* NewNotifier() {
    auto* notifier = new TReadyNotifier(form.get());
    notifier->OnReady = [this](TObject* sender) {
      ++fired;
      sentBy = sender;
      visibleWhenFired = IsWindowVisible(form->Handle()) != FALSE;
      if (form->Modal()) form->SetModalResult(framework::mrOk);
    };
    return notifier;
  }

  std::unique_ptr<TForm> form;
  int fired = 0;
  TObject* sentBy = nullptr;
  bool visibleWhenFired = false;
};

TEST_F(ReadyNotifierTest, FiresOnceFromTheModalLoopAfterTheFormIsShown) {
  TReadyNotifier* notifier = NewNotifier();
  EXPECT_EQ(fired, 0) << "fired during construction";
  EXPECT_EQ(form->ShowModal(), framework::mrOk);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(sentBy, notifier);
  EXPECT_TRUE(visibleWhenFired);
}

TEST_F(ReadyNotifierTest, AClickAtTheTopLeftPixelLaterDoesNotFireAgain) {
  TReadyNotifier* notifier = NewNotifier();
  testing_support::Pump();
  ASSERT_EQ(fired, 1);
  EXPECT_FALSE(notifier->Catcher()->Enabled());
  HWND window = form->Handle();
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}) PostMessageW(window, message, 0, 0);
  testing_support::Pump();
  EXPECT_EQ(fired, 1);
}

TEST_F(ReadyNotifierTest, CatcherIsAOnePixelChildAtTheClientOrigin) {
  TReadyNotifier* notifier = NewNotifier();
  app::TCatcher* catcher = notifier->Catcher();
  ASSERT_NE(catcher, nullptr);
  EXPECT_EQ(catcher->Parent(), form.get());
  EXPECT_EQ(catcher->Owner(), notifier);
  EXPECT_EQ(catcher->BoundsRect(), framework::Bounds(0, 0, 1, 1));
}

TEST_F(ReadyNotifierTest, TwoNotifiersEachFireOnce) {
  NewNotifier();
  NewNotifier();
  testing_support::Pump();
  EXPECT_EQ(fired, 2);
}

TEST_F(ReadyNotifierTest, WithoutAHandlerItOnlyDisablesItsCatcher) {
  auto* notifier = new TReadyNotifier(form.get());
  testing_support::Pump();
  EXPECT_FALSE(notifier->Catcher()->Enabled());
}

// Owned by something that is no form, or by a form destroyed before its loop runs, it never fires.
TEST(ReadyNotifierOwnerTest, NeverFiresWithoutAFormThatLivesToRunItsLoop) {
  int fired = 0;
  TComponent owner(nullptr);
  auto* notifier = new app::TReadyNotifier(&owner);
  notifier->OnReady = [&fired](TObject*) { ++fired; };
  {
    TForm form(nullptr);
    (new app::TReadyNotifier(&form))->OnReady = [&fired](TObject*) { ++fired; };
  }
  testing_support::Pump();
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(notifier->Catcher()->Parent(), nullptr);
  EXPECT_TRUE(notifier->Catcher()->Enabled());
}

}  // namespace
