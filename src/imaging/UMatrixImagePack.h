// The matrix image pack: one picture, filled from a resource by its own loader, cut into a grid of
// CountCol columns by CountRow rows; image N is row N div CountCol, column N mod CountCol.
#pragma once

#include <cstdint>

#include "imaging/UImagePack.h"
#include "imaging/UPictureEX.h"

namespace imaging {

class TMatrixImagePack : public TImagePack {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  explicit TMatrixImagePack(framework::TComponent* owner);
  ~TMatrixImagePack() override;

  // After the layout: loads the picture when the loader's AutoLoad is on, then makes the loader
  // ready, so that each later change of its resource settings reloads at once.
  void Loaded() override;

  // CountCol x CountRow, overflow-checked.
  int32_t GetCount() const override;
  // The cell's rectangle: the edges are MulDiv(column, width, CountCol) and so on, so the cells
  // tile the picture; empty for an invalid index or a row beyond CountRow.
  void GetImageRect(int32_t index, framework::TRect& rect) const override;
  // A bitmap part is drawn straight from the picture's bitmap; anything else through GetImage.
  void StretchDraw(framework::TCanvas& canvas, const framework::TRect& rect, int32_t index) override;
  // A 1 x 1 pack gives a copy of the whole graphic, of its class; otherwise a bitmap of the cell
  // (8 bits with a copy of the source's palette on a palette display). An empty cell leaves the
  // picture empty.
  void GetImage(framework::TPicture& picture, int32_t index) override;
  // Also true while the picture has no graphic or an empty one.
  bool IsInvalidIndex(int32_t index) const override;

  // Writing a different value calls Changed; no range check.
  int32_t CountCol() const { return countCol_; }
  void SetCountCol(int32_t value);
  int32_t CountRow() const { return countRow_; }
  void SetCountRow(int32_t value);

  // The owned objects are never replaced: writing copies the given one's settings into them.
  TPictureEx& Image() { return image_; }
  const TPictureEx& Image() const { return image_; }
  void SetImage(const framework::TPicture* picture) { image_.Assign(picture); }
  TResourceImageLoader& ImageLoader() { return loader_; }
  void SetImageLoader(const TResourceImageLoader* loader) { loader_.Assign(loader); }

 private:
  // Declared in this order, so the loader goes before the picture.
  TPictureEx image_;
  TResourceImageLoader loader_;
  int32_t countCol_ = 1;
  int32_t countRow_ = 1;
};

}  // namespace imaging
