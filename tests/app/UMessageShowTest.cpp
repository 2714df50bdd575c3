// ShowAppMessage read back from the real message box: a CBT hook on this thread sees the box being
// activated, reads it, and presses OK.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/UMessage.h"
#include "framework/Application.h"
#include "rtl/Sjis.h"

namespace {

using rtl::SjisToWide;
using rtl::Utf8ToSjis;

struct SeenBox {
  std::wstring caption;
  std::wstring text;
  HICON icon = nullptr;
  std::vector<int> buttons;  // ids of the visible buttons
};

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[64];
  int length = GetClassNameW(window, name, 64);
  return std::wstring(name, static_cast<std::size_t>(length));
}

BOOL CALLBACK ReadControl(HWND control, LPARAM param) {
  auto* seen = reinterpret_cast<SeenBox*>(param);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  std::wstring kind = ClassName(control);
  if (_wcsicmp(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    seen->icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
  } else if (_wcsicmp(kind.c_str(), L"Button") == 0 && (style & WS_VISIBLE)) {
    seen->buttons.push_back(GetDlgCtrlID(control));
  }
  return TRUE;
}

// While alive, answers every message box that this thread creates with OK after reading it. whileUp runs
// with the box up. A box not seen by the hook within 10 s is closed by a timer, so a failing test
// cannot hang.
class MessageBoxWatch {
 public:
  explicit MessageBoxWatch(std::function<void(HWND)> whileUp = {}) : whileUp_(std::move(whileUp)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, 10000, Timeout);
  }
  ~MessageBoxWatch() {
    KillTimer(nullptr, timer_);
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  MessageBoxWatch(const MessageBoxWatch&) = delete;
  MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

  bool Hooked() const { return hook_ != nullptr; }
  const std::vector<SeenBox>& Boxes() const { return boxes_; }
  bool TimedOut() const { return timedOut_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    // Only boxes created while this watch is on count, each answered once: a box of an earlier
    // test that is still going away may be activated again meanwhile.
    if (code == HCBT_CREATEWND && current_ && ClassName(window) == L"#32770") current_->created_.insert(window);
    if (code == HCBT_ACTIVATE && current_ && current_->created_.count(window) != 0 &&
        current_->answered_.insert(window).second) {
      current_->Answer(window);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK Timeout(HWND, UINT, UINT_PTR, DWORD) {
    if (!current_) return;
    current_->timedOut_ = true;
    EnumThreadWindows(GetCurrentThreadId(), CloseBox, 0);
  }

  static BOOL CALLBACK CloseBox(HWND window, LPARAM) {
    if (ClassName(window) == L"#32770") PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
  }

  void Answer(HWND box) {
    SeenBox seen;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, 0xFFFF));
    EnumChildWindows(box, ReadControl, reinterpret_cast<LPARAM>(&seen));
    boxes_.push_back(seen);
    if (whileUp_) whileUp_(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  }

  static inline MessageBoxWatch* current_ = nullptr;
  std::function<void(HWND)> whileUp_;
  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  std::set<HWND> created_;
  std::set<HWND> answered_;
  std::vector<SeenBox> boxes_;
  bool timedOut_ = false;
};

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
  SeenBox Show(const std::string& text) {
    MessageBoxWatch watch;
    EXPECT_TRUE(watch.Hooked());
    app::ShowAppMessage(text);
    EXPECT_FALSE(watch.TimedOut()) << "the box was not seen";
    EXPECT_EQ(watch.Boxes().size(), 1u);
    return watch.Boxes().empty() ? SeenBox{} : watch.Boxes().front();
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
  SeenBox box = Show(Utf8ToSjis("アップデートは正常に終了しました"));
  EXPECT_EQ(box.caption, SjisToWide(title_));
  EXPECT_EQ(box.text, SjisToWide(Utf8ToSjis("アップデートは正常に終了しました")));
  EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_EXCLAMATION));
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST_F(ShowAppMessageTest, KeepsTheLineBreak) {
  std::string text = Utf8ToSjis("予期しないエラーが発生しました\r\nC:\\PELANO5W\\Pelano5.exe");
  EXPECT_EQ(Show(text).text, SjisToWide(text));
}

TEST_F(ShowAppMessageTest, TextOf255BytesIsShownWhole) {
  EXPECT_EQ(Show(Digits(255)).text, SjisToWide(Digits(255)));
}

TEST_F(ShowAppMessageTest, TextOf256BytesLosesItsLastByte) {
  EXPECT_EQ(Show(Digits(256)).text, SjisToWide(Digits(255)));
}

TEST_F(ShowAppMessageTest, TextOf300BytesIsShownAsItsFirst255) {
  SeenBox box = Show(Digits(300));
  EXPECT_EQ(box.text, SjisToWide(Digits(255)));
  EXPECT_EQ(box.caption, SjisToWide(title_));
}

TEST_F(ShowAppMessageTest, JapaneseTextIsCutByBytesNotCharacters) {
  // "a" and 150 double-byte characters: 301 bytes, of which the first 255 are "a" and 127 of them.
  std::string a = Utf8ToSjis("あ");
  std::string text = "a";
  for (int i = 0; i < 150; ++i) text += a;
  std::string expected = "a";
  for (int i = 0; i < 127; ++i) expected += a;
  ASSERT_EQ(expected.size(), 255u);
  EXPECT_EQ(Show(text).text, SjisToWide(expected));
}

TEST_F(ShowAppMessageTest, TitleOf300BytesIsCutTo255) {
  title_ = Utf8ToSjis("ぺらの") + Digits(294);
  ASSERT_EQ(title_.size(), 300u);
  framework::Application().SetTitle(title_);
  SeenBox box = Show("text");
  EXPECT_EQ(box.caption, SjisToWide(title_.substr(0, 255)));
  EXPECT_EQ(box.text, L"text");
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
    MessageBoxWatch watch([&](HWND box) {
      for (HWND window : {first.get(), second.get(), disabled.get()}) enabledWhileUp.push_back(IsWindowEnabled(window));
      boxEnabled = IsWindowEnabled(box);
    });
    app::ShowAppMessage("text");
    ASSERT_FALSE(watch.TimedOut());
    ASSERT_EQ(watch.Boxes().size(), 1u);
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
  MessageBoxWatch watch;
  framework::Application().MessageBox("stop text", title_, MB_OK | MB_ICONSTOP);
  // Only this test's box counts: a box of an earlier test may still be going away.
  std::vector<SeenBox> ours;
  for (const SeenBox& box : watch.Boxes()) {
    if (box.text == L"stop text") ours.push_back(box);
  }
  ASSERT_EQ(ours.size(), 1u);
  EXPECT_EQ(ours[0].icon, LoadIconW(nullptr, IDI_HAND));
  EXPECT_NE(ours[0].icon, LoadIconW(nullptr, IDI_EXCLAMATION));
}

}  // namespace
