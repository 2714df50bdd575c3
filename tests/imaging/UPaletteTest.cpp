#include "imaging/UPalette.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "PaletteEntries.h"
#include "rtl/Exception.h"
#include "rtl/ScopeExit.h"
#include "rtl/Stream.h"
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

TEST_F(ArrangePalette, BlackAndWhiteSixteenOnRedBlackRed) {
  auto result = Arranged({red, black, red}, true, 16);
  EXPECT_EQ(result, Concat({{black, red}, BlueFillers(1, 13), {white}}));
}

TEST_F(ArrangePalette, AFillerAlreadyPresentIsSkipped) {
  auto result = Arranged({Entry(0, 0, 1)}, true, 256);
  EXPECT_EQ(result, Concat({{black, Entry(0, 0, 1)}, BlueFillers(2, 254), {white}}));
}

TEST_F(ArrangePalette, KeepsTheFirstColoursWhenTheyDoNotAllFit) {
  std::vector<PALETTEENTRY> own;
  for (int i = 1; i <= 20; ++i) own.push_back(Entry(i * 10, 5, 7));
  auto result = Arranged(own, true, 16);
  std::vector<PALETTEENTRY> kept(own.begin(), own.begin() + 14);
  EXPECT_EQ(result, Concat({{black}, kept, {white}}));
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

TEST_F(ArrangePalette, FlagsTravelWithTheirEntryButDoNotMakeAColourNew) {
  auto result = Arranged({Entry(9, 9, 9, PC_NOCOLLAPSE), Entry(9, 9, 9), Entry(0, 0, 0, PC_NOCOLLAPSE)}, true, 4);
  EXPECT_EQ(result, (std::vector<PALETTEENTRY>{black, Entry(9, 9, 9, PC_NOCOLLAPSE), Entry(0, 0, 1), white}));
}

TEST_F(ArrangePalette, ShrinksAndGrowsThePaletteToCount) {
  std::vector<PALETTEENTRY> own;
  for (int i = 0; i < 40; ++i) own.push_back(Entry(i, 100, 100));
  EXPECT_EQ(Arranged(own, true, 16).size(), 16u);
  EXPECT_EQ(Arranged({red}, true, 200).size(), 200u);
}

TEST_F(ArrangePalette, CountAtTheNumberOfStaticColoursHoldsOnlyThem) {
  EXPECT_EQ(Arranged({red}, true, 2), (std::vector<PALETTEENTRY>{black, white}));
  EXPECT_EQ(Arranged({red}, false, 20), stock);
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
  try {
    imaging::ArrangePalette256(shared, false);
    ADD_FAILURE() << "the stock palette was arranged";
  } catch (const imaging::EGdiError& error) {
    EXPECT_EQ(error.SystemError, 0u);
  }
  EXPECT_EQ(StockEntries(), stock);
}

// --- ReadRiffPalette

std::vector<unsigned char> RiffPalette(const std::vector<PALETTEENTRY>& entries) {
  const uint32_t dataSize = static_cast<uint32_t>(4 + 4 * entries.size());
  std::vector<unsigned char> bytes;
  auto put = [&bytes](const void* data, std::size_t size) {
    auto* p = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), p, p + size);
  };
  auto put32 = [&put](uint32_t value) {
    const unsigned char le[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                 static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    put(le, 4);
  };
  put("RIFF", 4);
  put32(12 + dataSize);
  put("PAL data", 8);
  put32(dataSize);
  const unsigned char header[4] = {0x00, 0x03, static_cast<unsigned char>(entries.size()),
                                   static_cast<unsigned char>(entries.size() >> 8)};
  put(header, 4);
  for (const PALETTEENTRY& e : entries) put(&e, 4);
  return bytes;
}

void Put32(std::vector<unsigned char>& bytes, std::size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

class ReadRiffPalette : public ::testing::Test {
 protected:
  TPaletteHandle Read(const std::vector<unsigned char>& bytes, int32_t position = 0) {
    rtl::TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(position);
    return imaging::ReadRiffPalette(stream);
  }

  const std::vector<PALETTEENTRY> three = {Entry(1, 2, 3), Entry(200, 100, 50, PC_NOCOLLAPSE), Entry(255, 255, 255)};
};

TEST_F(ReadRiffPalette, ReadsTheEntriesOfTheDataChunk) {
  TPaletteHandle palette = Read(RiffPalette(three));
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), three);
}

