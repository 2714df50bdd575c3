#include "imaging/UPictureEX.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "framework/Errors.h"
#include "framework/Icon.h"
#include "framework/Metafile.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Bytes.h"
#include "rtl/Checked.h"
#include "rtl/ScopeExit.h"
#include "rtl/Sjis.h"

namespace imaging {

using framework::TClassBuilder;

namespace {

// Makes the picture's graphic an empty Made unless it is a Wanted already, without a change
// notification: the load that follows gives the one notification.
template <typename Wanted, typename Made>
framework::TGraphic& EnsureGraphic(framework::TPicture& picture) {
  if (dynamic_cast<Wanted*>(picture.Graphic()) == nullptr) {
    const rtl::TScopedValue<framework::TNotifyEvent> detached(picture.OnChange, nullptr);
    Made empty;
    picture.SetGraphic(&empty);
  }
  return *picture.Graphic();
}

int registrations = 0;

}  // namespace

// --- the extended picture ---

const framework::TClass& TPictureEx::StaticClass() {
  static const framework::TClass info =
      TClassBuilder<TPictureEx>("TPictureEx", &framework::TPicture::StaticClass())
          .Binary("Data", &TPictureEx::ReadStoredData, &TPictureEx::WriteStoredData, &TPictureEx::DataStored);
  return info;
}

void TPictureEx::ReadStoredData(rtl::TStream& stream) {
  if (!fromResource_) ReadData(stream);
}

void TPictureEx::Changed(framework::TObject* sender) {
  if (changing_) return;
  const rtl::TScopedValue<bool> changing(changing_, true);
  TPicture::Changed(sender);
}

// --- the JPEG graphic ---

const framework::TClass& TSafetyJPEGImage::StaticClass() {
  static const framework::TClass info =
      TClassBuilder<TSafetyJPEGImage>("TSafetyJPEGImage", &framework::TJPEGImage::StaticClass());
  return info;
}

void TSafetyJPEGImage::Draw(framework::TCanvas& canvas, const framework::TRect& rect) {
  const rtl::TScopedValue<framework::TNotifyEvent> detached(OnChange, nullptr);
  TJPEGImage::Draw(canvas, rect);
}

// --- the loader ---

const framework::TClass& TResourceImageLoader::StaticClass() {
  static const framework::TClass info =
      TClassBuilder<TResourceImageLoader>("TResourceImageLoader", &framework::TPersistent::StaticClass())
          .String("ResFile", &TResourceImageLoader::ResFile, &TResourceImageLoader::SetResFile)
          .String("ResType", &TResourceImageLoader::ResType, &TResourceImageLoader::SetResType)
          .String("ResName", &TResourceImageLoader::ResName, &TResourceImageLoader::SetResName)
          .Boolean("AutoLoad", &TResourceImageLoader::AutoLoad, &TResourceImageLoader::SetAutoLoad, true);
  return info;
}

TResourceImageLoader::TResourceImageLoader(TPictureEx& picture) : picture_(picture) {}

void TResourceImageLoader::Assign(const framework::TPersistent* source) {
  auto* other = dynamic_cast<const TResourceImageLoader*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  resFile_ = other->resFile_;
  resName_ = other->resName_;
  resType_ = other->resType_;
  SettingChanged();
}

void TResourceImageLoader::SetResFile(const std::string& resFile) {
  if (resFile == resFile_) return;
  resFile_ = resFile;
  SettingChanged();
}

void TResourceImageLoader::SetResType(const std::string& resType) {
  if (resType == resType_) return;
  resType_ = resType;
  SettingChanged();
}

void TResourceImageLoader::SetResName(const std::string& resName) {
  if (resName == resName_) return;
  resName_ = resName;
  SettingChanged();
}

void TResourceImageLoader::SettingChanged() {
  picture_.SetFromResource(false);
  if (autoLoad_ && ready_) Load();
}

data::TResType TResourceImageLoader::TypeKey(const std::string& resType) {
  if (resType == "RT_BITMAP") return data::TResType(2);
  if (resType == "RT_ICON") return data::TResType(3);
  return data::TResType(resType);
}

std::string TResourceImageLoader::ResourcePath(const std::string& resFile) {
  if (resFile.empty()) return {};
  std::wstring program(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length < program.size()) {
      program.resize(length);
      break;
    }
    program.resize(program.size() * 2);
  }
  const std::size_t separator = program.find_last_of(L"\\/");
  const std::wstring folder = separator == std::wstring::npos ? std::wstring() : program.substr(0, separator + 1);
  return rtl::WideToSjis(folder) + resFile;
}

