// The image pack: a component holding numbered images, each with a rectangle, that it draws onto
// canvases or copies into pictures, telling its listeners of every change.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Canvas.h"
#include "framework/Component.h"
#include "framework/Picture.h"
#include "imaging/UNotifyList.h"
#include "rtl/Exception.h"

namespace imaging {

class EImagePack : public rtl::Exception {
 public:
  using Exception::Exception;
  static EImagePack CannotSetCount();      // "Cannot set count of ImagePack"
  static EImagePack CannotSetImageRect();  // "Cannot set ImageRect of ImagePack"
};

class TImagePack : public framework::TComponent {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  explicit TImagePack(framework::TComponent* owner);
  ~TImagePack() override;

  // Tells the notify list's listeners (in the order they were added), then OnChange.
  virtual void Changed();
  virtual int32_t GetCount() const = 0;
  // Raises EImagePack unless a pack whose count can be set overrides it.
  virtual void SetCount(int32_t value);
  virtual void GetImageRect(int32_t index, framework::TRect& rect) const = 0;
  // Raises EImagePack unless a pack whose images can be moved or resized overrides it; the
  // Left, Top, Width and Height setters all end here.
  virtual void SetImageRect(int32_t index, const framework::TRect& rect);
  virtual int32_t GetImageLeft(int32_t index) const;
  virtual void SetImageLeft(int32_t index, int32_t value);  // the width is kept
  virtual int32_t GetImageTop(int32_t index) const;
  virtual void SetImageTop(int32_t index, int32_t value);  // the height is kept
  virtual int32_t GetImageWidth(int32_t index) const;
  virtual void SetImageWidth(int32_t index, int32_t value);
  virtual int32_t GetImageHeight(int32_t index) const;
  virtual void SetImageHeight(int32_t index, int32_t value);
  // The image at its own size with its top-left corner at (x, y), through StretchDraw.
  virtual void Draw(framework::TCanvas& canvas, int32_t x, int32_t y, int32_t index);
  // The image scaled into rect; by default through a picture that GetImage fills.
  virtual void StretchDraw(framework::TCanvas& canvas, const framework::TRect& rect, int32_t index);
  virtual void GetImage(framework::TPicture& picture, int32_t index) = 0;
  virtual bool IsInvalidIndex(int32_t index) const;

  // The indexed properties over the virtual getters and setters.
  int32_t Count() const { return GetCount(); }
  framework::TRect ImageRect(int32_t index) const;
  int32_t ImageLeft(int32_t index) const { return GetImageLeft(index); }
  int32_t ImageTop(int32_t index) const { return GetImageTop(index); }
  int32_t ImageWidth(int32_t index) const { return GetImageWidth(index); }
  int32_t ImageHeight(int32_t index) const { return GetImageHeight(index); }

  TNotifyList& NotifyList() { return notifyList_; }
  framework::TNotifyEvent OnChange;

 private:
  TNotifyList notifyList_;
};

}  // namespace imaging
