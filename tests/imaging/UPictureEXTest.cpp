// The resource image loader, the extended picture and the silent JPEG graphic: the kinds and their
// selection, where resources come from, when loads happen, the from-resource mark and the stored
// data, the change guard, and the start-up registration.
#include "imaging/UPictureEX.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/Painting.h"
#include "support/PictureData.h"
#include "support/ResFileWriter.h"
#include "framework/Errors.h"
#include "framework/Icon.h"
#include "framework/Metafile.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Pixels.h"

namespace {

using framework::TBitmap;
using imaging::TPictureEx;
using imaging::TResourceImageLoader;
using imaging::TSafetyJPEGImage;
using testing_support::FileBesideProgram;
using testing_support::Field;
using testing_support::ResFileWriter;
using testing_support::Fill;

std::string NotFound(const char* name) { return rtl::Utf8ToSjis(std::string(name) + " ﾘｿｰｽが見つかりません"); }

// A resource file beside the program, holding one entry after the empty one.
FileBesideProgram ResFileBeside(const std::string& stem, const Field& type, const Field& name,
                                const std::string& data) {
  return FileBesideProgram(stem, ResFileWriter().EmptyEntry().Entry(type, name, data).Bytes());
}

// The bytes of the test program's bitmap resource (a DIB without file header).
std::string BitmapResource(const wchar_t* name) {
  return testing_support::AsString(testing_support::ResourceBytes(name, MAKEINTRESOURCEW(2)));
}

class ResourceImageLoader : public ::testing::Test {
 protected:
  ResourceImageLoader() {
    picture.OnChange = [this](framework::TObject*) { ++changes; };
  }

  void Use(const std::string& resFile, const std::string& resType, const std::string& resName) {
    loader.SetResFile(resFile);
    loader.SetResType(resType);
    loader.SetResName(resName);
  }

  TPictureEx picture;
  TResourceImageLoader loader{picture};
  int changes = 0;
};

TEST_F(ResourceImageLoader, TypeKeysOfTheStandardTypesAreExact) {
  EXPECT_TRUE(TResourceImageLoader::TypeKey("RT_BITMAP").IsOrdinal());
  EXPECT_EQ(TResourceImageLoader::TypeKey("RT_BITMAP").Ordinal(), 2);
  EXPECT_EQ(TResourceImageLoader::TypeKey("RT_ICON").Ordinal(), 3);
  EXPECT_FALSE(TResourceImageLoader::TypeKey("rt_bitmap").IsOrdinal());
  EXPECT_EQ(TResourceImageLoader::TypeKey("rt_bitmap").Name(), "rt_bitmap");
  EXPECT_FALSE(TResourceImageLoader::TypeKey("RT_BITMAPS").IsOrdinal());
  EXPECT_EQ(TResourceImageLoader::TypeKey("JPEG").Name(), "JPEG");
}

TEST_F(ResourceImageLoader, BitmapResourceBecomesASafetyBitmapWithOneChange) {
  Use("", "RT_BITMAP", "PACK");
  EXPECT_EQ(picture.Graphic(), nullptr) << "settings alone load nothing";
  loader.Load();
  ASSERT_NE(dynamic_cast<imaging::TSafetyBitmap*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 400);
  EXPECT_EQ(picture.Height(), 360);
  EXPECT_TRUE(picture.FromResource());
  EXPECT_EQ(changes, 1);
  auto& bitmap = static_cast<TBitmap&>(*picture.Graphic());
  const std::vector<uint32_t> pixels = testing_support::Pixels(bitmap);
  for (int y : {0, 179, 180, 359}) {
    for (int x : {0, 132, 133, 266, 267, 399}) EXPECT_EQ(pixels[y * 400 + x], testing_support::PackColour(x, y));
  }
}

TEST_F(ResourceImageLoader, ASafetyBitmapAlreadyThereIsReusedAndAnythingElseReplacedSilently) {
  TSafetyJPEGImage jpeg;
  picture.SetGraphic(&jpeg);
  changes = 0;
  // A resource that is no bitmap (an info header of no planes): the swap to an empty safety bitmap
  // happens, the load fails, and neither tells the picture's owner.
  std::string broken(40, '\0');
  broken[0] = 40;
  broken[4] = 2;  // width
  broken[8] = 2;  // height
  broken[14] = 24;
  FileBesideProgram file =
      ResFileBeside("broken", Field::Ordinal(2), Field::Name(u"LOGO"), broken + std::string(16, 'x'));
  Use(file.Name(), "RT_BITMAP", "LOGO");
  EXPECT_THROW(loader.Load(), framework::EInvalidGraphic);
  EXPECT_EQ(changes, 0);
  EXPECT_NE(dynamic_cast<imaging::TSafetyBitmap*>(picture.Graphic()), nullptr);
  EXPECT_FALSE(picture.FromResource());
  framework::TGraphic* before = picture.Graphic();
  loader.SetResFile("");
  loader.SetResName("INDEXED");
  loader.Load();
  EXPECT_EQ(picture.Graphic(), before) << "the safety bitmap there loads the resource itself";
  EXPECT_EQ(picture.Width(), 60);
}

TEST_F(ResourceImageLoader, LowerCaseRtBitmapIsATypeNameAndLoadsNothing) {
  // Found under that name in a resource file: no kind applies, nothing is loaded.
  FileBesideProgram file =
      ResFileBeside("lower", Field::Name(u"rt_bitmap"), Field::Name(u"LOGO"), BitmapResource(L"INDEXED"));
  Use(file.Name(), "rt_bitmap", "LOGO");
  loader.Load();
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_FALSE(picture.FromResource());
  EXPECT_EQ(changes, 0);
  // The program's bitmaps are of the standard type 2, not of a type so named.
  Use("", "rt_bitmap", "PACK");
  EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>([&] { loader.Load(); }), NotFound("PACK"));
  EXPECT_EQ(picture.Graphic(), nullptr);
}

