#include "framework/Picture.h"

#include "framework/Errors.h"
#include "framework/Icon.h"
#include "framework/Metafile.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

struct TClipboardEntry {
  UINT Format;
  const TClass* GraphicClass;
};

std::vector<TFileFormat>& FileFormatList() {
  static std::vector<TFileFormat> list = {{"bmp", "Bitmaps", &TBitmap::StaticClass()},
                                          {"ico", "Icons", &TIcon::StaticClass()},
                                          {"emf", "Enhanced Metafiles", &TMetafile::StaticClass()},
                                          {"wmf", "Metafiles", &TMetafile::StaticClass()}};
  return list;
}

std::vector<TClipboardEntry>& ClipboardFormatList() {
  static std::vector<TClipboardEntry> list = {{CF_BITMAP, &TBitmap::StaticClass()},
                                               {CF_DIB, &TBitmap::StaticClass()}};
  return list;
}

// The extension of a CP932 file name, without its dot; empty when it has none.
std::string ExtensionOf(const std::string& fileName) {
  std::size_t dot = std::string::npos;
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    const auto c = static_cast<unsigned char>(fileName[i]);
    if (rtl::IsSjisLeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      dot = std::string::npos;
    } else if (c == '.') {
      dot = i;
    }
  }
  return dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
}

// A new, empty graphic of a graphic class; EInvalidGraphic when the class cannot make one.
std::unique_ptr<TGraphic> CreateGraphic(const TClass& graphicClass) {
  if (!graphicClass.InheritsFrom(TGraphic::StaticClass())) throw EInvalidGraphic();
  std::unique_ptr<TObject> created(graphicClass.Create(nullptr));
  auto* graphic = dynamic_cast<TGraphic*>(created.get());
  if (graphic == nullptr) throw EInvalidGraphic();
  created.release();
  return std::unique_ptr<TGraphic>(graphic);
}

// A copy of graphic of the same class.
std::unique_ptr<TGraphic> CloneGraphic(const TGraphic& graphic) {
  std::unique_ptr<TGraphic> result = CreateGraphic(graphic.ClassType());
  result->Assign(&graphic);
  return result;
}

}  // namespace

const TClass& TPicture::StaticClass() {
  static const TClass info = TClassBuilder<TPicture>("TPicture", &TPersistent::StaticClass())
                                 .Binary("Data", &TPicture::ReadData, &TPicture::WriteData, &TPicture::DataStored);
  return info;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Adopt(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject* sender) { Changed(sender); };
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  std::unique_ptr<TGraphic> copy = graphic ? CloneGraphic(*graphic) : nullptr;
  Adopt(std::move(copy));
  Changed(this);
}

template <typename T>
T& TPicture::GraphicAs() {
  if (dynamic_cast<T*>(graphic_.get()) == nullptr) {
    Adopt(std::make_unique<T>());
    Changed(this);
  }
  return static_cast<T&>(*graphic_);
}

TBitmap& TPicture::Bitmap() { return GraphicAs<TBitmap>(); }
TIcon& TPicture::Icon() { return GraphicAs<TIcon>(); }
TMetafile& TPicture::Metafile() { return GraphicAs<TMetafile>(); }

void TPicture::Assign(const TPersistent* source) {
  if (source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    SetGraphic(picture->Graphic());
  } else if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::Changed(TObject*) { OnChange(this); }

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string extension = ExtensionOf(fileName);
  const TClass* graphicClass = FileFormatClass(extension);
  if (graphicClass == nullptr) throw EInvalidGraphic::UnknownExtension(extension);
  std::unique_ptr<TGraphic> graphic = CreateGraphic(*graphicClass);
  graphic->LoadFromFile(fileName);
  Adopt(std::move(graphic));
  Changed(this);
}

void TPicture::SaveToFile(const std::string& fileName) const {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  const TClass* graphicClass = nullptr;
  const auto& list = ClipboardFormatList();
  for (auto entry = list.rbegin(); entry != list.rend() && graphicClass == nullptr; ++entry) {
    if (entry->Format == format) graphicClass = entry->GraphicClass;
  }
  if (graphicClass == nullptr) throw EInvalidGraphic::UnsupportedClipboardFormat();
  std::unique_ptr<TGraphic> graphic = CreateGraphic(*graphicClass);
  graphic->LoadFromClipboardFormat(format, data, palette);
  Adopt(std::move(graphic));
  Changed(this);
}

void TPicture::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (graphic_) graphic_->SaveToClipboardFormat(format, data, palette);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const TClass& graphicClass) {
  std::string plain = !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
  FileFormatList().push_back({std::move(plain), description, &graphicClass});
}

void TPicture::UnregisterGraphicClass(const TClass& graphicClass) {
  std::erase_if(FileFormatList(), [&](const TFileFormat& f) { return f.GraphicClass->InheritsFrom(graphicClass); });
  std::erase_if(ClipboardFormatList(),
                [&](const TClipboardEntry& e) { return e.GraphicClass->InheritsFrom(graphicClass); });
}

const TClass* TPicture::FileFormatClass(std::string_view extension) {
  if (!extension.empty() && extension[0] == '.') extension.remove_prefix(1);
  const auto& list = FileFormatList();
  for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
    if (SameText(entry->Extension, extension)) return entry->GraphicClass;
  }
  return nullptr;
}

std::vector<TFileFormat> TPicture::FileFormats() { return FileFormatList(); }

void TPicture::ReadData(rtl::TStream& stream) {
  uint8_t length = 0;
  stream.ReadBuffer(&length, 1);
  std::string name(length, '\0');
  if (length > 0) stream.ReadBuffer(name.data(), length);
  if (name.empty()) {
    SetGraphic(nullptr);
    return;
  }
  const TClass* cls = FindClass(name);
  if (cls == nullptr || !cls->InheritsFrom(TGraphic::StaticClass()) || !cls->CanCreate()) {
    throw ELayoutError(ELayoutError::ClassNotFound(name));
  }
  std::unique_ptr<TGraphic> owned = CreateGraphic(*cls);
  owned->ReadData(stream);
  Adopt(std::move(owned));
  Changed(this);
}

void TPicture::WriteData(rtl::TStream& stream) const {
  std::string name = graphic_ ? graphic_->ClassName() : std::string();
  auto length = static_cast<uint8_t>(std::min<std::size_t>(name.size(), 255));
  stream.WriteBuffer(&length, 1);
  stream.WriteBuffer(name.data(), length);
  if (graphic_) graphic_->WriteData(stream);
}

}  // namespace framework
