#include <gtest/gtest.h>

#include <memory>

#include "support/Gui.h"
#include "framework/Errors.h"
#include "framework/LayoutReader.h"
#include "framework/LayoutWriter.h"
#include "support/MessageOf.h"

namespace {

using namespace framework;
using testing_support::S;

std::vector<std::string> journal;

enum class TMode { mdOff, mdSlow, mdFast };
enum class TOption { opRed, opGreen, opBlue };
using TOptions = TSet<TOption>;

// A nested object, as an image pack's loader is.
class TSettings : public TPersistent {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TSettings>("TSettings", &TPersistent::StaticClass())
                                   .String("ResName", &TSettings::ResName, &TSettings::SetResName)
                                   .Integer("Level", &TSettings::Level, &TSettings::SetLevel, 0);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  std::string ResName() const { return resName_; }
  void SetResName(const std::string& name) {
    journal.push_back("ResName=" + name);
    resName_ = name;
  }
  int32_t Level() const { return level_; }
  void SetLevel(int32_t level) { level_ = level; }

 private:
  std::string resName_;
  int32_t level_ = 0;
};

class TThing : public TComponent {
 public:
  static const TClass& StaticClass() {
    static const TClass info =
        TClassBuilder<TThing>("TThing", &TComponent::StaticClass())
            .Integer("Count", &TThing::Count, &TThing::SetCount, 1)
            .Boolean("Flag", &TThing::Flag, &TThing::SetFlag, false)
            .String("Title", &TThing::Title, &TThing::SetTitle)
            .Enumeration("Mode", &TThing::Mode, &TThing::SetMode, {"mdOff", "mdSlow", "mdFast"}, TMode::mdOff)
            .Set("Options", &TThing::Options, &TThing::SetOptions, {"opRed", "opGreen", "opBlue"}, TOptions{})
            .Object("Settings", &TThing::Settings)
            .Binary("Data", &TThing::ReadData, &TThing::WriteData, &TThing::DataStored)
            .Component("Buddy", &TThing::Buddy, &TThing::SetBuddy)
            .Event("OnPing", &TThing::OnPing);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TThing(TComponent* owner) : TComponent(owner) {}

  int32_t Count() const { return count_; }
  void SetCount(int32_t count) {
    journal.push_back(Name() + ".Count" + (Loading() ? " loading" : ""));
    count_ = count;
  }
  bool Flag() const { return flag_; }
  void SetFlag(bool flag) { flag_ = flag; }
  std::string Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  TMode Mode() const { return mode_; }
  void SetMode(TMode mode) { mode_ = mode; }
  TOptions Options() const { return options_; }
  void SetOptions(TOptions options) { options_ = options; }
  TSettings& Settings() { return settings_; }
  TThing* Buddy() const { return buddy_; }
  void SetBuddy(TThing* buddy) { buddy_ = buddy; }
  void ReadData(rtl::TStream& stream) {
    data_.resize(static_cast<std::size_t>(stream.GetSize()));
    if (!data_.empty()) stream.ReadBuffer(data_.data(), static_cast<int32_t>(data_.size()));
  }
  void WriteData(rtl::TStream& stream) const {
    if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
  }
  bool DataStored() const { return !data_.empty(); }
  const std::vector<uint8_t>& Data() const { return data_; }

  void Loaded() override {
    TComponent::Loaded();
    journal.push_back("Loaded " + Name());
  }

  TNotifyEvent OnPing;

 private:
  int32_t count_ = 1;
  bool flag_ = false;
  std::string title_;
  TMode mode_ = TMode::mdOff;
  TOptions options_;
  TSettings settings_;
  TThing* buddy_ = nullptr;
  std::vector<uint8_t> data_;
};

class TBox : public TComponent {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TBox>("TBox", &TComponent::StaticClass())
                                   .Method("Ping", &TBox::Ping)
                                   .Field("Thing1", &TBox::Thing1);
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }
  explicit TBox(TComponent* owner) : TComponent(owner) {}

  void Ping(TObject* sender) { pinged = sender; }
  void Loaded() override {
    TComponent::Loaded();
    journal.push_back("Loaded " + Name());
  }