// The JPEG type in any case loads a safety JPEG image, the icon type the icon file of type three.
TEST_F(ResourceImageLoader, JpegTypeInAnyCaseAndIconTypeLoadTheirKinds) {
  const struct {
    const char* type;
    const char* name;
    const framework::TClass* kind;
    int32_t width;
  } cases[] = {{"JPEG", "PHOTO", &TSafetyJPEGImage::StaticClass(), 67},
               {"jpeg", "PHOTO", &TSafetyJPEGImage::StaticClass(), 67},
               {"JpEg", "PHOTO", &TSafetyJPEGImage::StaticClass(), 67},
               {"RT_ICON", "TESTICON", &framework::TIcon::StaticClass(), 32}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    TPictureEx fresh;
    if (c.kind == &framework::TIcon::StaticClass()) fresh.Bitmap().SetSize(2, 2);  // replaced, as JPEGs are below
    TResourceImageLoader kindLoader(fresh);
    kindLoader.SetResType(c.type);
    kindLoader.SetResName(c.name);
    kindLoader.Load();
    ASSERT_NE(fresh.Graphic(), nullptr);
    EXPECT_EQ(&fresh.Graphic()->ClassType(), c.kind);
    EXPECT_EQ(fresh.Width(), c.width);
    EXPECT_TRUE(fresh.FromResource());
  }
}

TEST_F(ResourceImageLoader, AJpegImageOfThePlatformClassIsKept) {
  framework::TJPEGImage plain;
  picture.SetGraphic(&plain);
  Use("", "JPEG", "SMALL");
  loader.Load();
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(&picture.Graphic()->ClassType(), &framework::TJPEGImage::StaticClass());
  EXPECT_EQ(picture.Width(), 16);
  TBitmap bitmap;
  picture.SetGraphic(&bitmap);
  loader.SetResName("PHOTO");
  loader.Load();
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TSafetyJPEGImage::StaticClass());
}

TEST_F(ResourceImageLoader, BadJpegDataRaisesTheJpegErrorAndSetsNoMark) {
  FileBesideProgram file = ResFileBeside("badjpeg", Field::Name(u"JPEG"), Field::Name(u"PIC"), "not a jpeg at all");
  Use("", "JPEG", "SMALL");
  loader.Load();
  EXPECT_TRUE(picture.FromResource());
  loader.SetResFile(file.Name());
  loader.SetResName("PIC");
  EXPECT_FALSE(picture.FromResource()) << "cleared by the settings";
  EXPECT_THROW(loader.Load(), framework::EJPEG);
  EXPECT_FALSE(picture.FromResource());
}

