// The metafile graphic: an enhanced metafile, loaded from enhanced or placeable Windows metafile data.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "framework/Canvas.h"
#include "framework/GdiHandles.h"
#include "framework/Graphic.h"

namespace framework {

// A metafile made from data: the handle and the picture frame in 0.01 mm.
struct TMetafileData {
  TEnhMetafileHandle Handle;
  int32_t MMWidth = 0;
  int32_t MMHeight = 0;
};

// Reads an enhanced metafile (its header record, then records that chain within its stated size to
// the end-of-file record) or a placeable Windows metafile (the 22-byte placeable header with its
// checksum, the metafile header, records chaining to the end record). Raises EInvalidGraphic
// ("ﾒﾀﾌｧｲﾙが不正です") for anything else, before the system sees the data.
TMetafileData ReadMetafile(const uint8_t* data, std::size_t size);

class TMetafile : public TGraphic {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TMetafile();
  ~TMetafile() override;
  // From another metafile (a copy of its records and its size) or null (empty).
  void Assign(const TPersistent* source) override;

  bool Empty() const override { return !handle_; }
  // The frame in pixels of the screen's resolution.
  int32_t Width() const override;
  int32_t Height() const override;
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;
  // The frame in 0.01 mm.
  int32_t MMWidth() const { return mmWidth_; }
  int32_t MMHeight() const { return mmHeight_; }

  // Metafile data from the stream's position to its end. An empty stream empties the metafile;
  // data that is no metafile raises EInvalidGraphic and leaves the metafile as it was.
  void LoadFromStream(rtl::TStream& stream) override;
  // The enhanced metafile's records.
  void SaveToStream(rtl::TStream& stream) const override;

  void Draw(TCanvas& canvas, const TRect& rect) override;

  HENHMETAFILE Handle() const { return handle_.get(); }

 private:
  TEnhMetafileHandle handle_;
  int32_t mmWidth_ = 0;
  int32_t mmHeight_ = 0;
};

}  // namespace framework