TEST_F(ReadRiffPalette, ReadsFromTheStreamsPositionAndStopsAfterTheChunk) {
  std::vector<unsigned char> bytes = {'j', 'u', 'n', 'k', '!'};
  auto riff = RiffPalette(three);
  bytes.insert(bytes.end(), riff.begin(), riff.end());
  bytes.push_back('x');
  rtl::TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(5);
  TPaletteHandle palette = imaging::ReadRiffPalette(stream);
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), three);
  EXPECT_EQ(stream.GetPosition(), 5 + 20 + 16);
}

TEST_F(ReadRiffPalette, AnyFormSizeIsAccepted) {
  for (uint32_t formSize : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    auto bytes = RiffPalette(three);
    Put32(bytes, 4, formSize);
    EXPECT_TRUE(Read(bytes)) << formSize;
  }
}

TEST_F(ReadRiffPalette, ARifxFormIsNotAPalette) {
  auto bytes = RiffPalette(three);
  bytes[3] = 'X';
  EXPECT_FALSE(Read(bytes));
}

TEST_F(ReadRiffPalette, AnyOtherLetterInTheSignatureIsNotAPalette) {
  const std::size_t signature[] = {0, 1, 2, 3, 8, 9, 10, 11, 12, 13, 14, 15};
  for (std::size_t offset : signature) {
    auto bytes = RiffPalette(three);
    bytes[offset] ^= 0x20;
    EXPECT_FALSE(Read(bytes)) << "changed byte " << offset;
  }
}

TEST_F(ReadRiffPalette, AFirstChunkOtherThanDataIsNotAPalette) {
  auto bytes = RiffPalette(three);
  std::memcpy(bytes.data() + 12, "LIST", 4);
  EXPECT_FALSE(Read(bytes));
}

TEST_F(ReadRiffPalette, AHeaderOneByteShortIsNotAPalette) {
  auto bytes = RiffPalette(three);
  bytes.resize(19);
  EXPECT_FALSE(Read(bytes));
  EXPECT_FALSE(Read({}));
}

TEST_F(ReadRiffPalette, DataOneByteShortOfItsSizeIsNotAPalette) {
  auto bytes = RiffPalette(three);
  bytes.pop_back();
  EXPECT_FALSE(Read(bytes));
}

TEST_F(ReadRiffPalette, AChunkOfAllTwoHundredFiftySixEntriesIsRead) {
  std::vector<PALETTEENTRY> full;
  for (int i = 0; i < 256; ++i) full.push_back(Entry(i, 255 - i, i / 2));
  auto bytes = RiffPalette(full);
  ASSERT_EQ(bytes.size(), 20u + 1028u);
  TPaletteHandle palette = Read(bytes);
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), full);
}

TEST_F(ReadRiffPalette, DataClaimingMoreThanTheRecordIsNotAPalette) {
  std::vector<PALETTEENTRY> full(256, Entry(7, 7, 7));
  auto bytes = RiffPalette(full);
  bytes.push_back(0);  // the stream does hold 1,029 bytes
  for (uint32_t size : {1029u, 0xFFFFFFFFu, 0x80000000u}) {
    Put32(bytes, 16, size);
    EXPECT_FALSE(Read(bytes)) << size;
  }
}

TEST_F(ReadRiffPalette, ARecordThatCannotHoldItsHeaderIsNotAPalette) {
  auto bytes = RiffPalette(three);
  for (uint32_t size : {3u, 0u}) {
    Put32(bytes, 16, size);
    EXPECT_FALSE(Read(bytes)) << size;
  }
}