TEST_F(ResourceImageLoader, MetafileTypeInAnyCaseLoadsAMetafile) {
  const RECT frame{0, 0, 1000, 500};
  HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  Rectangle(dc, 0, 0, 10, 10);
  HENHMETAFILE made = CloseEnhMetaFile(dc);
  std::string bytes(GetEnhMetaFileBits(made, 0, nullptr), '\0');
  GetEnhMetaFileBits(made, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data()));
  DeleteEnhMetaFile(made);
  FileBesideProgram file = ResFileBeside("metafile", Field::Name(u"METAFILE"), Field::Name(u"DRAWING"), bytes);
  Use(file.Name(), "MetaFile", "DRAWING");
  loader.Load();
  auto* metafile = dynamic_cast<framework::TMetafile*>(picture.Graphic());
  ASSERT_NE(metafile, nullptr);
  EXPECT_EQ(metafile->MMWidth(), 1000);
  EXPECT_TRUE(picture.FromResource());
}

// Other types, an empty type and an empty name load nothing; a missing resource is reported.
TEST_F(ResourceImageLoader, OtherOrEmptyTypesLoadNothingAndMissingResourcesAreReported) {
  Use("", "PIXELS", "PHOTO");  // there, but of no kind
  loader.Load();
  Use("", "", "NOSUCH");
  EXPECT_NO_THROW(loader.Load());
  Use("", "RT_BITMAP", "");
  EXPECT_NO_THROW(loader.Load());
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(picture.FromResource());
  Use("", "RT_BITMAP", "NOSUCH");
  EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>([&] { loader.Load(); }), NotFound("NOSUCH"));
  EXPECT_FALSE(picture.FromResource());
}

// A file named relative to the program's folder is the only source while it is there; a full path is
// joined to the folder too, and so names no file.
TEST_F(ResourceImageLoader, AFileBesideTheProgramIsTheSourceWhenThere) {
  FileBesideProgram file = ResFileBeside("beside", Field::Ordinal(2), Field::Name(u"LOGO"), BitmapResource(L"INDEXED"));
  Use(file.Name(), "RT_BITMAP", "logo");
  loader.Load();
  EXPECT_EQ(picture.Width(), 60) << "the file's LOGO, not the program's";
  EXPECT_EQ(picture.Height(), 40);
  // No fallback once the file exists.
  loader.SetResName("PACK");
  EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>([&] { loader.Load(); }), NotFound("PACK"));
  const std::string fullPath = testing_support::ProgramFolder() + file.Name();
  EXPECT_EQ(TResourceImageLoader::ResourcePath(fullPath), testing_support::ProgramFolder() + fullPath);
  EXPECT_EQ(TResourceImageLoader::ResourcePath(""), "");
  Use(fullPath, "RT_BITMAP", "LOGO");
  loader.Load();
  EXPECT_EQ(picture.Width(), 400) << "the program's LOGO, since the joined path names no file";
}

TEST_F(ResourceImageLoader, WithoutTheFileTheProgramsOwnResourceIsUsed) {
  Use("PeImage.res", "RT_BITMAP", "LOGO");
  ASSERT_EQ(GetFileAttributesW(rtl::SjisToWide(testing_support::ProgramFolder() + "PeImage.res").c_str()),
            INVALID_FILE_ATTRIBUTES);
  loader.Load();
  EXPECT_EQ(picture.Width(), 400);
  EXPECT_EQ(picture.Height(), 360);
  EXPECT_TRUE(picture.FromResource());
}

TEST_F(ResourceImageLoader, SettingsReloadOnlyWhenReadyWithAutoLoadAndChanged) {
  Use("", "RT_BITMAP", "PACK");
  changes = 0;
  loader.SetResName("INDEXED");
  EXPECT_EQ(picture.Graphic(), nullptr) << "not ready: stored only";
  loader.SetReady(true);
  loader.SetResName("INDEXED");
  EXPECT_EQ(picture.Graphic(), nullptr) << "the same text: nothing";
  loader.SetResName("PACK");
  EXPECT_EQ(picture.Width(), 400) << "ready and changed: loaded at once";
  EXPECT_TRUE(picture.FromResource());
  const int afterLoad = changes;
  loader.SetResName("PACK");
  EXPECT_EQ(changes, afterLoad);
  EXPECT_TRUE(picture.FromResource()) << "an unchanged setting keeps the mark";
  loader.SetAutoLoad(false);
  loader.SetResName("INDEXED");
  EXPECT_EQ(picture.Width(), 400) << "AutoLoad off: stored only";
  EXPECT_FALSE(picture.FromResource());
  loader.SetAutoLoad(true);
  EXPECT_EQ(picture.Width(), 400) << "writing AutoLoad does nothing else";
}

