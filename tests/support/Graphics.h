// Graphics loaded from bytes, saved back to bytes, and drawn into 24-bit bitmaps to be read back.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/Graphic.h"
#include "support/MemoryStreams.h"
#include "support/Painting.h"
#include "support/Pixels.h"

namespace testing_support {

// Loads the graphic from a memory stream that holds bytes.
inline void LoadFrom(framework::TGraphic& graphic, const std::vector<uint8_t>& bytes) {
  rtl::TMemoryStream stream;
  Fill(stream, bytes);
  graphic.LoadFromStream(stream);
}

// What the graphic saves to a stream.
inline std::vector<uint8_t> Saved(const framework::TGraphic& graphic) {
  rtl::TMemoryStream stream;
  graphic.SaveToStream(stream);
  return Contents(stream);
}

// The graphic stretched over a 24-bit bitmap of width x height filled with background (0xRRGGBB),
// as the bitmap's pixels.
inline std::vector<uint32_t> DrawnPixels(framework::TGraphic& graphic, int width, int height,
                                         uint32_t background = 0xFFFFFF) {
  framework::TBitmap target;
  Fill24(target, width, height, background);
  target.Canvas().StretchDraw({0, 0, width, height}, graphic);
  return Pixels(target);
}

}  // namespace testing_support
