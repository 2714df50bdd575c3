// The icon graphic: one image of an icon file, chosen for the system's icon size.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Canvas.h"
#include "framework/GdiHandles.h"
#include "framework/Graphic.h"

namespace framework {

// Where the chosen image of an icon file lies, and its size.
struct TIconImage {
  std::size_t Offset = 0;
  std::size_t Size = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// Picks the image of an icon file (ICONDIR, directory entries, images) nearest the system's icon
// size, the one of most colours among equals, after checking that the directory and that image lie
// within the data and that the image's bitmap header agrees with its own size. Raises
// EInvalidGraphic ("ｱｲｺﾝ ｲﾒｰｼﾞが不正です") otherwise.
TIconImage ChooseIconImage(const uint8_t* data, std::size_t size);

class TIcon : public TGraphic {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TIcon();
  ~TIcon() override;
  // From another icon (the same file data) or null (empty).
  void Assign(const TPersistent* source) override;

  bool Empty() const override { return !handle_; }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  // An icon keeps the size of its image: EInvalidGraphicOperation.
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;

  // An icon file from the stream's position to its end. An empty stream empties the icon; data
  // that is not an icon file raises EInvalidGraphic and leaves the icon as it was.
  void LoadFromStream(rtl::TStream& stream) override;
  // The icon file as it was loaded.
  void SaveToStream(rtl::TStream& stream) const override;

  void Draw(TCanvas& canvas, const TRect& rect) override;

  HICON Handle() const { return handle_.get(); }

 private:
  void Load(std::vector<uint8_t> data);

  std::vector<uint8_t> data_;
  TIconHandle handle_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace framework
