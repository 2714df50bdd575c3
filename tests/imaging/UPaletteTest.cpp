#include "imaging/UPalette.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "DIBImages.h"
#include "PaletteEntries.h"
#include "rtl/Exception.h"
#include "rtl/ScopeExit.h"
#include "rtl/Stream.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Palettes.h"

namespace {

using namespace testing_support;
using framework::TPaletteHandle;
using testing_support::PaletteEntries;

std::vector<PALETTEENTRY> BlueFillers(int first, int last) {
  std::vector<PALETTEENTRY> fillers;
  for (int blue = first; blue <= last; ++blue) fillers.push_back(Entry(0, 0, blue));
  return fillers;
}

bool HasColor(const std::vector<PALETTEENTRY>& entries, const PALETTEENTRY& color) {
  return std::any_of(entries.begin(), entries.end(), [&](const PALETTEENTRY& e) {
    return e.peRed == color.peRed && e.peGreen == color.peGreen && e.peBlue == color.peBlue;
  });
}

std::vector<PALETTEENTRY> Concat(std::initializer_list<std::vector<PALETTEENTRY>> parts) {
  std::vector<PALETTEENTRY> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// --- ArrangePalette

class ArrangePalette : public ::testing::Test {
 protected:
  std::vector<PALETTEENTRY> Arranged(const std::vector<PALETTEENTRY>& own, bool blackAndWhite, int32_t count) {
    TPaletteHandle palette = MakePalette(own);
    imaging::ArrangePalette(palette.get(), blackAndWhite, count);
    return PaletteEntries(palette.get());
  }

  const PALETTEENTRY black = Entry(0, 0, 0);
  const PALETTEENTRY white = Entry(255, 255, 255);
  const PALETTEENTRY red = Entry(255, 0, 0);
  const std::vector<PALETTEENTRY> stock = StockEntries();
};

// Black first and white last, or the static colours half at the start and half at the end; the own
// colours between them in their order, as many as fit, and blues not yet present for the rest.
TEST_F(ArrangePalette, PutsTheOwnColoursBetweenTheStaticOnesAndFillsWithBlues) {
  std::vector<PALETTEENTRY> twenty;
  for (int i = 1; i <= 20; ++i) twenty.push_back(Entry(i * 10, 5, 7));
  const struct {
    const char* name;
    std::vector<PALETTEENTRY> own;
    bool blackAndWhite;
    int32_t count;
    std::vector<PALETTEENTRY> expected;
  } cases[] = {
      {"sixteen on red, black, red", {red, black, red}, true, 16, Concat({{black, red}, BlueFillers(1, 13), {white}})},
      {"a filler already present is skipped", {Entry(0, 0, 1)}, true, 256,
       Concat({{black, Entry(0, 0, 1)}, BlueFillers(2, 254), {white}})},
      {"the first colours when not all fit", twenty, true, 16,
       Concat({{black}, {twenty.begin(), twenty.begin() + 14}, {white}})},
      {"grown to the count", {red}, true, 200, Concat({{black, red}, BlueFillers(1, 197), {white}})},
      {"flags travel with their entry but make no colour new",
       {Entry(9, 9, 9, PC_NOCOLLAPSE), Entry(9, 9, 9), Entry(0, 0, 0, PC_NOCOLLAPSE)}, true, 4,
       {black, Entry(9, 9, 9, PC_NOCOLLAPSE), Entry(0, 0, 1), white}},
      {"a count of black and white alone", {red}, true, 2, {black, white}},
      {"a count of the static colours alone", {red}, false, 20, stock},
  };
  for (const auto& c : cases) EXPECT_EQ(Arranged(c.own, c.blackAndWhite, c.count), c.expected) << c.name;
}

TEST_F(ArrangePalette, TheStaticColoursGoHalfToTheStartAndHalfToTheEnd) {
  ASSERT_EQ(stock.size(), 20u);
  TPaletteHandle palette = MakePalette(stock);
  imaging::ArrangePalette256(palette.get(), false);
  auto result = PaletteEntries(palette.get());
  // (0, 0, 128) is a static colour, so that filler is skipped.
  std::vector<PALETTEENTRY> first(stock.begin(), stock.begin() + 10), second(stock.begin() + 10, stock.end());
  EXPECT_EQ(result, Concat({first, BlueFillers(1, 127), BlueFillers(129, 237), second}));
}

TEST_F(ArrangePalette, CountOutsideItsRangeRaisesRangeErrorAndLeavesThePalette) {
  TPaletteHandle palette = MakePalette({red, black});
  EXPECT_THROW(imaging::ArrangePalette(palette.get(), true, 1), rtl::ERangeError);
  EXPECT_THROW(imaging::ArrangePalette(palette.get(), true, 257), rtl::ERangeError);
  EXPECT_THROW(imaging::ArrangePalette(palette.get(), false, 19), rtl::ERangeError);
  EXPECT_THROW(imaging::ArrangePalette(palette.get(), false, -1), rtl::ERangeError);
  EXPECT_EQ(PaletteEntries(palette.get()), (std::vector<PALETTEENTRY>{red, black}));
}

// A failed call's code travels with the exception and stands in its text; a refusal of ours has none.
TEST_F(ArrangePalette, RefusesNoPaletteAndTheSharedStockPalette) {
  EXPECT_THROW(imaging::ArrangePalette(nullptr, true, 16), imaging::EGdiError);
  SetLastError(ERROR_INVALID_HANDLE);
  const imaging::EGdiError failed = imaging::EGdiError::LastError("read palette");
  EXPECT_EQ(failed.SystemError, static_cast<unsigned long>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(failed.Message, "cannot read palette(GLE=6)");
  HPALETTE shared = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  const auto refused = ExceptionOf<imaging::EGdiError>([&] { imaging::ArrangePalette256(shared, false); });
  if (refused) {
    EXPECT_EQ(refused->SystemError, 0u);
  }
  EXPECT_EQ(StockEntries(), stock);
}

// --- ReadRiffPalette

class ReadRiffPalette : public ::testing::Test {
 protected:
  TPaletteHandle Read(const Bytes& bytes) {
    rtl::TMemoryStream stream;
    Fill(stream, bytes);
    return imaging::ReadRiffPalette(stream);
  }

  const std::vector<PALETTEENTRY> three = {Entry(1, 2, 3), Entry(200, 100, 50, PC_NOCOLLAPSE), Entry(255, 255, 255)};
};

// The entries of the data chunk, whatever the form's size says and whatever follows them in the chunk.
TEST_F(ReadRiffPalette, ReadsTheEntriesOfTheDataChunk) {
  std::vector<PALETTEENTRY> full;
  for (int i = 0; i < 256; ++i) full.push_back(Entry(i, 255 - i, i / 2));
  Bytes beyond = RiffPalette(three);
  Patch32(beyond, 16, 4 + 12 + 3);
  beyond.insert(beyond.end(), {9, 9, 9});
  std::vector<std::pair<Bytes, std::vector<PALETTEENTRY>>> cases = {{RiffPalette(full), full}, {beyond, three}};
  for (uint32_t formSize : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    cases.push_back({RiffPalette(three), three});
    Patch32(cases.back().first, 4, formSize);
  }
  for (const auto& [bytes, entries] : cases) {
    SCOPED_TRACE(testing::Message() << bytes.size() << " bytes, form size " << Get32(bytes, 4));
    TPaletteHandle palette = Read(bytes);
    ASSERT_TRUE(palette);
    EXPECT_EQ(PaletteEntries(palette.get()), entries);
  }
}

TEST_F(ReadRiffPalette, ReadsFromTheStreamsPositionAndStopsAfterTheChunk) {
  Bytes bytes = {'j', 'u', 'n', 'k', '!'};
  const Bytes riff = RiffPalette(three);
  bytes.insert(bytes.end(), riff.begin(), riff.end());
  bytes.push_back('x');
  rtl::TMemoryStream stream;
  Fill(stream, bytes);
  stream.SetPosition(5);
  TPaletteHandle palette = imaging::ReadRiffPalette(stream);
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), three);
  EXPECT_EQ(stream.GetPosition(), 5 + 20 + 16);
}

TEST_F(ReadRiffPalette, DataThatIsNoWholePaletteFileIsNotAPalette) {
  const Bytes good = RiffPalette(three);
  const Bytes full = RiffPalette(std::vector<PALETTEENTRY>(256, Entry(7, 7, 7)));
  Bytes longer = full;
  longer.push_back(0);  // the stream does hold 1,029 bytes
  auto with = [](Bytes bytes, std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), bytes.begin() + std::ptrdiff_t(at));
    return bytes;
  };
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"a RIFX form", with(good, 3, "X")},
      {"a first chunk other than data", with(good, 12, "LIST")},
      {"a header one byte short", Bytes(good.begin(), good.begin() + 19)},
      {"nothing", {}},
      {"data one byte short of its size", Bytes(good.begin(), good.end() - 1)},
      {"four entries claimed, three present", with(good, 18, "\x04")},
      {"257 entries in a 1,028-byte chunk", with(full, 18, "\x01\x01")},
      {"no entries", RiffPalette({})},
  };
  for (std::size_t at : {0, 1, 2, 3, 8, 9, 10, 11, 12, 13, 14, 15}) {
    cases.push_back({"a letter of the signature changed at " + std::to_string(at), good});
    cases.back().second[at] ^= 0x20;
  }
  // A record that cannot hold its header, or claims more than the chunk.
  for (uint32_t size : {3u, 0u, 1029u, 0xFFFFFFFFu, 0x80000000u}) {
    cases.push_back({"a record of " + std::to_string(size) + " bytes", size <= 3 ? good : longer});
    Patch32(cases.back().second, 16, size);
  }
  for (const auto& [name, bytes] : cases) EXPECT_FALSE(Read(bytes)) << name;
}