void TResourceImageLoader::Load() {
  if (resName_.empty() || resType_.empty()) return;
  const data::TResType key = TypeKey(resType_);
  data::TResStream resource(ResourcePath(resFile_), resName_, key);
  if (key.IsOrdinal() && key.Ordinal() == 2) {
    LoadBitmap(resource);
  } else if (key.IsOrdinal() && key.Ordinal() == 3) {
    picture_.Icon().LoadFromStream(resource);
  } else if (framework::SameText(resType_, "METAFILE")) {
    picture_.Metafile().LoadFromStream(resource);
  } else if (framework::SameText(resType_, "JPEG")) {
    EnsureGraphic<framework::TJPEGImage, TSafetyJPEGImage>(picture_).LoadFromStream(resource);
  } else {
    return;
  }
  picture_.SetFromResource(true);
}

void TResourceImageLoader::LoadBitmap(rtl::TStream& resource) {
  rtl::TMemoryStream file;
  WriteBitmapFile(resource, file);
  file.SetPosition(0);
  EnsureGraphic<TSafetyBitmap, TSafetyBitmap>(picture_).LoadFromStream(file);
}

void WriteBitmapFile(rtl::TStream& resource, rtl::TStream& file) {
  const int32_t size = rtl::CheckedSub(resource.GetSize(), resource.GetPosition());
  const int32_t fileSize = rtl::CheckedAdd(14, size);
  // The header fields that place the pixels, as far as the resource holds them.
  uint8_t info[40] = {};
  const int32_t start = resource.GetPosition();
  resource.Read(info, static_cast<int32_t>(std::min<int64_t>(size, sizeof info)));
  resource.SetPosition(start);
  const uint32_t infoSize = rtl::ReadLE32(info);
  uint64_t offset = 14 + uint64_t{infoSize};
  if (infoSize == sizeof(BITMAPCOREHEADER)) {
    const uint16_t bitCount = rtl::ReadLE16(info + 10);
    if (bitCount >= 1 && bitCount <= 8) offset += 3 * (uint64_t{1} << bitCount);
  } else if (infoSize >= sizeof(BITMAPINFOHEADER)) {
    const uint16_t bitCount = rtl::ReadLE16(info + 14);
    const uint32_t compression = rtl::ReadLE32(info + 16);
    const uint32_t colorsUsed = rtl::ReadLE32(info + 32);
    if (compression == BI_BITFIELDS && infoSize == sizeof(BITMAPINFOHEADER)) offset += 12;
    if (colorsUsed != 0) {
      offset += 4 * uint64_t{colorsUsed};
    } else if (bitCount >= 1 && bitCount <= 8) {
      offset += 4 * (uint64_t{1} << bitCount);
    }
  }
  if (offset > UINT32_MAX) throw framework::EInvalidGraphic();

  uint8_t header[14] = {'B', 'M'};
  const auto putU32 = [&header](int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  putU32(2, static_cast<uint32_t>(fileSize));
  putU32(10, static_cast<uint32_t>(offset));
  file.SetSize(rtl::CheckedAdd(file.GetPosition(), fileSize));
  file.WriteBuffer(header, sizeof header);
  if (size > 0) file.CopyFrom(resource, size);
}

// --- start-up ---

void InitPictureEx() {
  if (registrations++ > 0) return;
  framework::RegisterClasses({&TSafetyJPEGImage::StaticClass()});
  framework::TPicture::RegisterFileFormat("JPG", "JPEG Image", TSafetyJPEGImage::StaticClass());
  framework::TPicture::RegisterFileFormat("JPEG", "JPEG Image", TSafetyJPEGImage::StaticClass());
}

void DonePictureEx() {
  if (registrations == 0 || --registrations > 0) return;
  framework::TPicture::UnregisterGraphicClass(TSafetyJPEGImage::StaticClass());
}

}  // namespace imaging