  TThing* Thing1 = nullptr;
  TObject* pinged = nullptr;
};

class LayoutReading : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterClasses({&TThing::StaticClass(), &TBox::StaticClass()}); }
  void SetUp() override { journal.clear(); }

  static void Read(const std::string& text) {
    TBox box(nullptr);
    ReadLayout(box, text, "TBox");
  }
  static std::string ErrorOf(const std::string& text) {
    return testing_support::MessageOf<ELayoutError>([&] { Read(text); });
  }
};

const char* const kLayout = R"(object Box1: TBox
  object Thing1: TThing
    Count = 7
    Flag = True
    Title = 'ぺらの''s '#13#10'line'
    Mode = mdFast
    Options = [opRed, opBlue]
    Settings.ResName = 'LOGO'
    Settings.Level = -2147483648
    Data = {00 01 FE
            FF}
    Buddy = Thing2
    OnPing = Ping
  end
  object Thing2: TThing
    Count = $7FFFFFFF
  end
end
)";

TEST_F(LayoutReading, SetsEveryKindOfProperty) {
  TBox box(nullptr);
  ReadLayout(box, kLayout, "TBox");
  EXPECT_EQ(box.Name(), "Box1");
  ASSERT_EQ(box.ComponentCount(), 2);
  auto* thing = dynamic_cast<TThing*>(box.FindComponent("Thing1"));
  auto* thing2 = dynamic_cast<TThing*>(box.FindComponent("Thing2"));
  ASSERT_NE(thing, nullptr);
  ASSERT_NE(thing2, nullptr);
  EXPECT_EQ(box.Thing1, thing);  // the published field
  EXPECT_EQ(thing->Owner(), &box);
  EXPECT_EQ(thing->Count(), 7);
  EXPECT_TRUE(thing->Flag());
  EXPECT_EQ(thing->Title(), S("ぺらの's \r\nline"));
  EXPECT_EQ(thing->Mode(), TMode::mdFast);
  EXPECT_EQ(thing->Options(), (TOptions{TOption::opRed, TOption::opBlue}));
  EXPECT_EQ(thing->Settings().ResName(), "LOGO");
  EXPECT_EQ(thing->Settings().Level(), INT32_MIN);
  EXPECT_EQ(thing->Data(), (std::vector<uint8_t>{0x00, 0x01, 0xFE, 0xFF}));
  EXPECT_EQ(thing->Buddy(), thing2);
  EXPECT_EQ(thing2->Count(), INT32_MAX);
  thing->OnPing(thing);
  EXPECT_EQ(box.pinged, thing);
  EXPECT_FALSE(thing->Loading());
}

TEST_F(LayoutReading, ReportsFaultsWithTheirLine) {
  const std::string thing = "object B: TBox\n object T: TThing\n  ";
  const struct {
    std::string layout;
    const char* fault;  // after "ﾚｲｱｳﾄ TBox の "
  } cases[] = {
      {"object B: TBox\n  object T: TNoSuch\n  end\nend\n", "2 行目: ｸﾗｽ TNoSuch が登録されていません"},
      {thing + "Colour = 1\n end\nend", "3 行目: ﾌﾟﾛﾊﾟﾃｨ Colour がありません"},
      {thing + "Mode = mdMedium\n end\nend", "3 行目: ﾌﾟﾛﾊﾟﾃｨ Mode の値が不正です"},
      {thing + "OnPing = Pong\n end\nend", "3 行目: ﾒｿｯﾄﾞ Pong がないか、型が合いません"},
      {thing + "Buddy = Nobody\n end\nend", "3 行目: ｺﾝﾎﾟｰﾈﾝﾄ Nobody がありません"},
      {"object B: TThing\nend", "1 行目: ﾙｰﾄのｸﾗｽ TThing がﾌｫｰﾑのｸﾗｽと違います"},
      {thing + "Settings = 1\n end\nend", "3 行目: ﾌﾟﾛﾊﾟﾃｨ Settings の値が不正です"},
      {"object B: TBox\n object T: TThing\n end\n object T: TThing\n end\nend",
       "4 行目: ｺﾝﾎﾟｰﾈﾝﾄ名 T はすでに使われています"},
  };
  for (const auto& each : cases) EXPECT_EQ(ErrorOf(each.layout), S("ﾚｲｱｳﾄ TBox の ") + S(each.fault)) << each.layout;
}