// --- Palettes among the module's resources (ImagingTest.rc)

// Keep in step with test_entries() in make_palettes.py.
PALETTEENTRY ResourceEntry(int i) { return Entry(10 + i * 15, 200 - i * 11, 33 + i * 13, i % 2 ? PC_NOCOLLAPSE : 0); }

std::vector<PALETTEENTRY> ResourceEntries() {
  std::vector<PALETTEENTRY> entries;
  for (int i = 0; i < 16; ++i) entries.push_back(ResourceEntry(i));
  return entries;
}

HMODULE ThisModule() { return GetModuleHandleW(nullptr); }
// A module that holds no "Palette" resources.
HMODULE ModuleWithoutPalettes() { return GetModuleHandleW(L"kernel32.dll"); }

// A RIFF palette resource is read; no such resource, or one that is not a RIFF palette, gives none.
TEST(LoadPaletteResource, ReadsARiffPaletteResourceAndNothingElse) {
  TPaletteHandle palette = imaging::LoadPaletteResource(ThisModule(), "DefaultPalette", L"Palette");
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), ResourceEntries());
  EXPECT_FALSE(imaging::LoadPaletteResource(ThisModule(), "NoSuchPalette", L"Palette"));
  EXPECT_FALSE(imaging::LoadPaletteResource(ThisModule(), "DefaultPalette", L"Palettes"));
  EXPECT_FALSE(imaging::LoadPaletteResource(ModuleWithoutPalettes(), "DefaultPalette", L"Palette"));
  EXPECT_FALSE(imaging::LoadPaletteResource(ThisModule(), "BrokenPalette", L"Palette"));
}