TEST_F(ResourceImageLoader, ResTypeAndResFileChangesReloadToo) {
  loader.SetReady(true);
  loader.SetResName("SMALL");
  EXPECT_EQ(picture.Graphic(), nullptr);
  loader.SetResType("JPEG");
  EXPECT_EQ(picture.Width(), 16);
  FileBesideProgram file = ResFileBeside("reload", Field::Name(u"JPEG"), Field::Name(u"SMALL"),
                                         testing_support::AsString(testing_support::ResourceBytes(L"PHOTO", L"JPEG")));
  loader.SetResFile(file.Name());
  EXPECT_EQ(picture.Width(), 67);
}

TEST_F(ResourceImageLoader, AssignmentCopiesTheResourceSettingsButNotAutoLoad) {
  TPictureEx otherPicture;
  TResourceImageLoader other(otherPicture);
  other.SetResFile("PeImage.res");
  other.SetResType("RT_BITMAP");
  other.SetResName("INDEXED");
  other.SetAutoLoad(false);
  Use("", "RT_BITMAP", "PACK");
  loader.Load();
  ASSERT_TRUE(picture.FromResource());
  loader.SetReady(true);
  loader.Assign(&other);
  EXPECT_EQ(loader.ResFile(), "PeImage.res");
  EXPECT_EQ(loader.ResType(), "RT_BITMAP");
  EXPECT_EQ(loader.ResName(), "INDEXED");
  EXPECT_TRUE(loader.AutoLoad());
  EXPECT_EQ(picture.Width(), 60) << "ready with AutoLoad: loaded";
  EXPECT_TRUE(picture.FromResource());
  loader.SetAutoLoad(false);
  other.SetResName("PACK");
  loader.Assign(&other);
  EXPECT_EQ(picture.Width(), 60);
  EXPECT_FALSE(picture.FromResource()) << "an assignment clears the mark";
}

TEST_F(ResourceImageLoader, AssignmentFromOrToAnythingElseFails) {
  EXPECT_EQ(testing_support::MessageOf<framework::EAssignError>([&] { loader.Assign(nullptr); }),
            rtl::Utf8ToSjis("nil を TResourceImageLoader に代入することはできません"));
  framework::TPicture other;
  EXPECT_EQ(testing_support::MessageOf<framework::EAssignError>([&] { loader.Assign(&other); }),
            rtl::Utf8ToSjis("TPicture を TResourceImageLoader に代入することはできません"));
  EXPECT_EQ(testing_support::MessageOf<framework::EAssignError>([&] { picture.Assign(&loader); }),
            rtl::Utf8ToSjis("TResourceImageLoader を TPictureEx に代入することはできません"));
}

// --- the bitmap file made for a bitmap resource ---

class BitmapFileHeader : public ::testing::Test {
 protected:
  // The bits offset and file size that WriteBitmapFile writes for resource bytes.
  std::pair<uint32_t, uint32_t> OffsetAndSize(const std::string& resource) {
    rtl::TMemoryStream in;
    if (!resource.empty()) in.WriteBuffer(resource.data(), static_cast<int32_t>(resource.size()));
    in.SetPosition(0);
    rtl::TMemoryStream out;
    imaging::WriteBitmapFile(in, out);
    EXPECT_EQ(out.GetSize(), static_cast<int32_t>(14 + resource.size()));
    const auto* bytes = static_cast<const uint8_t*>(out.Memory());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(std::memcmp(bytes + 14, resource.data(), resource.size()), 0);
    uint32_t size = 0;
    uint32_t offset = 0;
    std::memcpy(&size, bytes + 2, 4);
    std::memcpy(&offset, bytes + 10, 4);
    return {offset, size};
  }

