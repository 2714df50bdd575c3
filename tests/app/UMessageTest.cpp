// The message catalogue, the update's version record with the title made from it, and
// ShowAppMessage read back from the real message box.
#include "app/UMessage.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "framework/Application.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"
#include "support/Gui.h"
#include "support/MessageOf.h"

namespace {

using rtl::Utf8ToSjis;
using testing_support::TBoxWatcher;
using testing_support::TShownBox;

TEST(CatalogueTest, EveryEntryHasItsExactText) {
  struct Entry {
    const char* name;
    std::string (*load)();
    const char* utf8;
  };
  const Entry entries[] = {
      {"msgTitleFormat", app::msgTitleFormat, "ぺらの%d.%d%dアップデーター"},
      {"resUpdateVersion", app::resUpdateVersion, "UPDATEVERSION"},
      {"regInstallDirKey", app::regInstallDirKey, "Pelano5.Application\\dstDir"},
      {"exeFileName", app::exeFileName, "Pelano5.exe"},
      {"defaultFolderName", app::defaultFolderName, "\\PELANO5W"},
      {"msgNoUpdateNeeded", app::msgNoUpdateNeeded, "お使いのぺらのちゃんは、アップデートの必要がありません"},
      {"msgCannotUpdate", app::msgCannotUpdate, "このぺらのちゃんを、アップデートすることはできません"},
      {"resUpdateData", app::resUpdateData, "UPDATEDATA"},
      {"msgReadOnly", app::msgReadOnly, "ファイルが読み取り専用になっているためアップデートできません\r\n%s"},
      {"msgUnexpectedError", app::msgUnexpectedError, "予期しないエラーが発生しました\r\n%s"},
      {"msgUpdateDone", app::msgUpdateDone, "アップデートは正常に終了しました"},
      {"msgUpdateFailed", app::msgUpdateFailed, "アップデート処理に失敗しました"},
  };
  for (const Entry& entry : entries) {
    EXPECT_EQ(entry.load(), Utf8ToSjis(entry.utf8)) << entry.name;
  }
}

TEST(CatalogueTest, IsLoadedFromTheCurrentResourceModuleAtEachUse) {
  // A module without the catalogue has none of the texts; switching back brings them again.
  testing_support::DataModule bare("version_5_1_6_0.dll");
  ASSERT_NE(bare.get(), nullptr);
  app::SetResourceModule(bare.get());
  std::string missing = app::msgUpdateDone();
  app::SetResourceModule(nullptr);
  EXPECT_EQ(missing, "");
  EXPECT_EQ(app::msgUpdateDone(), Utf8ToSjis("アップデートは正常に終了しました"));
}

// Reads the record of a fixture module through the real resource path.
class UpdateVersionTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { app::SetResourceModule(nullptr); }

  static void Reset() {
    app::UpdateMajor = -1;
    app::UpdateMinorRelease = -1;
  }
  // Loads the module and checks that its record has the size the fixture claims (-1: none).
  void Use(const char* name, int expectedRecordSize) {
    module_ = std::make_unique<testing_support::DataModule>(name);
    ASSERT_NE(module_->get(), nullptr) << name;
    HRSRC record = FindResourceW(module_->get(), L"UPDATEVERSION", RT_RCDATA);
    if (expectedRecordSize < 0) {
      ASSERT_EQ(record, nullptr) << name;
    } else {
      ASSERT_NE(record, nullptr) << name;
      ASSERT_EQ(SizeofResource(module_->get(), record), static_cast<DWORD>(expectedRecordSize)) << name;
    }
    app::SetResourceModule(module_->get());
  }

  std::unique_ptr<testing_support::DataModule> module_;
};

// The record's words are unsigned; the fourth (reserved) is not read, nor anything after the eighth
// byte; a release of ten or more carries into the minor digit.
TEST_F(UpdateVersionTest, GivesTheVersionAndTheTitle) {
  const struct {
    const char* module;
    int recordSize;
    int major;
    int minorRelease;
    const char* title;
  } cases[] = {
      {"record_shipped.dll", 8, 5, 16, "ぺらの5.16アップデーター"},
      {"record_reserved.dll", 8, 5, 16, "ぺらの5.16アップデーター"},
      {"record_zero.dll", 8, 5, 0, "ぺらの5.00アップデーター"},
      {"record_carry.dll", 8, 5, 22, "ぺらの5.22アップデーター"},
      {"record_max.dll", 8, 65535, 65535 * 10 + 65535, "ぺらの65535.720885アップデーター"},
      {"record_long.dll", 10, 5, 16, "ぺらの5.16アップデーター"},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.module);
    Reset();
    Use(each.module, each.recordSize);
    app::ReadUpdateVersion();
    EXPECT_EQ(app::UpdateMajor, each.major);
    EXPECT_EQ(app::UpdateMinorRelease, each.minorRelease);
    EXPECT_EQ(app::FormatAppTitle(), Utf8ToSjis(each.title));
  }
}

TEST_F(UpdateVersionTest, ARecordShorterThanEightBytesIsAReadError) {
  for (const auto& [module, size] : {std::pair{"record_short7.dll", 7}, std::pair{"record_short6.dll", 6}}) {
    SCOPED_TRACE(module);
    Use(module, size);
    EXPECT_EQ(testing_support::MessageOf<rtl::EReadError>([] { app::ReadUpdateVersion(); }),
              Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
    EXPECT_EQ(app::UpdateMajor, -1);
    EXPECT_EQ(app::UpdateMinorRelease, -1);
  }
}

TEST_F(UpdateVersionTest, AMissingRecordIsAResourceError) {
  // The test program's own resources, read without another module, carry the catalogue but no record.
  for (const char* module : {"record_none.dll", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(module ? module : "the program's own");
    if (module != nullptr) {
      Use(module, -1);
    } else {
      app::SetResourceModule(nullptr);
    }
    EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>([] { app::ReadUpdateVersion(); }),
              Utf8ToSjis("UPDATEVERSION ﾘｿｰｽが見つかりません"));
    EXPECT_EQ(app::UpdateMajor, -1);
  }
}

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

// The text under the title with the exclamation icon and OK alone, its line break kept and cut
// after 255 bytes, by bytes, not characters.
TEST_F(ShowAppMessageTest, ShowsTheTextUpTo255BytesWithTheTitleExclamationAndOk) {
  // "a" and 150 double-byte characters: 301 bytes, of which the first 255 are "a" and 127 of them.
  const std::string a = Utf8ToSjis("あ");
  std::string japanese = "a";
  for (int i = 0; i < 150; ++i) japanese += a;
  const std::string text = Utf8ToSjis("予期しないエラーが発生しました\r\nC:\\PELANO5W\\Pelano5.exe");
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {Utf8ToSjis("アップデートは正常に終了しました"), Utf8ToSjis("アップデートは正常に終了しました")},
      {text, text},
      {Digits(255), Digits(255)},
      {Digits(256), Digits(255)},
      {Digits(300), Digits(255)},
      {japanese, japanese.substr(0, 1 + 2 * 127)},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.text.size());
    TShownBox box = Show(each.text);
    EXPECT_EQ(box.text, each.shown);
    EXPECT_EQ(box.caption, title_);
    // Both icons are told apart: the exclamation check would fail for another icon.
    EXPECT_TRUE(box.exclamationIcon);
    EXPECT_FALSE(box.errorIcon);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  }
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

}  // namespace