// --- The halftone copy and the default palette

std::vector<PALETTEENTRY> HalftoneEntries() {
  HDC screen = GetDC(nullptr);
  TPaletteHandle halftone(CreateHalftonePalette(screen));
  ReleaseDC(nullptr, screen);
  return PaletteEntries(halftone.get());
}

TEST(CreateHalftonePaletteCopy, EachCallGivesAPaletteOfItsOwnWithTheHalftoneEntries) {
  const std::vector<PALETTEENTRY> expected = HalftoneEntries();
  ASSERT_FALSE(expected.empty());
  TPaletteHandle first = imaging::CreateHalftonePaletteCopy();
  TPaletteHandle second = imaging::CreateHalftonePaletteCopy();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(PaletteEntries(first.get()), expected);
  first.reset();
  EXPECT_EQ(GetObjectType(second.get()), static_cast<DWORD>(OBJ_PAL));
  EXPECT_EQ(PaletteEntries(second.get()), expected);
}

class DefaultPalette : public ::testing::Test {
 protected:
  void TearDown() override { imaging::DoneDefaultPalette(); }

  const std::vector<PALETTEENTRY> stock = StockEntries();
  std::vector<PALETTEENTRY> FirstStatics() const { return {stock.begin(), stock.begin() + 10}; }
  std::vector<PALETTEENTRY> LastStatics() const { return {stock.begin() + 10, stock.end()}; }
};

std::vector<PALETTEENTRY> SystemPalette() {
  HDC screen = GetDC(nullptr);
  std::vector<PALETTEENTRY> entries(256);
  entries.resize(GetSystemPaletteEntries(screen, 0, 256, entries.data()));
  ReleaseDC(nullptr, screen);
  return entries;
}

int CountPresent(const std::vector<PALETTEENTRY>& colors, const std::vector<PALETTEENTRY>& in) {
  return static_cast<int>(std::count_if(colors.begin(), colors.end(), [&](const PALETTEENTRY& c) { return HasColor(in, c); }));
}

