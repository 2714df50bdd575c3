// The picture: a holder of one graphic of any class, with the registry of file extensions and the
// registry of clipboard formats that choose the class.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Graphic.h"
#include "rtl/Stream.h"

namespace framework {

class TIcon;
class TMetafile;

// One entry of the picture's registry of file extensions.
struct TFileFormat {
  std::string Extension;    // without the dot
  std::string Description;  // CP932
  const TClass* GraphicClass = nullptr;
};

// Holds at most one graphic, always its own copy.
class TPicture : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TPicture();
  ~TPicture() override;
  // From a picture or a graphic (a copy of the same class), or null (no graphic).
  void Assign(const TPersistent* source) override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Stores a copy of graphic, of the same class; null removes the graphic.
  void SetGraphic(const TGraphic* graphic);
  // The graphic as a bitmap, icon or metafile; a graphic of another kind is replaced by an empty one
  // of that kind first.
  TBitmap& Bitmap();
  TIcon& Icon();
  TMetafile& Metafile();
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // A file read by the graphic class registered for its extension (EInvalidGraphic for an
  // unknown one); the picture keeps its graphic when the load fails.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const;

  // The registry of file extensions: the last class registered for an extension (ASCII case
  // ignored) is the one used. The framework's bitmap is registered for "bmp", its icon for "ico"
  // and its metafile for "emf" and "wmf" from the start.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 const TClass& graphicClass);
  // Removes every extension and clipboard format of graphicClass and of classes derived from it.
  static void UnregisterGraphicClass(const TClass& graphicClass);
  static const TClass* FileFormatClass(std::string_view extension);
  static std::vector<TFileFormat> FileFormats();

  // The layout's "Data": the graphic's class name (one length byte, then the name) and its data.
  void ReadData(rtl::TStream& stream);
  void WriteData(rtl::TStream& stream) const;
  virtual bool DataStored() const { return graphic_ != nullptr; }

  TNotifyEvent OnChange;

 protected:
  virtual void Changed(TObject* sender);
  // Makes graphic the picture's own (no copy), without a change notification.
  void Adopt(std::unique_ptr<TGraphic> graphic);

 private:
  // The graphic as a T; a graphic of another kind is replaced by an empty T first.
  template <typename T>
  T& GraphicAs();

  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace framework