  static std::string InfoHeader(uint32_t size, uint16_t bitCount, uint32_t compression, uint32_t colorsUsed) {
    std::string header(size, '\0');
    std::memcpy(header.data(), &size, 4);
    if (size >= 40) {
      std::memcpy(header.data() + 14, &bitCount, 2);
      std::memcpy(header.data() + 16, &compression, 4);
      std::memcpy(header.data() + 32, &colorsUsed, 4);
    } else if (size >= 12) {
      std::memcpy(header.data() + 10, &bitCount, 2);
    }
    return header;
  }
};

TEST_F(BitmapFileHeader, PixelsFollowTheHeaderAndItsColourTable) {
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 24, BI_RGB, 0) + "pix"), std::make_pair(54u, 57u));
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 8, BI_RGB, 0)).first, 54u + 1024);
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 8, BI_RLE8, 16)).first, 54u + 64);
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 4, BI_RLE4, 0)).first, 54u + 64);
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 24, BI_RGB, 3)).first, 54u + 12) << "a table beside true colour";
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 16, BI_BITFIELDS, 0)).first, 54u + 12) << "the three masks";
  EXPECT_EQ(OffsetAndSize(InfoHeader(108, 32, BI_BITFIELDS, 0)).first, 14u + 108) << "masks inside the header";
  EXPECT_EQ(OffsetAndSize(InfoHeader(12, 8, 0, 0)).first, 14u + 12 + 768) << "a core header's entries are 3 bytes";
  EXPECT_EQ(OffsetAndSize(BitmapResource(L"INDEXED")).first, 14u + 40 + 1024);
}

TEST_F(BitmapFileHeader, ShortOrAbsurdHeadersAreHandledWithoutReadingBeyond) {
  EXPECT_EQ(OffsetAndSize(""), std::make_pair(14u, 14u));
  // A header cut short: what is missing counts as 0, so no colour table is assumed.
  EXPECT_EQ(OffsetAndSize(std::string("\x28\x00", 2)).first, 54u);
  // The largest colour count whose offset still fits 32 bits, and one more.
  const uint32_t most = (UINT32_MAX - 54) / 4;
  EXPECT_EQ(OffsetAndSize(InfoHeader(40, 8, BI_RGB, most)).first, 54u + 4 * most);
  rtl::TMemoryStream in;
  const std::string tooMany = InfoHeader(40, 8, BI_RGB, most + 1);
  in.WriteBuffer(tooMany.data(), static_cast<int32_t>(tooMany.size()));
  in.SetPosition(0);
  rtl::TMemoryStream out;
  EXPECT_THROW(imaging::WriteBitmapFile(in, out), framework::EInvalidGraphic);
}

// --- the extended picture ---

// A change inside the picture's own notification is swallowed; the guard is cleared when the
// notification fails.
TEST(PictureEx, AChangeInsideItsOwnNotificationIsSwallowedUntilTheNotificationEnds) {
  TPictureEx picture;
  int calls = 0;
  picture.OnChange = [&](framework::TObject*) {
    if (++calls == 1) throw rtl::ERangeError();
    picture.Bitmap().SetSize(3, 3);  // changes the same picture again
  };
  EXPECT_THROW(picture.Bitmap(), rtl::ERangeError);
  picture.Bitmap().SetSize(2, 2);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(picture.Width(), 3);
}

TEST(PictureEx, FromAResourceItStoresAndReadsNoDataUntilTheMarkIsGone) {
  TPictureEx picture;
  const framework::TPropInfo* data = TPictureEx::StaticClass().FindProperty("Data");
  ASSERT_NE(data, nullptr);
  EXPECT_FALSE(data->Stored(picture)) << "nothing to store";
  TResourceImageLoader loader(picture);
  loader.SetResType("RT_BITMAP");
  loader.SetResName("INDEXED");
  loader.Load();
  EXPECT_FALSE(data->Stored(picture));
  // Stored data offered while the mark is set is left unread.
  TBitmap other;
  other.SetSize(5, 7);
  framework::TPicture source;
  source.SetGraphic(&other);
  rtl::TMemoryStream stored;
  source.WriteData(stored);
  stored.SetPosition(0);
  data->ReadBinary(picture, stored);
  EXPECT_EQ(picture.Width(), 60);
  // A changed name with AutoLoad off: the data is the picture's own again, both ways.
  loader.SetAutoLoad(false);
  loader.SetResName("PACK");
  EXPECT_TRUE(data->Stored(picture));
  stored.SetPosition(0);
  data->ReadBinary(picture, stored);
  EXPECT_EQ(picture.Width(), 5);
  // A reload that fails leaves the data stored again.
  loader.SetAutoLoad(true);
  loader.SetResName("INDEXED");
  loader.Load();
  loader.SetReady(true);
  ASSERT_TRUE(picture.FromResource());
  EXPECT_THROW(loader.SetResName("NOSUCH"), rtl::EResNotFound);
  EXPECT_FALSE(picture.FromResource());
  EXPECT_TRUE(picture.DataStored());
}