TEST_F(LayoutReading, RejectsBadSyntaxAtItsEdgesAndDeepNesting) {
  const struct {
    const char* property;  // of Thing1; none: value is the whole layout
    const char* value;
    bool accepted;
  } cases[] = {
      {"Count", "2147483647", true},   {"Count", "-2147483648", true},  {"Count", "2147483648", false},
      {"Count", "-2147483649", false}, {"Count", "$100000000", false},  {"Count", "12abc", false},
      {"Count", "-", false},           {"Data", "{}", true},            {"Data", "{0}", false},
      {"Data", "{0G}", false},         {"Data", "{00", false},          {"Title", "'a' + 'b'#65", true},
      {"Title", "'open", false},       {"Title", "#", false},           {"Title", "#1114112", false},
      {"Title", "#55296", false},      {nullptr, "object B: TBox\n", false},
      {nullptr, "object B: TBox\nend\nextra", false},                  {nullptr, "", false},
      {nullptr, "object B TBox\nend", false},
  };
  for (const auto& each : cases) {
    const std::string layout = each.property == nullptr ? std::string(each.value)
                                                        : std::string("object B: TBox\n object T: TThing\n  ") +
                                                              each.property + " = " + each.value + "\n end\nend";
    SCOPED_TRACE(layout);
    if (each.accepted) {
      EXPECT_NO_THROW(Read(layout));
    } else {
      EXPECT_NE(ErrorOf(layout).find(S("構文ｴﾗｰ")), std::string::npos);
    }
  }
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "object T" + std::to_string(i) + ": TThing\n";
  for (int i = 0; i < 40; ++i) deep += "end\n";
  EXPECT_NE(ErrorOf("object B: TBox\n" + deep + "end").find(S("入れ子が深すぎます")), std::string::npos);
}

TEST_F(LayoutReading, ComponentsAlreadyCreatedGoWithTheRootOnFailure) {
  TBox box(nullptr);
  EXPECT_THROW(ReadLayout(box, "object B: TBox\n object T1: TThing\n end\n object T2: TNoSuch\n end\nend", "TBox"),
               ELayoutError);
  // The component read so far belongs to the root and goes with it; it was never Loaded.
  EXPECT_EQ(box.ComponentCount(), 1);
  EXPECT_TRUE(box.Components()[0]->Loading());
}

// All properties are set before any component is told it is loaded, the root first; the writer then
// writes the stored properties, which read back the same, and leaves out handlers assigned in code.
TEST_F(LayoutReading, SetsAllPropertiesBeforeAnyLoadedAndWritesThemBack) {
  TBox box(nullptr);
  ReadLayout(box, kLayout, "TBox");
  std::vector<std::string> expected = {"Thing1.Count loading", "ResName=LOGO", "Thing2.Count loading",
                                       "Loaded Box1", "Loaded Thing1", "Loaded Thing2"};
  EXPECT_EQ(journal, expected);
  std::string written = WriteLayout(box);
  // Defaults are left out; everything else comes back.
  EXPECT_NE(written.find("    Count = 7\n"), std::string::npos) << written;
  EXPECT_EQ(written.find("Count = 1\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    Settings.ResName = 'LOGO'\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    Title = 'ぺらの''s '#13#10'line'\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    Options = [opRed, opBlue]\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    Buddy = Thing2\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    OnPing = Ping\n"), std::string::npos) << written;
  EXPECT_NE(written.find("0001FEFF}"), std::string::npos) << written;
  EXPECT_EQ(written.find("Flag = False"), std::string::npos) << written;

  TBox copy(nullptr);
  ReadLayout(copy, written, "TBox");
  EXPECT_EQ(WriteLayout(copy), written);
  TBox coded(nullptr);
  auto* thing = new TThing(&coded);
  thing->SetName("Thing1");
  thing->OnPing = [](TObject*) {};
  EXPECT_EQ(WriteLayout(coded), "object : TBox\n  object Thing1: TThing\n  end\nend\n");
}

}  // namespace