TEST_F(ReadRiffPalette, AnEntryCountBeyondTheChunkIsNotAPalette) {
  auto bytes = RiffPalette(three);
  bytes[18] = 4;  // four entries claimed, three present
  EXPECT_FALSE(Read(bytes));
  std::vector<PALETTEENTRY> full(256, Entry(7, 7, 7));
  bytes = RiffPalette(full);
  bytes[18] = 1;  // 257 entries in a 1,028-byte chunk
  bytes[19] = 1;
  EXPECT_FALSE(Read(bytes));
}

TEST_F(ReadRiffPalette, NoEntriesIsNotAPalette) {
  EXPECT_FALSE(Read(RiffPalette({})));
}

TEST_F(ReadRiffPalette, BytesBeyondTheEntriesInTheChunkAreIgnored) {
  auto bytes = RiffPalette(three);
  Put32(bytes, 16, 4 + 12 + 3);
  bytes.insert(bytes.end(), {9, 9, 9});
  TPaletteHandle palette = Read(bytes);
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), three);
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

TEST(LoadPaletteResource, ReadsARiffPaletteResource) {
  TPaletteHandle palette = imaging::LoadPaletteResource(ThisModule(), "DefaultPalette", L"Palette");
  ASSERT_TRUE(palette);
  EXPECT_EQ(PaletteEntries(palette.get()), ResourceEntries());
}

TEST(LoadPaletteResource, NoSuchResourceGivesNone) {
  EXPECT_FALSE(imaging::LoadPaletteResource(ThisModule(), "NoSuchPalette", L"Palette"));
  EXPECT_FALSE(imaging::LoadPaletteResource(ThisModule(), "DefaultPalette", L"Palettes"));
  EXPECT_FALSE(imaging::LoadPaletteResource(ModuleWithoutPalettes(), "DefaultPalette", L"Palette"));
}

TEST(LoadPaletteResource, AResourceThatIsNotARiffPaletteGivesNone) {
  EXPECT_FALSE(imaging::LoadPaletteResource(ThisModule(), "BrokenPalette", L"Palette"));
}

// --- The halftone copy and the default palette

std::vector<PALETTEENTRY> HalftoneEntries() {
  HDC screen = GetDC(nullptr);
  TPaletteHandle halftone(CreateHalftonePalette(screen));
  ReleaseDC(nullptr, screen);
  return PaletteEntries(halftone.get());
}

TEST(CreateHalftonePaletteCopy, HoldsTheHalftoneEntries) {
  TPaletteHandle copy = imaging::CreateHalftonePaletteCopy();
  ASSERT_TRUE(copy);
  auto expected = HalftoneEntries();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(PaletteEntries(copy.get()), expected);
}

TEST(CreateHalftonePaletteCopy, EachCallGivesAPaletteOfItsOwn) {
  TPaletteHandle first = imaging::CreateHalftonePaletteCopy();
  TPaletteHandle second = imaging::CreateHalftonePaletteCopy();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get());
  first.reset();
  EXPECT_EQ(GetObjectType(second.get()), static_cast<DWORD>(OBJ_PAL));
  EXPECT_EQ(PaletteEntries(second.get()), HalftoneEntries());
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

TEST_F(DefaultPalette, NoneBeforeItIsMade) {
  EXPECT_EQ(imaging::DefaultPaletteHandle(), nullptr);
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

// The resource's colours are in no system palette until one realises them.
TEST_F(DefaultPalette, IsRealisedIntoThePaletteDisplaysSystemPalette) {
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
  EXPECT_NE(imaging::DefaultPaletteHandle(), nullptr);
}

TEST_F(DefaultPalette, ComesFromThePaletteResourceArrangedAroundTheStaticColours) {
  imaging::InitDefaultPalette(ThisModule());
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

TEST_F(DefaultPalette, LeavesTheScreenWithItsPreviousPalette) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ before = GetCurrentObject(screen, OBJ_PAL);
  ReleaseDC(nullptr, screen);
  imaging::InitDefaultPalette(ThisModule());
  screen = GetDC(nullptr);
  EXPECT_EQ(GetCurrentObject(screen, OBJ_PAL), before);
  ReleaseDC(nullptr, screen);
}

TEST_F(DefaultPalette, DoneDeletesItAndMakingItAgainReplacesIt) {
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