// Realises a palette of these colours in the foreground: through a window of this program that is
// the foreground window, since the system takes a palette realised for any other window (the screen's
// included, while another program's window is in the foreground) as a background palette.
void RealiseInTheForeground(const std::vector<PALETTEENTRY>& colors) {
  framework::TPaletteHandle palette = MakePalette(colors);
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  rtl::TScopeExit destroy([window] { DestroyWindow(window); });
  SetForegroundWindow(window);
  ASSERT_EQ(GetForegroundWindow(), window);
  framework::TWindowDC dc(window);
  framework::TPaletteGuard realised(dc.get(), palette.get(), false);
  EXPECT_TRUE(realised.Selected());
}

// Fills the free entries of a palette display's system palette with colours of none of the given
// ones, then frees them again: whatever earlier tests realised is gone, and a background palette
// finds room.
void FlushSystemPalette(const std::vector<PALETTEENTRY>& avoided) {
  std::vector<PALETTEENTRY> others;
  for (int i = 0; others.size() < 236; ++i) {
    PALETTEENTRY color{static_cast<BYTE>(i * 7), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3 + 1), PC_NOCOLLAPSE};
    if (!HasColor(avoided, color)) others.push_back(color);
  }
  RealiseInTheForeground(others);
  RealiseInTheForeground({PALETTEENTRY{0, 0, 0, 0}});
}

// The resource's colours, arranged around the static ones, are in no system palette until the
// default palette realises them; the screen is left with the palette it had.
TEST_F(DefaultPalette, ComesFromThePaletteResourceAndIsRealisedIntoThePaletteDisplaysSystemPalette) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ before = GetCurrentObject(screen, OBJ_PAL);
  ReleaseDC(nullptr, screen);
  if (ExpectPaletteDisplay()) {
    FlushSystemPalette(ResourceEntries());
    ASSERT_LT(CountPresent(ResourceEntries(), SystemPalette()), 16) << "earlier colours are still realised";
    imaging::InitDefaultPalette(ThisModule());
    EXPECT_EQ(CountPresent(ResourceEntries(), SystemPalette()), 16);
    EXPECT_EQ(CountPresent(FirstStatics(), SystemPalette()), 10);
  } else {
    imaging::InitDefaultPalette(ThisModule());
    EXPECT_TRUE(SystemPalette().empty()) << "a screen without a palette has no system palette";
  }
  screen = GetDC(nullptr);
  EXPECT_EQ(GetCurrentObject(screen, OBJ_PAL), before);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(imaging::DefaultPaletteHandle(), nullptr);
  // 20 static and 16 own colours leave room for 220 fillers; (0, 0, 128) is static.
  EXPECT_EQ(PaletteEntries(imaging::DefaultPaletteHandle()),
            Concat({FirstStatics(), ResourceEntries(), BlueFillers(1, 127), BlueFillers(129, 221), LastStatics()}));
}

TEST_F(DefaultPalette, FallsBackToTheHalftoneColoursWithoutAResource) {
  imaging::InitDefaultPalette(ModuleWithoutPalettes());
  ASSERT_NE(imaging::DefaultPaletteHandle(), nullptr);
  auto result = PaletteEntries(imaging::DefaultPaletteHandle());
  ASSERT_EQ(result.size(), 256u);
  std::vector<PALETTEENTRY> middle;
  for (const PALETTEENTRY& e : HalftoneEntries()) {
    if (!HasColor(stock, e) && !HasColor(middle, e) && middle.size() < 236) middle.push_back(e);
  }
  ASSERT_GT(middle.size(), 100u) << "the halftone palette should bring colours of its own";
  for (int blue = 1; middle.size() < 236; ++blue) {
    if (!HasColor(stock, Entry(0, 0, blue)) && !HasColor(middle, Entry(0, 0, blue))) middle.push_back(Entry(0, 0, blue));
  }
  EXPECT_EQ(result, Concat({FirstStatics(), middle, LastStatics()}));
}

TEST_F(DefaultPalette, NoneBeforeItIsMadeAndDoneDeletesItAndMakingItAgainReplacesIt) {
  EXPECT_EQ(imaging::DefaultPaletteHandle(), nullptr);
  imaging::InitDefaultPalette(ThisModule());
  HPALETTE first = imaging::DefaultPaletteHandle();
  imaging::InitDefaultPalette(ModuleWithoutPalettes());
  HPALETTE second = imaging::DefaultPaletteHandle();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetObjectType(first), 0u) << "the first default palette was not deleted";
  imaging::DoneDefaultPalette();
  EXPECT_EQ(imaging::DefaultPaletteHandle(), nullptr);
  EXPECT_EQ(GetObjectType(second), 0u);
  imaging::DoneDefaultPalette();  // twice is harmless
  EXPECT_EQ(imaging::DefaultPaletteHandle(), nullptr);
}

}  // namespace