// --- the silent JPEG graphic ---

TEST(SafetyJpegImage, DrawingForTheFirstTimeDoesNotTellThePicture) {
  for (bool safe : {false, true}) {
    framework::TPicture picture;
    std::unique_ptr<framework::TJPEGImage> image =
        safe ? std::make_unique<TSafetyJPEGImage>() : std::make_unique<framework::TJPEGImage>();
    const std::vector<uint8_t> bytes = testing_support::ResourceBytes(L"SMALL", L"JPEG");
    rtl::TMemoryStream stream;
    Fill(stream, bytes);
    image->LoadFromStream(stream);
    picture.SetGraphic(image.get());
    int changes = 0;
    picture.OnChange = [&](framework::TObject*) { ++changes; };
    TBitmap target;
    testing_support::Fill24(target, 16, 16, 0);
    target.Canvas().Draw(0, 0, *picture.Graphic());
    EXPECT_EQ(changes, safe ? 0 : 1) << (safe ? "safety" : "platform") << " JPEG image";
    // The event is back: a change of the image still reaches the picture.
    stream.SetPosition(0);
    picture.Graphic()->LoadFromStream(stream);
    EXPECT_EQ(changes, safe ? 1 : 2);
  }
}

TEST(SafetyJpegImage, TheEventIsBackAfterADrawThatFails) {
  std::vector<uint8_t> bytes = testing_support::ResourceBytes(L"SMALLPROGRESSIVE", L"JPEG");
  // The second scan's spectral range made invalid: readable header, failing decoding.
  int scans = 0;
  for (std::size_t i = 2; i + 4 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA && ++scans == 2) {
      bytes[i + 5 + 2 * bytes[i + 4]] = 10;
      bytes[i + 6 + 2 * bytes[i + 4]] = 2;
      break;
    }
  }
  TSafetyJPEGImage image;
  rtl::TMemoryStream stream;
  Fill(stream, bytes);
  image.LoadFromStream(stream);
  int changes = 0;
  image.OnChange = [&](framework::TObject*) { ++changes; };
  TBitmap target;
  testing_support::Fill24(target, 16, 16, 0);
  EXPECT_THROW(target.Canvas().Draw(0, 0, image), framework::EJPEG);
  EXPECT_TRUE(static_cast<bool>(image.OnChange));
  stream.SetPosition(0);
  image.LoadFromStream(stream);
  EXPECT_EQ(changes, 1);
}

// --- start-up ---

TEST(PictureExStartup, RegistersTheJpegClassOnceForJpgAndJpeg) {
  using framework::TPicture;
  ASSERT_EQ(TPicture::FileFormatClass("jpg"), nullptr);
  imaging::InitPictureEx();
  imaging::InitPictureEx();
  EXPECT_EQ(TPicture::FileFormatClass("JPG"), &TSafetyJPEGImage::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("jpeg"), &TSafetyJPEGImage::StaticClass());
  int entries = 0;
  for (const framework::TFileFormat& format : TPicture::FileFormats()) {
    if (format.GraphicClass == &TSafetyJPEGImage::StaticClass()) {
      ++entries;
      EXPECT_EQ(format.Description, "JPEG Image");
    }
  }
  EXPECT_EQ(entries, 2) << "registered once";
  EXPECT_EQ(framework::FindClass("TSafetyJPEGImage"), &TSafetyJPEGImage::StaticClass());
  imaging::DonePictureEx();
  EXPECT_NE(TPicture::FileFormatClass("jpg"), nullptr) << "until the matching last finish";
  imaging::DonePictureEx();
  EXPECT_EQ(TPicture::FileFormatClass("jpg"), nullptr);
  EXPECT_EQ(TPicture::FileFormatClass("jpeg"), nullptr);
}

}  // namespace
