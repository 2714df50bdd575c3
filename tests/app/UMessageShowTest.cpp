// ShowAppMessage read back from the real message box, through the box watcher.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/UMessage.h"
#include "framework/Application.h"
#include "rtl/Sjis.h"
#include "support/Gui.h"

namespace {

using rtl::Utf8ToSjis;
using testing_support::TBoxWatcher;
using testing_support::TShownBox;

// A plain top-level window of this thread, destroyed on scope exit.
class TopWindow {
 public:
  TopWindow()
      : window_(CreateWindowExW(0, L"STATIC", L"window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
  ~TopWindow() { DestroyWindow(window_); }
  TopWindow(const TopWindow&) = delete;
  TopWindow& operator=(const TopWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

class ShowAppMessageTest : public testing::Test {
 protected:
  void SetUp() override { framework::Application().SetTitle(title_); }
  void TearDown() override { framework::Application().SetTitle(""); }

  // Shows text through ShowAppMessage and returns the one box that came up.
  TShownBox Show(const std::string& text) {
    TBoxWatcher watch;
    EXPECT_TRUE(watch.Hooked());
    app::ShowAppMessage(text);
    EXPECT_FALSE(watch.TimedOut()) << "the box was not seen";
    EXPECT_EQ(watch.boxes.size(), 1u);
    return watch.boxes.empty() ? TShownBox{} : watch.boxes.front();
  }

  // "0123456789" repeated: a cut at the wrong place shows.
  static std::string Digits(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('0' + i % 10);
    return text;
  }

  std::string title_ = Utf8ToSjis("ぺらの5.16アップデーター");
};

TEST_F(ShowAppMessageTest, ShowsTheTextWithTheTitleExclamationAndOk) {
  TShownBox box = Show(Utf8ToSjis("アップデートは正常に終了しました"));
  EXPECT_EQ(box.caption, title_);
  EXPECT_EQ(box.text, Utf8ToSjis("アップデートは正常に終了しました"));
  EXPECT_TRUE(box.exclamationIcon);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST_F(ShowAppMessageTest, KeepsTheLineBreak) {
  std::string text = Utf8ToSjis("予期しないエラーが発生しました\r\nC:\\PELANO5W\\Pelano5.exe");
  EXPECT_EQ(Show(text).text, text);
}

TEST_F(ShowAppMessageTest, TextOf255BytesIsShownWhole) {
  EXPECT_EQ(Show(Digits(255)).text, Digits(255));
}

TEST_F(ShowAppMessageTest, TextOf256BytesLosesItsLastByte) {
  EXPECT_EQ(Show(Digits(256)).text, Digits(255));
}

TEST_F(ShowAppMessageTest, TextOf300BytesIsShownAsItsFirst255) {
  TShownBox box = Show(Digits(300));
  EXPECT_EQ(box.text, Digits(255));
  EXPECT_EQ(box.caption, title_);
}

TEST_F(ShowAppMessageTest, JapaneseTextIsCutByBytesNotCharacters) {
  // "a" and 150 double-byte characters: 301 bytes, of which the first 255 are "a" and 127 of them.
  std::string a = Utf8ToSjis("あ");
  std::string text = "a";
  for (int i = 0; i < 150; ++i) text += a;
  std::string expected = "a";
  for (int i = 0; i < 127; ++i) expected += a;
  ASSERT_EQ(expected.size(), 255u);
  EXPECT_EQ(Show(text).text, expected);
}

TEST_F(ShowAppMessageTest, TitleOf300BytesIsCutTo255) {
  title_ = Utf8ToSjis("ぺらの") + Digits(294);
  ASSERT_EQ(title_.size(), 300u);
  framework::Application().SetTitle(title_);
  TShownBox box = Show("text");
  EXPECT_EQ(box.caption, title_.substr(0, 255));
  EXPECT_EQ(box.text, "text");
}

TEST_F(ShowAppMessageTest, ApplicationWindowsAreDisabledWhileTheBoxIsUp) {
  TopWindow first;
  TopWindow second;
  TopWindow disabled;
  ASSERT_TRUE(first.get() && second.get() && disabled.get());
  EnableWindow(disabled.get(), FALSE);
  SetActiveWindow(first.get());
  ASSERT_EQ(GetActiveWindow(), first.get());

  std::vector<BOOL> enabledWhileUp;
  BOOL boxEnabled = FALSE;
  {
    TBoxWatcher watch([&](HWND box) {
      for (HWND window : {first.get(), second.get(), disabled.get()}) enabledWhileUp.push_back(IsWindowEnabled(window));
      boxEnabled = IsWindowEnabled(box);
    });
    app::ShowAppMessage("text");
    ASSERT_FALSE(watch.TimedOut());
    ASSERT_EQ(watch.boxes.size(), 1u);
  }
  EXPECT_EQ(enabledWhileUp, (std::vector<BOOL>{FALSE, FALSE, FALSE}));
  EXPECT_TRUE(boxEnabled);
  EXPECT_TRUE(IsWindowEnabled(first.get()));
  EXPECT_TRUE(IsWindowEnabled(second.get()));
  // A window that was disabled before stays so.
  EXPECT_FALSE(IsWindowEnabled(disabled.get()));
  EXPECT_EQ(GetActiveWindow(), first.get());
}

TEST_F(ShowAppMessageTest, WatchTellsTheIconsApart) {
  // The icon check above means something only if another flag gives another icon.
  TBoxWatcher watch;
  framework::Application().MessageBox("stop text", title_, MB_OK | MB_ICONSTOP);
  ASSERT_EQ(watch.boxes.size(), 1u);
  EXPECT_TRUE(watch.boxes[0].errorIcon);
  EXPECT_FALSE(watch.boxes[0].exclamationIcon);
}

}  // namespace
