// The resource image loader, which fills a picture from a resource named by file, type and name;
// the extended picture that it fills, whose graphic stays out of the stored layout once it came from
// a resource; and the JPEG graphic that draws without telling its picture.
#pragma once

#include <string>

#include "data/UResStream.h"
#include "framework/Canvas.h"
#include "framework/Component.h"
#include "framework/Jpeg.h"
#include "framework/Picture.h"

namespace imaging {

class TPictureEx : public framework::TPicture {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  // Set by the loader after it has filled the picture; cleared by every change of the loader's
  // resource settings.
  bool FromResource() const { return fromResource_; }
  void SetFromResource(bool fromResource) { fromResource_ = fromResource; }

  // A picture from a resource stores nothing in a layout and reads nothing from one.
  bool DataStored() const override { return !fromResource_ && TPicture::DataStored(); }
  void ReadStoredData(rtl::TStream& stream);
  void WriteStoredData(rtl::TStream& stream) const { WriteData(stream); }

 protected:
  // A change raised while a change notification of this picture runs is swallowed.
  void Changed(framework::TObject* sender) override;

 private:
  bool changing_ = false;
  bool fromResource_ = false;
};

class TSafetyJPEGImage : public framework::TJPEGImage {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  // Draws (decoding on first use) with the image's change event detached, so that drawing never
  // notifies the picture that holds the image.
  void Draw(framework::TCanvas& canvas, const framework::TRect& rect) override;
};

class TResourceImageLoader : public framework::TPersistent {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  // The picture stays its owner's.
  explicit TResourceImageLoader(TPictureEx& picture);
  // Copies ResFile, ResName and ResType (not AutoLoad) from another loader, clears the picture's
  // from-resource mark and loads when AutoLoad is on and the loader is ready. Anything else, null
  // included, raises EAssignError.
  void Assign(const framework::TPersistent* source) override;

  // Setting a different text stores it, clears the picture's from-resource mark and loads when
  // AutoLoad is on and the loader is ready. Texts compare exactly.
  const std::string& ResFile() const { return resFile_; }  // relative to the program's folder
  void SetResFile(const std::string& resFile);
  const std::string& ResType() const { return resType_; }
  void SetResType(const std::string& resType);
  const std::string& ResName() const { return resName_; }
  void SetResName(const std::string& resName);
  bool AutoLoad() const { return autoLoad_; }
  void SetAutoLoad(bool autoLoad) { autoLoad_ = autoLoad; }
  // Set by the owner once its own loading is done.
  bool Ready() const { return ready_; }
  void SetReady(bool ready) { ready_ = ready; }

  // Fills the picture from the resource: nothing when ResName or ResType is empty or the type is
  // none of the four kinds; the resource stream's and the graphic's errors pass through, and the
  // from-resource mark is set only after a load that worked.
  void Load();

  // "RT_BITMAP" is the bitmap type 2, "RT_ICON" the icon type 3 (both exactly so written); any
  // other text is a type name.
  static data::TResType TypeKey(const std::string& resType);
  // The folder of the running program's file with its trailing separator, followed by resFile;
  // empty for an empty resFile.
  static std::string ResourcePath(const std::string& resFile);

 private:
  void SettingChanged();
  void LoadBitmap(rtl::TStream& resource);

  TPictureEx& picture_;  // not owned
  std::string resFile_;
  std::string resType_;
  std::string resName_;
  bool autoLoad_ = true;
  bool ready_ = false;
};

// A bitmap file in memory for a bitmap resource (a device-independent bitmap without its file
// header): the 14-byte file header, then the resource's bytes. The header's bits offset follows the
// info header and its colour table (or the core header and its 3-byte entries); one that does not
// fit 32 bits raises EInvalidGraphic.
void WriteBitmapFile(rtl::TStream& resource, rtl::TStream& file);

// The unit's start-up step: registers TSafetyJPEGImage for the picture extensions "JPG" and "JPEG"
// ("JPEG Image") and makes it known to stored pictures, once however often it is entered; the
// matching last finish takes both extensions away again.
void InitPictureEx();
void DonePictureEx();

}  // namespace imaging
