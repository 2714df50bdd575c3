// Pictures that hold and store a graphic of any class, and the registries that give a file
// extension or a clipboard format its graphic class.
#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "framework/Graphic.h"
#include "framework/Icon.h"
#include "framework/Picture.h"

#include <gtest/gtest.h>

#include <memory>

#include "framework/Errors.h"
#include "rtl/Sjis.h"
#include "support/Graphics.h"
#include "support/Gui.h"
#include "support/MessageOf.h"
#include "support/Painting.h"
#include "support/PictureData.h"
#include "support/Pixels.h"
#include "support/ScratchFolder.h"

namespace {

using namespace framework;
using testing_support::Pixels;
using testing_support::ReadPixels;

// A bitmap class of its own, to see that copies keep the class and that the registries use it.
class TMyBitmap : public TBitmap {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TMyBitmap>("TMyBitmap", &TBitmap::StaticClass());
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }
};

class Pictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterClasses({&TMyBitmap::StaticClass()}); }
  void TearDown() override { TPicture::UnregisterGraphicClass(TMyBitmap::StaticClass()); }
};

// 4 x 2 pixels of distinct colours.
void PaintSmall(TBitmap& bitmap) {
  testing_support::Paint24(bitmap, 4, 2, [](int x, int y) { return static_cast<uint32_t>(0x10203 * (x + 4 * y + 1)); });
}

TEST_F(Pictures, HoldACopyOfTheSameClass) {
  TMyBitmap mine;
  mine.SetSize(3, 2);
  mine.Canvas().SetPixel(2, 1, clLime);
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.SetGraphic(&mine);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_NE(picture.Graphic(), &mine);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMyBitmap");
  EXPECT_EQ(ReadPixels(picture.Bitmap().Handle(), 3, 2), ReadPixels(mine.Handle(), 3, 2));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(changes, 1);
  picture.Bitmap().Canvas().SetPixel(0, 0, clWhite);  // a change of the graphic is the picture's
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMyBitmap");  // Bitmap() keeps a bitmap of a derived class

  TIcon icon;  // a graphic of another kind
  testing_support::LoadFrom(icon, testing_support::ResourceBytes(L"TESTICON", MAKEINTRESOURCEW(3)));
  picture.SetGraphic(&icon);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TIcon");
  EXPECT_EQ(picture.Width(), 32);
  TBitmap& bitmap = picture.Bitmap();  // another kind is replaced by an empty bitmap
  EXPECT_EQ(picture.Graphic(), &bitmap);
  EXPECT_TRUE(bitmap.Empty());
  picture.Assign(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
  picture.SetGraphic(&mine);
  picture.SetGraphic(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST_F(Pictures, StoreTheirGraphicWithItsClassName) {
  TPicture picture;
  TMyBitmap mine;
  mine.SetSize(2, 2);
  mine.Canvas().SetPixel(1, 0, clYellow);
  picture.SetGraphic(&mine);
  rtl::TMemoryStream data;
  picture.WriteData(data);
  EXPECT_EQ(static_cast<uint8_t*>(data.Memory())[0], 9);
  EXPECT_EQ(std::string(static_cast<char*>(data.Memory()) + 1, 9), "TMyBitmap");
  data.SetPosition(0);
  TPicture copy;
  copy.ReadData(data);
  ASSERT_NE(copy.Graphic(), nullptr);
  EXPECT_EQ(copy.Graphic()->ClassName(), "TMyBitmap");
  EXPECT_EQ(ReadPixels(copy.Bitmap().Handle(), 2, 2), ReadPixels(mine.Handle(), 2, 2));

  rtl::TMemoryStream unknown;
  unknown.WriteBuffer("\x07TNoSuch", 8);
  unknown.SetPosition(0);
  EXPECT_THROW(copy.ReadData(unknown), ELayoutError);
}

TEST_F(Pictures, TheLastClassRegisteredForAnExtensionIsUsed) {
  EXPECT_EQ(TPicture::FileFormatClass("bmp"), &TBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("BMP"), &TBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("cbm"), nullptr);
  TPicture::RegisterFileFormat("BMP", "Bitmaps", TMyBitmap::StaticClass());
  TPicture::RegisterFileFormat(".cbm", "Compressed Bitmaps", TMyBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(".bmp"), &TMyBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("Cbm"), &TMyBitmap::StaticClass());
  TPicture::UnregisterGraphicClass(TMyBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("bmp"), &TBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("cbm"), nullptr);
}

TEST_F(Pictures, LoadingAFileUsesItsExtensionsClassFoundByCharacters) {
  testing_support::ScratchFolder folder;
  const std::string path = rtl::WideToSjis(folder.File(L"picture.BMP"));
  TBitmap bitmap;
  PaintSmall(bitmap);
  bitmap.SaveToFile(path);
  TPicture picture;
  picture.LoadFromFile(path);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TBitmap");
  EXPECT_EQ(Pixels(picture.Bitmap()), Pixels(bitmap));

  TPicture::RegisterFileFormat("bmp", "Bitmaps", TMyBitmap::StaticClass());
  picture.LoadFromFile(path);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMyBitmap");

  const std::string unknown = rtl::WideToSjis(folder.File(L"x.xyz"));
  EXPECT_EQ(testing_support::MessageOf<EInvalidGraphic>([&] { picture.LoadFromFile(unknown); }),
            testing_support::S("拡張子 .xyz の画像ﾌｧｲﾙには対応していません"));
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMyBitmap");
  // "表" ends in the byte of a backslash; it is the extension, not a folder separator.
  const std::string extension = testing_support::S("表");
  TPicture::RegisterFileFormat(extension, "Test", TMyBitmap::StaticClass());
  EXPECT_THROW(picture.LoadFromFile("C:\\no-such-folder\\x." + extension), rtl::EFOpenError);
}

TEST_F(Pictures, ClipboardFormatsFindTheirClass) {
  TBitmap bitmap;
  PaintSmall(bitmap);
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  bitmap.SaveToClipboardFormat(format, data, palette);
  TPicture picture;
  picture.LoadFromClipboardFormat(format, data, palette);
  DeleteObject(data);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(Pixels(picture.Bitmap()), Pixels(bitmap));
  EXPECT_THROW(picture.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphic);
}

}  // namespace
